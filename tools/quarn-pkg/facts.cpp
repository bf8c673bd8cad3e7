#include "facts.hpp"

#include <algorithm>

namespace quarn_pkg {

namespace qp = quarn_package;

namespace {

TileFacts tile_facts(const qp::Application& app, const qp::TileImage& tile) {
  TileFacts facts{.physical_tile = tile.physical_tile,
                  .segment_count = tile.segments.size(),
                  .entry_point = tile.entry_point};
  facts.load_base = load_base(tile);
  if (!facts.load_base) return facts;
  if (auto image = app.tile_image(tile.physical_tile)) facts.image_bytes = image->size();
  return facts;
}

}  // namespace

std::optional<std::uint32_t> load_base(const qp::TileImage& tile) {
  if (tile.segments.empty()) return std::nullopt;
  return std::ranges::min(tile.segments, {}, &qp::Segment::address).address;
}

PackageFacts package_facts(const qp::Application& app) {
  PackageFacts facts;
  for (const qp::TileImage& tile : app.tiles) {
    for (const qp::Segment& segment : tile.segments) {
      facts.segment_memory_bytes += segment.memory_size;
      facts.segment_data_bytes += segment.data.size();
    }
    facts.tiles.push_back(tile_facts(app, tile));
  }
  const std::pair<const char*, const std::vector<qp::Binding>*> groups[] = {
      {"input", &app.inputs}, {"output", &app.outputs}, {"weight", &app.weights}};
  for (const auto& [kind, bindings] : groups)
    for (const qp::Binding& binding : *bindings)
      facts.bindings.push_back({kind, &binding, qp::binding_size(binding)});
  return facts;
}

}  // namespace quarn_pkg
