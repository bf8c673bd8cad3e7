// Small text builders for the library's fixed messages and log fields. Messages are only
// built on the failing path, so plain std::string appends are cheap enough; the hex text
// of a log field lives on the stack so that an emitted event allocates nothing.
#pragma once

#include <array>
#include <charconv>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarn_package::detail {

// A number that a message writes in lowercase hexadecimal without prefix or leading
// zeros; the message spells any "0x" itself.
struct Hex {
  std::uint64_t value;
};

// "0x" and the lowercase hexadecimal digits of a number, held inline.
class HexText {
 public:
  explicit HexText(std::uint64_t value) {
    chars_[0] = '0';
    chars_[1] = 'x';
    const auto result = std::to_chars(chars_.data() + 2, chars_.data() + chars_.size(), value, 16);
    size_ = static_cast<std::size_t>(result.ptr - chars_.data());
  }
  std::string_view view() const { return {chars_.data(), size_}; }

 private:
  std::array<char, 2 + 16> chars_{};  // prefix and the 16 digits of 2^64 - 1
  std::size_t size_ = 0;
};

// The lowercase hexadecimal digits of `value`, without prefix or leading zeros.
inline std::string to_hex(std::uint64_t value) {
  return std::string(HexText(value).view().substr(2));
}

inline void append_piece(std::string& out, std::string_view text) { out.append(text); }

template <std::unsigned_integral T>
void append_piece(std::string& out, T value) {
  std::array<char, 20> digits{};  // 2^64 - 1 has 20 decimal digits
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  out.append(digits.data(), result.ptr);
}

inline void append_piece(std::string& out, Hex hex) {
  out.append(HexText(hex.value).view().substr(2));
}

// Joins text pieces, unsigned numbers (written in decimal) and Hex numbers into one text.
template <class... Pieces>
std::string format_message(const Pieces&... pieces) {
  std::string out;
  (append_piece(out, pieces), ...);
  return out;
}

}  // namespace quarn_package::detail
