// Helpers shared by the fuzz targets: a check that aborts (so libFuzzer keeps the input)
// and a meter of the bytes the library allocates during one call.
#pragma once

#include <sanitizer/allocator_interface.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "hardening/allocation_bound.hpp"

namespace quarn_package::fuzz {

[[noreturn]] inline void die(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

#define QF_CHECK(condition)                                   \
  do {                                                        \
    if (!(condition)) ::quarn_package::fuzz::die(#condition); \
  } while (false)

// Counts bytes handed out by malloc/new on this thread while a meter is alive, through
// the sanitizer allocator's hooks.
class AllocationMeter {
 public:
  AllocationMeter() {
    installed();
    bytes() = 0;
    active() = true;
  }
  ~AllocationMeter() { active() = false; }
  AllocationMeter(const AllocationMeter&) = delete;
  AllocationMeter& operator=(const AllocationMeter&) = delete;

  std::size_t allocated() const { return bytes(); }

 private:
  static bool& active() {
    static thread_local bool value = false;
    return value;
  }
  static std::size_t& bytes() {
    static thread_local std::size_t value = 0;
    return value;
  }
  static void on_malloc(const volatile void*, std::size_t size) {
    if (active()) bytes() += size;
  }
  static void on_free(const volatile void*) {}
  static void installed() {
    static const bool once = [] {
      __sanitizer_install_malloc_and_free_hooks(&on_malloc, &on_free);
      return true;
    }();
    (void)once;
  }
};

// Runs `read` on `input` and aborts when it allocates more than the readers' bound.
template <class Read>
auto metered_read(std::span<const std::uint8_t> input, Read&& read) {
  AllocationMeter meter;
  auto result = read(input);
  if (meter.allocated() > testing::allocation_bound(input.size())) {
    std::fprintf(stderr, "read of %zu bytes allocated %zu bytes\n", input.size(),
                 meter.allocated());
    die("allocation bound");
  }
  return result;
}

}  // namespace quarn_package::fuzz
