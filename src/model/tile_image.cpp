// The contiguous memory image a loader copies into one tile. Three passes over the
// segments: the base, then the size, then the copy into an image allocated once.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "model/checked.hpp"
#include "model/format.hpp"
#include "model/log_emit.hpp"
#include "model/try.hpp"
#include "quarn_package/application.hpp"

namespace quarn_package {
namespace {

using detail::format_message;
using detail::Hex;

std::unexpected<PackageError> fail(std::string message) {
  return std::unexpected(PackageError::invalid(std::move(message)));
}

const TileImage* find_tile(const std::vector<TileImage>& tiles, std::uint32_t physical_tile) {
  const auto tile = std::find_if(tiles.begin(), tiles.end(), [&](const TileImage& candidate) {
    return candidate.physical_tile == physical_tile;
  });
  return tile == tiles.end() ? nullptr : &*tile;
}

// Every segment counts for the base, also one that occupies nothing.
std::uint32_t lowest_address(const std::vector<Segment>& segments) {
  std::uint32_t base = segments.front().address;
  for (const Segment& segment : segments) base = std::min(base, segment.address);
  return base;
}

// The image size, or an error for a segment the copy could not place inside the image.
// Validated applications never fail here; the checks keep a hand-built one from making
// the copy write past the end of the image.
Result<std::uint64_t> image_size(std::uint32_t physical_tile, const std::vector<Segment>& segments,
                                 std::uint32_t load_base) {
  std::uint32_t size = 0;
  for (const Segment& segment : segments) {
    if (segment.data.size() > segment.memory_size) {
      return fail(format_message("segment on tile ", physical_tile, " at 0x", Hex{segment.address},
                                 " holds more data than its memory size"));
    }
    // With address + memory_size inside 32 bits, so is the end relative to the base.
    if (!detail::checked_add(segment.address, segment.memory_size)) {
      return fail(format_message("segment on tile ", physical_tile, " at 0x", Hex{segment.address},
                                 " ends beyond the 32-bit address space"));
    }
    size = std::max(size, segment.address - load_base + segment.memory_size);
  }
  return size;
}

void trace_reconstruction(std::uint32_t physical_tile, std::uint32_t load_base,
                          std::uint64_t image_bytes) {
  if (!detail::log_enabled(log::Level::Trace)) return;
  const detail::HexText base_text(load_base);
  detail::log_emit(log::Level::Trace, "reconstructing tile image",
                   {{"physical_tile", std::uint64_t{physical_tile}},
                    {"load_base", base_text.view()},
                    {"image_bytes", image_bytes}});
}

}  // namespace

Result<std::vector<std::uint8_t>> Application::tile_image(std::uint32_t physical_tile) const {
  const TileImage* tile = find_tile(tiles, physical_tile);
  if (tile == nullptr) return fail(format_message("unknown tile ", physical_tile));
  const std::vector<Segment>& segments = tile->segments;
  if (segments.empty()) return fail("tile has no loadable segments");

  const std::uint32_t load_base = lowest_address(segments);
  QP_ASSIGN_OR_RETURN(const std::uint64_t size, image_size(physical_tile, segments, load_base));

  std::vector<std::uint8_t> image(size);
  trace_reconstruction(physical_tile, load_base, size);
  // In list order, so a later segment overwrites an earlier one where they overlap.
  for (const Segment& segment : segments) {
    if (segment.data.empty()) continue;  // memcpy wants valid pointers even for 0 bytes
    std::memcpy(image.data() + (segment.address - load_base), segment.data.data(),
                segment.data.size());
  }
  return image;
}

}  // namespace quarn_package
