// Inputs that try to make a small message cost much to read: zero-sized elements, void
// lists, byte lists read as structs, pointers aliasing one blob, deep nesting and the
// largest segment tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarn_package::testing {

struct NamedInput {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// Package inputs, each about `elements` words long.
std::vector<NamedInput> package_amplifications(std::uint32_t elements);
// Profile file inputs, each about `elements` words long.
std::vector<NamedInput> profile_amplifications(std::uint32_t elements);

}  // namespace quarn_package::testing
