#include "text.hpp"

#include <charconv>

namespace quarn_pkg {

std::string hex(std::uint64_t value) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
  return "0x" + std::string(digits, end);
}

std::string hex_byte(std::uint8_t byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[byte >> 4], kDigits[byte & 0xf]};
}

std::string comma_list(const std::vector<std::uint32_t>& values) {
  if (values.empty()) return "-";
  std::string text;
  for (std::uint32_t value : values) {
    if (!text.empty()) text += ", ";
    text += std::to_string(value);
  }
  return text;
}

std::string bracketed(const std::vector<std::uint32_t>& values) {
  return values.empty() ? "[]" : "[" + comma_list(values) + "]";
}

std::string count(std::uint64_t n, const std::string& singular, const std::string& plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f)
      out += "\\x" + hex_byte(byte);
    else
      out += c;
  }
  return out;
}

}  // namespace quarn_pkg
