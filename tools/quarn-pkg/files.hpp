// Whole-file reads and all-or-nothing writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "outcome.hpp"

namespace quarn_pkg {

// The whole content of `path`, read once. A missing or unreadable file is an I/O failure
// naming the file.
Outcome<std::vector<std::uint8_t>> read_file(const std::filesystem::path& path);

// Writes `bytes` to a temporary file beside `path` and renames it over `path`, so readers
// see the old file or the whole new one, never a part. The temporary file is removed when
// any step fails.
Outcome<void> write_file_atomically(const std::filesystem::path& path,
                                    std::span<const std::uint8_t> bytes);
Outcome<void> write_file_atomically(const std::filesystem::path& path, std::string_view text);

// Creates `dir` and its parents when missing.
Outcome<void> make_directory(const std::filesystem::path& dir);

}  // namespace quarn_pkg
