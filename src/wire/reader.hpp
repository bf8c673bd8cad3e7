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
  StructReader struct_at(std::uint32_t i) const;

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
  Result<StructReader> read_struct(const StructReader& parent, PointerField field) const;
  Result<ListReader> read_list(const StructReader& parent, PointerField field,
                               ListExpectation expect) const;
  // Text content without its closing NUL; a null pointer reads as empty.
  Result<std::span<const std::uint8_t>> read_text(const StructReader& parent,
                                                  PointerField field) const;
  // Data content; a null pointer reads as empty.
  Result<std::span<const std::uint8_t>> read_data(const StructReader& parent,
                                                  PointerField field) const;

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

// Reads exactly one framed message from `input` into memory, trusting no size before
// the bytes arrive.
Result<std::vector<std::uint8_t>> read_message_bytes(std::istream& input);

}  // namespace quarn_package::detail::wire
