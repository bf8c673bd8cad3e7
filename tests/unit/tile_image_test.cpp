#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <quarn_package/package.hpp>

#include "support/examples.hpp"

namespace quarn_package {
namespace {

using testing::full_application;
using testing::minimal_application;
using Bytes = std::vector<std::uint8_t>;

// An event copied out of the sink call, whose views die with it.
struct CapturedEvent {
  log::Level level;
  std::string target;
  std::string message;
  std::vector<std::pair<std::string, std::variant<std::uint64_t, std::string>>> fields;
};

// Installs a trace sink for the test and removes it afterwards, also when a check fails.
class TileImageTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    log::set_sink(
        [this](const log::Event& event) {
          CapturedEvent& copy = events_.emplace_back(CapturedEvent{
              event.level, std::string(event.target), std::string(event.message), {}});
          for (const log::Field& field : event.fields) {
            if (const auto* number = std::get_if<std::uint64_t>(&field.value)) {
              copy.fields.emplace_back(std::string(field.name), *number);
            } else {
              copy.fields.emplace_back(std::string(field.name),
                                       std::string(std::get<std::string_view>(field.value)));
            }
          }
        },
        log::Level::Trace);
  }
  void TearDown() override { log::set_sink({}); }

  std::vector<CapturedEvent> events_;
};

std::string error_message(const Result<Bytes>& result) {
  if (result) return "an image";
  const auto* invalid = std::get_if<PackageError::Invalid>(&result.error().detail());
  if (invalid == nullptr) return "an error other than Invalid";
  return invalid->message;
}

Segment segment(std::uint32_t address, std::uint32_t memory_size, Bytes data = {},
                std::uint32_t flags = 0) {
  return Segment{address, memory_size, std::move(data), flags};
}

TileImage tile(std::uint32_t physical_tile, std::vector<Segment> segments) {
  return TileImage{physical_tile, 0, 0, 0, std::move(segments)};
}

Application one_tile(std::vector<Segment> segments) {
  Application app = minimal_application();
  app.tiles[0].segments = std::move(segments);
  return app;
}

struct ImageCase {
  std::string_view name;
  std::vector<Segment> segments;
  Bytes expected;
};

TEST(TileImage, ReconstructsSegments) {
  const ImageCase kCases[] = {
      {"worked segment", {segment(0x4c000, 8, {1, 2, 3, 4}, 5)}, {1, 2, 3, 4, 0, 0, 0, 0}},
      {"flags play no part",
       {segment(0x4c000, 8, {1, 2, 3, 4}, 0xFFFFFFFF)},
       {1, 2, 3, 4, 0, 0, 0, 0}},
      {"higher segment listed first",
       {segment(0x4c010, 4, {0xAA, 0xBB}), segment(0x4c000, 8, {1, 2, 3, 4})},
       {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB, 0, 0}},
      {"lower segment listed first",
       {segment(0x4c000, 8, {1, 2, 3, 4}), segment(0x4c010, 4, {0xAA, 0xBB})},
       {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB, 0, 0}},
      {"empty segment sets the base",
       {segment(0x4c000, 0), segment(0x4c008, 4, {1, 2, 3, 4})},
       {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}},
      {"only an empty segment", {segment(0x4c000, 0)}, {}},
      {"empty segment past the end sets the size",
       {segment(0x4c000, 2, {7}), segment(0x4c006, 0)},
       {7, 0, 0, 0, 0, 0}},
      {"a segment inside another sets neither base nor size",
       {segment(0x4c000, 6, {1}), segment(0x4c002, 2, {9})},
       {1, 0, 9, 0, 0, 0}},
      {"later segment overwrites an earlier one",
       {segment(0x4c000, 4, {1, 2, 3, 4}), segment(0x4c002, 4, {8, 9})},
       {1, 2, 8, 9, 0, 0}},
      {"zero tail of a later segment does not clear earlier data",
       {segment(0x4c000, 4, {1, 2, 3, 4}), segment(0x4c000, 4, {8})},
       {8, 2, 3, 4}},
      {"outside the window the arithmetic still holds",
       {segment(0xfffffffb, 4, {1, 2, 3, 4}), segment(0xfffffff7, 2, {5})},
       {5, 0, 0, 0, 1, 2, 3, 4}},
  };
  for (const ImageCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto image = one_tile(c.segments).tile_image(0);
    ASSERT_TRUE(image.has_value()) << error_message(image);
    EXPECT_EQ(*image, c.expected);
  }
}

TEST(TileImage, PicksTheRequestedTile) {
  Application app = minimal_application();
  app.tiles.insert(app.tiles.begin(), tile(9, {segment(0x50000, 2, {9, 9})}));
  // Ids are unique in a valid application; otherwise the first tile in the list wins.
  app.tiles.push_back(tile(0, {segment(0x4c000, 1)}));
  EXPECT_EQ(app.tile_image(9), (Bytes{9, 9}));
  EXPECT_EQ(app.tile_image(0), (Bytes{1, 2, 3, 4, 0, 0, 0, 0}));
}

