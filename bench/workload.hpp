// The seeded workloads the benchmarks run on. They are generated in memory on every run
// and never stored: the same name gives the same records on every machine.
//
//   data     256 tiles, one 600 KiB segment each: a package that is almost all blobs.
//   device   1200 tiles of 8 segments of 4-64 KiB, 2000 bindings of 4 slices, 64 host
//            calls, 1200 profile plans of 200 steps with one metadata entry each.
//   records  the record counts of `device`, with segments of a few bytes: a package that
//            is almost all small records.
#pragma once

#include <quarn_package/package.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarn_bench {

inline constexpr std::string_view kWorkloadNames[] = {"data", "device", "records"};

// Clock rate stored in the profile reports; carried, never computed with.
inline constexpr std::uint64_t kClockHz = 1'850'000'000;

// The application of one workload; an unknown name gives an empty application.
quarn_package::Application make_application(std::string_view name);

// The runtime output buffer of a profiled run of `app`: every output back to back, the
// cycle counters of the profile binding filled with seeded values. Empty when the
// application has no profile binding.
std::vector<std::uint8_t> make_runtime_output(const quarn_package::Application& app);

// Everything the benchmarks of one workload need, derived once before timing.
struct Workload {
  std::string name;
  quarn_package::Application app;
  std::vector<std::uint8_t> package;  // app as our writer encodes it
  std::vector<std::uint8_t> runtime_output;
  std::uint64_t counter_bytes = 0;      // bytes of runtime_output that profile_report reads
  quarn_package::ProfileReport report;  // every plan with its samples
  std::vector<std::uint8_t> report_file;
  std::uint64_t image_bytes = 0;  // sum of every tile image's size
  bool has_profile() const { return !app.profile_tiles.empty(); }
};

// Generates the workload and everything derived from it; aborts with a message if any
// step the benchmarks rely on fails.
Workload make_workload(std::string_view name);

}  // namespace quarn_bench
