// `quarn-pkg trace`: the Chrome Trace Event Format file, parsed back and checked for
// what Perfetto UI and chrome://tracing need, and for the times of the worked report.
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

#include "profiles.hpp"

namespace quarn_pkg_test {
namespace {

using nlohmann::json;
using quarn_package::CycleSample;
using quarn_package::ExchangeActivityKind;
using quarn_package::ProfileReport;
using quarn_package::ProfileStepKind;
using quarn_package::testing::worked_report;

// Viewers read microseconds into whole nanoseconds.
std::int64_t ns(const json& microseconds) {
  return std::llround(microseconds.get<double>() * 1000.0);
}

// Many tiles whose counters wrap at different places, with gaps, overlaps and activities
// that overlap one another and stick out of their steps.
ProfileReport irregular_report() {
  ProfileReport report{.clock_hz = 1'300'000'000};
  std::uint32_t state = 12345;
  const auto next = [&state](std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  };
  for (std::uint32_t tile = 0; tile < 40; ++tile) {
    report.tiles.push_back({.physical_tile = 1000 - tile});
    std::uint32_t counter = 4294967295u - next(5000);
    for (std::uint32_t k = 0; k < tile % 7; ++k) {
      CycleSample s{.step = {.local_index = k,
                             .operation = "op" + std::to_string(k),
                             .kind = static_cast<ProfileStepKind>(next(4))},
                    .start_cycle = counter + next(30) - 10,  // gaps and overlaps
                    .end_cycle = 0};
      s.end_cycle = s.start_cycle + next(900);
      for (std::uint32_t a = 0; a < next(4); ++a) {
        const std::uint32_t begin = s.start_cycle + next(1000) - 50;
        s.step.exchange_activities.push_back(
            {static_cast<ExchangeActivityKind>(next(3)), begin, begin + next(400)});
      }
      counter = s.end_cycle;
      report.tiles.back().samples.push_back(std::move(s));
    }
  }
  return report;
}

class TraceTest : public CliTest {
 protected:
  json trace_of(const ProfileReport& report) {
    write_bytes(path("r.qprof"), report_bytes(report));
    const Result r = run({"trace", "r.qprof", "-o", "trace.json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::size_t steps = 0;
    for (const auto& tile : report.tiles) steps += tile.samples.size();
    EXPECT_EQ(r.out, "trace.json: trace, " + std::to_string(report.tiles.size()) +
                         (report.tiles.size() == 1 ? " tile, " : " tiles, ") +
                         std::to_string(steps) + (steps == 1 ? " step\n" : " steps\n"));
    return json::parse(read_text(path("trace.json")));
  }

  // What viewers rely on: one named process, one named track per tile in report order,
  // complete events with non-negative durations in time order on each track, one per
  // step, and every activity inside the step before it.
  void expect_viewable(const json& doc, const ProfileReport& report) {
    const json& events = doc.at("traceEvents");
    std::map<int, std::string> track_names;
    std::map<int, std::size_t> sort_index;
    std::string process;
    std::map<int, std::size_t> steps_on;
    std::map<int, std::int64_t> last_ts;
    std::map<int, std::pair<std::int64_t, std::int64_t>> open_step;
    std::map<int, std::vector<std::int64_t>> open_activities;
    for (const json& e : events) {
      SCOPED_TRACE(e.dump());
      ASSERT_EQ(e.at("pid"), 1);
      const int tid = e.at("tid");
      const std::string ph = e.at("ph");
      if (ph == "M") {
        if (e.at("name") == "process_name") process = e.at("args").at("name");
        if (e.at("name") == "thread_name") track_names[tid] = e.at("args").at("name");
        if (e.at("name") == "thread_sort_index") sort_index[tid] = e.at("args").at("sort_index");
        continue;
      }
      ASSERT_EQ(ph, "X");
      ASSERT_TRUE(track_names.contains(tid)) << "metadata names each track before its events";
      ASSERT_TRUE(e.at("name").is_string());
      const std::int64_t ts = ns(e.at("ts")), dur = ns(e.at("dur"));
      EXPECT_GE(dur, 0);
      if (last_ts.contains(tid)) {
        EXPECT_GE(ts, last_ts[tid]);
      }
      last_ts[tid] = ts;
      if (e.at("cat") == "exchange activity") {
        ASSERT_TRUE(open_step.contains(tid));
        EXPECT_GE(ts, open_step[tid].first);
        EXPECT_LE(ts + dur, open_step[tid].second);
        // Within the step, an activity lies inside the one still open or after it.
        std::vector<std::int64_t>& ends = open_activities[tid];
        while (!ends.empty() && ends.back() <= ts) ends.pop_back();
        if (!ends.empty()) {
          EXPECT_LE(ts + dur, ends.back()) << "activities overlap partly";
        }
        ends.push_back(ts + dur);
      } else {
        open_activities[tid].clear();
        if (open_step.contains(tid)) {
          EXPECT_GE(ts, open_step[tid].second) << "steps overlap";
        }
        open_step[tid] = {ts, ts + dur};
        ++steps_on[tid];
      }
    }
    EXPECT_NE(process.find("Quarn device"), std::string::npos) << process;
    ASSERT_EQ(track_names.size(), report.tiles.size());
    std::size_t i = 0;
    for (const auto& [tid, name] : track_names) {
      SCOPED_TRACE(name);
      EXPECT_EQ(name, "tile " + std::to_string(report.tiles[i].physical_tile));
      EXPECT_EQ(sort_index[tid], i);
      EXPECT_EQ(steps_on[tid], report.tiles[i].samples.size());
      ++i;
    }
  }
};

TEST_F(TraceTest, WorkedReportAcrossTheWrap) {
  const ProfileReport report = worked_report();
  const json doc = trace_of(report);
  expect_viewable(doc, report);
  EXPECT_EQ(doc.at("otherData").at("clock_hz"), 1500000000u);
  std::vector<json> steps, activities;
  for (const json& e : doc.at("traceEvents")) {
    if (e.at("ph") != "X") continue;
    (e.at("cat") == "exchange activity" ? activities : steps).push_back(e);
  }
  const char* const kinds[] = {"Exchange", "Compute", "Synchronization", "Idle"};
  ASSERT_EQ(steps.size(), 4u);
  for (std::uint32_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(steps[i].at("name"), "accumulate");
    EXPECT_EQ(steps[i].at("cat"), kinds[i]);
    EXPECT_EQ(ns(steps[i].at("ts")), 12 * static_cast<std::int64_t>(i));  // 12 ns each
    EXPECT_EQ(ns(steps[i].at("dur")), 12);
    EXPECT_EQ(steps[i].at("args"),
              json({{"index", i},
                    {"kind", kinds[i]},
                    {"operation", "accumulate"},
                    {"kernel", "gemm_f32_accumulate"},
                    {"phase", 5},
                    {"epoch", 8},
                    {"start", 4294967285u + i},
                    {"end", 7 + i},
                    {"cycles", 18},
                    {"exchange_event_cycles", 9},
                    {"metadata", json::array({{{"name", "innerBlock"}, {"value", "8"}}})}}));
  }
  // Send reads 2..6 and PartnerBusy 6..8 past the wrap: cycles 13..17 and 17..19 of a
  // step of 18, so PartnerBusy is cut at the step's end.
  ASSERT_EQ(activities.size(), 2u);
  EXPECT_EQ(activities[0].at("name"), "Send");
  EXPECT_EQ(ns(activities[0].at("ts")), 8);  // floor(13 / 1.5)
  EXPECT_EQ(ns(activities[0].at("dur")), 3);
  EXPECT_EQ(activities[0].at("args"),
            json({{"kind", "Send"}, {"start", 2}, {"end", 6}, {"cycles", 4}, {"clamped", false}}));
  EXPECT_EQ(activities[1].at("name"), "PartnerBusy");
  EXPECT_EQ(ns(activities[1].at("ts")), 11);
  EXPECT_EQ(ns(activities[1].at("dur")), 1);
  EXPECT_EQ(
      activities[1].at("args"),
      json({{"kind", "PartnerBusy"}, {"start", 6}, {"end", 8}, {"cycles", 1}, {"clamped", true}}));
}

TEST_F(TraceTest, AnUnknownClockCountsCyclesAsMicroseconds) {
  ProfileReport report = worked_report();
  report.clock_hz = 0;
  const json doc = trace_of(report);
  expect_viewable(doc, report);
  std::vector<std::pair<double, double>> times;
  std::string process;
  for (const json& e : doc.at("traceEvents")) {
    if (e.at("name") == "process_name") process = e.at("args").at("name");
    if (e.at("ph") == "X" && e.at("cat") != "exchange activity")
      times.emplace_back(e.at("ts"), e.at("dur"));
  }
  EXPECT_EQ(times, (std::vector<std::pair<double, double>>{{0, 18}, {18, 18}, {36, 18}, {54, 18}}));
  EXPECT_NE(process.find("clock unknown"), std::string::npos) << process;
}

TEST_F(TraceTest, IrregularReportsStayViewable) {
  const ProfileReport report = irregular_report();
  expect_viewable(trace_of(report), report);
  const ProfileReport none{.clock_hz = 1};
  expect_viewable(trace_of(none), none);
}

}  // namespace
}  // namespace quarn_pkg_test
