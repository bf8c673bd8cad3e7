// quarn_package: the on-disk form of a compiled program for the Quarn accelerator.
//
// A compiler fills an Application and calls Application::write; a loader calls
// Application::read and Application::tile_image for every tile; after a profiled run,
// Application::profile_report turns the runtime output buffer into a ProfileReport,
// which ProfileReport::write and ProfileReport::read store and load.
//
// Every operation returns its result or a PackageError; none throws on bad input and
// none keeps state between calls. Calls on different data, or read-only calls on the
// same data, may run on several threads at once.
#pragma once

#include <cstdint>
#include <optional>

#include "quarn_package/application.hpp"
#include "quarn_package/error.hpp"
#include "quarn_package/log.hpp"
#include "quarn_package/profile.hpp"
#include "quarn_package/step.hpp"

namespace quarn_package {

// Limits under which packages and profile files are decoded.
//
// No fixed traversal limit is set, so honest messages of any size read in full. This
// limit exists for security reasons all the same: every read charges each object it
// visits against a budget equal to the message's own size in words (every list element
// read as a struct costs at least one word, also a zero-sized one), and a message that
// exceeds it is refused as a Capnp
// ReadBudget error. That bounds the work and memory of a read by the input's size,
// whatever aliasing or zero-sized elements a crafted file uses.
struct ReaderOptions {
  std::optional<std::uint64_t> traversal_limit_in_words;  // none: the budget above only
  std::uint32_t nesting_limit = 64;                       // pointers deep
};

// The limits both readers use: no fixed traversal limit, nesting limit 64.
ReaderOptions capnp_reader_options();

}  // namespace quarn_package
