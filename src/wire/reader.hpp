// Bounds-checked message reader over the caller's bytes, in place: no copy of the
// segments and no alignment required (every load goes through memcpy).
//
// Every pointer is resolved by one function (MessageReader::resolve) and every object
// it reaches is cut by one checked helper (in_segment) that tests for overflow before
// size, and is charged against the read budget: the message's own size in words. An
// honest message visits each object once and stays within it; aliased pointers and
// zero-sized list elements (one word each) cannot make a small input cost much.
#pragma once

#include <cstdint>
#include <istream>
#include <span>
#include <vector>

#include "quarn_package/error.hpp"
#include "quarn_package/package.hpp"
#include "wire/layout.hpp"

namespace quarn_package::detail::wire {

class MessageReader;

// What a list field's schema type can read.
enum class ListExpectation { Bytes, U32, Structs };

// A struct of the message; fields beyond its stored sections read as their defaults.
class StructReader {
 public:
  StructReader() = default;  // the all-default struct a null pointer reads as

  template <class T>
  T get(DataField<T> field) const {
    if (field.byte_offset + sizeof(T) > data_bytes_) return field.default_value;
    return load_le<T>(data_ + field.byte_offset) ^ field.default_value;
  }

 private:
  friend class MessageReader;
  friend class ListReader;

  const MessageReader* message_ = nullptr;
  const std::uint8_t* data_ = nullptr;
  std::uint32_t data_bytes_ = 0;
  std::uint32_t segment_ = 0;
  std::uint64_t pointers_word_ = 0;  // word index of the pointer section in its segment
  std::uint16_t pointer_count_ = 0;
  std::int32_t nesting_ = 0;  // nesting left for what its pointers reach
};

// A list of the message, seen as its schema type expects.
class ListReader {
 public:
  ListReader() = default;  // the empty list a null pointer reads as

  std::uint32_t size() const { return count_; }
  // The content of a byte list (Text or Data).
  std::span<const std::uint8_t> bytes() const { return {start_, count_}; }
  // Element i of a List(UInt32): the low four bytes of the element's data.
  std::uint32_t u32(std::uint32_t i) const {
    return element_data_bytes_ >= 4 ? load_le<std::uint32_t>(start_ + std::uint64_t{i} * stride_)
                                    : 0;
  }
  // Element i of a struct list.
  StructReader struct_at(std::uint32_t i) const {
    StructReader s;
    const std::uint64_t offset = std::uint64_t{i} * stride_;
    s.message_ = message_;
    s.data_ = start_ + offset;
    s.data_bytes_ = element_data_bytes_;
    s.segment_ = segment_;
    s.pointers_word_ = start_word_ + (offset + element_data_bytes_) / kBytesPerWord;
    s.pointer_count_ = element_pointers_;
    s.nesting_ = nesting_;
    return s;
  }

 private:
  friend class MessageReader;

  const MessageReader* message_ = nullptr;
  const std::uint8_t* start_ = nullptr;
  std::uint32_t count_ = 0;
  std::uint32_t stride_ = 0;  // bytes from one element to the next
  std::uint32_t element_data_bytes_ = 0;
  std::uint16_t element_pointers_ = 0;
  std::uint32_t segment_ = 0;
  std::uint64_t start_word_ = 0;
  std::int32_t nesting_ = 0;
};

class MessageReader {
 public:
  // Checks the framing at the front of `input` against its length, before anything is
  // allocated: at most kMaxSegments segments, every segment inside the input.
  static Result<MessageReader> parse(std::span<const std::uint8_t> input,
                                     const ReaderOptions& options);

  // Bytes of the framed message (segment table and segments).
  std::size_t message_bytes() const { return message_bytes_; }

  Result<StructReader> root() const;
  // The reads below are forced inline for the same reason as the near paths.
  [[gnu::always_inline]] Result<StructReader> read_struct(const StructReader& parent,
                                                          PointerField field) const {
    StructReader s;
    if (near_struct(parent, field, s)) return s;
    return read_struct_checked(parent, field);
  }
  [[gnu::always_inline]] Result<ListReader> read_list(const StructReader& parent,
                                                      PointerField field,
                                                      ListExpectation expect) const {
    ListReader list;
    if (expect == ListExpectation::Structs && near_struct_list(parent, field, list)) return list;
    return read_list_checked(parent, field, expect);
  }
  // Text content without its closing NUL; a null pointer reads as empty.
  [[gnu::always_inline]] Result<std::span<const std::uint8_t>> read_text(const StructReader& parent,
                                                                         PointerField field) const {
    std::span<const std::uint8_t> bytes;
    if (near_bytes(parent, field, true, bytes)) return bytes;
    return read_text_checked(parent, field);
  }
  // Data content; a null pointer reads as empty.
  [[gnu::always_inline]] Result<std::span<const std::uint8_t>> read_data(const StructReader& parent,
                                                                         PointerField field) const {
    std::span<const std::uint8_t> bytes;
    if (near_bytes(parent, field, false, bytes)) return bytes;
    return read_data_checked(parent, field);
  }

