// Included before any libcapnp header in the fuzz build. kj 0.9 drops its
// `const char* == StringPtr` operators under C++20 comparison rules, which g++ forgives
// but clang does not, so capnp/blob.h fails to compile with clang in C++23 mode. These
// declarations restore them.
#pragma once

#include <kj/string.h>

namespace kj {

inline bool operator==(const char* a, const StringPtr& b) { return b == StringPtr(a); }
inline bool operator!=(const char* a, const StringPtr& b) { return b != StringPtr(a); }

}  // namespace kj
