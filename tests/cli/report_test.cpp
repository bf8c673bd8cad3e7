// `quarn-pkg report`: per tile its steps with cycles and microseconds and its cycles by
// kind, then the most expensive steps; as tables and as JSON.
#include <nlohmann/json.hpp>

#include "profiles.hpp"

namespace quarn_pkg_test {
namespace {

using nlohmann::ordered_json;
using quarn_package::CycleSample;
using quarn_package::ProfileReport;
using quarn_package::ProfileStepKind;
using quarn_package::testing::worked_report;

const char* const kKinds[] = {"Exchange", "Compute", "Synchronization", "Idle"};

// Tile 2 has a long compute step and a zero-length one, tile 9 only an idle step.
ProfileReport two_tiles(std::uint64_t clock_hz) {
  const auto step = [](std::uint32_t index, ProfileStepKind kind, std::uint32_t start,
                       std::uint32_t end) {
    return CycleSample{
        .step = {.local_index = index, .operation = "op" + std::to_string(index), .kind = kind},
        .start_cycle = start,
        .end_cycle = end};
  };
  return {.clock_hz = clock_hz,
          .tiles = {{.physical_tile = 2,
                     .samples = {step(0, ProfileStepKind::Compute, 100, 400),
                                 step(1, ProfileStepKind::Exchange, 400, 400)}},
                    {.physical_tile = 9, .samples = {step(0, ProfileStepKind::Idle, 50, 250)}}}};
}

class ReportTest : public CliTest {
 protected:
  ordered_json report_json(const ProfileReport& report, std::vector<std::string> extra = {}) {
    write_bytes(path("r.qprof"), report_bytes(report));
    std::vector<std::string> args = {"report", "r.qprof", "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Result r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return ordered_json::parse(r.out);
  }
};

TEST_F(ReportTest, JsonOfAWrappedCounterFieldByField) {
  const ordered_json doc = report_json(worked_report(), {"--top", "2"});
  EXPECT_EQ(doc.at("clock_hz"), 1500000000u);
  ASSERT_EQ(doc.at("tiles").size(), 1u);
  const ordered_json& tile = doc.at("tiles")[0];
  EXPECT_EQ(tile.at("physical_tile"), 17u);
  ASSERT_EQ(tile.at("steps").size(), 4u);
  for (std::uint32_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const ordered_json& step = tile.at("steps")[i];
    std::vector<std::string> keys;
    for (const auto& [key, value] : step.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"index", "kind", "operation", "kernel", "start",
                                              "end", "cycles", "microseconds"}));
    EXPECT_EQ(step.at("index"), i);
    EXPECT_EQ(step.at("kind"), kKinds[i]);
    EXPECT_EQ(step.at("operation"), "accumulate");
    EXPECT_EQ(step.at("kernel"), "gemm_f32_accumulate");
    EXPECT_EQ(step.at("start"), 4294967285u + i);
    EXPECT_EQ(step.at("end"), 7u + i);
    EXPECT_EQ(step.at("cycles"), 18u);  // across the wrap, not 2^32 - 18
    EXPECT_DOUBLE_EQ(step.at("microseconds").get<double>(), 18 / 1500.0);
  }
  const ordered_json& summary = tile.at("summary");
  EXPECT_EQ(summary.at("step_count"), 4u);
  EXPECT_EQ(summary.at("total_cycles"), 72u);
  EXPECT_DOUBLE_EQ(summary.at("total_microseconds").get<double>(), 72 / 1500.0);
  ASSERT_EQ(summary.at("kinds").size(), 4u);
  for (std::size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE(kKinds[k]);
    EXPECT_EQ(summary.at("kinds")[k].at("kind"), kKinds[k]);
    EXPECT_EQ(summary.at("kinds")[k].at("cycles"), 18u);
    EXPECT_DOUBLE_EQ(summary.at("kinds")[k].at("share").get<double>(), 0.25);
  }
  // All four cost the same: the first two in report order.
  ASSERT_EQ(doc.at("top").size(), 2u);
  for (std::uint32_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    ordered_json expected = {{"physical_tile", 17}};
    for (const auto& [key, value] : tile.at("steps")[i].items()) expected[key] = value;
    EXPECT_EQ(doc.at("top")[i], expected);
  }
}

TEST_F(ReportTest, AnUnknownClockGivesNullMicrosecondsAndNoCyclesNullShares) {
  const ordered_json doc = report_json(two_tiles(0));
  EXPECT_EQ(doc.at("clock_hz"), 0u);
  for (const ordered_json& tile : doc.at("tiles")) {
    SCOPED_TRACE(tile.at("physical_tile").dump());
    for (const ordered_json& step : tile.at("steps"))
      EXPECT_TRUE(step.at("microseconds").is_null());
    EXPECT_TRUE(tile.at("summary").at("total_microseconds").is_null());
  }
  const ordered_json& kinds = doc.at("tiles")[0].at("summary").at("kinds");
  EXPECT_EQ(kinds[0].at("cycles"), 0u);  // the zero-length exchange step
  EXPECT_DOUBLE_EQ(kinds[0].at("share").get<double>(), 0.0);
  EXPECT_DOUBLE_EQ(kinds[1].at("share").get<double>(), 1.0);
  // Top steps span tiles: tile 2's 300 cycles, tile 9's 200, tile 2's 0.
  std::vector<std::pair<unsigned, unsigned>> top;
  for (const ordered_json& t : doc.at("top"))
    top.emplace_back(t.at("physical_tile"), t.at("cycles"));
  EXPECT_EQ(top, (std::vector<std::pair<unsigned, unsigned>>{{2, 300}, {9, 200}, {2, 0}}));

  ProfileReport idle = two_tiles(5);
  idle.tiles[1].samples[0].end_cycle = idle.tiles[1].samples[0].start_cycle;
  const ordered_json no_cycles = report_json(idle, {"--tile", "9"});
  ASSERT_EQ(no_cycles.at("tiles").size(), 1u);
  for (const ordered_json& kind : no_cycles.at("tiles")[0].at("summary").at("kinds"))
    EXPECT_TRUE(kind.at("share").is_null()) << kind;
}

TEST_F(ReportTest, TablesOfTheWorkedReport) {
  write_bytes(path("w.qprof"), report_bytes(worked_report()));
  const Result r = run({"report", "w.qprof", "--top", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "w.qprof: 1 tile, 4 steps, clock 1500000000 Hz\n"
            "\n"
            "Tile 17: 4 steps, 72 cycles, 0.048 us\n"
            "  index  kind             operation   kernel                    start  end  cycles  "
            "   us\n"
            "      0  Exchange         accumulate  gemm_f32_accumulate  4294967285    7      18  "
            "0.012\n"
            "      1  Compute          accumulate  gemm_f32_accumulate  4294967286    8      18  "
            "0.012\n"
            "      2  Synchronization  accumulate  gemm_f32_accumulate  4294967287    9      18  "
            "0.012\n"
            "      3  Idle             accumulate  gemm_f32_accumulate  4294967288   10      18  "
            "0.012\n"
            "  kind             cycles  share\n"
            "  Exchange             18  25.0%\n"
            "  Compute              18  25.0%\n"
            "  Synchronization      18  25.0%\n"
            "  Idle                 18  25.0%\n"
            "\n"
            "Top 2 steps by cycles, of 4\n"
            "  tile  index  kind      operation   kernel               cycles     us\n"
            "    17      0  Exchange  accumulate  gemm_f32_accumulate      18  0.012\n"
            "    17      1  Compute   accumulate  gemm_f32_accumulate      18  0.012\n");
}

TEST_F(ReportTest, TileAndTopChooseWhatIsShown) {
  write_bytes(path("t.qprof"), report_bytes(two_tiles(1'000'000)));
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> present, absent;
  };
  const Case cases[] = {
      {{"--tile", "9"},
       {"t.qprof: 1 tile, 1 step,", "Tile 9: 1 step, 200 cycles, 200.000 us"},
       {"Tile 2"}},
      {{"--top", "1"}, {"Tile 2:", "Tile 9:", "Top 1 step by cycles, of 3\n"}, {"Top 2"}},
      {{"--top", "0"}, {"Tile 2:", "Tile 9:"}, {"Top"}},
      {{}, {"Top 3 steps by cycles, of 3\n", "clock 1000000 Hz"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "defaults" : c.args.front() + " " + c.args.back());
    std::vector<std::string> args = {"report", "t.qprof"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& text : c.present)
      EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    for (const std::string& text : c.absent)
      EXPECT_EQ(r.out.find(text), std::string::npos) << text << "\n" << r.out;
  }
  const Result missing = run({"report", "t.qprof", "--tile", "3"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "quarn-pkg: t.qprof: no tile 3 in the report\n");
}

}  // namespace
}  // namespace quarn_pkg_test
