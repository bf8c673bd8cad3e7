// The table view of a profile report.
#pragma once

#include <ostream>
#include <string_view>

#include <quarn_package/profile.hpp>

namespace quarn_pkg {

// One row per sample: tile, step, kind, operation, start and end counters, and the
// cycles between them; every line starts with `indent`.
void print_profile_report(std::ostream& os, const quarn_package::ProfileReport& report,
                          std::string_view indent);

}  // namespace quarn_pkg
