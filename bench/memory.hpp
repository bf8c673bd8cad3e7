// Peak memory of a write and of a read of one workload, each measured by the helper
// quarn_bench_memory in a process of its own.
#pragma once

#include <cstdint>
#include <string_view>

namespace quarn_bench {

struct MemoryUse {
  bool measured = false;
  std::uint64_t write_extra = 0;    // peak growth of the writing process during the write
  std::uint64_t package = 0;        // bytes of the package written
  std::uint64_t write_records = 0;  // bytes of the application written
  std::uint64_t read_extra = 0;     // peak growth of the reading process: input and read
  std::uint64_t input = 0;          // bytes of the file read
  std::uint64_t read_records = 0;   // bytes of the application read
};

// Runs the helper twice (write, then read of what it wrote) through a scratch file.
MemoryUse measure_memory(std::string_view workload);

}  // namespace quarn_bench
