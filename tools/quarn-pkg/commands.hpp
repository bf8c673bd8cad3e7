// The commands of quarn-pkg. Each takes its parsed options, prints its results on stdout
// and its one failure line on stderr, and returns the process exit status.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarn_pkg {

using std::filesystem::path;

struct InspectOptions {
  path package;
  bool json = false;
  bool full = false;
  bool no_data = false;
};
int run_inspect(const InspectOptions& options);

int run_validate(const std::vector<path>& packages);

struct ImageOptions {
  path package;
  std::optional<std::uint32_t> tile;  // none: every tile (--all)
  path output;                        // a file for one tile, a folder for --all
};
int run_image(const ImageOptions& options);

// Prints the JSON form on stdout, or writes it to `output` when given.
int run_to_json(const path& package, const std::optional<path>& output);
int run_from_json(const path& json_file, const path& output);

int run_diff(const path& a, const path& b);

// `dir` none: a fresh folder under the system's temporary folder. `program` is how the
// tool was started, for the commands the demo suggests next.
int run_demo(const std::optional<path>& dir, const std::string& program);

}  // namespace quarn_pkg
