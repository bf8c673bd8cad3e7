// Small pieces of SVG text: escaped strings and coordinates.
#pragma once

#include <string>
#include <string_view>

namespace quarn_pkg {

// `text` for an XML attribute or element: markup characters as entities, control
// characters as \xNN (printable), and the two noncharacters XML forbids as \uFFFE, \uFFFF.
std::string xml_text(std::string_view text);

// A coordinate or length with at most two decimals and no trailing zeros: "12.5", "3".
std::string coordinate(double value);

}  // namespace quarn_pkg
