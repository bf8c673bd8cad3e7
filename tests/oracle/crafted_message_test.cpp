// Packages and profile files changed in one place with libcapnp: a valid message copied
// into a libcapnp builder, one field set to what our writer never stores, serialised.
#include <gtest/gtest.h>

#include <capnp/any.h>
#include <capnp/message.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "crafting.hpp"
#include "oracle_support.hpp"
#include "support/examples.hpp"
#include "support/log_capture.hpp"

namespace quarn_package::oracle {
namespace {

// A byte-list pointer whose target lies far beyond the end of its segment.
constexpr std::uint64_t kOutOfBoundsText = (0xFFFFFull << 2) | 1 | (2ull << 32) | (7ull << 35);
constexpr unsigned kTargetPointer = 1;

PackageError header_mismatch() { return PackageError::invalid("incompatible package header"); }

// Capnp errors are compared by kind only: their texts are ours to choose.
::testing::AssertionResult fails_with(const Result<Application>& result,
                                      const PackageError& expected) {
  if (result) return ::testing::AssertionFailure() << "read succeeded";
  const auto* actual = std::get_if<PackageError::Capnp>(&result.error().detail());
  const auto* wanted = std::get_if<PackageError::Capnp>(&expected.detail());
  if (actual != nullptr && wanted != nullptr ? actual->kind == wanted->kind
                                             : result.error() == expected) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got " << result.error() << ", expected " << expected;
}

struct FailureCase {
  std::string_view name;
  Change change;
  PackageError expected;
};

TEST(CraftedPackage, IsRefused) {
  const FailureCase cases[] = {
      {"schema version 4", [](App a) { a.setSchemaVersion(4); }, header_mismatch()},
      {"schema version 6", [](App a) { a.setSchemaVersion(6); }, header_mismatch()},
      {"empty target", [](App a) { a.setTarget(""); }, header_mismatch()},
      {"target with trailing blank", [](App a) { a.setTarget("quarn7 "); }, header_mismatch()},
      {"target in other case", [](App a) { a.setTarget("Quarn7"); }, header_mismatch()},
      {"base one above", [](App a) { a.setTileMemoryBase(0x4C001); }, header_mismatch()},
      {"base one below", [](App a) { a.setTileMemoryBase(0x4BFFF); }, header_mismatch()},
      {"size 0", [](App a) { a.setTileMemorySize(0); }, header_mismatch()},
      {"wrong version before a broken target",
       [](App a) {
         a.setSchemaVersion(4);
         set_pointer_bits(a, kTargetPointer, kOutOfBoundsText);
       },
       header_mismatch()},
      {"broken target", [](App a) { set_pointer_bits(a, kTargetPointer, kOutOfBoundsText); },
       PackageError::capnp(CapnpErrorKind::PointerOutOfBounds, "")},
      {"non-UTF-8 target before a wrong base",
       [](App a) {
         a.setTarget(
             capnp::Text::Reader("quarn\xFF"
                                 "7",
                                 7));
         a.setTileMemoryBase(0x4C001);
       },
       PackageError::utf8(5, 1)},
      {"step kind 4",
       [](App a) { a.getProfileTiles()[0].getSteps()[0].setKind(static_cast<cs::StepKind>(4)); },
       PackageError::schema_enum(4)},
      {"exchange activity kind 3",
       [](App a) {
         a.getProfileTiles()[0].getSteps()[0].getExchangeActivities()[1].setKind(
             static_cast<cs::ExchangeActivityKind>(3));
       },
       PackageError::schema_enum(3)},
      {"binding name with 0xFF",
       [](App a) {
         a.getInputs()[0].setName(
             capnp::Text::Reader("a\xFF"
                                 "b",
                                 3));
       },
       PackageError::utf8(1, 1)},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(fails_with(Application::read(changed_package(c.change)), c.expected));
  }
}

struct AcceptedCase {
  std::string_view name;
  Change change;
  Application (*expected)();
};

// Absent values read as the schema's defaults, for libcapnp and for us alike.
TEST(CraftedPackage, ReadsAbsentValuesAsDefaults) {
  const AcceptedCase cases[] = {
      {"null compiler version", [](App a) { a.disownCompilerVersion(); },
       [] {
         Application app = base_application();
         app.compiler_version = "";
         return app;
       }},
      {"null host exchange", [](App a) { a.disownHostExchange(); },
       [] {
         Application app = base_application();
         app.host_exchange = {};
         return app;
       }},
      // A struct list of one word of data and one pointer where host calls belong: the
      // name and command are there, the invocations lie beyond the data and read as 1.
      {"host call too short for invocations",
       [](App a) {
         auto shorter = pointer(a.getHostExchange(), 2).initAs<capnp::List<cs::DebugSymbol>>(1);
         shorter[0].setName("short");
         shorter[0].setAddress(77);
       },
       [] {
         Application app = base_application();
         app.host_exchange.calls = {HostCall{.name = "short", .command = 77, .invocations = 1}};
         return app;
       }},
  };
  for (const AcceptedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = changed_package(c.change);
    CapnpView view(bytes);
    const Result<Application> ours = Application::read(bytes);
    ASSERT_TRUE(ours.has_value()) << ours.error();
    EXPECT_EQ(*ours, to_record(view.root<cs::Application>()));
    EXPECT_EQ(*ours, c.expected());
  }
}

TEST(CraftedPackage, NullCompilerVersionIsLoggedEmpty) {
  const Bytes bytes = changed_package([](App a) { a.disownCompilerVersion(); });
  const quarn_package::testing::LogCapture capture(log::Level::Info);
  ASSERT_TRUE(Application::read(bytes).has_value());
  const auto events = capture.events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].message, "application package read");
  EXPECT_EQ(events[1].text("compiler"), "");
  EXPECT_EQ(events[1].number("tiles"), 1u);
}

