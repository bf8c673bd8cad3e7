// Building profile reports from the runtime output buffer of a profiled run.
#include <gtest/gtest.h>

#include <random>

#include "support/examples.hpp"

namespace quarn_package {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put_u32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

ProfileStep step(std::uint32_t index) {
  return ProfileStep{.local_index = index,
                     .phase = index * 3,
                     .operation = "op" + std::to_string(index),
                     .kind = static_cast<ProfileStepKind>(index % 4),
                     .kernel = "k"};
}

// An application with a prefix output of `prefix` bytes and a "profile.cycles" output
// with one slice per plan, plus the buffer that holds their counters.
struct Layout {
  Application app;
  Bytes buffer;
  std::vector<std::vector<std::uint32_t>> counters;  // per plan
};

Layout worked_layout(std::uint32_t prefix, const std::vector<std::uint32_t>& steps,
                     std::mt19937& random) {
  Layout l;
  Binding first{.name = "prefix", .dtype = "u8", .shape = {prefix}};
  if (prefix != 0) first.slices.push_back({0, 0x4c000, 0, prefix});
  Binding cycles{.name = "profile.cycles", .dtype = "u32"};
  l.buffer.assign(prefix, 0xA5);
  std::uint64_t offset = 0, total = 0;
  for (std::uint32_t t = 0; t < steps.size(); ++t) {
    const std::uint64_t size = 4 * (steps[t] + 1);
    cycles.slices.push_back({t, 0x4c100, offset, size});
    offset += size;
    total += steps[t] + 1;
    TileProfilePlan plan{.physical_tile = t};
    for (std::uint32_t k = 0; k < steps[t]; ++k) plan.steps.push_back(step(k));
    l.app.profile_tiles.push_back(plan);
    std::vector<std::uint32_t> values{static_cast<std::uint32_t>(random() % (1u << 31))};
    for (std::uint32_t k = 0; k < steps[t]; ++k)
      values.push_back(values.back() + 1 + random() % 10000);
    for (std::uint32_t v : values) put_u32(l.buffer, v);
    l.counters.push_back(values);
  }
  cycles.shape = {static_cast<std::uint32_t>(total)};
  l.app.outputs = {first, cycles};
  return l;
}

TEST(ProfileReportConstruction, WorkedLayoutPairsEveryStepWithItsCounters) {
  std::mt19937 random(20261211);
  for (std::uint32_t prefix : {0u, 4u, 32u}) {
    for (std::size_t tiles : {1u, 8u}) {
      std::vector<std::uint32_t> steps;
      for (std::size_t t = 0; t < tiles; ++t) steps.push_back(1 + random() % 16);
      SCOPED_TRACE(::testing::Message() << "P=" << prefix << " T=" << tiles);
      const Layout l = worked_layout(prefix, steps, random);
      const auto report = l.app.profile_report(l.buffer, 1500000000);
      ASSERT_TRUE(report) << report.error();
      EXPECT_EQ(report->clock_hz, 1500000000u);
      ASSERT_EQ(report->tiles.size(), tiles);
      for (std::uint32_t t = 0; t < tiles; ++t) {
        const TileProfile& tile = report->tiles[t];
        EXPECT_EQ(tile.physical_tile, t);
        ASSERT_EQ(tile.samples.size(), steps[t]);
        for (std::uint32_t k = 0; k < steps[t]; ++k) {
          EXPECT_EQ(tile.samples[k].step, l.app.profile_tiles[t].steps[k]);
          EXPECT_EQ(tile.samples[k].start_cycle, l.counters[t][k]);
          EXPECT_EQ(tile.samples[k].end_cycle, l.counters[t][k + 1]);
        }
      }
    }
  }
}

TEST(ProfileReportConstruction, BufferDetailsThatDoNotChangeTheReport) {
  std::mt19937 random(7);
  Layout l = worked_layout(32, {3, 2}, random);
  const auto expected = l.app.profile_report(l.buffer, 1);
  ASSERT_TRUE(expected);
  // Other bytes and a longer buffer are not read.
  Bytes other = l.buffer;
  std::fill(other.begin(), other.begin() + 32, 0x00);
  other.resize(other.size() + 100, 0xEE);
  EXPECT_EQ(l.app.profile_report(other, 1), expected);
  // Slices for tiles without a plan are ignored; reports follow the order of the plans.
  l.app.outputs[1].slices.push_back({77, 0x4c100, 0, 4});
  std::swap(l.app.outputs[1].slices[0], l.app.outputs[1].slices[1]);
  EXPECT_EQ(l.app.profile_report(l.buffer, 1), expected);
  // Inputs and weights named like the profile binding do not count.
  l.app.inputs.push_back(Binding{.name = "profile.cycles", .slices = {{0, 0, 0, 999}}});
  l.app.weights.push_back(Binding{.name = "profile.cycles"});
  EXPECT_EQ(l.app.profile_report(l.buffer, 1), expected);
}

TEST(ProfileReportConstruction, CountersThatWrapAreKeptAsTheyAre) {
  Application app;
  app.outputs = {Binding{.name = "profile.cycles", .slices = {{4, 0, 0, 12}}}};
  app.profile_tiles = {TileProfilePlan{.physical_tile = 4, .steps = {step(0), step(1)}}};
  Bytes buffer;
  for (std::uint32_t v : {0xFFFFFFF0u, 0x10u, 0x5u}) put_u32(buffer, v);
  const auto report = app.profile_report(buffer, 0);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->tiles[0].samples[0].start_cycle, 0xFFFFFFF0u);
  EXPECT_EQ(report->tiles[0].samples[0].end_cycle, 0x10u);
  EXPECT_EQ(report->tiles[0].samples[1].end_cycle, 0x5u);
}

