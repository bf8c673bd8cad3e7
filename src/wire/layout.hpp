// The Cap'n Proto encoding, as far as our schemas use it: struct sizes, field places,
// pointer words and element sizes. The schema tables (package/schema.hpp,
// profile/schema.hpp) describe every struct with these types, and both the builder and
// the reader work from those tables, so the two cannot disagree on a field's place.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace quarn_package::detail::wire {

static_assert(std::endian::native == std::endian::little,
              "the wire layer copies little-endian words as they are");

inline constexpr std::uint32_t kBytesPerWord = 8;
// Largest element count of a list and largest word count of a composite list's content.
inline constexpr std::uint32_t kMaxListElements = (1u << 29) - 1;
// Largest segment the builder opens; also bounds any single object.
inline constexpr std::uint32_t kMaxSegmentWords = 1u << 29;
inline constexpr std::uint32_t kFirstSegmentWords = 1024;
// The framing refuses tables with more segments than this before allocating anything.
// A table of more segments is absurd for any message a writer builds; the limit keeps the
// segment list small and is checked before anything is allocated.
inline constexpr std::uint32_t kMaxSegments = 512;

// Section sizes of a struct, in words and pointers.
struct StructSize {
  std::uint16_t data_words;
  std::uint16_t pointers;
  constexpr std::uint32_t total_words() const { return std::uint32_t{data_words} + pointers; }
  constexpr std::uint32_t data_bytes() const { return std::uint32_t{data_words} * kBytesPerWord; }
};

// A number in a struct's data section: its byte offset and its default, against which
// the stored bits are exclusive-ored.
template <class T>
struct DataField {
  static_assert(std::is_unsigned_v<T>);
  std::uint32_t byte_offset;
  T default_value = 0;
};

// The n-th pointer of a struct's pointer section.
struct PointerField {
  std::uint16_t index;
};

// Checks at compile time that a field lies inside its struct.
template <class T>
constexpr bool fits(StructSize size, DataField<T> field) {
  return field.byte_offset % sizeof(T) == 0 && field.byte_offset + sizeof(T) <= size.data_bytes();
}
constexpr bool fits(StructSize size, PointerField field) { return field.index < size.pointers; }

// Pointer kinds (the two low bits of a pointer word).
enum class PointerKind : std::uint8_t { Struct = 0, List = 1, Far = 2, Other = 3 };

// Element size codes of a list pointer.
enum class ElementSize : std::uint8_t {
  Void = 0,
  Bit = 1,
  Byte = 2,
  TwoBytes = 3,
  FourBytes = 4,
  EightBytes = 5,
  Pointer = 6,
  Composite = 7,
};

template <class T>
inline T load_le(const std::uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof(T));
  return value;
}

template <class T>
inline void store_le(std::uint8_t* p, T value) {
  std::memcpy(p, &value, sizeof(T));
}

// The upper half of a struct pointer (and of a composite list's tag).
constexpr std::uint32_t struct_size_bits(StructSize size) {
  return std::uint32_t{size.data_words} | (std::uint32_t{size.pointers} << 16);
}

// The upper half of a list pointer.
constexpr std::uint32_t list_size_bits(ElementSize size, std::uint32_t count) {
  return static_cast<std::uint32_t>(size) | (count << 3);
}

constexpr std::uint32_t words_for_bytes(std::uint64_t bytes) {
  return static_cast<std::uint32_t>((bytes + kBytesPerWord - 1) / kBytesPerWord);
}

}  // namespace quarn_package::detail::wire
