// The memory bound every reader keeps: reading an input of N bytes allocates, in total
// over the whole read, at most kAllocationFactor * N + kAllocationSlack bytes. The slack
// covers what any read allocates whatever its size (an error text, a few empty tables).
// Shared by the counting-allocator test and the fuzz targets, which check every input.
#pragma once

#include <cstddef>

namespace quarn_package::testing {

inline constexpr std::size_t kAllocationFactor = 24;
inline constexpr std::size_t kAllocationSlack = 1024;

constexpr std::size_t allocation_bound(std::size_t input_bytes) {
  return kAllocationFactor * input_bytes + kAllocationSlack;
}

}  // namespace quarn_package::testing
