#include "wire/reader.hpp"

#include <algorithm>
#include <limits>
#include <string>

namespace quarn_package::detail::wire {
namespace {

std::unexpected<PackageError> fail(CapnpErrorKind kind, std::string description) {
  return std::unexpected(PackageError::capnp(kind, std::move(description)));
}

PointerKind kind_of(std::uint64_t word) { return static_cast<PointerKind>(word & 3); }

// The signed 30-bit word offset of a struct or list pointer.
std::int64_t offset_of(std::uint64_t word) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(word)) >> 2;
}

const char* kind_name(PointerKind kind) {
  switch (kind) {
    case PointerKind::Struct:
      return "struct";
    case PointerKind::List:
      return "list";
    case PointerKind::Far:
      return "far";
    case PointerKind::Other:
      return "capability";
  }
  return "unknown";
}

// Bits per element of a non-composite list, and whether it carries a pointer.
constexpr std::uint32_t kElementBits[] = {0, 1, 8, 16, 32, 64, 64};

}  // namespace

Result<MessageReader> MessageReader::parse(std::span<const std::uint8_t> input,
                                           const ReaderOptions& options) {
  if (input.size() < 8) {
    return fail(CapnpErrorKind::Truncated, "input of " + std::to_string(input.size()) +
                                               " bytes ends inside the segment table");
  }
  const std::uint64_t count = std::uint64_t{load_le<std::uint32_t>(input.data())} + 1;
  if (count > kMaxSegments) {
    return fail(CapnpErrorKind::SegmentTable, "segment table declares " + std::to_string(count) +
                                                  " segments, more than " +
                                                  std::to_string(kMaxSegments));
  }
  const std::size_t table = (count / 2 + 1) * 8;
  if (input.size() < table) {
    return fail(CapnpErrorKind::Truncated, "input of " + std::to_string(input.size()) +
                                               " bytes ends inside a segment table of " +
                                               std::to_string(table) + " bytes");
  }
  MessageReader reader;
  reader.segments_.reserve(count);
  std::uint64_t total_words = 0;
  const std::uint64_t available_words = (input.size() - table) / kBytesPerWord;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint32_t words = load_le<std::uint32_t>(input.data() + 4 + 4 * i);
    if (words > available_words - total_words) {
      return fail(CapnpErrorKind::Truncated, "segment " + std::to_string(i) + " of " +
                                                 std::to_string(words) +
                                                 " words reaches beyond the " +
                                                 std::to_string(input.size()) + " bytes of input");
    }
    reader.segments_.push_back({input.data() + table + total_words * kBytesPerWord, words});
    total_words += words;
  }
  reader.message_bytes_ = table + total_words * kBytesPerWord;
  reader.nesting_limit_ = options.nesting_limit;
  reader.budget_ = std::min(total_words, options.traversal_limit_in_words.value_or(total_words));
  return reader;
}

Result<void> MessageReader::in_segment(std::uint32_t segment, std::int64_t start,
                                       std::uint64_t words) const {
  const std::uint64_t size = segments_[segment].words;
  if (start < 0 || static_cast<std::uint64_t>(start) > size ||
      words > size - static_cast<std::uint64_t>(start)) {
    return fail(CapnpErrorKind::PointerOutOfBounds,
                "object of " + std::to_string(words) + " words at word " + std::to_string(start) +
                    " lies outside segment " + std::to_string(segment) + " of " +
                    std::to_string(size) + " words");
  }
  return {};
}

// libcapnp moves a target that lies outside its segment to the segment's end, so an
// object of zero words reads as empty wherever its pointer says it lies; so does ours.
std::int64_t MessageReader::placed(const Resolved& r, std::uint64_t words) const {
  const std::int64_t size = segments_[r.segment].words;
  return words == 0 && (r.target < 0 || r.target > size) ? size : r.target;
}

