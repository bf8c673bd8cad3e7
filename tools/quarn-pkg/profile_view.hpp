// The derived view of a profile report: elapsed cycles, each step's place on its tile's
// time line, microseconds, shares by kind and the most expensive steps. The library only
// carries raw counter readings and clock_hz; every subtraction and every use of the clock
// is here, shared by `report`, `trace` and `timeline`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include <quarn_package/profile.hpp>

namespace quarn_pkg {

inline constexpr std::size_t kStepKindCount = 4;
// Every ProfileStepKind, in the order of their numbers (which index cycles_by_kind).
inline constexpr std::array<quarn_package::ProfileStepKind, kStepKindCount> kStepKinds = {
    quarn_package::ProfileStepKind::Exchange, quarn_package::ProfileStepKind::Compute,
    quarn_package::ProfileStepKind::Synchronization, quarn_package::ProfileStepKind::Idle};

// The cycles from `start` to `end` of a 32-bit counter that wraps: unsigned subtraction
// stays right across a wrap.
constexpr std::uint32_t elapsed_cycles(std::uint32_t start, std::uint32_t end) {
  return end - start;
}

// `cycles` at `clock_hz` in microseconds; none when the clock is unknown (0).
std::optional<double> microseconds(std::uint64_t cycles, std::uint64_t clock_hz);

// The whole nanoseconds at or before `cycles` ticks of `clock_hz`, saturating; none when
// the clock is unknown. Integer arithmetic, so more cycles never give an earlier time.
std::optional<std::uint64_t> floor_nanoseconds(std::uint64_t cycles, std::uint64_t clock_hz);

// `part` of `whole` as a fraction; none when `whole` is 0.
std::optional<double> share(std::uint64_t part, std::uint64_t whole);

// Where an exchange activity lies within its step, in cycles from the step's start.
struct ActivityView {
  const quarn_package::ProfileExchangeActivity* activity = nullptr;
  std::uint32_t begin = 0;  // 0 <= begin <= end <= the step's cycles
  std::uint32_t end = 0;
  bool clamped = false;  // a reading lay outside the step and was moved to its nearer edge
};

struct StepView {
  const quarn_package::CycleSample* sample = nullptr;
  std::uint32_t cycles = 0;
  std::uint64_t offset = 0;  // cycles from the tile's first step to this one's start
  std::vector<ActivityView> activities;
};

struct TileView {
  std::uint32_t physical_tile = 0;
  std::vector<StepView> steps;
  std::uint64_t total_cycles = 0;  // the sum of its steps' cycles
  std::array<std::uint64_t, kStepKindCount> cycles_by_kind{};
  std::uint64_t span = 0;  // where its last step ends on its time line
};

struct ProfileView {
  std::uint64_t clock_hz = 0;
  std::vector<TileView> tiles;  // in the report's order
  std::uint64_t total_cycles = 0;
  std::array<std::uint64_t, kStepKindCount> cycles_by_kind{};
  std::uint64_t span = 0;  // the longest tile's span
  std::uint64_t step_count = 0;
};

// The view of `report`, which must outlive it. Each tile's time line starts at its first
// step: tiles' counters need not agree, so none is placed against another.
ProfileView make_profile_view(const quarn_package::ProfileReport& report);

// A step's activities as nested trace events need them: ordered by where they begin (the
// longer first among equal begins), and each that begins inside an earlier one and ends
// after it cut at that one's end (and marked clamped), so that no two overlap partly.
std::vector<ActivityView> nested_activities(const StepView& step);

struct RankedStep {
  const TileView* tile = nullptr;
  const StepView* step = nullptr;
};

// The `k` steps with the most cycles across `tiles`, most first; among equal steps the
// one earlier in the report comes first.
std::vector<RankedStep> top_steps(std::span<const TileView> tiles, std::size_t k);

}  // namespace quarn_pkg
