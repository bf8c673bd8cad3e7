// Message builder. Segment allocation depends only on the sizes of objects and the order
// in which they are created, never on their contents, so a message is built in two
// passes over the same fill code: a planning pass that only places objects, and a
// writing pass that repeats the same placements straight into the caller's output,
// reserved once at the message's size, with the segment table in front and the segments
// back to back. Each text and data blob is copied once: blobs of some kilobytes are
// appended without being zeroed first, and everything else is zeroed just ahead of
// being written, while it is still in the cache.
//
// Placement: the first segment holds 1024 words; an object goes into the segment of its
// pointer when it fits there, else into the first segment (in segment order) with room
// for it and a one-word landing pad, reached through a far pointer; else into a new
// segment of max(needed, next-size), next-size starting at 1024 words and growing by
// the size of every segment opened, up to 2^29 words.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "quarn_package/error.hpp"
#include "wire/layout.hpp"

namespace quarn_package::detail::wire {

// A word of the message: segment number and word index within it.
struct Location {
  std::uint32_t segment = 0;
  std::uint32_t word = 0;
};

class Arena {
 public:
  Arena();

  // Switches from planning to writing into `output`, whose capacity already holds the
  // whole message: the segments lie back to back from byte `segments_at`, with the sizes
  // the planning pass ended with. Placement restarts from the beginning.
  void begin_writing(std::vector<std::uint8_t>& output, std::size_t segments_at,
                     std::span<const std::uint32_t> segment_words);
  bool writing() const { return out_ != nullptr; }
  // Zeroes whatever of the message no object reached.
  void finish_writing();

  // The root pointer: word 0 of segment 0.
  Location root_pointer();

  // Places an object of `words` words for the pointer at `pointer` and, when writing,
  // points it there: directly, or through a far pointer and landing pad. `kind` and
  // `upper` are the pointer's kind and upper 32 bits. The object's words are not yet
  // part of the output: reach() or write_bytes() makes them so.
  template <bool kWriting>
  Location place(Location pointer, std::uint32_t words, PointerKind kind, std::uint32_t upper) {
    // Inline, as nearly every object fits beside its pointer. The pointer's own word is
    // in use, so an object that fits is smaller than the largest segment.
    Segment& own = segments_[pointer.segment];
    if (words > own.capacity - own.used) return place_elsewhere(pointer, words, kind, upper);
    const Location object{pointer.segment, own.used};
    own.used += words;
    if constexpr (kWriting) {
      write_pointer(pointer, kind, std::int64_t{object.word} - pointer.word - 1, upper);
    }
    return object;
  }

  // Writing: grows the output, zeroed, to hold `words` words at `object`. The output is
  // never zeroed all at once and then written again: it grows a little ahead of the
  // objects, so that they are written into memory the zeroing has just brought into the
  // cache.
  void reach(Location object, std::uint32_t words) {
    const std::size_t end = offset_of(object) + std::size_t{words} * kBytesPerWord;
    if (end > reached_) grow(end);
  }
  // Writing: stores `bytes` at `object`, an object of `words` words, the rest of them
  // zero. A large blob at the end of the output is appended, so it is copied and never
  // zeroed first.
  void write_bytes(Location object, std::span<const std::uint8_t> bytes, std::uint32_t words) {
    const std::size_t offset = offset_of(object);
    if (offset + std::size_t{words} * kBytesPerWord <= reached_) {
      if (!bytes.empty()) std::memcpy(base_ + offset, bytes.data(), bytes.size());
      return;
    }
    append_bytes(offset, bytes, words);
  }

  std::uint8_t* at(Location location) const { return base_ + offset_of(location); }

  // Words used in each segment so far.
  std::vector<std::uint32_t> segment_words() const;

  // Set when an object exceeds what the format can encode; the first reason is kept.
  void refuse(std::string reason);
  // Refuses a list of `count` elements: "list of <count><what>". Out of line, as it
  // builds a message and never happens in practice.
  void refuse_list(std::size_t count, const char* what);
  const std::string& refusal() const { return refusal_; }