TEST(ProfileReportConstruction, BindingBaseAndDuplicates) {
  Application app;
  Bytes buffer(12, 0);  // an earlier output ending at 8 + 4
  put_u32(buffer, 100);
  put_u32(buffer, 150);
  put_u32(buffer, 9);  // a second slice for the same tile, which wins
  put_u32(buffer, 11);
  app.outputs = {
      Binding{.name = "early", .slices = {{0, 0, 8, 4}}},
      Binding{.name = "profile.cycles", .slices = {{2, 0, 0, 8}, {2, 0, 8, 8}}},
      Binding{.name = "profile.cycles", .slices = {{2, 0, 0, 8}}},  // second: not used
  };
  app.profile_tiles = {TileProfilePlan{.physical_tile = 2, .steps = {step(0)}}};
  const auto report = app.profile_report(buffer, 0);
  ASSERT_TRUE(report) << report.error();
  EXPECT_EQ(report->tiles[0].samples[0].start_cycle, 9u);
  EXPECT_EQ(report->tiles[0].samples[0].end_cycle, 11u);
}

TEST(ProfileReportConstruction, PlanWithoutStepsTakesOneCounter) {
  Application app;
  app.outputs = {Binding{.name = "profile.cycles", .slices = {{2, 0, 0, 4}}}};
  app.profile_tiles = {TileProfilePlan{.physical_tile = 2}};
  const auto report = app.profile_report(Bytes(4, 0), 0);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->tiles, (std::vector<TileProfile>{{2, {}}}));
  app.profile_tiles.clear();
  EXPECT_EQ(app.profile_report({}, 5), (ProfileReport{.clock_hz = 5}));
}

TEST(ProfileReportConstruction, EachFailureHasItsMessage) {
  const std::uint64_t max = ~0ull;
  auto cycles = [](std::vector<RegionSlice> slices) {
    return Binding{.name = "profile.cycles", .slices = std::move(slices)};
  };
  auto plan = [](std::uint32_t tile, std::uint32_t steps) {
    TileProfilePlan p{.physical_tile = tile};
    for (std::uint32_t k = 0; k < steps; ++k) p.steps.push_back(step(k));
    return p;
  };
  struct Case {
    const char* message;
    std::vector<Binding> outputs;
    std::vector<TileProfilePlan> plans;
    std::size_t buffer;
  };
  const Case cases[] = {
      {"output binding size overflow",
       {Binding{.name = "a", .slices = {{0, 0, max - 1, 1}}},
        Binding{.name = "b", .slices = {{0, 0, 0, 2}}}, cycles({})},
       {},
       0},
      {"application has no cycle profile binding", {Binding{.name = "profile.cycle"}}, {}, 0},
      {"application has no cycle profile binding", {}, {plan(0, 1)}, 0},
      {"cycle profile has no slice for tile 9",
       {Binding{.name = "x", .slices = {{9, 0, 0, 8}}}, cycles({{1, 0, 0, 8}})},
       {plan(9, 1)},
       64},
      {"cycle profile slice for tile 2 has size 8, expected 4",
       {cycles({{2, 0, 0, 8}})},
       {plan(2, 0)},
       64},
      {"cycle profile slice for tile 5 has size 12, expected 16",
       {cycles({{5, 0, 0, 12}})},
       {plan(5, 3)},
       64},
      {"profile output offset overflow",
       {Binding{.name = "a", .slices = {{0, 0, 0, 16}}}, cycles({{0, 0, max - 8, 8}})},
       {plan(0, 1)},
       64},
      {"profile output range overflow", {cycles({{0, 0, max - 4, 8}})}, {plan(0, 1)}, 64},
      {"profile binding exceeds runtime output", {cycles({{0, 0, 4, 8}})}, {plan(0, 1)}, 11},
      // The first plan is checked fully before the second is looked at.
      {"cycle profile has no slice for tile 1",
       {cycles({{0, 0, 0, 8}})},
       {plan(0, 1), plan(1, 1)},
       8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Application app;
    app.outputs = c.outputs;
    app.profile_tiles = c.plans;
    const auto report = app.profile_report(Bytes(c.buffer, 0), 1);
    ASSERT_FALSE(report);
    EXPECT_EQ(report.error(), PackageError::invalid(c.message));
  }
  Application ok;
  ok.outputs = {cycles({{0, 0, 4, 8}})};
  ok.profile_tiles = {plan(0, 1)};
  EXPECT_TRUE(ok.profile_report(Bytes(12, 0), 1));  // one byte more than the failing case
}

TEST(ProfileReportConstruction, ReportOfTheFullApplicationRoundTripsThroughAFile) {
  Application app = testing::full_application();
  app.outputs = {Binding{
      .name = "profile.cycles", .dtype = "u32", .shape = {2}, .slices = {{0, 0x4c000, 0, 8}}}};
  Bytes buffer;
  put_u32(buffer, 1000);
  put_u32(buffer, 1250);
  const auto report = app.profile_report(buffer, 1500000000);
  ASSERT_TRUE(report);
  std::vector<std::uint8_t> file;
  ASSERT_TRUE(report->write(file));
  EXPECT_EQ(ProfileReport::read(file), *report);
}

}  // namespace
}  // namespace quarn_package
