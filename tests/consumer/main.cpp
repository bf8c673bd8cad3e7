// Uses the installed library through its one public header: a minimal application
// must validate and give its tile's image.
#include <quarn_package/package.hpp>

#include <cstdint>
#include <iostream>
#include <vector>

int main() {
  using namespace quarn_package;

  Application app;
  app.tiles.push_back(TileImage{
      .physical_tile = 0,
      .segments = {Segment{.address = kTileMemoryBase, .memory_size = 8, .data = {1, 2, 3, 4}}},
  });
  if (Result<void> valid = app.validate(); !valid) {
    std::cerr << "validate failed: " << valid.error() << '\n';
    return 1;
  }
  Result<std::vector<std::uint8_t>> image = app.tile_image(0);
  const std::vector<std::uint8_t> expected = {1, 2, 3, 4, 0, 0, 0, 0};
  if (!image || *image != expected) {
    std::cerr << "unexpected tile image\n";
    return 1;
  }
  std::cout << "consumer ok\n";
  return 0;
}
