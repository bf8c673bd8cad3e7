#include <algorithm>
#include <iostream>

#include "commands.hpp"
#include "facts.hpp"
#include "files.hpp"
#include "package_io.hpp"
#include "text.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

struct TileOutput {
  std::uint32_t tile;
  std::uint32_t load_base;
  std::vector<std::uint8_t> image;
  path file;
};

Outcome<TileOutput> build_image(const path& package, const qp::Application& app, std::uint32_t tile,
                                path file) {
  auto image = app.tile_image(tile);
  if (!image) return refused(package.string() + ": " + describe(image.error()));
  // tile_image succeeded, so the tile exists and has segments.
  const auto record = std::ranges::find(app.tiles, tile, &qp::TileImage::physical_tile);
  return TileOutput{tile, load_base(*record).value_or(0), std::move(*image), std::move(file)};
}

}  // namespace

int run_image(const ImageOptions& options) {
  auto package = load_package(options.package);
  if (!package) return report(package.error());

  // Every image is built before any file is written, so a tile the library refuses
  // leaves no partial set of files behind.
  std::vector<TileOutput> outputs;
  if (options.tile) {
    auto out = build_image(options.package, package->app, *options.tile, options.output);
    if (!out) return report(out.error());
    outputs.push_back(std::move(*out));
  } else {
    for (const qp::TileImage& t : package->app.tiles) {
      path file = options.output / ("tile-" + std::to_string(t.physical_tile) + ".bin");
      auto out = build_image(options.package, package->app, t.physical_tile, std::move(file));
      if (!out) return report(out.error());
      outputs.push_back(std::move(*out));
    }
    if (auto made = make_directory(options.output); !made) return report(made.error());
  }

  for (const TileOutput& out : outputs) {
    if (auto written = write_file_atomically(out.file, out.image); !written)
      return report(written.error());
    std::cout << "tile " << out.tile << ": load base " << hex(out.load_base) << ", "
              << out.image.size() << " bytes -> " << printable(out.file.string()) << '\n';
  }
  return kExitOk;
}

}  // namespace quarn_pkg
