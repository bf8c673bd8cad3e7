// The timed operations. Each is registered once per workload as "<workload>/<operation>",
// and each iteration does the whole job a caller pays for: allocating the output,
// filling it, and freeing it again.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "workload.hpp"

namespace quarn_bench {

// The operations, in the order the summary lists them.
enum class Op {
  Write,           // Application::write into a vector reserved at the package's size
  Read,            // Application::read from a span
  Validate,        // Application::validate
  TileImages,      // Application::tile_image for every tile
  ReportWrite,     // ProfileReport::write of the report with every plan's samples
  ReportRead,      // ProfileReport::read of that file
  ProfileReport,   // Application::profile_report from the runtime output buffer
  CapnpWrite,      // libcapnp builds the package message and flattens it into a vector
  CapnpRead,       // libcapnp reads that message and converts it into records
  MemcpyFresh,     // memcpy of the package bytes into freshly allocated memory
  MemcpyWarm,      // the same into memory written before
  MemcpyReport,    // fresh memcpy of the profile file's bytes
  MemcpyCounters,  // fresh memcpy of the counter bytes profile_report reads
  // What building the records alone costs, whatever reads them: copy-constructing them
  // into fresh memory, one allocation per vector and long string, as a reader must.
  CopyRecords,  // a copy of the application
  CopyReport,   // a copy of the profile report
};

inline constexpr Op kLastOp = Op::CopyReport;

std::string_view op_name(Op op);

// Bytes an operation is measured against: the package, the tile images, the profile file
// or the counters.
std::uint64_t op_bytes(const Workload& w, Op op);

// Registers every operation that applies to `w` (profile operations need profile plans).
// `capnp_message` is libcapnp's flattened message for `w`; both must outlive the run.
void register_benchmarks(const Workload& w, std::span<const std::uint8_t> capnp_message);

}  // namespace quarn_bench
