#include "profile_view.hpp"

#include <algorithm>
#include <limits>

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

// Wider than any product of a 64-bit count and 10^9, so floor_nanoseconds is exact.
__extension__ using Wide = unsigned __int128;

// Readings further apart than this are taken as the later one lying before the earlier,
// across a wrap.
constexpr std::uint32_t kHalfCounter = std::uint32_t{1} << 31;

// An exchange activity reading, in cycles from its step's start. The readings come from
// the step's own counter, so the distance is modular like the step's length. A reading
// outside the step goes to the edge it is nearer to by that modular distance: a reading a
// few cycles before the start counts as before it even when the counter wrapped in
// between, and one a few cycles past the end as after it.
std::uint32_t place_reading(std::uint32_t reading, std::uint32_t step_start,
                            std::uint32_t step_cycles, bool& clamped) {
  const std::uint32_t from_start = elapsed_cycles(step_start, reading);
  if (from_start <= step_cycles) return from_start;
  clamped = true;
  const std::uint32_t past_end = from_start - step_cycles;
  const std::uint32_t before_start = 0u - from_start;
  return past_end <= before_start ? step_cycles : 0;
}

std::vector<ActivityView> place_activities(const qp::CycleSample& sample, std::uint32_t cycles) {
  std::vector<ActivityView> placed;
  placed.reserve(sample.step.exchange_activities.size());
  for (const qp::ProfileExchangeActivity& activity : sample.step.exchange_activities) {
    ActivityView view{.activity = &activity};
    view.begin = place_reading(activity.start_cycle, sample.start_cycle, cycles, view.clamped);
    view.end = place_reading(activity.end_cycle, sample.start_cycle, cycles, view.clamped);
    if (view.end < view.begin) {  // ends before it begins: nothing of it lies in the step
      view.end = view.begin;
      view.clamped = true;
    }
    placed.push_back(view);
  }
  return placed;
}

std::optional<std::size_t> kind_index(qp::ProfileStepKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  if (index >= kStepKindCount) return std::nullopt;
  return index;
}

TileView make_tile_view(const qp::TileProfile& tile) {
  TileView view{.physical_tile = tile.physical_tile};
  view.steps.reserve(tile.samples.size());
  const qp::CycleSample* previous = nullptr;
  for (const qp::CycleSample& sample : tile.samples) {
    StepView step{.sample = &sample,
                  .cycles = elapsed_cycles(sample.start_cycle, sample.end_cycle)};
    // A step starts where its counter says, measured from the previous step's end. In a
    // profiled run each end counter is the next step's start, so the gap is 0; a start
    // read as before that end would overlap the previous step and is placed at its end,
    // so a tile's steps follow one another on its time line.
    if (previous) {
      const std::uint32_t gap = elapsed_cycles(previous->end_cycle, sample.start_cycle);
      step.offset = view.span + (gap < kHalfCounter ? gap : 0);
    }
    step.activities = place_activities(sample, step.cycles);
    view.span = step.offset + step.cycles;
    view.total_cycles += step.cycles;
    if (const auto kind = kind_index(sample.step.kind)) view.cycles_by_kind[*kind] += step.cycles;
    view.steps.push_back(std::move(step));
    previous = &sample;
  }
  return view;
}

}  // namespace

std::optional<double> microseconds(std::uint64_t cycles, std::uint64_t clock_hz) {
  if (clock_hz == 0) return std::nullopt;
  return static_cast<double>(cycles) * 1e6 / static_cast<double>(clock_hz);
}

std::optional<std::uint64_t> floor_nanoseconds(std::uint64_t cycles, std::uint64_t clock_hz) {
  if (clock_hz == 0) return std::nullopt;
  const Wide ns = Wide{cycles} * 1'000'000'000u / clock_hz;
  return static_cast<std::uint64_t>(std::min<Wide>(ns, std::numeric_limits<std::uint64_t>::max()));
}

std::optional<double> share(std::uint64_t part, std::uint64_t whole) {
  if (whole == 0) return std::nullopt;
  return static_cast<double>(part) / static_cast<double>(whole);
}

ProfileView make_profile_view(const qp::ProfileReport& report) {
  ProfileView view{.clock_hz = report.clock_hz};
  view.tiles.reserve(report.tiles.size());
  for (const qp::TileProfile& tile : report.tiles) {
    TileView tile_view = make_tile_view(tile);
    view.total_cycles += tile_view.total_cycles;
    for (std::size_t k = 0; k < kStepKindCount; ++k)
      view.cycles_by_kind[k] += tile_view.cycles_by_kind[k];
    view.span = std::max(view.span, tile_view.span);
    view.step_count += tile_view.steps.size();
    view.tiles.push_back(std::move(tile_view));
  }
  return view;
}

std::vector<ActivityView> nested_activities(const StepView& step) {
  std::vector<ActivityView> nested = step.activities;
  std::ranges::stable_sort(nested, [](const ActivityView& a, const ActivityView& b) {
    return a.begin != b.begin ? a.begin < b.begin : a.end > b.end;
  });
  std::vector<std::uint32_t> open_ends;  // ends of the activities the next one may lie in
  for (ActivityView& activity : nested) {
    while (!open_ends.empty() && open_ends.back() <= activity.begin) open_ends.pop_back();
    if (!open_ends.empty() && activity.end > open_ends.back()) {
      activity.end = open_ends.back();
      activity.clamped = true;
    }
    open_ends.push_back(activity.end);
  }
  return nested;
}

std::vector<RankedStep> top_steps(std::span<const TileView> tiles, std::size_t k) {
  std::vector<RankedStep> steps;
  for (const TileView& tile : tiles)
    for (const StepView& step : tile.steps) steps.push_back({&tile, &step});
  // Pointers into the tiles' vectors grow with report order, so they break ties.
  const auto more_expensive = [](const RankedStep& a, const RankedStep& b) {
    if (a.step->cycles != b.step->cycles) return a.step->cycles > b.step->cycles;
    return a.tile != b.tile ? a.tile < b.tile : a.step < b.step;
  };
  const std::size_t kept = std::min(k, steps.size());
  std::partial_sort(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(kept), steps.end(),
                    more_expensive);
  steps.resize(kept);
  return steps;
}

}  // namespace quarn_pkg
