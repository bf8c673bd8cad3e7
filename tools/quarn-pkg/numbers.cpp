#include "numbers.hpp"

#include <charconv>

namespace quarn_pkg {

std::string fixed(double value, int decimals) {
  // Room for the largest double written out in full.
  char text[400];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return "?";
  return {text, end};
}

std::string microseconds_text(std::optional<double> us) { return us ? fixed(*us, 3) : "-"; }

std::string percent_text(std::optional<double> fraction) {
  return fraction ? fixed(*fraction * 100, 1) + "%" : "-";
}

}  // namespace quarn_pkg
