// `quarn-pkg trace`: a profile report in the Chrome Trace Event Format, which Perfetto UI
// and chrome://tracing open.
#pragma once

#include <string>

#include "profile_view.hpp"

namespace quarn_pkg {

// One JSON document: the device as one process, each tile as one named track in report
// order, one complete ("X") event per step along its tile's time line with the step's
// fields in args, and its exchange activities as events nested in it. Times are
// microseconds; with the clock unknown, one cycle is written as one microsecond and the
// process name says so.
std::string chrome_trace(const ProfileView& view);

}  // namespace quarn_pkg