Result<void> MessageReader::charge(std::uint64_t words) const {
  if (words > budget_) {
    return fail(CapnpErrorKind::ReadBudget,
                "message visits more words than it holds (aliased pointers or zero-sized "
                "elements)");
  }
  budget_ -= words;
  return {};
}

Result<MessageReader::Resolved> MessageReader::resolve(std::uint32_t segment,
                                                       std::uint64_t pointer_word) const {
  const std::uint64_t word = load_le<std::uint64_t>(word_address(segment, pointer_word));
  if (kind_of(word) != PointerKind::Far) {
    return Resolved{word, segment, static_cast<std::int64_t>(pointer_word) + 1 + offset_of(word)};
  }
  const auto pad_segment = static_cast<std::uint32_t>(word >> 32);
  const std::int64_t pad_word = static_cast<std::uint32_t>(word) >> 3;
  const bool double_far = (word & 4) != 0;
  if (pad_segment >= segments_.size()) {
    return fail(CapnpErrorKind::BadFarPointer,
                "far pointer to missing segment " + std::to_string(pad_segment));
  }
  if (!in_segment(pad_segment, pad_word, double_far ? 2 : 1)) {
    return fail(CapnpErrorKind::BadFarPointer,
                "far pointer's landing pad lies outside segment " + std::to_string(pad_segment));
  }
  const std::uint64_t pad = load_le<std::uint64_t>(word_address(pad_segment, pad_word));
  if (!double_far) {
    if (kind_of(pad) == PointerKind::Far) {
      return fail(CapnpErrorKind::BadFarPointer, "landing pad is itself a far pointer");
    }
    return Resolved{pad, pad_segment, pad_word + 1 + offset_of(pad)};
  }
  // A double-far pad: a far pointer to the object's start, then the object's tag.
  if (kind_of(pad) != PointerKind::Far) {
    return fail(CapnpErrorKind::BadFarPointer, "double-far landing pad is not a far pointer");
  }
  const auto target_segment = static_cast<std::uint32_t>(pad >> 32);
  if (target_segment >= segments_.size()) {
    return fail(CapnpErrorKind::BadFarPointer,
                "double-far pointer to missing segment " + std::to_string(target_segment));
  }
  const std::uint64_t tag = load_le<std::uint64_t>(word_address(pad_segment, pad_word + 1));
  if (kind_of(tag) == PointerKind::Far) {
    return fail(CapnpErrorKind::BadFarPointer, "double-far tag is a far pointer");
  }
  return Resolved{tag, target_segment, static_cast<std::uint32_t>(pad) >> 3};
}

Result<StructReader> MessageReader::struct_at(const Resolved& r, std::int32_t nesting) const {
  if (kind_of(r.word) != PointerKind::Struct) {
    return fail(CapnpErrorKind::WrongPointerKind,
                std::string("expected a struct pointer, found a ") + kind_name(kind_of(r.word)) +
                    " pointer");
  }
  if (nesting <= 0) {
    return fail(CapnpErrorKind::NestingLimit,
                "message nests deeper than " + std::to_string(nesting_limit_) + " pointers");
  }
  const auto data_words = static_cast<std::uint16_t>(r.word >> 32);
  const auto pointers = static_cast<std::uint16_t>(r.word >> 48);
  const std::int64_t target = placed(r, std::uint64_t{data_words} + pointers);
  if (auto ok = in_segment(r.segment, target, std::uint64_t{data_words} + pointers); !ok) {
    return std::unexpected(ok.error());
  }
  if (auto ok = charge(std::uint64_t{data_words} + pointers); !ok)
    return std::unexpected(ok.error());
  StructReader s;
  s.message_ = this;
  s.data_ = word_address(r.segment, static_cast<std::uint64_t>(target));
  s.data_bytes_ = std::uint32_t{data_words} * kBytesPerWord;
  s.segment_ = r.segment;
  s.pointers_word_ = static_cast<std::uint64_t>(target) + data_words;
  s.pointer_count_ = pointers;
  s.nesting_ = nesting - 1;
  return s;
}

