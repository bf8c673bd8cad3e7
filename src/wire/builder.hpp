// Message builder. Segment allocation depends only on the sizes of objects and the order
// in which they are created, never on their contents, so a message is built in two
// passes over the same fill code: a planning pass that only places objects, and a
// writing pass that repeats the same placements straight into the caller's output,
// already sized, with the segment table in front and the segments back to back. Each
// text and data blob is copied once.
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

  // Switches from planning to writing: the segments lie back to back from `base`, with
  // the sizes the planning pass ended with. Placement restarts from the beginning.
  void begin_writing(std::uint8_t* base, std::span<const std::uint32_t> segment_words);
  bool writing() const { return base_ != nullptr; }

  // The root pointer: word 0 of segment 0.
  Location root_pointer();

  // Places an object of `words` words for the pointer at `pointer` and, when writing,
  // points it there: directly, or through a far pointer and landing pad. `kind` and
  // `upper` are the pointer's kind and upper 32 bits.
  Location place(Location pointer, std::uint32_t words, PointerKind kind, std::uint32_t upper) {
    // Inline, as nearly every object fits beside its pointer. The pointer's own word is
    // in use, so an object that fits is smaller than the largest segment.
    Segment& own = segments_[pointer.segment];
    if (words > own.capacity - own.used) return place_elsewhere(pointer, words, kind, upper);
    const Location object{pointer.segment, own.used};
    own.used += words;
    if (writing())
      write_pointer(pointer, kind, std::int64_t{object.word} - pointer.word - 1, upper);
    return object;
  }

  std::uint8_t* at(Location location) const {
    return base_ + (segment_start_[location.segment] + location.word) * kBytesPerWord;
  }

  // Words used in each segment so far.
  std::vector<std::uint32_t> segment_words() const;

  // Set when an object exceeds what the format can encode; the first reason is kept.
  void refuse(std::string reason);
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

  std::vector<Segment> segments_;
  std::uint32_t next_size_ = kFirstSegmentWords;
  std::uint8_t* base_ = nullptr;
  std::vector<std::uint64_t> segment_start_;  // in words from base_
  std::string refusal_;
};

class StructBuilder;

// A composite list being filled; element i is a struct of the list's element size.
class StructListBuilder {
 public:
  StructListBuilder(Arena& arena, Location first, StructSize size, std::uint32_t count)
      : arena_(&arena), first_(first), size_(size), count_(count) {}

  std::uint32_t size() const { return count_; }
  StructBuilder operator[](std::uint32_t i) const;

 private:
  Arena* arena_;
  Location first_;
  StructSize size_;
  std::uint32_t count_;
};

// A struct being filled. When planning, setters of numbers do nothing and object
// creation only places.
class StructBuilder {
 public:
  StructBuilder(Arena& arena, Location location, StructSize size)
      : arena_(&arena), location_(location), size_(size) {}

  template <class T>
  void set(DataField<T> field, T value) {
    if (arena_->writing()) {
      store_le<T>(arena_->at(location_) + field.byte_offset, value ^ field.default_value);
    }
  }

  // A text is its bytes and a closing NUL, which the zeroed output already holds.
  void set_text(PointerField field, std::string_view text) {
    std::uint8_t* out = place_bytes(field, text.size() + 1, text.size() + 1);
    if (out != nullptr && !text.empty()) std::memcpy(out, text.data(), text.size());
  }
  void set_data(PointerField field, std::span<const std::uint8_t> bytes) {
    std::uint8_t* out = place_bytes(field, bytes.size(), bytes.size());
    if (out != nullptr && !bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
  }
  void set_u32_list(PointerField field, std::span<const std::uint32_t> values);
  StructBuilder init_struct(PointerField field, StructSize size) {
    const Location object = arena_->place(pointer_location(field), size.total_words(),
                                          PointerKind::Struct, struct_size_bits(size));
    return StructBuilder(*arena_, object, size);
  }
  StructListBuilder init_struct_list(PointerField field, StructSize size, std::size_t count) {
    const std::uint64_t content = std::uint64_t{size.total_words()} * count;
    if (count > kMaxListElements || content > kMaxListElements) {
      refuse_records(count);
      return StructListBuilder(*arena_, {}, size, 0);
    }
    const auto n = static_cast<std::uint32_t>(count);
    const auto words = static_cast<std::uint32_t>(content);
    const Location tag = arena_->place(pointer_location(field), words + 1, PointerKind::List,
                                       list_size_bits(ElementSize::Composite, words));
    if (arena_->writing()) {
      // The tag word is shaped like a struct pointer whose offset field holds the count.
      store_le<std::uint64_t>(
          arena_->at(tag), (std::uint64_t{n} << 2) | (std::uint64_t{struct_size_bits(size)} << 32));
    }
    return StructListBuilder(*arena_, {tag.segment, tag.word + 1}, size, n);
  }

 private:
  Location pointer_location(PointerField field) const {
    return {location_.segment, location_.word + size_.data_words + field.index};
  }
  // A byte list of `count` bytes; null when planning or refused.
  std::uint8_t* place_bytes(PointerField field, std::size_t count, std::size_t bytes) {
    if (count > kMaxListElements) {
      refuse_bytes(count);
      return nullptr;
    }
    const auto n = static_cast<std::uint32_t>(count);
    const Location object = arena_->place(pointer_location(field), words_for_bytes(bytes),
                                          PointerKind::List, list_size_bits(ElementSize::Byte, n));
    return arena_->writing() ? arena_->at(object) : nullptr;
  }
  // The refusals, kept out of line: they build a message and never happen in practice.
  void refuse_bytes(std::size_t count);
  void refuse_records(std::size_t count);

  Arena* arena_;
  Location location_;
  StructSize size_;
};

inline StructBuilder StructListBuilder::operator[](std::uint32_t i) const {
  return StructBuilder(*arena_, {first_.segment, first_.word + i * size_.total_words()}, size_);
}

// Writes the unpacked stream framing for segments of the given sizes into `out`
// (exactly table_bytes(segment_words.size()) bytes).
std::size_t table_bytes(std::size_t segment_count);
void write_table(std::uint8_t* out, std::span<const std::uint32_t> segment_words);

// Writes a message built by build_message to `output`: the table, then each segment as
// one block. A stream that refuses bytes gives SinkFailed; what it accepted stays.
Result<void> write_to_stream(std::ostream& output, std::span<const std::uint8_t> message);

// Builds one message whose root is a struct of `root_size`, filled by `fill`, and
// appends it to `output`. `fill` runs twice (planning, then writing) and must do the
// same both times. Refuses, leaving `output` as it was, a message the format cannot
// hold.
template <class Fill>
Result<void> build_message(std::vector<std::uint8_t>& output, StructSize root_size, Fill&& fill) {
  Arena arena;
  auto run = [&] {
    const Location root = arena.root_pointer();
    fill(StructBuilder(arena,
                       arena.place(root, root_size.total_words(), PointerKind::Struct,
                                   struct_size_bits(root_size)),
                       root_size));
  };
  run();
  if (!arena.refusal().empty()) {
    return std::unexpected(PackageError::invalid(arena.refusal()));
  }
  const std::vector<std::uint32_t> words = arena.segment_words();
  std::uint64_t total = 0;
  for (std::uint32_t w : words) total += w;
  const std::size_t table = table_bytes(words.size());
  const std::size_t start = output.size();
  output.resize(start + table + total * kBytesPerWord);
  write_table(output.data() + start, words);
  arena.begin_writing(output.data() + start + table, words);
  run();
  return {};
}

}  // namespace quarn_package::detail::wire
