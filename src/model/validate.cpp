// The structural rules every package obeys. The rules run in a fixed order and each
// walks its list in stored order, so the first broken rule, and only its message, is
// what a caller sees; the messages are fixed texts that tools and tests match exactly.
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/checked.hpp"
#include "model/format.hpp"
#include "model/try.hpp"
#include "quarn_package/application.hpp"

namespace quarn_package {
namespace {

using detail::checked_add;
using detail::format_message;
using detail::Hex;

using TileSet = std::unordered_set<std::uint32_t>;
using PageSizes = std::unordered_map<std::uint32_t, std::uint64_t>;
// (start, end) of one occupied stretch of tile memory.
using Range = std::pair<std::uint32_t, std::uint32_t>;

inline constexpr std::uint32_t kConfigWriteAlignment = 4;
inline constexpr std::uint64_t kCommandWordBytes = 4;

std::unexpected<PackageError> fail(std::string message) {
  return std::unexpected(PackageError::invalid(std::move(message)));
}

bool in_tile_window(std::uint32_t start, std::uint32_t end) {
  return start >= kTileMemoryBase && end <= kTileMemoryEnd;
}

Result<void> check_config_writes(const std::vector<DeviceConfigWrite>& writes) {
  std::unordered_set<std::uint32_t> offsets;
  offsets.reserve(writes.size());
  for (const DeviceConfigWrite& write : writes) {
    if (write.offset % kConfigWriteAlignment != 0 || !offsets.insert(write.offset).second) {
      return fail("unaligned or duplicate device configuration write");
    }
  }
  return {};
}

// Checks one segment and records the stretch it occupies, if any, in `ranges`.
Result<void> check_segment(std::uint32_t tile, const Segment& segment, std::vector<Range>& ranges) {
  const auto end = checked_add(segment.address, segment.memory_size);
  if (!end) return fail("segment address overflow");
  if (!in_tile_window(segment.address, *end) || segment.data.size() > segment.memory_size) {
    return fail(format_message(
        "invalid segment on tile ", tile, ": address=0x", Hex{segment.address}, " end=0x",
        Hex{*end}, " memory_size=", segment.memory_size, " data_size=", segment.data.size()));
  }
  if (segment.memory_size != 0) ranges.emplace_back(segment.address, *end);
  return {};
}

// Sorting first makes the check one pass: in sorted order any overlap shows between
// neighbours, so no pair further apart needs comparing.
Result<void> check_overlaps(std::uint32_t tile, std::vector<Range>& ranges) {
  std::sort(ranges.begin(), ranges.end());
  const auto overlap = std::adjacent_find(
      ranges.begin(), ranges.end(),
      [](const Range& first, const Range& second) { return second.first < first.second; });
  if (overlap == ranges.end()) return {};
  const Range& first = overlap[0];
  const Range& second = overlap[1];
  return fail(format_message("overlapping segments on tile ", tile, ": 0x", Hex{first.first},
                             "..0x", Hex{first.second}, " and 0x", Hex{second.first}, "..0x",
                             Hex{second.second}));
}

// Fills `tile_ids` with every physical tile while checking the tiles one by one; a tile
// is finished before the next one is begun.
Result<void> check_tiles(const std::vector<TileImage>& tiles, TileSet& tile_ids) {
  tile_ids.reserve(tiles.size());
  std::vector<Range> ranges;  // reused across tiles so it allocates only when it grows
  for (const TileImage& tile : tiles) {
    if (!tile_ids.insert(tile.physical_tile).second) {
      return fail(format_message("duplicate physical tile ", tile.physical_tile));
    }
    ranges.clear();
    for (const Segment& segment : tile.segments) {
      QP_RETURN_IF_ERROR(check_segment(tile.physical_tile, segment, ranges));
    }
    QP_RETURN_IF_ERROR(check_overlaps(tile.physical_tile, ranges));
  }
  return {};
}

bool steps_numbered_in_order(const std::vector<ProfileStep>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (steps[i].local_index != i) return false;
  }
  return true;
}

Result<void> check_profile_plans(const std::vector<TileProfilePlan>& plans,
                                 const TileSet& tile_ids) {
  std::unordered_set<std::uint32_t> planned;
  planned.reserve(plans.size());
  for (const TileProfilePlan& plan : plans) {
    if (!tile_ids.contains(plan.physical_tile) || !planned.insert(plan.physical_tile).second ||
        !steps_numbered_in_order(plan.steps)) {
      return fail("invalid tile profile plan");
    }
  }
  return {};
}

bool debug_region_valid(const DebugRegion& region, const TileSet& tile_ids) {
  return !region.name.empty() && region.size != 0 &&
         checked_add(region.address, region.size).has_value() &&
         (region.physical_tile == kNoTile || tile_ids.contains(region.physical_tile));
}

Result<void> check_debug_map(const Application& app, const TileSet& tile_ids) {
  for (const DebugSymbol& symbol : app.debug_symbols) {
    if (symbol.name.empty()) return fail("invalid package debug map");
  }
  for (const DebugRegion& region : app.debug_regions) {
    if (!debug_region_valid(region, tile_ids)) return fail("invalid package debug map");
  }
  return {};
}

Result<void> check_binding_slice(const Binding& binding, const RegionSlice& slice,
                                 const TileSet& tile_ids) {
  if (slice.size > UINT32_MAX) {
    return fail(format_message("binding ", binding.name, " slice is too large"));
  }
  const auto end = checked_add(slice.tile_address, static_cast<std::uint32_t>(slice.size));
  if (!end) return fail("binding address overflow");
  if (!tile_ids.contains(slice.tile) || !in_tile_window(slice.tile_address, *end)) {
    return fail(format_message("binding ", binding.name, " references invalid tile memory"));
  }
  return {};
}

// Names are views into the application, which outlives the set; no name is copied.
Result<void> check_bindings(const std::vector<Binding>& bindings,
                            std::unordered_set<std::string_view>& names, const TileSet& tile_ids) {
  for (const Binding& binding : bindings) {
    if (binding.name.empty() || !names.insert(binding.name).second) {
      return fail(format_message("empty or duplicate binding ", binding.name));
    }
    for (const RegionSlice& slice : binding.slices) {
      QP_RETURN_IF_ERROR(check_binding_slice(binding, slice, tile_ids));
    }
  }
  return {};
}

Result<void> check_all_bindings(const Application& app, const TileSet& tile_ids) {
  std::unordered_set<std::string_view> names;
  names.reserve(app.inputs.size() + app.outputs.size() + app.weights.size());
  for (const auto* list : {&app.inputs, &app.outputs, &app.weights}) {
    QP_RETURN_IF_ERROR(check_bindings(*list, names, tile_ids));
  }
  return {};
}

Result<void> check_page_table(const HostExchange& exchange, PageSizes& pages) {
  pages.reserve(exchange.pages.size());
  for (const HostPage& page : exchange.pages) {
    if (!pages.emplace(page.index, page.size).second) return fail("invalid host page table");
  }
  for (const std::uint32_t index : exchange.attach_order) {
    if (!pages.contains(index)) return fail("invalid host page table");
  }
  return {};
}

// True when `size` bytes at `offset` lie inside a page of `page_size` bytes; a sum beyond
// 64 bits lies outside every page.
bool fits_in_page(std::uint64_t offset, std::uint64_t size, std::uint64_t page_size) {
  const auto end = checked_add(offset, size);
  return end && *end <= page_size;
}

Result<void> check_command_word(const HostExchange& exchange, const PageSizes& pages) {
  // The command word matters only to a protocol that has calls to announce.
  if (exchange.calls.empty()) return {};
  const auto page = pages.find(exchange.command_page);
  if (page == pages.end() ||
      !fits_in_page(exchange.command_offset, kCommandWordBytes, page->second)) {
    return fail("invalid host startup protocol");
  }
  return {};
}

Result<void> check_host_slices(const HostCall& call, const std::vector<HostSlice>& slices,
                               const PageSizes& pages) {
  for (const HostSlice& slice : slices) {
    const auto page = pages.find(slice.page);
    if (page == pages.end()) {
      return fail(format_message("host call ", call.name, " references missing page"));
    }
    if (!fits_in_page(slice.page_offset, slice.size, page->second)) {
      return fail(format_message("host call ", call.name, " exceeds page bounds"));
    }
  }
  return {};
}

Result<void> check_host_call(const HostCall& call, const PageSizes& pages) {
  if (call.invocations == 0) {
    return fail(format_message("host call ", call.name, " has no invocations"));
  }
  QP_RETURN_IF_ERROR(
      validate_host_batch_ends(call, "input", call.input_batch_ends, call.inputs.size()));
  QP_RETURN_IF_ERROR(
      validate_host_batch_ends(call, "output", call.output_batch_ends, call.outputs.size()));
  QP_RETURN_IF_ERROR(check_host_slices(call, call.inputs, pages));
  return check_host_slices(call, call.outputs, pages);
}

Result<void> check_host_exchange(const HostExchange& exchange) {
  PageSizes pages;
  QP_RETURN_IF_ERROR(check_page_table(exchange, pages));
  QP_RETURN_IF_ERROR(check_command_word(exchange, pages));
  for (const HostCall& call : exchange.calls) {
    QP_RETURN_IF_ERROR(check_host_call(call, pages));
  }
  return {};
}

}  // namespace

