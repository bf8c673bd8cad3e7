// The memory an Application's records occupy: the root object and every heap block its
// vectors and strings own, at their capacities. Allocator headers are not counted.
#pragma once

#include <quarn_package/package.hpp>

#include <cstdint>

namespace quarn_bench {

std::uint64_t record_bytes(const quarn_package::Application& app);

}  // namespace quarn_bench
