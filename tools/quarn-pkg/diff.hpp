// Field-level differences between two applications.
#pragma once

#include <string>
#include <vector>

#include "json_form.hpp"

namespace quarn_pkg {

// One line per differing field of two JSON forms, in field order, such as
// "tiles[0].segments[1].memory_size: 8 != 16". Lists of different lengths compare their
// common elements and then report the lengths; byte data reports its first differing byte.
std::vector<std::string> json_differences(const Json& a, const Json& b);

}  // namespace quarn_pkg