Result<void> Application::validate() const {
  if (tiles.empty()) return fail("application has no tiles");
  QP_RETURN_IF_ERROR(check_config_writes(device_config_writes));
  // Tile ids are unique once the tiles pass, so the set of tiles met is the tile set the
  // later rules look tiles up in.
  TileSet tile_ids;
  QP_RETURN_IF_ERROR(check_tiles(tiles, tile_ids));
  QP_RETURN_IF_ERROR(check_profile_plans(profile_tiles, tile_ids));
  QP_RETURN_IF_ERROR(check_debug_map(*this, tile_ids));
  QP_RETURN_IF_ERROR(check_all_bindings(*this, tile_ids));
  return check_host_exchange(host_exchange);
}

Result<void> validate_host_batch_ends(const HostCall& call, std::string_view direction,
                                      std::span<const std::uint32_t> ends,
                                      std::uint64_t slice_count) {
  std::uint64_t previous = 0;
  for (const std::uint32_t boundary : ends) {
    // Batch ends index slices in memory; on a platform whose sizes are narrower than
    // 32 bits a boundary might not be an index at all.
    if (!std::in_range<std::size_t>(boundary)) return fail("host batch index exceeds usize");
    if (boundary <= previous || boundary > slice_count) {
      return fail(format_message("host call ", call.name, " has invalid ", direction,
                                 " batch boundary ", boundary));
    }
    previous = boundary;
  }
  if (previous != slice_count) {
    return fail(format_message("host call ", call.name, " ", direction, " batches cover ", previous,
                               " of ", slice_count, " slices"));
  }
  return {};
}

std::uint64_t binding_size(const Binding& binding) {
  std::uint64_t size = 0;
  for (const RegionSlice& slice : binding.slices) {
    size = std::max(size, detail::saturating_add(slice.file_offset, slice.size));
  }
  return size;
}

}  // namespace quarn_package
