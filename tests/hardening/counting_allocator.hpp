// Counts the bytes that operator new hands out on the calling thread while a
// CountAllocations is alive. The binary that links counting_allocator.cpp replaces the
// global allocation functions; nothing else changes how memory is allocated.
#pragma once

#include <cstddef>

namespace quarn_package::testing {

class CountAllocations {
 public:
  CountAllocations();
  ~CountAllocations();
  CountAllocations(const CountAllocations&) = delete;
  CountAllocations& operator=(const CountAllocations&) = delete;

  // Bytes requested since construction, freed or not.
  std::size_t bytes() const;
};

}  // namespace quarn_package::testing
