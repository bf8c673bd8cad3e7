// The built-in example data of `quarn-pkg demo`.
#pragma once

#include <cstdint>
#include <vector>

#include <quarn_package/package.hpp>

namespace quarn_pkg {

// A small two-tile program that holds at least one record of every kind: segments,
// input, output and weight bindings (with the "profile.cycles" output), host pages and
// calls cut into batches, entry points, configuration writes, profile plans for both
// tiles, debug symbols and regions. It passes validate().
quarn_package::Application example_application();

// A runtime output buffer such as a profiled run of `app` would leave: every output
// binding in order, each binding_size bytes, with made-up but plausible cycle counters in
// each profile plan's slice of "profile.cycles" and a filler pattern elsewhere.
std::vector<std::uint8_t> synthetic_runtime_output(const quarn_package::Application& app);

// The clock the demo's report is stamped with.
inline constexpr std::uint64_t kExampleClockHz = 1'500'000'000;

}  // namespace quarn_pkg
