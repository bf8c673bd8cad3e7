// The text tables of profile reports.
#include "numbers.hpp"
#include "report_views.hpp"
#include "table.hpp"
#include "text.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

using Align = Table::Align;
constexpr Align L = Align::Left;

std::string clock_text(std::uint64_t clock_hz) {
  if (clock_hz == 0) return "clock unknown (0 Hz): no microseconds";
  return "clock " + std::to_string(clock_hz) + " Hz";
}

void print_tile(std::ostream& os, const TileView& tile, std::uint64_t clock_hz) {
  os << "\nTile " << tile.physical_tile << ": " << count(tile.steps.size(), "step", "steps") << ", "
     << count(tile.total_cycles, "cycle", "cycles");
  if (const auto us = microseconds(tile.total_cycles, clock_hz))
    os << ", " << fixed(*us, 3) << " us";
  os << '\n';
  if (tile.steps.empty()) return;
  Table steps({{"index"},
               {"kind", L},
               {"operation", L},
               {"kernel", L},
               {"start"},
               {"end"},
               {"cycles"},
               {"us"}});
  for (const StepView& step : tile.steps) {
    const qp::CycleSample& s = *step.sample;
    steps.add_row({std::to_string(s.step.local_index), enum_name(s.step.kind), s.step.operation,
                   s.step.kernel, std::to_string(s.start_cycle), std::to_string(s.end_cycle),
                   std::to_string(step.cycles),
                   microseconds_text(microseconds(step.cycles, clock_hz))});
  }
  steps.print(os, "  ", steps.size());
  Table kinds({{"kind", L}, {"cycles"}, {"share"}});
  for (std::size_t k = 0; k < kStepKindCount; ++k)
    kinds.add_row({enum_name(kStepKinds[k]), std::to_string(tile.cycles_by_kind[k]),
                   percent_text(share(tile.cycles_by_kind[k], tile.total_cycles))});
  kinds.print(os, "  ", kinds.size());
}

void print_top(std::ostream& os, const ReportPart& part) {
  std::size_t steps = 0;
  for (const TileView& tile : part.tiles) steps += tile.steps.size();
  const std::vector<RankedStep> top = top_steps(part.tiles, part.top);
  os << "\nTop " << count(top.size(), "step", "steps") << " by cycles, of " << steps << '\n';
  if (top.empty()) return;
  Table table(
      {{"tile"}, {"index"}, {"kind", L}, {"operation", L}, {"kernel", L}, {"cycles"}, {"us"}});
  for (const RankedStep& ranked : top) {
    const qp::ProfileStep& step = ranked.step->sample->step;
    table.add_row({std::to_string(ranked.tile->physical_tile), std::to_string(step.local_index),
                   enum_name(step.kind), step.operation, step.kernel,
                   std::to_string(ranked.step->cycles),
                   microseconds_text(microseconds(ranked.step->cycles, part.view->clock_hz))});
  }
  table.print(os, "  ", table.size());
}

}  // namespace

void print_profile_report(std::ostream& os, const qp::ProfileReport& report,
                          std::string_view indent) {
  Table table({{"tile"}, {"step"}, {"kind", L}, {"operation", L}, {"start"}, {"end"}, {"cycles"}});
  for (const qp::TileProfile& tile : report.tiles)
    for (const qp::CycleSample& sample : tile.samples) {
      table.add_row({std::to_string(tile.physical_tile), std::to_string(sample.step.local_index),
                     enum_name(sample.step.kind), sample.step.operation,
                     std::to_string(sample.start_cycle), std::to_string(sample.end_cycle),
                     std::to_string(elapsed_cycles(sample.start_cycle, sample.end_cycle))});
    }
  os << indent << "clock " << report.clock_hz << " Hz\n";
  table.print(os, indent, table.size());
}

void print_report(std::ostream& os, const std::string& file, const ReportPart& part) {
  std::size_t steps = 0;
  for (const TileView& tile : part.tiles) steps += tile.steps.size();
  os << file << ": " << count(part.tiles.size(), "tile", "tiles") << ", "
     << count(steps, "step", "steps") << ", " << clock_text(part.view->clock_hz) << '\n';
  for (const TileView& tile : part.tiles) print_tile(os, tile, part.view->clock_hz);
  if (part.top > 0) print_top(os, part);
}

}  // namespace quarn_pkg
