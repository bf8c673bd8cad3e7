// `quarn-pkg timeline`: the SVG parses as XML, has one bar per step in its tile's row and
// its kind's colour, a legend and an axis, and stays within bounds for 1 tile and 1500.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <map>

#include "profiles.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::CycleSample;
using quarn_package::ProfileReport;
using quarn_package::ProfileStepKind;

const char* const kKindFills[] = {"#4e79a7", "#59a14f", "#f28e2b", "#bab0ac"};

struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // all text inside it

  double number(const std::string& attribute) const { return std::stod(attributes.at(attribute)); }
  bool has_class(const std::string& cls) const {
    const auto found = attributes.find("class");
    return found != attributes.end() && found->second == cls;
  }
};

void collect(xmlNode* node, std::vector<Element>& out) {
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    Element element{.name = reinterpret_cast<const char*>(node->name)};
    for (xmlAttr* a = node->properties; a; a = a->next) {
      xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(a));
      element.attributes[reinterpret_cast<const char*>(a->name)] =
          reinterpret_cast<const char*>(value);
      xmlFree(value);
    }
    xmlChar* text = xmlNodeGetContent(node);
    element.text = reinterpret_cast<const char*>(text);
    xmlFree(text);
    out.push_back(std::move(element));
    collect(node->children, out);
  }
}

// Every element of the document in document order; fails the test when it is not XML.
std::vector<Element> parse_svg(const std::string& text) {
  std::vector<Element> elements;
  xmlDoc* doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "timeline.svg", nullptr,
                              XML_PARSE_NONET | XML_PARSE_HUGE);
  if (!doc) {
    ADD_FAILURE() << "not well-formed XML";
    return elements;
  }
  collect(xmlDocGetRootElement(doc), elements);
  xmlFreeDoc(doc);
  return elements;
}

std::vector<Element> with_class(const std::vector<Element>& elements, const std::string& cls) {
  std::vector<Element> found;
  for (const Element& e : elements)
    if (e.has_class(cls)) found.push_back(e);
  return found;
}

std::vector<std::string> texts(const std::vector<Element>& elements) {
  std::vector<std::string> found;
  for (const Element& e : elements)
    if (e.name == "text") found.push_back(e.text);
  return found;
}

// `tiles` tiles of `steps` steps each; kinds cycle through the four, counters wrap on
// some tiles.
ProfileReport grid(std::uint32_t tiles, std::uint32_t steps, std::uint64_t clock_hz) {
  ProfileReport report{.clock_hz = clock_hz};
  for (std::uint32_t t = 0; t < tiles; ++t) {
    report.tiles.push_back({.physical_tile = t * 3});
    std::uint32_t counter = 4294966000u + 97 * t;
    for (std::uint32_t k = 0; k < steps; ++k) {
      const std::uint32_t end = counter + 100 + 40 * ((t + k) % 5);
      report.tiles.back().samples.push_back(
          {.step = {.local_index = k,
                    .operation = "op" + std::to_string(k),
                    .kind = static_cast<ProfileStepKind>((t + k) % 4)},
           .start_cycle = counter,
           .end_cycle = end});
      counter = end;
    }
  }
  return report;
}