  MessageReader(const MessageReader&) = delete;
  MessageReader(MessageReader&&) = default;

 private:
  struct SegmentView {
    const std::uint8_t* start;
    std::uint32_t words;
  };
  // A pointer after far pointers are followed: its word, and where its target starts.
  struct Resolved {
    std::uint64_t word;  // the pointer (or landing pad / tag) that describes the target
    std::uint32_t segment;
    std::int64_t target;  // word index in `segment`; may be out of range until checked
  };

  MessageReader() = default;

  // The common case of each read, inline: a null pointer, or a near pointer of the
  // expected kind to an object inside its segment within the budget. Each returns false,
  // having changed nothing, for anything else, which the checked path then reads with all
  // of its checks and errors. Their inlining is forced: left to itself, the compiler
  // keeps them as calls, which cost as much again as their bodies.
  bool near_struct(const StructReader& parent, PointerField field, StructReader& out) const;
  bool near_struct_list(const StructReader& parent, PointerField field, ListReader& out) const;
  bool near_bytes(const StructReader& parent, PointerField field, bool text,
                  std::span<const std::uint8_t>& out) const;
  // The pointer word at `field` of `parent`, or nullptr when `field` lies beyond its
  // pointer section; `at` is its word index.
  const std::uint8_t* pointer_at(const StructReader& parent, PointerField field,
                                 std::uint64_t& at) const {
    if (field.index >= parent.pointer_count_) return nullptr;
    at = parent.pointers_word_ + field.index;
    return word_address(parent.segment_, at);
  }
  // Where a near pointer at word `at` points, when `words` from there lie in `segment`.
  bool near_target(std::uint32_t segment, std::uint64_t at, std::uint64_t word, std::uint64_t words,
                   std::uint64_t& target) const {
    const std::int64_t start = static_cast<std::int64_t>(at) + 1 +
                               (static_cast<std::int32_t>(static_cast<std::uint32_t>(word)) >> 2);
    const std::uint64_t size = segments_[segment].words;
    if (start < 0 || static_cast<std::uint64_t>(start) > size ||
        words > size - static_cast<std::uint64_t>(start)) {
      return false;
    }
    target = static_cast<std::uint64_t>(start);
    return true;
  }

  Result<StructReader> read_struct_checked(const StructReader& parent, PointerField field) const;
  Result<ListReader> read_list_checked(const StructReader& parent, PointerField field,
                                       ListExpectation expect) const;
  Result<std::span<const std::uint8_t>> read_text_checked(const StructReader& parent,
                                                          PointerField field) const;
  Result<std::span<const std::uint8_t>> read_data_checked(const StructReader& parent,
                                                          PointerField field) const;
  Result<Resolved> resolve(std::uint32_t segment, std::uint64_t pointer_word) const;
  Result<void> in_segment(std::uint32_t segment, std::int64_t start, std::uint64_t words) const;
  std::int64_t placed(const Resolved& r, std::uint64_t words) const;
  Result<void> charge(std::uint64_t words) const;
  Result<StructReader> struct_at(const Resolved& r, std::int32_t nesting) const;
  Result<ListReader> list_at(const Resolved& r, ListExpectation expect, std::int32_t nesting) const;
  Result<ListReader> composite_list_at(const Resolved& r, ListExpectation expect,
                                       std::int32_t nesting) const;
  Result<ListReader> read_byte_list(const StructReader& parent, PointerField field,
                                    const char* what) const;
  const std::uint8_t* word_address(std::uint32_t segment, std::uint64_t word) const {
    return segments_[segment].start + word * kBytesPerWord;
  }

  std::vector<SegmentView> segments_;
  std::size_t message_bytes_ = 0;
  std::uint32_t nesting_limit_ = 64;
  mutable std::uint64_t budget_ = 0;

