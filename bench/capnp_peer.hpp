// The peer the benchmarks compare against: libcapnp with code generated from our schema
// files, doing the jobs of Application::write and Application::read the way a careful
// user of libcapnp would (lists initialised at their final size, vectors reserved, every
// blob copied once each way).
#pragma once

#include <quarn_package/package.hpp>

#include <cstdint>
#include <span>
#include <vector>

namespace quarn_bench {

// Builds the package message from `app` in a MallocMessageBuilder, creating objects in
// the order our writer does, and flattens it into one vector: the stream framing, then
// the segments back to back.
std::vector<std::uint8_t> capnp_write(const quarn_package::Application& app);

// Reads the framed message in `message` (8-byte aligned) with a flat array reader and
// no traversal limit, and converts every field into records. Checks nothing beyond what
// libcapnp checks itself.
quarn_package::Application capnp_read(std::span<const std::uint8_t> message);

}  // namespace quarn_bench
