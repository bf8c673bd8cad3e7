// Crafted messages built on top of a package or profile file our writer produced: new
// objects are appended to its one segment and a root field is pointed at them. Used for
// the amplification inputs a reader must stay cheap on.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "support/words.hpp"

namespace quarn_package::testing {

class Crafted {
 public:
  // `message` must be a one-segment message.
  explicit Crafted(std::span<const std::uint8_t> message)
      : words_(FramedMessage(message).segment_words(0)) {
    const FramedMessage framed(message);
    for (std::size_t i = 0; i < words_.size(); ++i) words_[i] = framed.word(0, i);
  }

  // Appends words and returns the index of the first.
  std::size_t append(const Words& words) {
    const std::size_t at = words_.size();
    words_.insert(words_.end(), words.begin(), words.end());
    return at;
  }
  // Unreachable words: room in the read budget for what the crafted objects claim.
  void pad(std::size_t words) { words_.resize(words_.size() + words, 0); }

  // Makes the pointer word at `at` point to `target`; `pointer` has offset 0.
  void point(std::size_t at, std::size_t target, std::uint64_t pointer) {
    const auto offset = static_cast<std::int64_t>(target) - static_cast<std::int64_t>(at) - 1;
    words_[at] = pointer | ((static_cast<std::uint64_t>(offset) << 2) & 0xFFFFFFFCu);
  }

  // Word index of pointer `index` of the struct at `start` with `data_words` of data.
  static std::size_t field(std::size_t start, std::uint16_t data_words, std::uint16_t index) {
    return start + data_words + index;
  }
  // Word index of the root struct's pointer `index`.
  std::size_t root_field(std::uint16_t index) const {
    const std::uint64_t root = words_[0];
    const auto offset = static_cast<std::int32_t>(static_cast<std::uint32_t>(root)) >> 2;
    return field(static_cast<std::size_t>(1 + offset), static_cast<std::uint16_t>(root >> 32),
                 index);
  }

  std::vector<std::uint8_t> bytes() const { return frame({words_}); }

 private:
  Words words_;
};

}  // namespace quarn_package::testing