  friend class ListReader;
};

[[gnu::always_inline]] inline bool MessageReader::near_bytes(
    const StructReader& parent, PointerField field, bool text,
    std::span<const std::uint8_t>& out) const {
  std::uint64_t at = 0;
  const std::uint8_t* pointer = pointer_at(parent, field, at);
  const std::uint64_t word = pointer == nullptr ? 0 : load_le<std::uint64_t>(pointer);
  if (word == 0) {
    out = {};
    return true;
  }
  constexpr std::uint64_t kByteList = (std::uint64_t{2} << 32) | 1;  // element size, kind
  if ((word & ((std::uint64_t{7} << 32) | 3)) != kByteList) return false;
  const std::uint64_t count = word >> 35;
  const std::uint64_t words = (count + 7) / kBytesPerWord;
  std::uint64_t target = 0;
  if (!near_target(parent.segment_, at, word, words, target) || words > budget_) return false;
  const std::uint8_t* start = word_address(parent.segment_, target);
  if (text && (count == 0 || start[count - 1] != 0)) return false;
  budget_ -= words;
  out = {start, static_cast<std::size_t>(text ? count - 1 : count)};
  return true;
}

[[gnu::always_inline]] inline bool MessageReader::near_struct_list(const StructReader& parent,
                                                                   PointerField field,
                                                                   ListReader& out) const {
  std::uint64_t at = 0;
  const std::uint8_t* pointer = pointer_at(parent, field, at);
  const std::uint64_t word = pointer == nullptr ? 0 : load_le<std::uint64_t>(pointer);
  if (word == 0) {
    out = ListReader{};
    return true;
  }
  constexpr std::uint64_t kCompositeList = (std::uint64_t{7} << 32) | 1;
  if ((word & ((std::uint64_t{7} << 32) | 3)) != kCompositeList || parent.nesting_ <= 0) {
    return false;
  }
  const std::uint64_t words = word >> 35;
  std::uint64_t target = 0;
  if (!near_target(parent.segment_, at, word, words + 1, target) || words + 1 > budget_) {
    return false;
  }
  const std::uint64_t tag = load_le<std::uint64_t>(word_address(parent.segment_, target));
  const auto count = (static_cast<std::uint32_t>(tag) >> 2) & kMaxListElements;
  const auto data_words = static_cast<std::uint16_t>(tag >> 32);
  const auto pointers = static_cast<std::uint16_t>(tag >> 48);
  const std::uint64_t per_element = std::uint64_t{data_words} + pointers;
  if ((tag & 3) != 0 || per_element == 0 || per_element * count > words) return false;
  budget_ -= words + 1;
  out.message_ = this;
  out.start_ = word_address(parent.segment_, target + 1);
  out.count_ = count;
  out.stride_ = static_cast<std::uint32_t>(per_element * kBytesPerWord);
  out.element_data_bytes_ = std::uint32_t{data_words} * kBytesPerWord;
  out.element_pointers_ = pointers;
  out.segment_ = parent.segment_;
  out.start_word_ = target + 1;
  out.nesting_ = parent.nesting_ - 1;
  return true;
}

[[gnu::always_inline]] inline bool MessageReader::near_struct(const StructReader& parent,
                                                              PointerField field,
                                                              StructReader& out) const {
  std::uint64_t at = 0;
  const std::uint8_t* pointer = pointer_at(parent, field, at);
  const std::uint64_t word = pointer == nullptr ? 0 : load_le<std::uint64_t>(pointer);
  if (word == 0) {
    out = StructReader{};
    return true;
  }
  if ((word & 3) != 0 || parent.nesting_ <= 0) return false;
  const auto data_words = static_cast<std::uint16_t>(word >> 32);
  const auto pointers = static_cast<std::uint16_t>(word >> 48);
  const std::uint64_t words = std::uint64_t{data_words} + pointers;
  std::uint64_t target = 0;
  // An empty struct may point anywhere; the checked path places it.
  if (words == 0 || !near_target(parent.segment_, at, word, words, target) || words > budget_) {
    return false;
  }
  budget_ -= words;
  out.message_ = this;
  out.data_ = word_address(parent.segment_, target);
  out.data_bytes_ = std::uint32_t{data_words} * kBytesPerWord;
  out.segment_ = parent.segment_;
  out.pointers_word_ = target + data_words;
  out.pointer_count_ = pointers;
  out.nesting_ = parent.nesting_ - 1;
  return true;
}

// Reads exactly one framed message from `input` into memory, trusting no size before
// the bytes arrive.
Result<std::vector<std::uint8_t>> read_message_bytes(std::istream& input);

}  // namespace quarn_package::detail::wire
