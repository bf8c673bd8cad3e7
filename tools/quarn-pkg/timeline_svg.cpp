#include "timeline_svg.hpp"

#include <algorithm>
#include <cmath>

#include "json_form.hpp"
#include "numbers.hpp"
#include "svg.hpp"
#include "text.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

constexpr double kWidth = 1200;
constexpr double kRightMargin = 24;
constexpr double kPlotTop = 84;  // below the title, the subtitle and the legend
constexpr double kAxisHeight = 56;
// Rows shrink to keep all tiles within this height, but never below one pixel.
constexpr double kRowsHeight = 720;
constexpr double kMaxRowHeight = 24;
constexpr double kLabelGap = 14;    // the least height one row label needs
constexpr double kCharWidth = 6.6;  // a generous mean width at 11 px, for fitting text
constexpr double kTargetTicks = 8;

struct KindStyle {
  const char* fill;
  const char* text;  // for labels on the bar
};
// Tableau 10: told apart at a glance, also with the common colour blindnesses.
constexpr KindStyle kStyles[kStepKindCount] = {
    {"#4e79a7", "#ffffff"},  // Exchange
    {"#59a14f", "#ffffff"},  // Compute
    {"#f28e2b", "#1f1f1f"},  // Synchronization
    {"#bab0ac", "#1f1f1f"},  // Idle
};
constexpr KindStyle kUnknownKind = {"#000000", "#ffffff"};

const KindStyle& style_of(qp::ProfileStepKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  return index < kStepKindCount ? kStyles[index] : kUnknownKind;
}

struct Layout {
  double left = 0;        // x of the time origin; row labels end left of it
  double row_height = 0;  // whole pixels, so rows stay crisp
  double inset = 0;       // room above and below a bar within its row
  std::size_t label_every = 1;
  double span_units = 1;  // the axis's length in microseconds, or cycles without a clock
  double px_per_cycle = 0;
  double plot_width() const { return kWidth - kRightMargin - left; }
  double row_top(std::size_t row) const { return kPlotTop + static_cast<double>(row) * row_height; }
};

// Labels go on round rows (every 1, 2, 5, 10, 20, 50, ...) with room for their text.
std::size_t label_step(double row_height) {
  for (std::size_t decade = 1;; decade *= 10)
    for (std::size_t factor : {1, 2, 5})
      if (static_cast<double>(decade * factor) * row_height >= kLabelGap) return decade * factor;
}

std::string row_label(const TileView& tile) { return "tile " + std::to_string(tile.physical_tile); }

Layout make_layout(const ProfileView& view) {
  Layout layout;
  std::size_t widest = 0;
  for (const TileView& tile : view.tiles) widest = std::max(widest, row_label(tile).size());
  layout.left = std::max(72.0, 20 + kCharWidth * static_cast<double>(widest));
  const double rows = static_cast<double>(std::max<std::size_t>(view.tiles.size(), 1));
  layout.row_height = std::clamp(std::floor(kRowsHeight / rows), 1.0, kMaxRowHeight);
  layout.inset = layout.row_height >= 10 ? 3 : layout.row_height >= 4 ? 1 : 0;
  layout.label_every = label_step(layout.row_height);
  const std::uint64_t span = std::max<std::uint64_t>(view.span, 1);
  layout.span_units = microseconds(span, view.clock_hz).value_or(static_cast<double>(span));
  layout.px_per_cycle = layout.plot_width() / static_cast<double>(span);
  return layout;
}

std::string text_element(double x, double y, std::string_view attributes, std::string_view text) {
  return "<text x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\" " +
         std::string(attributes) + ">" + xml_text(text) + "</text>\n";
}

std::string rect_element(std::string_view cls, double x, double y, double w, double h,
                         std::string_view fill) {
  return "<rect class=\"" + std::string(cls) + "\" x=\"" + coordinate(x) + "\" y=\"" +
         coordinate(y) + "\" width=\"" + coordinate(w) + "\" height=\"" + coordinate(h) +
         "\" fill=\"" + std::string(fill) + "\"/>\n";
}

std::string duration_text(std::uint64_t cycles, std::uint64_t clock_hz) {
  std::string text = count(cycles, "cycle", "cycles");
  if (const auto us = microseconds(cycles, clock_hz)) text += " (" + fixed(*us, 3) + " µs)";
  return text;
}

void add_header(std::string& out, const ProfileView& view, std::string_view title) {
  out += text_element(16, 26, "font-size=\"16\" font-weight=\"bold\"",
                      "Profile timeline: " + std::string(title));
  const std::string clock = view.clock_hz == 0 ? "clock unknown, time in cycles"
                                               : "clock " + std::to_string(view.clock_hz) + " Hz";
  out += text_element(16, 46, "font-size=\"12\" fill=\"#555555\"",
                      count(view.tiles.size(), "tile", "tiles") + ", " +
                          count(view.step_count, "step", "steps") + "; longest tile " +
                          duration_text(view.span, view.clock_hz) + "; " + clock);
  double x = 16;
  for (std::size_t k = 0; k < kStepKindCount; ++k) {
    std::string label = enum_name(kStepKinds[k]);
    if (const auto part = share(view.cycles_by_kind[k], view.total_cycles))
      label += " " + percent_text(part);
    out += rect_element("legend", x, 56, 12, 12, kStyles[k].fill);
    out += text_element(x + 17, 66, "font-size=\"12\"", label);
    x += 17 + kCharWidth * static_cast<double>(label.size()) + 24;
  }
}

