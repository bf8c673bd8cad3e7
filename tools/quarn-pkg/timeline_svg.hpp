// `quarn-pkg timeline`: a profile report as one self-contained SVG picture.
#pragma once

#include <string>
#include <string_view>

#include "profile_view.hpp"

namespace quarn_pkg {

// One row per tile in report order, one bar (a rect of class "step") per step coloured
// by its kind and placed along its tile's time line, a legend with each kind's share of
// all cycles and a time axis in microseconds (in cycles when the clock is unknown). Rows
// get thinner as tiles get more, down to one pixel, and then only every so many rows is
// labelled. `title` names the report.
std::string timeline_svg(const ProfileView& view, std::string_view title);

}  // namespace quarn_pkg
