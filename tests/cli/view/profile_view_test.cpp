// The arithmetic behind `report`, `trace` and `timeline`: modular cycle differences, time
// lines, clock conversions, activity placement, shares and the most expensive steps.
#include "profile_view.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "support/examples.hpp"

namespace quarn_pkg {
namespace {

namespace qp = quarn_package;
using qp::ExchangeActivityKind;
using qp::ProfileStepKind;

constexpr std::uint32_t kMax32 = std::numeric_limits<std::uint32_t>::max();

qp::CycleSample sample(std::uint32_t start, std::uint32_t end,
                       ProfileStepKind kind = ProfileStepKind::Compute) {
  return {.step = {.kind = kind}, .start_cycle = start, .end_cycle = end};
}

qp::ProfileReport one_tile(std::vector<qp::CycleSample> samples, std::uint64_t clock_hz = 1000) {
  return {.clock_hz = clock_hz, .tiles = {{.physical_tile = 3, .samples = std::move(samples)}}};
}

TEST(ProfileView, ElapsedCyclesAreModular) {
  struct Case {
    std::uint32_t start, end, cycles;
  };
  const Case cases[] = {
      {0, 0, 0},
      {5, 9, 4},
      {4294967285u, 7, 18},  // wraps once
      {kMax32, 0, 1},
      {7, 4294967285u, 4294967278u},  // a start just past the end is read as a long step
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + " -> " + std::to_string(c.end));
    EXPECT_EQ(elapsed_cycles(c.start, c.end), c.cycles);
  }
}

TEST(ProfileView, ClockConversionsNeedAClock) {
  EXPECT_EQ(microseconds(18, 0), std::nullopt);
  EXPECT_EQ(floor_nanoseconds(18, 0), std::nullopt);
  EXPECT_DOUBLE_EQ(*microseconds(18, 1'500'000'000), 0.012);
  EXPECT_DOUBLE_EQ(*microseconds(3, 1), 3e6);
  struct Case {
    std::uint64_t cycles, clock_hz, ns;
  };
  const Case cases[] = {
      {0, 1'500'000'000, 0},
      {1, 1'500'000'000, 0},  // 0.67 ns: floored
      {2, 1'500'000'000, 1},
      {1500, 1'500'000'000, 1000},
      {kMax32, 1, 4294967295000000000u},  // exact beyond 64-bit intermediate products
      {std::numeric_limits<std::uint64_t>::max(), 1, std::numeric_limits<std::uint64_t>::max()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.cycles) + " at " + std::to_string(c.clock_hz));
    EXPECT_EQ(floor_nanoseconds(c.cycles, c.clock_hz), c.ns);
  }
  EXPECT_EQ(share(1, 0), std::nullopt);
  EXPECT_DOUBLE_EQ(*share(1, 4), 0.25);
}

TEST(ProfileView, WrappedCountersLieInOrderOnTheTimeLine) {
  const qp::ProfileReport report = qp::testing::worked_report();
  const ProfileView view = make_profile_view(report);
  ASSERT_EQ(view.tiles.size(), 1u);
  const TileView& tile = view.tiles[0];
  EXPECT_EQ(tile.physical_tile, 17u);
  ASSERT_EQ(tile.steps.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(tile.steps[i].sample, &report.tiles[0].samples[i]);
    EXPECT_EQ(tile.steps[i].cycles, 18u);
    EXPECT_EQ(tile.steps[i].offset, 18 * i);
    EXPECT_EQ(tile.cycles_by_kind[i], 18u);
  }
  EXPECT_EQ(tile.total_cycles, 72u);
  EXPECT_EQ(tile.span, 72u);
  EXPECT_EQ(view.total_cycles, 72u);
  EXPECT_EQ(view.span, 72u);
  EXPECT_EQ(view.step_count, 4u);
  EXPECT_EQ(view.clock_hz, 1'500'000'000u);
}

TEST(ProfileView, GapsOverlapsAndWrapsBetweenSteps) {
  struct Case {
    const char* name;
    std::vector<qp::CycleSample> samples;
    std::vector<std::uint64_t> offsets;
    std::uint64_t span;
  };
  const Case cases[] = {
      {"back to back", {sample(100, 150), sample(150, 200)}, {0, 50}, 100},
      {"a gap stays a gap", {sample(100, 150), sample(160, 200)}, {0, 60}, 100},
      {"an overlap is placed after", {sample(100, 150), sample(140, 200)}, {0, 50}, 110},
      {"a wrap between steps", {sample(4294967290u, kMax32), sample(3, 10)}, {0, 9}, 16},
      {"a wrap inside a step", {sample(4294967290u, 4), sample(4, 10)}, {0, 10}, 16},
      {"no samples", {}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const qp::ProfileReport report = one_tile(c.samples);
    const ProfileView view = make_profile_view(report);
    std::vector<std::uint64_t> offsets;
    for (const StepView& step : view.tiles[0].steps) offsets.push_back(step.offset);
    EXPECT_EQ(offsets, c.offsets);
    EXPECT_EQ(view.tiles[0].span, c.span);
  }
}

TEST(ProfileView, ActivitiesArePlacedWithinTheirStep) {
  struct Case {
    const char* name;
    std::uint32_t step_start, step_end;
    std::uint32_t start, end;  // the activity's readings
    std::uint32_t begin_at, end_at;
    bool clamped;
  };
  const Case cases[] = {
      {"inside", 1000, 1100, 1010, 1020, 10, 20, false},
      {"the whole step", 1000, 1100, 1000, 1100, 0, 100, false},
      {"begins before", 1000, 1100, 990, 1020, 0, 20, true},
      {"ends after", 1000, 1100, 1090, 1200, 90, 100, true},
      {"all after", 1000, 1100, 2000, 2100, 100, 100, true},
      {"all before", 1000, 1100, 900, 950, 0, 0, true},
      {"ends before it begins", 1000, 1100, 1050, 1010, 50, 50, true},
      {"step wraps", 4294967290u, 10, 2, 8, 8, 14, false},
      {"just before a step that starts after a wrap", 5, 30, 4294967290u, 10, 0, 5, true},
      {"worked example's Send", 4294967285u, 7, 2, 6, 13, 17, false},
      {"worked example's PartnerBusy", 4294967285u, 7, 6, 8, 17, 18, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qp::CycleSample s = sample(c.step_start, c.step_end, ProfileStepKind::Exchange);
    s.step.exchange_activities = {{ExchangeActivityKind::Receive, c.start, c.end}};
    const qp::ProfileReport report = one_tile({s});
    const ProfileView view = make_profile_view(report);
    const ActivityView& a = view.tiles[0].steps[0].activities.at(0);
    EXPECT_EQ(a.activity, &report.tiles[0].samples[0].step.exchange_activities[0]);
    EXPECT_EQ(a.begin, c.begin_at);
    EXPECT_EQ(a.end, c.end_at);
    EXPECT_EQ(a.clamped, c.clamped);
  }
}

TEST(ProfileView, NestedActivitiesNeverOverlapPartly) {
  struct Placed {
    std::uint32_t begin, end;
    bool clamped;
    bool operator==(const Placed&) const = default;
  };
  struct Case {
    const char* name;
    std::vector<Placed> given;
    std::vector<Placed> nested;
  };
  const Case cases[] = {
      {"siblings", {{0, 5, false}, {5, 9, false}}, {{0, 5, false}, {5, 9, false}}},
      {"sorted by begin", {{5, 8, false}, {0, 10, false}}, {{0, 10, false}, {5, 8, false}}},
      {"longer first at one begin", {{2, 4, false}, {2, 9, false}}, {{2, 9, false}, {2, 4, false}}},
      {"a partial overlap is cut",
       {{0, 10, false}, {5, 20, false}},
       {{0, 10, false}, {5, 10, true}}},
      {"cut to the innermost",
       {{0, 20, false}, {2, 10, false}, {4, 15, false}, {12, 18, false}},
       {{0, 20, false}, {2, 10, false}, {4, 10, true}, {12, 18, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StepView step;
    for (const Placed& p : c.given)
      step.activities.push_back({.begin = p.begin, .end = p.end, .clamped = p.clamped});
    std::vector<Placed> nested;
    for (const ActivityView& a : nested_activities(step))
      nested.push_back({a.begin, a.end, a.clamped});
    EXPECT_EQ(nested, c.nested);
  }
}

TEST(ProfileView, TopStepsAcrossTilesMostFirstTiesInReportOrder) {
  qp::ProfileReport report{.clock_hz = 1};
  report.tiles.push_back({.physical_tile = 5, .samples = {sample(0, 10), sample(10, 40)}});
  report.tiles.push_back({.physical_tile = 2, .samples = {sample(0, 40), sample(40, 50)}});
  const ProfileView view = make_profile_view(report);
  struct Case {
    std::size_t k;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;  // tile, cycles
  };
  const Case cases[] = {
      {0, {}},
      {1, {{2, 40}}},
      {3, {{2, 40}, {5, 30}, {5, 10}}},
      {10, {{2, 40}, {5, 30}, {5, 10}, {2, 10}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.k);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> got;
    for (const RankedStep& r : top_steps(view.tiles, c.k))
      got.emplace_back(r.tile->physical_tile, r.step->cycles);
    EXPECT_EQ(got, c.expected);
  }
}

}  // namespace
}  // namespace quarn_pkg
