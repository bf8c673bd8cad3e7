#include "wire/utf8.hpp"

#include <cstring>

#include "model/try.hpp"

namespace quarn_package::detail {
namespace {

bool continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Length of the valid sequence starting at `i`, or the error it starts.
struct Step {
  std::size_t length;  // 0 when invalid
  std::optional<std::size_t> error_len;
};

Step sequence_at(std::span<const std::uint8_t> s, std::size_t i) {
  const std::uint8_t first = s[i];
  std::size_t width;
  std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (first >= 0xC2 && first <= 0xDF) {
    width = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    width = 3;
    if (first == 0xE0) low = 0xA0;   // no overlong forms
    if (first == 0xED) high = 0x9F;  // no surrogates
  } else if (first >= 0xF0 && first <= 0xF4) {
    width = 4;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return {0, 1};
  }
  const std::size_t left = s.size() - i;
  if (left < 2) return {0, std::nullopt};
  if (s[i + 1] < low || s[i + 1] > high) return {0, 1};
  for (std::size_t k = 2; k < width; ++k) {
    if (left <= k) return {0, std::nullopt};
    if (!continuation(s[i + k])) return {0, k};
  }
  return {width, std::nullopt};
}

// The first fault in `bytes`, or nothing when they are valid UTF-8.
Result<void> check_utf8(std::span<const std::uint8_t> bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    if (bytes[i] < 0x80) {
      ++i;
      continue;
    }
    const Step step = sequence_at(bytes, i);
    if (step.length == 0) return std::unexpected(PackageError::utf8(i, step.error_len));
    i += step.length;
  }
  return {};
}

}  // namespace

Result<void> assign_non_ascii_utf8(std::span<const std::uint8_t> bytes, std::string& out) {
  QP_RETURN_IF_ERROR(check_utf8(bytes));
  out.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return {};
}

}  // namespace quarn_package::detail