Result<ListReader> MessageReader::composite_list_at(const Resolved& r, ListExpectation expect,
                                                    std::int32_t nesting) const {
  const std::uint64_t words = r.word >> 35;
  if (auto ok = in_segment(r.segment, r.target, words + 1); !ok) return std::unexpected(ok.error());
  if (auto ok = charge(words + 1); !ok) return std::unexpected(ok.error());
  const std::uint64_t tag = load_le<std::uint64_t>(word_address(r.segment, r.target));
  if (kind_of(tag) != PointerKind::Struct) {
    return fail(CapnpErrorKind::WrongPointerKind, "composite list tag is not a struct tag");
  }
  // Element counts have 29 bits; like libcapnp, the tag's top offset bit is not one.
  const auto count = (static_cast<std::uint32_t>(tag) >> 2) & kMaxListElements;
  const auto data_words = static_cast<std::uint16_t>(tag >> 32);
  const auto pointers = static_cast<std::uint16_t>(tag >> 48);
  const std::uint64_t per_element = std::uint64_t{data_words} + pointers;
  if (per_element * count > words) {
    return fail(CapnpErrorKind::PointerOutOfBounds, "composite list of " + std::to_string(count) +
                                                        " elements overruns its " +
                                                        std::to_string(words) + " words");
  }
  if (per_element == 0) {
    if (auto ok = charge(count); !ok) return std::unexpected(ok.error());
  }
  if (expect == ListExpectation::Bytes || (expect == ListExpectation::U32 && data_words == 0)) {
    return fail(CapnpErrorKind::BadListElementSize,
                "found a list of structs where a list of numbers or bytes was expected");
  }
  ListReader list;
  list.message_ = this;
  list.start_ = word_address(r.segment, static_cast<std::uint64_t>(r.target) + 1);
  list.count_ = count;
  list.stride_ = static_cast<std::uint32_t>(per_element * kBytesPerWord);
  list.element_data_bytes_ = std::uint32_t{data_words} * kBytesPerWord;
  list.element_pointers_ = pointers;
  list.segment_ = r.segment;
  list.start_word_ = static_cast<std::uint64_t>(r.target) + 1;
  list.nesting_ = nesting - 1;
  return list;
}

Result<ListReader> MessageReader::list_at(const Resolved& r, ListExpectation expect,
                                          std::int32_t nesting) const {
  if (kind_of(r.word) != PointerKind::List) {
    return fail(CapnpErrorKind::WrongPointerKind, std::string("expected a list pointer, found a ") +
                                                      kind_name(kind_of(r.word)) + " pointer");
  }
  if (nesting <= 0) {
    return fail(CapnpErrorKind::NestingLimit,
                "message nests deeper than " + std::to_string(nesting_limit_) + " pointers");
  }
  const auto size = static_cast<ElementSize>((r.word >> 32) & 7);
  if (size == ElementSize::Composite) return composite_list_at(r, expect, nesting);
  const auto count = static_cast<std::uint32_t>(r.word >> 35);
  const std::uint32_t bits = kElementBits[static_cast<int>(size)];
  const std::uint64_t words = (std::uint64_t{count} * bits + 63) / 64;
  const std::int64_t target = placed(r, words);
  if (auto ok = in_segment(r.segment, target, words); !ok) return std::unexpected(ok.error());
  // Every element read as a struct costs at least one word, as a zero-sized one does: a
  // void list occupies nothing, and a byte list read as structs would otherwise cost an
  // eighth of a word per record built from it. (A bit list is refused below.)
  const bool per_element =
      size == ElementSize::Void || (expect == ListExpectation::Structs && size != ElementSize::Bit);
  const std::uint64_t cost = per_element ? std::max<std::uint64_t>(words, count) : words;
  if (auto ok = charge(cost); !ok) return std::unexpected(ok.error());
  const bool readable = expect == ListExpectation::Bytes ? size == ElementSize::Byte
                        : expect == ListExpectation::U32
                            ? size == ElementSize::FourBytes || size == ElementSize::EightBytes
                            : size != ElementSize::Bit;
  if (!readable) {
    return fail(CapnpErrorKind::BadListElementSize,
                "list of element size code " + std::to_string(static_cast<int>(size)) +
                    " cannot be read as the schema's list type");
  }
  ListReader list;
  list.message_ = this;
  list.start_ = word_address(r.segment, static_cast<std::uint64_t>(target));
  list.count_ = count;
  list.stride_ = bits / 8;
  list.element_data_bytes_ = size == ElementSize::Pointer ? 0 : bits / 8;
  list.element_pointers_ = size == ElementSize::Pointer ? 1 : 0;
  list.segment_ = r.segment;
  list.start_word_ = static_cast<std::uint64_t>(target);
  list.nesting_ = nesting - 1;
  return list;
}