 private:
  struct Segment {
    std::uint32_t capacity;
    std::uint32_t used;
  };
  std::uint32_t open_segment(std::uint32_t needed);
  Location place_elsewhere(Location pointer, std::uint32_t words, PointerKind kind,
                           std::uint32_t upper);
  void write_pointer(Location pointer, PointerKind kind, std::int64_t offset, std::uint32_t upper) {
    const auto lower = static_cast<std::uint32_t>(offset << 2) | static_cast<std::uint32_t>(kind);
    store_le<std::uint64_t>(at(pointer), lower | (std::uint64_t{upper} << 32));
  }
  std::size_t offset_of(Location location) const {
    return segment_at_[location.segment] + std::size_t{location.word} * kBytesPerWord;
  }
  void resize(std::size_t size);
  void grow(std::size_t end);
  void append_bytes(std::size_t offset, std::span<const std::uint8_t> bytes, std::uint32_t words);

  std::vector<Segment> segments_;
  std::uint32_t next_size_ = kFirstSegmentWords;
  // The writing pass's view of the output, kept here rather than read through out_ at
  // every object: the bytes it writes could alias the vector, so each read would be a
  // load. The output never moves (reserved), and reached_ follows its size.
  std::vector<std::uint8_t>* out_ = nullptr;
  std::uint8_t* base_ = nullptr;
  std::size_t reached_ = 0;
  std::size_t message_end_ = 0;          // byte of the output where the message ends
  std::vector<std::size_t> segment_at_;  // byte of the output where each segment begins
  std::string refusal_;
};

template <bool kWriting>
class StructBuilder;

// A composite list being filled; element i is a struct of the list's element size.
template <bool kWriting>
class StructListBuilder {
 public:
  StructListBuilder(Arena& arena, Location first, StructSize size, std::uint32_t count)
      : arena_(&arena), first_(first), size_(size), count_(count) {}

  std::uint32_t size() const { return count_; }
  StructBuilder<kWriting> operator[](std::uint32_t i) const {
    return {*arena_, {first_.segment, first_.word + i * size_.total_words()}, size_};
  }

 private:
  Arena* arena_;
  Location first_;
  StructSize size_;
  std::uint32_t count_;
};

// A struct being filled. The fill code runs once with each kind of builder: the planning
// one (kWriting false) only places objects, its setters of numbers compiled away, and
// the writing one places them again and writes them.
template <bool kWriting>
class StructBuilder {
 public:
  StructBuilder(Arena& arena, Location location, StructSize size)
      : arena_(&arena), location_(location), size_(size) {}

  template <class T>
  void set(DataField<T> field, T value) {
    if constexpr (kWriting) {
      store_le<T>(arena_->at(location_) + field.byte_offset, value ^ field.default_value);
    }
  }

  // A text is its bytes and a closing NUL, which write_bytes zeroes with the padding.
  void set_text(PointerField field, std::string_view text) {
    place_bytes(field, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                text.size() + 1);
  }
  void set_data(PointerField field, std::span<const std::uint8_t> bytes) {
    place_bytes(field, bytes, bytes.size());
  }
  void set_u32_list(PointerField field, std::span<const std::uint32_t> values) {
    if (values.size() > kMaxListElements) {
      refuse(values.size(), " numbers is too large");
      return;
    }
    const auto n = static_cast<std::uint32_t>(values.size());
    const std::uint32_t words = words_for_bytes(std::uint64_t{n} * 4);
    const Location object =
        arena_->place<kWriting>(pointer_location(field), words, PointerKind::List,
                                list_size_bits(ElementSize::FourBytes, n));
    if constexpr (kWriting) {
      arena_->reach(object, words);
      if (n != 0) std::memcpy(arena_->at(object), values.data(), n * 4ull);
    }
  }
  StructBuilder init_struct(PointerField field, StructSize size) {
    const Location object = arena_->place<kWriting>(pointer_location(field), size.total_words(),
                                                    PointerKind::Struct, struct_size_bits(size));
    if constexpr (kWriting) arena_->reach(object, size.total_words());
    return StructBuilder(*arena_, object, size);
  }
  StructListBuilder<kWriting> init_struct_list(PointerField field, StructSize size,
                                               std::size_t count) {
    const std::uint64_t content = std::uint64_t{size.total_words()} * count;
    if (count > kMaxListElements || content > kMaxListElements) {
      refuse(count, " records is too large for the format");
      return {*arena_, {}, size, 0};
    }
    const auto n = static_cast<std::uint32_t>(count);
    const auto words = static_cast<std::uint32_t>(content);
    const Location tag =
        arena_->place<kWriting>(pointer_location(field), words + 1, PointerKind::List,
                                list_size_bits(ElementSize::Composite, words));
    if constexpr (kWriting) {
      arena_->reach(tag, words + 1);
      // The tag word is shaped like a struct pointer whose offset field holds the count.
      store_le<std::uint64_t>(
          arena_->at(tag), (std::uint64_t{n} << 2) | (std::uint64_t{struct_size_bits(size)} << 32));
    }
    return {*arena_, {tag.segment, tag.word + 1}, size, n};
  }

