// Generated valid applications and reports survive writing and reading unchanged.
#include <gtest/gtest.h>

#include <sstream>

#include "support/generator.hpp"

namespace quarn_package {
namespace {

TEST(RoundTrip, GeneratedApplicationsReadBackEqual) {
  for (std::uint64_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    const Application app = testing::Generator(seed).application();
    ASSERT_TRUE(app.validate()) << app.validate().error();
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(app.write(bytes));
    const auto back = Application::read(bytes);
    ASSERT_TRUE(back) << back.error();
    ASSERT_EQ(*back, app);
    std::vector<std::uint8_t> again;
    ASSERT_TRUE(back->write(again));
    EXPECT_EQ(again, bytes);
    for (const TileImage& tile : app.tiles) {
      EXPECT_EQ(back->tile_image(tile.physical_tile), app.tile_image(tile.physical_tile));
    }
  }
}

TEST(RoundTrip, GeneratedMultiSegmentApplicationsReadBackEqual) {
  const testing::GeneratorSizes sizes{
      .max_tiles = 6, .max_data_bytes = 9000, .extra_debug_symbols = 600};
  for (std::uint64_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    const Application app = testing::Generator(seed, sizes).application();
    std::stringstream stream;
    ASSERT_TRUE(app.write(stream));
    const auto back = Application::read(stream);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(*back, app);
  }
}

TEST(RoundTrip, GeneratedReportsReadBackEqual) {
  for (std::uint64_t seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE(seed);
    const ProfileReport report = testing::Generator(seed).report();
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(report.write(bytes));
    EXPECT_EQ(ProfileReport::read(bytes), report);
  }
}

}  // namespace
}  // namespace quarn_package