Result<StructReader> MessageReader::root() const {
  if (segments_[0].words == 0) {
    return fail(CapnpErrorKind::PointerOutOfBounds, "message has no root pointer");
  }
  if (auto ok = charge(1); !ok) return std::unexpected(ok.error());
  if (load_le<std::uint64_t>(segments_[0].start) == 0) return StructReader{};
  auto r = resolve(0, 0);
  if (!r) return std::unexpected(r.error());
  return struct_at(*r, static_cast<std::int32_t>(std::min<std::uint32_t>(
                           nesting_limit_, std::numeric_limits<std::int32_t>::max())));
}

Result<StructReader> MessageReader::read_struct_checked(const StructReader& parent,
                                                        PointerField field) const {
  if (field.index >= parent.pointer_count_) return StructReader{};
  const std::uint64_t at = parent.pointers_word_ + field.index;
  if (load_le<std::uint64_t>(word_address(parent.segment_, at)) == 0) return StructReader{};
  auto r = resolve(parent.segment_, at);
  if (!r) return std::unexpected(r.error());
  return struct_at(*r, parent.nesting_);
}

Result<ListReader> MessageReader::read_list_checked(const StructReader& parent, PointerField field,
                                                    ListExpectation expect) const {
  if (field.index >= parent.pointer_count_) return ListReader{};
  const std::uint64_t at = parent.pointers_word_ + field.index;
  if (load_le<std::uint64_t>(word_address(parent.segment_, at)) == 0) return ListReader{};
  auto r = resolve(parent.segment_, at);
  if (!r) return std::unexpected(r.error());
  return list_at(*r, expect, parent.nesting_);
}

Result<ListReader> MessageReader::read_byte_list(const StructReader& parent, PointerField field,
                                                 const char* what) const {
  // Texts and data end a path: they count against the budget but not the nesting limit.
  StructReader unnested = parent;
  unnested.nesting_ = std::numeric_limits<std::int32_t>::max();
  auto list = read_list_checked(unnested, field, ListExpectation::Bytes);
  if (!list && list.error().kind() == PackageError::Kind::Capnp) {
    const auto& capnp = std::get<PackageError::Capnp>(list.error().detail());
    return fail(capnp.kind, std::string(what) + ": " + capnp.description);
  }
  return list;
}

Result<std::span<const std::uint8_t>> MessageReader::read_text_checked(const StructReader& parent,
                                                                       PointerField field) const {
  auto list = read_byte_list(parent, field, "text");
  if (!list) return std::unexpected(list.error());
  if (list->message_ == nullptr) return std::span<const std::uint8_t>{};
  const std::span<const std::uint8_t> bytes = list->bytes();
  if (bytes.empty() || bytes.back() != 0) {
    return fail(CapnpErrorKind::TextNotTerminated, "text is not terminated by a NUL byte");
  }
  return bytes.first(bytes.size() - 1);
}

Result<std::span<const std::uint8_t>> MessageReader::read_data_checked(const StructReader& parent,
                                                                       PointerField field) const {
  auto list = read_byte_list(parent, field, "data");
  if (!list) return std::unexpected(list.error());
  return list->bytes();
}

}  // namespace quarn_package::detail::wire
