// The API example of README.md: build an application, write it, read it back, load a tile.
#include <quarn_package/package.hpp>

#include <cstdint>
#include <iostream>
#include <vector>

int main() {
  using namespace quarn_package;

  Application app;
  app.tiles.push_back(TileImage{
      .physical_tile = 0,
      .entry_point = kTileMemoryBase,
      .segments = {Segment{.address = kTileMemoryBase, .memory_size = 8, .data = {1, 2, 3, 4}}},
  });

  std::vector<std::uint8_t> bytes;
  if (Result<void> written = app.write(bytes); !written) {
    std::cerr << "write failed: " << written.error() << '\n';
    return 1;
  }
  Result<Application> loaded = Application::read(bytes);
  if (!loaded) {
    std::cerr << "read failed: " << loaded.error() << '\n';
    return 1;
  }
  if (*loaded != app) {
    std::cerr << "read back a different application\n";
    return 1;
  }
  Result<std::vector<std::uint8_t>> image = loaded->tile_image(0);
  if (!image) {
    std::cerr << "tile_image failed: " << image.error() << '\n';
    return 1;
  }
  std::cout << "package: " << bytes.size() << " bytes; tile 0 image: " << image->size()
            << " bytes\n";
  return 0;
}
