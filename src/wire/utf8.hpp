// UTF-8 validation of texts read from a message.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "quarn_package/error.hpp"

namespace quarn_package::detail {

// True when every byte is ASCII, the common case for names: eight bytes at a time, the
// last eight overlapping those before when the length is not a multiple of eight.
inline bool all_ascii(std::span<const std::uint8_t> bytes) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  const std::size_t n = bytes.size();
  if (n < 8) {
    std::uint8_t seen = 0;
    for (const std::uint8_t b : bytes) seen |= b;
    return seen < 0x80;
  }
  std::uint64_t seen = 0;
  std::uint64_t word;
  for (std::size_t i = 0; i + 8 <= n; i += 8) {
    std::memcpy(&word, bytes.data() + i, 8);
    seen |= word;
  }
  std::memcpy(&word, bytes.data() + n - 8, 8);
  return ((seen | word) & kHighBits) == 0;
}

// Copies `bytes` into `out` when they are valid UTF-8 and not only ASCII; otherwise a
// Utf8 error with the number of valid bytes before the fault and the length of the bad
// sequence (absent when the input ends inside a sequence that could still be
// completed), `out` untouched.
Result<void> assign_non_ascii_utf8(std::span<const std::uint8_t> bytes, std::string& out);

// Copies `bytes` into `out` when they are valid UTF-8, as assign_non_ascii_utf8 does.
// Inline, as nearly every text is ASCII; assigning into the record's own string spares
// a temporary per text.
inline Result<void> assign_utf8(std::span<const std::uint8_t> bytes, std::string& out) {
  if (!all_ascii(bytes)) return assign_non_ascii_utf8(bytes, out);
  out.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return {};
}

}  // namespace quarn_package::detail
