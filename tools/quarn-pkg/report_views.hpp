// The views of a profile report as text tables and as one JSON document.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include <quarn_package/profile.hpp>

#include "json_form.hpp"
#include "profile_view.hpp"

namespace quarn_pkg {

// One row per sample: tile, step, kind, operation, start and end counters, and the
// cycles between them; every line starts with `indent`. The demo's compact table.
void print_profile_report(std::ostream& os, const quarn_package::ProfileReport& report,
                          std::string_view indent);

// What `quarn-pkg report` shows of a view: each of `tiles` (all of the view's or one of
// them) with its steps and its cycles by kind, then the `top` most expensive of their steps.
struct ReportPart {
  const ProfileView* view = nullptr;
  std::span<const TileView> tiles;
  std::size_t top = 0;
};

void print_report(std::ostream& os, const std::string& file, const ReportPart& part);

// The same as one document: {"clock_hz", "tiles": [{"physical_tile", "steps", "summary"}],
// "top"}. Microseconds are null when the clock is unknown, shares when a tile has no cycles.
Json report_json(const ReportPart& part);

}  // namespace quarn_pkg