TEST(TileImage, LargestImageOfTheWindow) {
  const Application app =
      one_tile({segment(0x4c000, 4, {1, 2, 3, 4}), segment(kTileMemoryEnd - 2, 2, {5, 6})});
  const auto image = app.tile_image(0);
  ASSERT_TRUE(image.has_value()) << error_message(image);
  ASSERT_EQ(image->size(), kTileMemorySize);
  EXPECT_EQ((Bytes(image->begin(), image->begin() + 5)), (Bytes{1, 2, 3, 4, 0}));
  EXPECT_EQ((Bytes(image->end() - 3, image->end())), (Bytes{0, 5, 6}));
}

TEST(TileImage, FullApplicationAfterReadingBack) {
  Bytes package;
  ASSERT_TRUE(full_application().write(package).has_value());
  const auto read = Application::read(package);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->tile_image(0), (Bytes{1, 2, 3, 4, 0, 0, 0, 0}));
}

struct FailureCase {
  std::string_view name;
  Application (*build)();
  std::uint32_t tile;
  std::string_view expected;
};

// Every failure leaves no image and emits no event.
TEST_F(TileImageTrace, FailuresEmitNothing) {
  static constexpr FailureCase kCases[] = {
      {"unknown tile", [] { return full_application(); }, 1, "unknown tile 1"},
      {"unknown tile of the largest id", [] { return full_application(); }, 0xFFFFFFFF,
       "unknown tile 4294967295"},
      {"tile without segments", [] { return one_tile({}); }, 0, "tile has no loadable segments"},
      // Outside the contract: a hand-built application whose segments a validated one
      // could never hold. The image must not be read or written out of bounds.
      {"data longer than memory size",
       [] {
         return one_tile({segment(0x4c000, 8, {1}), segment(0x4c008, 2, {1, 2, 3})});
       },
       0, "segment on tile 0 at 0x4c008 holds more data than its memory size"},
      {"data with no memory at all", [] { return one_tile({segment(0x4c000, 0, {1})}); }, 0,
       "segment on tile 0 at 0x4c000 holds more data than its memory size"},
      {"end beyond 32 bits",
       [] {
         Application app = one_tile({segment(0xfffffff0, 0x20)});
         app.tiles[0].physical_tile = 3;
         return app;
       },
       3, "segment on tile 3 at 0xfffffff0 ends beyond the 32-bit address space"},
      {"end exactly 2^32",
       [] {
         return one_tile({segment(0x4c000, 4), segment(0xfffffffc, 4, {1})});
       },
       0, "segment on tile 0 at 0xfffffffc ends beyond the 32-bit address space"},
  };
  for (const FailureCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto image = c.build().tile_image(c.tile);
    EXPECT_EQ(error_message(image), c.expected);
    EXPECT_TRUE(events_.empty());
    events_.clear();
  }
}

TEST_F(TileImageTrace, SuccessEmitsOneEvent) {
  const auto image = minimal_application().tile_image(0);
  ASSERT_TRUE(image.has_value()) << error_message(image);
  ASSERT_EQ(events_.size(), 1u);
  const CapturedEvent& event = events_[0];
  EXPECT_EQ(event.level, log::Level::Trace);
  EXPECT_EQ(event.target, "quarn_package");
  EXPECT_EQ(event.message, "reconstructing tile image");
  using Field = std::pair<std::string, std::variant<std::uint64_t, std::string>>;
  EXPECT_EQ(event.fields, (std::vector<Field>{{"physical_tile", std::uint64_t{0}},
                                              {"load_base", std::string("0x4c000")},
                                              {"image_bytes", std::uint64_t{8}}}));
}

TEST_F(TileImageTrace, EventNamesTheRequestedTileAndItsBase) {
  Application app = minimal_application();
  app.tiles.push_back(tile(0xFFFFFFFF, {segment(0xe0010, 0), segment(0xe7ff0, 0x10)}));
  ASSERT_TRUE(app.tile_image(0xFFFFFFFF).has_value());
  ASSERT_EQ(events_.size(), 1u);
  using Field = std::pair<std::string, std::variant<std::uint64_t, std::string>>;
  EXPECT_EQ(events_[0].fields, (std::vector<Field>{{"physical_tile", std::uint64_t{0xFFFFFFFF}},
                                                   {"load_base", std::string("0xe0010")},
                                                   {"image_bytes", std::uint64_t{0x7ff0}}}));
}

TEST_F(TileImageTrace, EmptyImageIsStillReported) {
  ASSERT_TRUE(one_tile({segment(0x4c000, 0)}).tile_image(0).has_value());
  ASSERT_EQ(events_.size(), 1u);
  EXPECT_EQ(std::get<std::uint64_t>(events_[0].fields.at(2).second), 0u);
}

TEST_F(TileImageTrace, QuieterSinkGetsNoEvent) {
  log::set_sink([this](const log::Event&) { events_.emplace_back(); }, log::Level::Debug);
  ASSERT_TRUE(minimal_application().tile_image(0).has_value());
  EXPECT_TRUE(events_.empty());
}

}  // namespace
}  // namespace quarn_package
