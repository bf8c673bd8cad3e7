// The JSON view of `quarn-pkg report`.
#include "report_views.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

Json optional_number(std::optional<double> value) { return value ? Json(*value) : Json(nullptr); }

Json step_json(const StepView& step, std::uint64_t clock_hz) {
  const qp::CycleSample& s = *step.sample;
  return {{"index", s.step.local_index},
          {"kind", enum_name(s.step.kind)},
          {"operation", s.step.operation},
          {"kernel", s.step.kernel},
          {"start", s.start_cycle},
          {"end", s.end_cycle},
          {"cycles", step.cycles},
          {"microseconds", optional_number(microseconds(step.cycles, clock_hz))}};
}

Json summary_json(const TileView& tile, std::uint64_t clock_hz) {
  Json kinds = Json::array();
  for (std::size_t k = 0; k < kStepKindCount; ++k)
    kinds.push_back({{"kind", enum_name(kStepKinds[k])},
                     {"cycles", tile.cycles_by_kind[k]},
                     {"share", optional_number(share(tile.cycles_by_kind[k], tile.total_cycles))}});
  return {{"step_count", tile.steps.size()},
          {"total_cycles", tile.total_cycles},
          {"total_microseconds", optional_number(microseconds(tile.total_cycles, clock_hz))},
          {"kinds", std::move(kinds)}};
}

}  // namespace

Json report_json(const ReportPart& part) {
  const std::uint64_t clock_hz = part.view->clock_hz;
  Json tiles = Json::array();
  for (const TileView& tile : part.tiles) {
    Json steps = Json::array();
    for (const StepView& step : tile.steps) steps.push_back(step_json(step, clock_hz));
    tiles.push_back({{"physical_tile", tile.physical_tile},
                     {"steps", std::move(steps)},
                     {"summary", summary_json(tile, clock_hz)}});
  }
  Json top = Json::array();
  for (const RankedStep& ranked : top_steps(part.tiles, part.top)) {
    Json entry{{"physical_tile", ranked.tile->physical_tile}};
    const Json step = step_json(*ranked.step, clock_hz);
    for (const auto& [key, value] : step.items()) entry[key] = value;
    top.push_back(std::move(entry));
  }
  return {{"clock_hz", clock_hz}, {"tiles", std::move(tiles)}, {"top", std::move(top)}};
}

}  // namespace quarn_pkg
