// The demo's trace and timeline: written beside its report and drawn from it.
#include <nlohmann/json.hpp>

#include "cli_runner.hpp"

namespace quarn_pkg_test {
namespace {

class DemoViewsTest : public CliTest {};

TEST_F(DemoViewsTest, TheDemoDrawsItsReport) {
  const Result r = run({"demo", "tour"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* line :
       {"  trace.json          trace of the report\n",
        "  timeline.svg        timeline of the report\n", " report tour/example.qprof --top 3\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;

  const auto report = quarn_package::ProfileReport::read(read_bytes(path("tour/example.qprof")));
  ASSERT_TRUE(report) << report.error();
  std::size_t steps = 0, activities = 0;
  for (const auto& tile : report->tiles)
    for (const auto& sample : tile.samples) {
      ++steps;
      activities += sample.step.exchange_activities.size();
    }

  const auto trace = nlohmann::json::parse(read_text(path("tour/trace.json")));
  std::size_t events = 0;
  for (const auto& e : trace.at("traceEvents")) events += e.at("ph") == "X";
  EXPECT_EQ(events, steps + activities);

  const std::string svg = read_text(path("tour/timeline.svg"));
  std::size_t bars = 0;
  for (auto at = svg.find("class=\"step\""); at != std::string::npos;
       at = svg.find("class=\"step\"", at + 1))
    ++bars;
  EXPECT_EQ(bars, steps);
}

}  // namespace
}  // namespace quarn_pkg_test