class TimelineTest : public CliTest {
 protected:
  std::vector<Element> timeline_of(const ProfileReport& report) {
    write_bytes(path("r.qprof"), report_bytes(report));
    const Result r = run({"timeline", "r.qprof", "-o", "t.svg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return parse_svg(read_text(path("t.svg")));
  }

  // One bar per step, in report order, in its tile's row, its kind's colour, inside the
  // picture and starting no earlier than the bar before it in the row.
  void expect_bars(const std::vector<Element>& svg, const ProfileReport& report) {
    ASSERT_FALSE(svg.empty());
    const double width = svg[0].number("width"), height = svg[0].number("height");
    EXPECT_EQ(width, 1200);
    const std::vector<Element> bars = with_class(svg, "step");
    std::size_t steps = 0;
    for (const auto& tile : report.tiles) steps += tile.samples.size();
    ASSERT_EQ(bars.size(), steps);
    std::size_t i = 0;
    double previous_row = -1;
    for (std::size_t t = 0; t < report.tiles.size(); ++t) {
      double row = -1, previous_end = 0;
      for (const CycleSample& s : report.tiles[t].samples) {
        SCOPED_TRACE("tile " + std::to_string(t) + " step " + std::to_string(s.step.local_index));
        const Element& bar = bars[i++];
        EXPECT_EQ(bar.attributes.at("fill"), kKindFills[static_cast<int>(s.step.kind)]);
        const double x = bar.number("x"), y = bar.number("y"), w = bar.number("width");
        if (row < 0) row = y;
        EXPECT_EQ(y, row) << "a tile's bars share one row";
        EXPECT_GT(y, previous_row);
        EXPECT_GE(x, previous_end - 0.011);  // coordinates keep two decimals
        EXPECT_GE(w, 0);
        EXPECT_GT(bar.number("height"), 0);
        EXPECT_LE(x + w, width + 0.011);
        EXPECT_LE(y + bar.number("height"), height);
        previous_end = x + w;
      }
      if (row >= 0) previous_row = row;
    }
  }
};

TEST_F(TimelineTest, OneTileHasItsBarsLegendAxisAndLabel) {
  const ProfileReport report = grid(1, 4, 1'000'000'000);
  const std::vector<Element> svg = timeline_of(report);
  ASSERT_FALSE(svg.empty());
  EXPECT_EQ(svg[0].name, "svg");
  expect_bars(svg, report);
  EXPECT_EQ(with_class(svg, "legend").size(), 4u);
  const std::vector<std::string> text = texts(svg);
  for (const char* expected :
       {"Exchange 15.6%", "Compute 21.9%", "Synchronization 28.1%", "Idle 34.4%", "tile 0",
        "µs from each tile's first step", "Profile timeline: r.qprof", "op0", "0.0"}) {
    EXPECT_NE(std::ranges::find(text, expected), text.end()) << expected;
  }
  // Each bar says what it is when pointed at.
  EXPECT_EQ(with_class(svg, "step")[0].text, "tile 0, step 0: Exchange op0, 100 cycles (0.100 µs)");
}

TEST_F(TimelineTest, FifteenHundredTilesCompressRowsAndThinLabels) {
  const ProfileReport report = grid(1500, 3, 1'500'000'000);
  const std::vector<Element> svg = timeline_of(report);
  expect_bars(svg, report);
  EXPECT_LE(svg[0].number("height"), 1700);  // one pixel a row
  std::vector<double> label_y;
  for (const Element& e : svg)
    if (e.name == "text" && e.text.starts_with("tile ")) label_y.push_back(e.number("y"));
  EXPECT_EQ(label_y.size(), 75u);  // every 20th row
  for (std::size_t i = 1; i < label_y.size(); ++i) EXPECT_GE(label_y[i] - label_y[i - 1], 14);
}

TEST_F(TimelineTest, UnknownClockAxisInCyclesAndNamesAreEscaped) {
  ProfileReport report = grid(2, 2, 0);
  report.tiles[1].samples[0].step.operation = "a<b & \"c\"\x01";
  const std::vector<Element> svg = timeline_of(report);
  expect_bars(svg, report);
  const std::vector<std::string> text = texts(svg);
  EXPECT_NE(std::ranges::find(text, "cycles from each tile's first step"), text.end());
  EXPECT_EQ(with_class(svg, "step")[2].text,
            "tile 3, step 0: Compute a<b & \"c\"\\x01, 140 cycles");

  const std::vector<Element> empty = timeline_of(ProfileReport{.clock_hz = 1});
  EXPECT_TRUE(with_class(empty, "step").empty());
  const std::vector<std::string> empty_text = texts(empty);
  EXPECT_NE(std::ranges::find(empty_text, "no tiles in this report"), empty_text.end());
}

}  // namespace
}  // namespace quarn_pkg_test
