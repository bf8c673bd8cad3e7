// The profiling commands of quarn-pkg: make a profile file from a profiled run, and show
// one as tables, as a trace for trace viewers and as a timeline picture. Like the other
// commands they print results on stdout, one failure line on stderr, and return the exit
// status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace quarn_pkg {

using std::filesystem::path;

struct ProfileOptions {
  path package;
  path runtime_output;
  std::uint64_t clock_hz = 0;
  path output;
};
int run_profile(const ProfileOptions& options);

inline constexpr std::size_t kDefaultTopSteps = 10;

struct ReportOptions {
  path report;
  std::optional<std::uint32_t> tile;  // none: every tile
  std::size_t top = kDefaultTopSteps;
  bool json = false;
};
int run_report(const ReportOptions& options);

int run_trace(const path& report, const path& output);
int run_timeline(const path& report, const path& output);

}  // namespace quarn_pkg
