// The wire reader on hand-made messages: every structural fault it must refuse, the
// list compatibility it must allow, and the limits that keep crafted input cheap.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "support/words.hpp"
#include "wire/reader.hpp"

namespace quarn_package::detail::wire {
namespace {

using quarn_package::testing::far_ptr;
using quarn_package::testing::frame;
using quarn_package::testing::list_ptr;
using quarn_package::testing::struct_ptr;
using quarn_package::testing::tag_word;
using quarn_package::testing::Words;

constexpr std::uint8_t kBit = 1, kByte = 2, kFour = 4, kEight = 5, kComposite = 7;
constexpr std::uint64_t kCapability = 3;

// What a case reads once the message is parsed; returns the error, if any.
using Read = std::function<std::optional<PackageError>(const MessageReader&)>;

template <class T>
std::optional<PackageError> error_of(const Result<T>& r) {
  if (r) return std::nullopt;
  return r.error();
}

std::optional<PackageError> root_only(const MessageReader& m) { return error_of(m.root()); }

// Reads pointer 0 of the root struct as the given kind of field.
Read field0(
    std::function<std::optional<PackageError>(const MessageReader&, const StructReader&)> f) {
  return [f](const MessageReader& m) -> std::optional<PackageError> {
    auto root = m.root();
    if (!root) return root.error();
    return f(m, *root);
  };
}
const Read kStruct = field0([](auto& m, auto& s) { return error_of(m.read_struct(s, {0})); });
const Read kText = field0([](auto& m, auto& s) { return error_of(m.read_text(s, {0})); });
const Read kData = field0([](auto& m, auto& s) { return error_of(m.read_data(s, {0})); });
const Read kU32s =
    field0([](auto& m, auto& s) { return error_of(m.read_list(s, {0}, ListExpectation::U32)); });
const Read kStructs = field0(
    [](auto& m, auto& s) { return error_of(m.read_list(s, {0}, ListExpectation::Structs)); });

// A root struct with no data and one pointer, followed by `rest`.
std::vector<Words> with_field(std::uint64_t pointer, Words rest = {}) {
  Words s = {struct_ptr(0, 0, 1), pointer};
  s.insert(s.end(), rest.begin(), rest.end());
  return {s};
}

struct Case {
  const char* name;
  std::vector<std::uint8_t> bytes;
  Read read;
  std::optional<CapnpErrorKind> error;  // none: the read succeeds
};

std::vector<Case> cases() {
  std::vector<std::uint8_t> segments_513(8 + 4 * 513, 0);
  segments_513[0] = 0x00, segments_513[1] = 0x02;  // 512 + 1 segments
  std::vector<std::uint8_t> short_segment = frame({{struct_ptr(0, 1, 0), 7}});
  short_segment.resize(short_segment.size() - 1);
  const std::uint32_t huge = (1u << 29) - 1;
  return {
      {"empty input", {}, root_only, CapnpErrorKind::Truncated},
      {"table cut short", {0, 0, 0, 0}, root_only, CapnpErrorKind::Truncated},
      {"513 segments", segments_513, root_only, CapnpErrorKind::SegmentTable},
      {"segment beyond input", short_segment, root_only, CapnpErrorKind::Truncated},
      {"no root pointer", frame({{}}), root_only, CapnpErrorKind::PointerOutOfBounds},
      {"null root", frame({{0}}), root_only, std::nullopt},
      {"root beyond segment", frame({{struct_ptr(1, 1, 0), 0}}), root_only,
       CapnpErrorKind::PointerOutOfBounds},
      {"root before segment", frame({{struct_ptr(-2, 1, 0)}}), root_only,
       CapnpErrorKind::PointerOutOfBounds},
      // Like libcapnp, an object of zero words is in bounds wherever it claims to lie.
      {"empty root beyond segment", frame({{struct_ptr(1000, 0, 0)}}), root_only, std::nullopt},
      {"empty root before segment", frame({{struct_ptr(-2, 0, 0)}}), root_only, std::nullopt},
      {"empty data beyond segment", frame(with_field(list_ptr(1000, kByte, 0))), kData,
       std::nullopt},
      {"voids beyond segment", frame(with_field(list_ptr(-1000, 0, 3), {0, 0, 0})), kStructs,
       std::nullopt},
      {"empty text beyond segment", frame(with_field(list_ptr(1000, kByte, 0))), kText,
       CapnpErrorKind::TextNotTerminated},
      {"root is a list", frame({{list_ptr(0, kByte, 0)}}), root_only,
       CapnpErrorKind::WrongPointerKind},
      {"root is a capability", frame({{kCapability}}), root_only, CapnpErrorKind::WrongPointerKind},
      {"far to missing segment", frame({{far_ptr(1, 0)}}), root_only,
       CapnpErrorKind::BadFarPointer},
      {"far pad beyond segment", frame({{far_ptr(1, 1)}, {0}}), root_only,
       CapnpErrorKind::BadFarPointer},
      {"far pad is far", frame({{far_ptr(1, 0)}, {far_ptr(1, 0)}}), root_only,
       CapnpErrorKind::BadFarPointer},
      {"single far", frame({{far_ptr(1, 0)}, {struct_ptr(0, 1, 0), 42}}), root_only, std::nullopt},
      {"double-far pad not far", frame({{far_ptr(1, 0, true)}, {0, struct_ptr(0, 1, 0)}}),
       root_only, CapnpErrorKind::BadFarPointer},
      {"double far", frame({{far_ptr(1, 0, true)}, {far_ptr(2, 0), struct_ptr(0, 1, 0)}, {42}}),
       root_only, std::nullopt},
      {"double-far tag is far",
       frame({{far_ptr(1, 0, true)}, {far_ptr(2, 0), far_ptr(2, 0)}, {42}}), root_only,
       CapnpErrorKind::BadFarPointer},
      {"struct field is a list", frame(with_field(list_ptr(0, kByte, 0))), kStruct,
       CapnpErrorKind::WrongPointerKind},
      {"text", frame(with_field(list_ptr(0, kByte, 4), {0x00636261})), kText, std::nullopt},
      {"text not terminated", frame(with_field(list_ptr(0, kByte, 2), {0x6261})), kText,
       CapnpErrorKind::TextNotTerminated},
      {"empty byte list as text", frame(with_field(list_ptr(0, kByte, 0))), kText,
       CapnpErrorKind::TextNotTerminated},
      {"text from number list", frame(with_field(list_ptr(0, kFour, 1), {0})), kText,
       CapnpErrorKind::BadListElementSize},
      {"data from struct list",
       frame(with_field(list_ptr(0, kComposite, 1), {tag_word(1, 1, 0), 0})), kData,
       CapnpErrorKind::BadListElementSize},
      {"data beyond segment", frame(with_field(list_ptr(0, kByte, 9), {0})), kData,
       CapnpErrorKind::PointerOutOfBounds},
      {"u32 list from byte list", frame(with_field(list_ptr(0, kByte, 4), {0})), kU32s,
       CapnpErrorKind::BadListElementSize},
      {"u32 list from 8-byte list", frame(with_field(list_ptr(0, kEight, 1), {5})), kU32s,
       std::nullopt},
      {"u32 list from struct list",
       frame(with_field(list_ptr(0, kComposite, 2), {tag_word(2, 1, 0), 5, 6})), kU32s,
       std::nullopt},
      {"u32 list from pointer-only structs",
       frame(with_field(list_ptr(0, kComposite, 1), {tag_word(1, 0, 1), 0})), kU32s,
       CapnpErrorKind::BadListElementSize},
      {"struct list from bit list", frame(with_field(list_ptr(0, kBit, 3), {0})), kStructs,
       CapnpErrorKind::BadListElementSize},
      {"struct list from 8-byte list", frame(with_field(list_ptr(0, kEight, 1), {5})), kStructs,
       std::nullopt},
      {"composite elements overrun",
       frame(with_field(list_ptr(0, kComposite, 1), {tag_word(2, 1, 0), 5})), kStructs,
       CapnpErrorKind::PointerOutOfBounds},
      {"composite count beyond 29 bits",
       frame(with_field(list_ptr(0, kComposite, 0), {tag_word(1u << 29, 1, 0)})), kStructs,
       std::nullopt},
      {"composite tag is a list",
       frame(with_field(list_ptr(0, kComposite, 1), {list_ptr(0, kByte, 0), 5})), kStructs,
       CapnpErrorKind::WrongPointerKind},
      {"2^29 zero-sized structs",
       frame(with_field(list_ptr(0, kComposite, 0), {tag_word(huge, 0, 0)})), kStructs,
       CapnpErrorKind::ReadBudget},
      {"2^29 voids", frame(with_field(list_ptr(0, 0, huge))), kStructs, CapnpErrorKind::ReadBudget},
  };
}

TEST(WireReader, RefusesStructuralFaultsAndAcceptsCompatibleLists) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    auto m = MessageReader::parse(c.bytes, capnp_reader_options());
    std::optional<PackageError> error = m ? c.read(*m) : std::optional(m.error());
    if (!c.error) {
      EXPECT_FALSE(error) << *error;
      continue;
    }
    ASSERT_TRUE(error);
    ASSERT_EQ(error->kind(), PackageError::Kind::Capnp) << *error;
    EXPECT_EQ(std::get<PackageError::Capnp>(error->detail()).kind, *c.error) << *error;
  }
}