void add_rows(std::string& out, const ProfileView& view, const Layout& layout) {
  for (std::size_t row = 0; row < view.tiles.size(); ++row) {
    const double top = layout.row_top(row);
    if (layout.row_height >= 6 && row % 2 == 1)
      out +=
          rect_element("band", layout.left, top, layout.plot_width(), layout.row_height, "#f3f4f6");
    if (row % layout.label_every != 0) continue;
    const double middle = top + layout.row_height / 2;
    out += text_element(layout.left - 8, middle + 4, "font-size=\"11\" text-anchor=\"end\"",
                        row_label(view.tiles[row]));
    // With rows thinner than a label, a mark shows which row the label belongs to.
    if (layout.label_every > 1)
      out += "<line x1=\"" + coordinate(layout.left - 5) + "\" x2=\"" + coordinate(layout.left) +
             "\" y1=\"" + coordinate(middle) + "\" y2=\"" + coordinate(middle) +
             "\" stroke=\"#555555\" stroke-width=\"1\"/>\n";
  }
}

// 1, 2 or 5 times a power of ten, at least `raw`.
double nice_step(double raw) {
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0})
    if (factor * decade >= raw) return factor * decade;
  return 10 * decade;
}

void add_axis(std::string& out, const ProfileView& view, const Layout& layout, double bottom) {
  const double step = nice_step(layout.span_units / kTargetTicks);
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  const double right = layout.left + layout.plot_width();
  for (int k = 0; k * step <= layout.span_units * (1 + 1e-9); ++k) {
    const double x = layout.left + k * step / layout.span_units * layout.plot_width();
    const std::string at = coordinate(x);
    out += "<line x1=\"" + at + "\" x2=\"" + at + "\" y1=\"" + coordinate(kPlotTop) + "\" y2=\"" +
           coordinate(bottom) + "\" stroke=\"#dddddd\" stroke-width=\"1\"/>\n";
    out += "<line x1=\"" + at + "\" x2=\"" + at + "\" y1=\"" + coordinate(bottom) + "\" y2=\"" +
           coordinate(bottom + 5) + "\" stroke=\"#333333\" stroke-width=\"1\"/>\n";
    out += text_element(x, bottom + 18, "font-size=\"11\" text-anchor=\"middle\"",
                        fixed(k * step, decimals));
  }
  out += "<line x1=\"" + coordinate(layout.left) + "\" x2=\"" + coordinate(right) + "\" y1=\"" +
         coordinate(bottom) + "\" y2=\"" + coordinate(bottom) +
         "\" stroke=\"#333333\" stroke-width=\"1\"/>\n";
  const std::string unit = view.clock_hz == 0 ? "cycles" : "µs";
  out += text_element(layout.left + layout.plot_width() / 2, bottom + 40,
                      "font-size=\"12\" text-anchor=\"middle\"",
                      unit + " from each tile's first step");
}

void add_bar(std::string& out, const TileView& tile, const StepView& step, std::uint64_t clock_hz,
             const Layout& layout, double top) {
  const qp::ProfileStep& s = step.sample->step;
  const KindStyle& style = style_of(s.kind);
  const double x = layout.left + static_cast<double>(step.offset) * layout.px_per_cycle;
  const double w = static_cast<double>(step.cycles) * layout.px_per_cycle;
  const double h = layout.row_height - 2 * layout.inset;
  std::string what = enum_name(s.kind) + (s.operation.empty() ? "" : " " + s.operation);
  if (!s.kernel.empty()) what += " (" + s.kernel + ")";
  std::string bar = rect_element("step", x, top, w, h, style.fill);
  bar.erase(bar.size() - 3);  // reopen "/>\n" for the tooltip
  // Thin white edges keep neighbouring steps of one kind apart where there is room.
  if (layout.row_height >= 8 && w >= 3) bar += " stroke=\"#ffffff\" stroke-width=\"0.5\"";
  out += bar + "><title>" +
         xml_text(row_label(tile) + ", step " + std::to_string(s.local_index) + ": " + what + ", " +
                  duration_text(step.cycles, clock_hz)) +
         "</title></rect>\n";
  const std::string& label = s.operation.empty() ? enum_name(s.kind) : s.operation;
  if (layout.row_height >= 16 && w >= kCharWidth * static_cast<double>(label.size()) + 8)
    out += text_element(x + 4, top + h / 2 + 4,
                        "font-size=\"11\" fill=\"" + std::string(style.text) + "\"", label);
}

}  // namespace

std::string timeline_svg(const ProfileView& view, std::string_view title) {
  const Layout layout = make_layout(view);
  // An empty report keeps one row's room, for the line that says so.
  const double bottom = layout.row_top(std::max<std::size_t>(view.tiles.size(), 1));
  const double height = bottom + kAxisHeight;
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + coordinate(kWidth) +
         "\" height=\"" + coordinate(height) + "\" viewBox=\"0 0 " + coordinate(kWidth) + " " +
         coordinate(height) + "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\">\n";
  out += rect_element("background", 0, 0, kWidth, height, "#ffffff");
  add_header(out, view, title);
  add_rows(out, view, layout);
  add_axis(out, view, layout, bottom);
  for (std::size_t row = 0; row < view.tiles.size(); ++row)
    for (const StepView& step : view.tiles[row].steps)
      add_bar(out, view.tiles[row], step, view.clock_hz, layout,
              layout.row_top(row) + layout.inset);
  if (view.tiles.empty())
    out += text_element(layout.left, kPlotTop + 16, "font-size=\"12\" fill=\"#555555\"",
                        "no tiles in this report");
  out += "</svg>\n";
  return out;
}

}  // namespace quarn_pkg
