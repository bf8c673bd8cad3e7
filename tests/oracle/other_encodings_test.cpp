// Fields stored in encodings our writer never uses but the format lets a reader meet:
// lists of wider or narrower elements, lists of structs for lists of numbers and back,
// texts as data, the wrong pointer kind. Whatever libcapnp makes of such a package, ours
// must make the same: libcapnp's record after our validation, or a Capnp error where
// libcapnp throws.
#include <gtest/gtest.h>

#include <capnp/any.h>
#include <capnp/message.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crafting.hpp"
#include "oracle_support.hpp"

namespace quarn_package::oracle {
namespace {

enum class Libcapnp { Reads, Throws };

struct EncodingCase {
  std::string_view name;
  Change change;
  Libcapnp libcapnp;  // keeps each case honest about what it makes
};

capnp::Data::Reader bytes_of(std::string_view s) {
  return {reinterpret_cast<const kj::byte*>(s.data()), s.size()};
}

void expect_same_outcome(const EncodingCase& c) {
  const Bytes bytes = changed_package(c.change);
  std::optional<Application> theirs;
  std::string thrown;
  try {
    CapnpView view(bytes);
    theirs = to_record(view.root<cs::Application>());
  } catch (const kj::Exception& e) {
    thrown = e.getDescription().cStr();
  }
  ASSERT_EQ(theirs.has_value(), c.libcapnp == Libcapnp::Reads) << thrown;
  const Result<Application> ours = Application::read(bytes);
  if (!theirs) {
    ASSERT_FALSE(ours.has_value()) << "libcapnp: " << thrown;
    EXPECT_EQ(ours.error().kind(), PackageError::Kind::Capnp) << ours.error();
    return;
  }
  if (const Result<void> valid = theirs->validate(); !valid) {
    ASSERT_FALSE(ours.has_value());
    EXPECT_EQ(ours.error(), valid.error());
    return;
  }
  ASSERT_TRUE(ours.has_value()) << ours.error();
  EXPECT_EQ(*ours, *theirs);
}

// Pointer numbers in the structs changed below.
constexpr unsigned kCompilerVersion = 0;
constexpr unsigned kTiles = 2;
constexpr unsigned kHostExchange = 6;
constexpr unsigned kEntryPoints = 7;
constexpr unsigned kConfigWrites = 8;
constexpr unsigned kDebugSymbols = 10;
constexpr unsigned kShape = 2;
constexpr unsigned kSlices = 3;
constexpr unsigned kPages = 0;
constexpr unsigned kSegmentData = 0;
constexpr unsigned kSteps = 0;
constexpr unsigned kActivities = 3;

capnp::AnyPointer::Builder shape(App a) { return pointer(a.getInputs()[0], kShape); }

TEST(OtherEncodings, ReadAsLibcapnpReadsThem) {
  using capnp::List;
  const EncodingCase cases[] = {
      {"shape as 64-bit numbers",
       [](App a) {
         shape(a).setAs<List<std::uint64_t>>({0x100000004ull, 0xFFFFFFFF00000007ull});
       },
       Libcapnp::Reads},
      {"shape as 16-bit numbers",
       [](App a) {
         shape(a).setAs<List<std::uint16_t>>({4, 7});
       },
       Libcapnp::Throws},
      {"shape as bytes", [](App a) { shape(a).setAs<List<std::uint8_t>>({4}); }, Libcapnp::Throws},
      {"shape as bits", [](App a) { shape(a).setAs<List<bool>>({true}); }, Libcapnp::Throws},
      {"shape as voids", [](App a) { shape(a).initAs<List<capnp::Void>>(2); }, Libcapnp::Throws},
      {"shape as structs with a data word",
       [](App a) {
         auto writes = shape(a).initAs<List<cs::DeviceConfigWrite>>(2);
         writes[0].setOffset(4);
         writes[0].setValue(99);
         writes[1].setOffset(8);
       },
       Libcapnp::Reads},
      {"shape as structs without data", [](App a) { shape(a).initAs<List<cs::Metadata>>(1); },
       Libcapnp::Throws},
      {"shape as texts", [](App a) { shape(a).setAs<List<capnp::Text>>({"4"}); }, Libcapnp::Throws},
      {"configuration writes as 64-bit numbers",
       [](App a) {
         pointer(a, kConfigWrites)
             .setAs<List<std::uint64_t>>({0xC000000D00004018ull, 0x0000000500000020ull});
       },
       Libcapnp::Reads},
      {"debug symbols as texts",
       [](App a) {
         pointer(a, kDebugSymbols).setAs<List<capnp::Text>>({"alpha", "beta"});
       },
       Libcapnp::Reads},
      // The voids replace a list of more words than they claim elements, so they stay within
      // our read budget (see VoidElementsBeyondTheMessageSize below).
      {"debug symbols as voids",
       [](App a) { pointer(a, kDebugSymbols).initAs<List<capnp::Void>>(3); }, Libcapnp::Reads},
      {"entry points as bytes",
       [](App a) {
         pointer(a, kEntryPoints).setAs<List<std::uint8_t>>({1, 2});
       },
       Libcapnp::Reads},
      // A step of one data word: the kind lies beyond it and reads as Exchange.
      {"profile steps as 64-bit numbers",
       [](App a) {
         pointer(a.getProfileTiles()[0], kSteps).setAs<List<std::uint64_t>>({0x700000000ull});
       },
       Libcapnp::Reads},
      {"exchange activities as 16-bit numbers",
       [](App a) {
         pointer(a.getProfileTiles()[0].getSteps()[0], kActivities)
             .setAs<List<std::uint16_t>>({1, 2});
       },
       Libcapnp::Reads},
      {"tiles as 32-bit numbers",
       [](App a) {
         pointer(a, kTiles).setAs<List<std::uint32_t>>({0, 9});
       },
       Libcapnp::Reads},
      {"tiles as bits", [](App a) { pointer(a, kTiles).setAs<List<bool>>({false}); },
       Libcapnp::Throws},
      {"tiles in a narrower struct",
       [](App a) {
         auto tiles = pointer(a, kTiles).initAs<List<cs::DeviceConfigWrite>>(2);
         tiles[0].setValue(0x4C000);
         tiles[1].setOffset(9);
       },
       Libcapnp::Reads},
      {"tiles as a struct", [](App a) { pointer(a, kTiles).initAs<cs::HostPage>(); },
       Libcapnp::Throws},
      {"binding slices as 64-bit numbers",
       [](App a) {
         pointer(a.getInputs()[0], kSlices).setAs<List<std::uint64_t>>({0x0004C00000000000ull});
       },
       Libcapnp::Reads},
      {"host pages in a wider struct",
       [](App a) {
         auto pages = pointer(a.getHostExchange(), kPages).initAs<List<cs::HostSlice>>(2);
         pages[0].setPageOffset(4096);
         pages[0].setFileOffset(77);
         pages[1].setPage(1);
         pages[1].setPageOffset(8192);
       },
       Libcapnp::Reads},
      {"host exchange as a list",
       [](App a) { pointer(a, kHostExchange).setAs<List<std::uint32_t>>({1}); }, Libcapnp::Throws},
      {"host exchange as an empty struct",
       [](App a) { pointer(a, kHostExchange).initAsAnyStruct(0, 0); }, Libcapnp::Reads},
      {"compiler version as numbers",
       [](App a) { pointer(a, kCompilerVersion).setAs<List<std::uint32_t>>({65}); },
       Libcapnp::Throws},
      {"compiler version as data without NUL",
       [](App a) { pointer(a, kCompilerVersion).setAs<capnp::Data>(bytes_of("abc")); },
       Libcapnp::Throws},
      {"compiler version as data with NUL",
       [](App a) {
         pointer(a, kCompilerVersion).setAs<capnp::Data>(bytes_of(std::string_view("abc", 4)));
       },
       Libcapnp::Reads},
      {"compiler version with an inner NUL",
       [](App a) {
         pointer(a, kCompilerVersion).setAs<capnp::Data>(bytes_of(std::string_view("ab\0cd", 6)));
       },
       Libcapnp::Reads},
      {"segment data as text",
       [](App a) {
         pointer(a.getTiles()[0].getSegments()[0], kSegmentData).setAs<capnp::Text>("xyz");
       },
       Libcapnp::Reads},
      {"segment data as structs",
       [](App a) {
         pointer(a.getTiles()[0].getSegments()[0], kSegmentData)
             .initAs<List<cs::DeviceConfigWrite>>(1);
       },
       Libcapnp::Throws},
  };
  for (const EncodingCase& c : cases) {
    SCOPED_TRACE(c.name);
    expect_same_outcome(c);
  }
}

// Where we part from libcapnp on purpose: zero-sized list elements cost one word each
// against a read budget of the message's own size, so that a few bytes cannot claim
// millions of elements; libcapnp, with no traversal limit, reads them all.
TEST(OtherEncodings, VoidElementsBeyondTheMessageSizeAreRefused) {
  const Bytes bytes = changed_package(
      [](App a) { pointer(a, kEntryPoints).initAs<capnp::List<capnp::Void>>(10000); });
  CapnpView view(bytes);
  EXPECT_EQ(to_record(view.root<cs::Application>()).entry_points.size(), 10000u);
  const Result<Application> ours = Application::read(bytes);
  ASSERT_FALSE(ours.has_value());
  const auto* capnp = std::get_if<PackageError::Capnp>(&ours.error().detail());
  ASSERT_NE(capnp, nullptr) << ours.error();
  EXPECT_EQ(capnp->kind, CapnpErrorKind::ReadBudget);
}

}  // namespace
}  // namespace quarn_package::oracle
