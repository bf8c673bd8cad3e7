// Profile files as the commands see them.
#pragma once

#include <filesystem>

#include <quarn_package/profile.hpp>

#include "outcome.hpp"

namespace quarn_pkg {

// Reads `path` once and decodes the profile file in it. An unreadable file is an I/O
// failure (exit 2); bytes the library refuses are a refused input (exit 1).
Outcome<quarn_package::ProfileReport> load_report(const std::filesystem::path& path);

}  // namespace quarn_pkg
