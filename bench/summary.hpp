// The ratio table printed after the benchmarks: per workload and operation the time,
// the throughput, our time over libcapnp's and over a fresh memcpy, the goals, and the
// peak memory of a write and of a read.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "memory.hpp"
#include "workload.hpp"

namespace quarn_bench {

// Prints as the console reporter does and keeps, per benchmark, the CPU time of its
// fastest repetition: on a shared machine the fastest is the least disturbed.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  // Seconds per iteration of the benchmark called `name`, if it ran.
  std::optional<double> seconds(const std::string& name) const;

 private:
  std::map<std::string, double> best_;
};

void print_summary(std::ostream& out, const std::vector<Workload>& workloads,
                   const CollectingReporter& times, const std::map<std::string, MemoryUse>& memory);

}  // namespace quarn_bench