TEST(WireReader, CompatibleListsReadTheRightValues) {
  const auto bytes = frame(with_field(list_ptr(0, kComposite, 4), {tag_word(2, 2, 0), 5, 0, 6, 0}));
  auto m = MessageReader::parse(bytes, capnp_reader_options());
  ASSERT_TRUE(m);
  auto root = m->root();
  auto numbers = m->read_list(*root, {0}, ListExpectation::U32);
  ASSERT_TRUE(numbers);
  ASSERT_EQ(numbers->size(), 2u);
  EXPECT_EQ(numbers->u32(0), 5u);
  EXPECT_EQ(numbers->u32(1), 6u);

  // A struct read from a list of 8-byte numbers sees the number as its first word.
  const auto eight = frame(with_field(list_ptr(0, kEight, 2), {0x0000000200000001, 3}));
  auto m2 = MessageReader::parse(eight, capnp_reader_options());
  auto structs = m2->read_list(*m2->root(), {0}, ListExpectation::Structs);
  ASSERT_TRUE(structs);
  EXPECT_EQ(structs->struct_at(0).get(DataField<std::uint32_t>{4}), 2u);
  EXPECT_EQ(structs->struct_at(1).get(DataField<std::uint32_t>{0}), 3u);
  EXPECT_EQ(structs->struct_at(1).get(DataField<std::uint32_t>{8}), 0u);  // beyond: default
}

