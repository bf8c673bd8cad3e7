// Hand-made messages and an independent look at framed bytes, for tests that check the
// wire format word by word without going through the library's own builder or reader.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarn_package::testing {

using Words = std::vector<std::uint64_t>;

// Frames segments of words in the standard unpacked stream framing.
inline std::vector<std::uint8_t> frame(const std::vector<Words>& segments) {
  std::vector<std::uint8_t> out;
  auto put32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  put32(static_cast<std::uint32_t>(segments.size() - 1));
  for (const Words& s : segments) put32(static_cast<std::uint32_t>(s.size()));
  if (segments.size() % 2 == 0) put32(0);
  for (const Words& s : segments) {
    const std::size_t at = out.size();
    out.resize(at + s.size() * 8);
    if (!s.empty()) std::memcpy(out.data() + at, s.data(), s.size() * 8);
  }
  return out;
}

// Pointer words, built from their fields.
inline std::uint64_t struct_ptr(std::int32_t offset, std::uint16_t data, std::uint16_t ptrs) {
  return (static_cast<std::uint32_t>(offset) << 2) | (std::uint64_t{data} << 32) |
         (std::uint64_t{ptrs} << 48);
}
inline std::uint64_t list_ptr(std::int32_t offset, std::uint8_t element_size, std::uint32_t count) {
  return (static_cast<std::uint32_t>(offset) << 2) | 1 | (std::uint64_t{element_size} << 32) |
         (std::uint64_t{count} << 35);
}
inline std::uint64_t far_ptr(std::uint32_t segment, std::uint32_t word, bool double_far = false) {
  return (std::uint64_t{word} << 3) | (double_far ? 4u : 0u) | 2 | (std::uint64_t{segment} << 32);
}
// The tag word of a composite list.
inline std::uint64_t tag_word(std::uint32_t count, std::uint16_t data, std::uint16_t ptrs) {
  return (std::uint64_t{count} << 2) | (std::uint64_t{data} << 32) | (std::uint64_t{ptrs} << 48);
}

// A framed message split into its segments, read without the library.
class FramedMessage {
 public:
  explicit FramedMessage(std::span<const std::uint8_t> bytes) {
    const std::uint32_t count = load32(bytes, 0) + 1;
    std::size_t at = (count / 2 + 1) * 8;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t size = std::size_t{load32(bytes, 4 + 4 * i)} * 8;
      if (at + size > bytes.size()) throw std::runtime_error("segment beyond the bytes");
      segments_.push_back(bytes.subspan(at, size));
      at += size;
    }
    size_ = at;
  }

  std::size_t size_bytes() const { return size_; }
  std::size_t segment_count() const { return segments_.size(); }
  std::size_t segment_words(std::size_t i) const { return segments_[i].size() / 8; }
  std::span<const std::uint8_t> segment(std::size_t i) const { return segments_[i]; }
  std::uint64_t word(std::size_t segment, std::size_t index) const {
    std::uint64_t w;
    std::memcpy(&w, segments_.at(segment).data() + index * 8, 8);
    return w;
  }

  // Where a (struct or list) pointer leads, following a single far pointer.
  struct Target {
    std::size_t segment;
    std::size_t word;       // first word of the object (a composite list's tag)
    std::uint64_t pointer;  // the pointer that describes it (the landing pad when far)
    bool far;
    std::size_t pad_word;  // landing pad's index when far
  };
  Target follow(std::size_t segment, std::size_t index) const {
    const std::uint64_t w = word(segment, index);
    if ((w & 3) == 2) {
      const std::size_t pad_segment = w >> 32;
      const std::size_t pad = static_cast<std::uint32_t>(w) >> 3;
      const std::uint64_t p = word(pad_segment, pad);
      return {pad_segment, pad + 1 + offset(p), p, true, pad};
    }
    return {segment, index + 1 + offset(w), w, false, 0};
  }

  // The data bytes of the struct that the pointer at (segment, index) leads to.
  std::vector<std::uint8_t> struct_data(std::size_t segment, std::size_t index) const {
    const Target t = follow(segment, index);
    const std::size_t bytes = ((t.pointer >> 32) & 0xffff) * 8;
    const auto s = segments_.at(t.segment).subspan(t.word * 8, bytes);
    return {s.begin(), s.end()};
  }

  // The bytes of the byte list that the pointer at (segment, index) leads to.
  std::string byte_list(std::size_t segment, std::size_t index) const {
    const Target t = follow(segment, index);
    const std::size_t count = t.pointer >> 35;
    const auto s = segments_.at(t.segment).subspan(t.word * 8, count);
    return {s.begin(), s.end()};
  }

 private:
  static std::uint32_t load32(std::span<const std::uint8_t> b, std::size_t at) {
    if (at + 4 > b.size()) throw std::runtime_error("table beyond the bytes");
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
  }
  static std::int64_t offset(std::uint64_t w) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(w)) >> 2;
  }

  std::vector<std::span<const std::uint8_t>> segments_;
  std::size_t size_ = 0;
};

}  // namespace quarn_package::testing
