// The JSON view of `inspect`: the derived facts of the tables, then every field.
#include "facts.hpp"
#include "inspect.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;

Json inspect_json(std::uint64_t file_bytes, const qp::Application& app, bool with_data) {
  const PackageFacts facts = package_facts(app);
  Json tiles = Json::array();
  for (const TileFacts& t : facts.tiles) {
    tiles.push_back({{"physical_tile", t.physical_tile},
                     {"load_base", t.load_base ? Json(*t.load_base) : Json(nullptr)},
                     {"image_bytes", t.image_bytes},
                     {"segment_count", t.segment_count},
                     {"entry_point", t.entry_point}});
  }
  Json bindings = Json::array();
  for (const BindingFacts& b : facts.bindings) {
    bindings.push_back({{"kind", b.kind},
                        {"name", b.binding->name},
                        {"slice_count", b.binding->slices.size()},
                        {"binding_size", b.size}});
  }
  Json summary{{"file_bytes", file_bytes},
               {"compiler_version", app.compiler_version},
               {"tile_count", app.tiles.size()},
               {"segment_memory_bytes", facts.segment_memory_bytes},
               {"segment_data_bytes", facts.segment_data_bytes},
               {"tile_memory_base", qp::kTileMemoryBase},
               {"tile_memory_size", qp::kTileMemorySize},
               {"tiles", std::move(tiles)},
               {"bindings", std::move(bindings)}};
  return {{"summary", std::move(summary)}, {"application", application_to_json(app, with_data)}};
}

}  // namespace quarn_pkg