TEST(WireReader, DefaultsApplyBeyondAShortDataSection) {
  const auto bytes = frame({{struct_ptr(0, 1, 0), 0x0000000100000007}});
  auto m = MessageReader::parse(bytes, capnp_reader_options());
  auto root = m->root();
  ASSERT_TRUE(root);
  EXPECT_EQ(root->get(DataField<std::uint32_t>{0}), 7u);
  EXPECT_EQ(root->get(DataField<std::uint32_t>{4, 1}), 0u);  // stored 1, xor default 1
  EXPECT_EQ(root->get(DataField<std::uint32_t>{8, 1}), 1u);  // absent: the default
  EXPECT_EQ(root->get(DataField<std::uint64_t>{8}), 0u);
}

// A chain of structs, each pointing at the next through pointer 0.
std::vector<std::uint8_t> chain(int depth) {
  Words s = {struct_ptr(0, 0, 1)};
  for (int i = 1; i < depth; ++i) s.push_back(struct_ptr(0, 0, 1));
  s.push_back(0);
  return frame({s});
}

TEST(WireReader, NestingLimitIsSixtyFourPointersDeep) {
  auto depth_of = [](int depth) -> std::optional<PackageError> {
    const auto bytes = chain(depth);
    auto m = MessageReader::parse(bytes, capnp_reader_options());
    auto s = m->root();
    for (int i = 1; s && i < depth; ++i) s = m->read_struct(*s, {0});
    if (s) return std::nullopt;
    return s.error();
  };
  EXPECT_FALSE(depth_of(64));
  const auto error = depth_of(65);
  ASSERT_TRUE(error);
  EXPECT_EQ(std::get<PackageError::Capnp>(error->detail()).kind, CapnpErrorKind::NestingLimit);
}

TEST(WireReader, AliasedPointersExhaustTheBudget) {
  // 64 pointers that all lead to one 1000-word blob: 64,000 words of reading from a
  // message of about 1,070 words.
  constexpr int kPointers = 64;
  Words s = {struct_ptr(0, 0, kPointers)};
  for (int i = 0; i < kPointers; ++i) {
    s.push_back(list_ptr(kPointers - 1 - i, kByte, 8000));
  }
  s.resize(s.size() + 1000, 0);
  const auto bytes = frame({s});
  auto m = MessageReader::parse(bytes, capnp_reader_options());
  auto root = m->root();
  std::optional<PackageError> error;
  for (std::uint16_t i = 0; i < kPointers && !error; ++i) {
    auto data = m->read_data(*root, {i});
    if (!data) error = data.error();
  }
  ASSERT_TRUE(error);
  EXPECT_EQ(std::get<PackageError::Capnp>(error->detail()).kind, CapnpErrorKind::ReadBudget);
}

TEST(WireReader, MessageBytesCoverTableAndSegmentsOnly) {
  auto bytes = frame({{struct_ptr(0, 1, 0), 1}, {2, 3}});
  const std::size_t framed = bytes.size();
  bytes.insert(bytes.end(), {9, 9, 9});
  auto m = MessageReader::parse(bytes, capnp_reader_options());
  ASSERT_TRUE(m);
  EXPECT_EQ(m->message_bytes(), framed);
}

}  // namespace
}  // namespace quarn_package::detail::wire
