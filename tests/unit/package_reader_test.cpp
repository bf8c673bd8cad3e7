// The package reader: round trips, its events, and the inputs it must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <tuple>

#include "package/schema.hpp"
#include "support/examples.hpp"
#include "support/log_capture.hpp"
#include "support/words.hpp"
#include "wire/builder.hpp"

namespace quarn_package {
namespace {

namespace schema = detail::schema;
using testing::FramedMessage;

std::vector<std::uint8_t> written(const Application& app) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(app.write(bytes));
  return bytes;
}

CapnpErrorKind capnp_kind(const PackageError& e) {
  return std::get<PackageError::Capnp>(e.detail()).kind;
}

// A message with the package header and whatever `more` adds to the root.
template <class More>
std::vector<std::uint8_t> header_package(More&& more) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(detail::wire::build_message(bytes, schema::Application::size, [&](auto root) {
    root.set(schema::Application::schema_version, 5u);
    root.set_text(schema::Application::target, "quarn7");
    root.set(schema::Application::tile_memory_base, kTileMemoryBase);
    root.set(schema::Application::tile_memory_size, kTileMemorySize);
    more(root);
  }));
  return bytes;
}

TEST(PackageReader, FullApplicationRoundTripsAndReportsItsEvents) {
  const Application app = testing::full_application();
  const auto bytes = written(app);
  testing::LogCapture log;
  const auto back = Application::read(bytes);
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(*back, app);
  const auto events = log.events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].message, "reading application package");
  EXPECT_TRUE(events[0].fields.empty());
  EXPECT_EQ(events[1].message, "application package read");
  EXPECT_EQ(events[1].number("tiles"), 1u);
  EXPECT_EQ(events[1].text("compiler"), "0.1.0");
  EXPECT_EQ(back->tile_image(0), (std::vector<std::uint8_t>{1, 2, 3, 4, 0, 0, 0, 0}));
}

TEST(PackageReader, ReadsUnalignedInputAndIgnoresTrailingBytes) {
  const auto bytes = written(testing::full_application());
  std::vector<std::uint8_t> shifted(1, 0xEE);
  shifted.insert(shifted.end(), bytes.begin(), bytes.end());
  shifted.insert(shifted.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1});
  const auto back = Application::read(std::span(shifted).subspan(1));
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(*back, testing::full_application());
}

TEST(PackageReader, StreamReadConsumesExactlyOneMessage) {
  Application second = testing::minimal_application();
  second.compiler_version = "9.9";
  std::stringstream stream;
  ASSERT_TRUE(testing::full_application().write(stream));
  ASSERT_TRUE(second.write(stream));
  stream << "tail";
  EXPECT_EQ(Application::read(stream), testing::full_application());
  EXPECT_EQ(Application::read(stream), second);
  std::string rest;
  stream >> rest;
  EXPECT_EQ(rest, "tail");
}

TEST(PackageReader, EmptyInputAndEveryStrictPrefixAreCapnpErrors) {
  const auto bytes = written(testing::full_application());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    const auto result = Application::read(std::span(bytes).first(n));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind(), PackageError::Kind::Capnp);
    std::istringstream stream(std::string(bytes.begin(), bytes.begin() + n));
    const auto streamed = Application::read(stream);
    ASSERT_FALSE(streamed);
    EXPECT_EQ(streamed.error().kind(), PackageError::Kind::Capnp);
  }
}

TEST(PackageReader, NullRootIsAnIncompatibleHeader) {
  auto bytes = written(testing::full_application());
  std::memset(bytes.data() + 8, 0, 8);  // the root pointer
  EXPECT_EQ(Application::read(bytes).error(), PackageError::invalid("incompatible package header"));
}

TEST(PackageReader, HeaderOnlyPackageFailsValidationAfterOneEvent) {
  const auto bytes = header_package([](auto) {});
  testing::LogCapture log;
  EXPECT_EQ(Application::read(bytes).error(), PackageError::invalid("application has no tiles"));
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "reading application package");
}

