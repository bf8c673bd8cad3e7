// Small text formatters shared by the human-readable views.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarn_pkg {

// "0x4c000": addresses, offsets and register values are read in hexadecimal.
std::string hex(std::uint64_t value);

// Two lowercase hex digits: "0a".
std::string hex_byte(std::uint8_t byte);

// "[2, 4]"
std::string bracketed(const std::vector<std::uint32_t>& values);

// "0, 1, 1"; "-" for an empty list.
std::string comma_list(const std::vector<std::uint32_t>& values);

// "1 tile", "2 tiles"
std::string count(std::uint64_t n, const std::string& singular, const std::string& plural);

// `text` with control characters written as \xNN, so a name read from a file can never
// break a line or a table apart.
std::string printable(std::string_view text);

}  // namespace quarn_pkg
