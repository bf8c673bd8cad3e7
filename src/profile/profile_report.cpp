// Building a profile report from the runtime output buffer of a profiled run.
#include <limits>
#include <unordered_map>

#include "model/checked.hpp"
#include "model/try.hpp"
#include "quarn_package/application.hpp"
#include "wire/layout.hpp"

namespace quarn_package {
namespace {

std::unexpected<PackageError> invalid(std::string message) {
  return std::unexpected(PackageError::invalid(std::move(message)));
}

struct CycleBinding {
  const Binding* binding;
  std::uint64_t base;  // byte at which it begins in the runtime output
};

// The first output named "profile.cycles" and the sum of the sizes of the outputs
// before it: outputs lie back to back in the buffer.
Result<CycleBinding> find_cycle_binding(const std::vector<Binding>& outputs) {
  std::uint64_t base = 0;
  for (const Binding& output : outputs) {
    if (output.name == kProfileCyclesBinding) return CycleBinding{&output, base};
    const auto next = detail::checked_add(base, binding_size(output));
    if (!next) return invalid("output binding size overflow");
    base = *next;
  }
  return invalid("application has no cycle profile binding");
}

// Where one plan's counters lie in the buffer, after every check of their extent.
Result<std::span<const std::uint8_t>> plan_counters(const TileProfilePlan& plan,
                                                    const RegionSlice& slice, std::uint64_t base,
                                                    std::span<const std::uint8_t> output) {
  const auto count = detail::checked_add<std::uint64_t>(plan.steps.size(), 1);
  if (!count) return invalid("profile sample count overflow");
  const auto expected = detail::checked_mul<std::uint64_t>(*count, 4);
  if (!expected) return invalid("profile sample size overflow");
  if (slice.size != *expected) {
    return invalid("cycle profile slice for tile " + std::to_string(plan.physical_tile) +
                   " has size " + std::to_string(slice.size) + ", expected " +
                   std::to_string(*expected));
  }
  const auto start = detail::checked_add(base, slice.file_offset);
  if (!start || *start > std::numeric_limits<std::size_t>::max()) {
    return invalid("profile output offset overflow");
  }
  if (slice.size > std::numeric_limits<std::size_t>::max()) {
    return invalid("profile output size exceeds usize");
  }
  const auto end = detail::checked_add<std::size_t>(*start, slice.size);
  if (!end) return invalid("profile output range overflow");
  if (*end > output.size()) return invalid("profile binding exceeds runtime output");
  return output.subspan(*start, slice.size);
}

}  // namespace

Result<ProfileReport> Application::profile_report(std::span<const std::uint8_t> output,
                                                  std::uint64_t clock_hz) const {
  QP_ASSIGN_OR_RETURN(const CycleBinding cycles, find_cycle_binding(outputs));
  // A later slice for the same tile replaces an earlier one.
  std::unordered_map<std::uint32_t, const RegionSlice*> slice_of_tile;
  slice_of_tile.reserve(cycles.binding->slices.size());
  for (const RegionSlice& slice : cycles.binding->slices) slice_of_tile[slice.tile] = &slice;

  ProfileReport report{.clock_hz = clock_hz};
  report.tiles.reserve(profile_tiles.size());
  for (const TileProfilePlan& plan : profile_tiles) {
    const auto found = slice_of_tile.find(plan.physical_tile);
    if (found == slice_of_tile.end()) {
      return invalid("cycle profile has no slice for tile " + std::to_string(plan.physical_tile));
    }
    QP_ASSIGN_OR_RETURN(const auto counters,
                        plan_counters(plan, *found->second, cycles.base, output));
    TileProfile tile{.physical_tile = plan.physical_tile};
    tile.samples.reserve(plan.steps.size());
    // Counters are little-endian and need not be aligned in the buffer.
    std::uint32_t start = detail::wire::load_le<std::uint32_t>(counters.data());
    for (std::size_t k = 0; k < plan.steps.size(); ++k) {
      const auto end = detail::wire::load_le<std::uint32_t>(counters.data() + 4 * (k + 1));
      tile.samples.push_back({plan.steps[k], start, end});
      start = end;
    }
    report.tiles.push_back(std::move(tile));
  }
  return report;
}

}  // namespace quarn_package
