// Decimal text for the derived numbers of the profile views.
#pragma once

#include <optional>
#include <string>

namespace quarn_pkg {

// `value` with exactly `decimals` digits after the point: fixed(0.0123, 3) is "0.012".
std::string fixed(double value, int decimals);

// Microseconds with three decimals (nanoseconds), or "-" when the clock is unknown.
std::string microseconds_text(std::optional<double> us);

// A fraction as a percentage with one decimal ("25.0%"), or "-" when there is no whole.
std::string percent_text(std::optional<double> fraction);

}  // namespace quarn_pkg
