// Package files as the commands see them: read, checked and described in one line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <quarn_package/package.hpp>

#include "outcome.hpp"

namespace quarn_pkg {

// A package file read into memory and decoded.
struct LoadedPackage {
  std::vector<std::uint8_t> bytes;
  quarn_package::Application app;
};

// "Invalid: <message>", or for the wire layer "Capnp (Truncated): <description>".
std::string describe(const quarn_package::PackageError& error);

// Reads `path` once and decodes it. An unreadable file is an I/O failure (exit 2); bytes
// the library refuses are a refused input (exit 1).
Outcome<LoadedPackage> load_package(const std::filesystem::path& path);

// Encodes `app` (which validates it) and writes the bytes atomically to `path`. `source`
// names the input the application came from, for the message when it is refused.
Outcome<std::vector<std::uint8_t>> save_package(const quarn_package::Application& app,
                                                const std::string& source,
                                                const std::filesystem::path& path);

}  // namespace quarn_pkg