TEST(PackageReader, WrongHeaderIsRefusedBeforeABrokenTargetIsLookedAt) {
  auto bytes = written(testing::minimal_application());
  const FramedMessage m(bytes);
  const std::size_t root = 8 + 8;        // first byte of the root struct
  const std::size_t target = 8 + 4 * 8;  // its pointer 1
  bytes[target] = 0xFC;                  // now points far outside the segment
  bytes[target + 1] = 0xFF;
  EXPECT_EQ(Application::read(bytes).error().kind(), PackageError::Kind::Capnp);
  bytes[root] = 4;  // schema version
  EXPECT_EQ(Application::read(bytes).error(), PackageError::invalid("incompatible package header"));
}

TEST(PackageReader, BadTextIsAUtf8Error) {
  Application app = testing::full_application();
  app.debug_symbols[0].name = "kernel";
  app.profile_tiles[0].steps[0].kernel = "kern";
  auto bytes = written(app);
  auto patch = [&bytes](std::string_view from, std::string_view to) {
    auto copy = bytes;
    auto at = std::search(copy.begin(), copy.end(), from.begin(), from.end());
    EXPECT_NE(at, copy.end());
    std::copy(to.begin(), to.end(), at);
    return copy;
  };
  // "kern" occurs only as the step's kernel text ("kernel" also holds it, first).
  const auto bad = Application::read(patch(std::string_view("kern\0", 5), "k\xFFrn"));
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error(), PackageError::utf8(1, 1));
  const auto text = Application::read(patch("OperatorKernel", "Operator\xE2\x82"));
  ASSERT_FALSE(text);
  EXPECT_EQ(text.error(), PackageError::utf8(8, 2));
  const auto cut = Application::read(patch(std::string_view("reason\0", 7), "reaso\xE2"));
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.error(), PackageError::utf8(5, std::nullopt));
}

TEST(PackageReader, UnknownEnumerantsAreSchemaEnumErrors) {
  const auto bytes = written(testing::full_application());
  const FramedMessage m(bytes);
  // profile_tiles[0].steps[0], then its exchange_activities[0].
  const auto element = [&m](std::size_t segment, std::size_t word) {
    const auto list = m.follow(segment, word);
    return list.word + 1;  // single segment: element 0 follows the tag
  };
  const std::size_t plan = element(0, 3 + 9);
  const std::size_t step = element(0, plan + 1);
  const std::size_t activity = element(0, step + 3 + 3);
  for (auto [word, byte, value] : {std::tuple{step, 12, 4}, std::tuple{activity, 0, 3}}) {
    auto copy = bytes;
    copy[8 + word * 8 + byte] = static_cast<std::uint8_t>(value);
    EXPECT_EQ(Application::read(copy).error(),
              PackageError::schema_enum(static_cast<std::uint16_t>(value)));
  }
}

TEST(PackageReader, AmplifyingListIsRefusedQuickly) {
  // A tiles list of 2^29 - 1 zero-sized elements in a message of a few words.
  auto bytes = header_package([](auto root) {
    root.init_struct_list(schema::Application::tiles, {0, 0}, 1);
  });
  const FramedMessage m(bytes);
  const auto tag = m.follow(0, 3 + 2);
  const std::uint64_t huge = testing::tag_word((1u << 29) - 1, 0, 0);
  std::memcpy(bytes.data() + 8 + tag.word * 8, &huge, 8);
  const auto result = Application::read(bytes);
  ASSERT_FALSE(result);
  EXPECT_EQ(capnp_kind(result.error()), CapnpErrorKind::ReadBudget);
}

TEST(PackageReader, LargeMessageReadsWithoutATraversalLimit) {
  // More than 8 Mi words (64 MiB) of segment data.
  Application app = testing::minimal_application();
  app.tiles.clear();
  for (std::uint32_t t = 0; t < 110; ++t) {
    app.tiles.push_back(TileImage{
        .physical_tile = t,
        .segments = {Segment{kTileMemoryBase, 600 * 1024,
                             std::vector<std::uint8_t>(600 * 1024, static_cast<std::uint8_t>(t)),
                             0}}});
  }
  const auto bytes = written(app);
  ASSERT_GT(bytes.size(), std::size_t{8} << 23);
  const auto back = Application::read(bytes);
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(*back, app);
}

}  // namespace
}  // namespace quarn_package