TEST(CraftedPackage, HeaderAloneHasNoTiles) {
  capnp::MallocMessageBuilder message;
  cs::Application::Builder root = message.initRoot<cs::Application>();
  root.setSchemaVersion(5);
  root.setTarget("quarn7");
  root.setTileMemoryBase(kTileMemoryBase);
  root.setTileMemorySize(kTileMemorySize);
  const quarn_package::testing::LogCapture capture(log::Level::Info);
  EXPECT_TRUE(fails_with(Application::read(serialize(message)),
                         PackageError::invalid("application has no tiles")));
  const auto events = capture.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message, "reading application package");
}

TEST(CraftedPackage, NullRootIsAHeaderMismatch) {
  capnp::MallocMessageBuilder message;
  message.getRoot<capnp::AnyPointer>();
  EXPECT_TRUE(fails_with(Application::read(serialize(message)), header_mismatch()));
}

TEST(CraftedPackage, TrailingBytesAreIgnored) {
  const Bytes package =
      libcapnp_bytes(base_application(), 8, capnp::AllocationStrategy::FIXED_SIZE);
  Bytes padded = package;
  for (unsigned i = 0; i < 100; ++i) padded.push_back(static_cast<std::uint8_t>(0xA5 ^ i));
  const Result<Application> read = Application::read(padded);
  ASSERT_TRUE(read.has_value()) << read.error();
  EXPECT_EQ(*read, base_application());
}

// Profile files of versions 1 to 5 share one layout; every other version is refused.
TEST(CraftedProfileFile, SchemaVersions) {
  const ProfileReport report = quarn_package::testing::worked_report();
  const Bytes valid = written(report);
  const auto with_version = [&valid](std::uint32_t version) {
    CapnpView view(valid);
    capnp::MallocMessageBuilder message;
    message.setRoot(view.root<cs::Profile>());
    message.getRoot<cs::Profile>().setSchemaVersion(version);
    return serialize(message);
  };
  for (std::uint32_t version = 1; version <= 5; ++version) {
    SCOPED_TRACE("version " + std::to_string(version));
    const Result<ProfileReport> read = ProfileReport::read(with_version(version));
    ASSERT_TRUE(read.has_value()) << read.error();
    EXPECT_EQ(*read, report);
  }
  for (std::uint32_t version : {0u, 6u, 0xFFFFFFFFu}) {
    SCOPED_TRACE("version " + std::to_string(version));
    const Result<ProfileReport> read = ProfileReport::read(with_version(version));
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error(), PackageError::invalid("unsupported profile schema version " +
                                                  std::to_string(version)));
  }
  capnp::MallocMessageBuilder null_root;
  null_root.getRoot<capnp::AnyPointer>();
  const Result<ProfileReport> read = ProfileReport::read(serialize(null_root));
  ASSERT_FALSE(read.has_value());
  EXPECT_EQ(read.error(), PackageError::invalid("unsupported profile schema version 0"));
}

}  // namespace
}  // namespace quarn_package::oracle