 private:
  Location pointer_location(PointerField field) const {
    return {location_.segment, location_.word + size_.data_words + field.index};
  }
  // A byte list of `count` bytes beginning with `bytes`, the rest zero.
  void place_bytes(PointerField field, std::span<const std::uint8_t> bytes, std::size_t count) {
    if (count > kMaxListElements) {
      refuse(count, " bytes is too large for the format");
      return;
    }
    const auto n = static_cast<std::uint32_t>(count);
    const std::uint32_t words = words_for_bytes(count);
    const Location object = arena_->place<kWriting>(
        pointer_location(field), words, PointerKind::List, list_size_bits(ElementSize::Byte, n));
    if constexpr (kWriting) arena_->write_bytes(object, bytes, words);
  }
  // Refusals never happen in the writing pass: it repeats what planning accepted.
  void refuse(std::size_t count, const char* what) { arena_->refuse_list(count, what); }

  Arena* arena_;
  Location location_;
  StructSize size_;
};

// Writes the unpacked stream framing for segments of the given sizes into `out`
// (exactly table_bytes(segment_words.size()) bytes).
std::size_t table_bytes(std::size_t segment_count);
void write_table(std::uint8_t* out, std::span<const std::uint32_t> segment_words);

// Writes a message built by build_message to `output`: the table, then each segment as
// one block. A stream that refuses bytes gives SinkFailed; what it accepted stays.
Result<void> write_to_stream(std::ostream& output, std::span<const std::uint8_t> message);

// Builds one message whose root is a struct of `root_size`, filled by `fill`, and
// appends it to `output`. `fill` runs twice, with a StructBuilder<false> (planning) and
// then a StructBuilder<true> (writing), and must do the same both times. Refuses, leaving `output`
// as it was, a message the format cannot hold.
template <class Fill>
Result<void> build_message(std::vector<std::uint8_t>& output, StructSize root_size, Fill&& fill) {
  Arena arena;
  auto run = [&]<bool kWriting>(std::bool_constant<kWriting>) {
    const Location root = arena.root_pointer();
    const Location object = arena.place<kWriting>(root, root_size.total_words(),
                                                  PointerKind::Struct, struct_size_bits(root_size));
    if constexpr (kWriting) arena.reach(object, root_size.total_words());
    fill(StructBuilder<kWriting>(arena, object, root_size));
  };
  run(std::false_type{});
  if (!arena.refusal().empty()) {
    return std::unexpected(PackageError::invalid(arena.refusal()));
  }
  const std::vector<std::uint32_t> words = arena.segment_words();
  std::uint64_t total = 0;
  for (std::uint32_t w : words) total += w;
  const std::size_t table = table_bytes(words.size());
  const std::size_t start = output.size();
  // Reserved once, so the output never moves while it grows.
  output.reserve(start + table + total * kBytesPerWord);
  output.resize(start + table);
  write_table(output.data() + start, words);
  arena.begin_writing(output, start + table, words);
  run(std::true_type{});
  arena.finish_writing();
  return {};
}

}  // namespace quarn_package::detail::wire
