// Checked arithmetic on addresses, offsets and sizes: every sum or product the library
// forms on untrusted numbers goes through these, so nothing wraps silently.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace quarn_package::detail {

// a + b, or nothing when the sum does not fit in T.
template <class T>
constexpr std::optional<T> checked_add(T a, T b) {
  T sum;
  if (__builtin_add_overflow(a, b, &sum)) return std::nullopt;
  return sum;
}

// a * b, or nothing when the product does not fit in T.
template <class T>
constexpr std::optional<T> checked_mul(T a, T b) {
  T product;
  if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
  return product;
}

// a + b, clamped to the largest T.
template <class T>
constexpr T saturating_add(T a, T b) {
  return checked_add(a, b).value_or(std::numeric_limits<T>::max());
}

}  // namespace quarn_package::detail
