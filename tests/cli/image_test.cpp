// `quarn-pkg image`: tile images as the library builds them, one file or one per tile.
#include "cli_runner.hpp"
#include "support/examples.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::Application;
using quarn_package::Segment;
using quarn_package::TileImage;

// Two tiles; tile 7's image starts at its lowest segment, not at its first one.
Application two_tiles() {
  Application app = quarn_package::testing::minimal_application();
  app.tiles.push_back(TileImage{
      .physical_tile = 7,
      .entry_point = 0x4C010,
      .segments = {Segment{.address = 0x4C010, .memory_size = 4, .data = {0xAA, 0xBB}},
                   Segment{.address = 0x4C008, .memory_size = 2, .data = {9}}},
  });
  return app;
}

class ImageTest : public CliTest {};

TEST_F(ImageTest, WritesOneTileAndSaysWhereItLoads) {
  const Application app = two_tiles();
  write_package("two.qpkg", app);
  const Result r = run({"image", "two.qpkg", "--tile", "7", "-o", "tile7.bin"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "tile 7: load base 0x4c008, 12 bytes -> tile7.bin\n");
  EXPECT_EQ(read_bytes(path("tile7.bin")), *app.tile_image(7));
}

TEST_F(ImageTest, AllWritesOneFilePerTileIntoTheFolder) {
  const Application app = two_tiles();
  write_package("two.qpkg", app);
  const Result r = run({"image", "two.qpkg", "--all", "-o", "images"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "tile 0: load base 0x4c000, 8 bytes -> images/tile-0.bin\n"
            "tile 7: load base 0x4c008, 12 bytes -> images/tile-7.bin\n");
  EXPECT_EQ(read_bytes(path("images/tile-0.bin")), *app.tile_image(0));
  EXPECT_EQ(read_bytes(path("images/tile-7.bin")), *app.tile_image(7));
}

TEST_F(ImageTest, TilesTheLibraryRefusesWriteNothing) {
  Application app = two_tiles();
  app.tiles.push_back(TileImage{.physical_tile = 3});  // no segments: no image
  write_package("app.qpkg", app);
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"image", "app.qpkg", "--tile", "5", "-o", "out.bin"},
       "quarn-pkg: app.qpkg: Invalid: unknown tile 5\n"},
      {{"image", "app.qpkg", "--tile", "3", "-o", "out.bin"},
       "quarn-pkg: app.qpkg: Invalid: tile has no loadable segments\n"},
      // Tiles 0 and 7 have images, but none is written when tile 3 has none.
      {{"image", "app.qpkg", "--all", "-o", "images"},
       "quarn-pkg: app.qpkg: Invalid: tile has no loadable segments\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const Result r = run(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_EQ(files(), std::vector<std::string>{"app.qpkg"});
}

}  // namespace
}  // namespace quarn_pkg_test
