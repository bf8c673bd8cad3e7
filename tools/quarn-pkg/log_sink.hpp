// The -v/--verbose log sink.
#pragma once

namespace quarn_pkg {

// Prints the library's events on stderr, one line each, as
// "INFO quarn_package: writing application package tiles=1". `verbosity` 1 shows INFO
// and more severe events, 2 or more every event down to TRACE; 0 installs nothing.
void install_log_sink(int verbosity);

}  // namespace quarn_pkg
