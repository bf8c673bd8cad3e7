// Derived facts about an application that no single field states: what `inspect` shows
// beside the fields themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <quarn_package/package.hpp>

namespace quarn_pkg {

struct TileFacts {
  std::uint32_t physical_tile = 0;
  std::optional<std::uint32_t> load_base;  // none for a tile without segments
  std::uint64_t image_bytes = 0;           // of the tile's image as tile_image builds it
  std::uint64_t segment_count = 0;
  std::uint32_t entry_point = 0;
};

struct BindingFacts {
  std::string kind;  // "input", "output" or "weight"
  const quarn_package::Binding* binding = nullptr;
  std::uint64_t size = 0;  // binding_size
};

struct PackageFacts {
  std::uint64_t segment_memory_bytes = 0;  // sum of memory_size over all segments
  std::uint64_t segment_data_bytes = 0;    // sum of the stored data bytes
  std::vector<TileFacts> tiles;
  std::vector<BindingFacts> bindings;  // inputs, then outputs, then weights
};

// The tile address of byte 0 of the tile's image: its lowest segment address.
std::optional<std::uint32_t> load_base(const quarn_package::TileImage& tile);

// `app` must outlive the result, which points at its bindings.
PackageFacts package_facts(const quarn_package::Application& app);

}  // namespace quarn_pkg
