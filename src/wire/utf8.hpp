// UTF-8 validation of texts read from a message.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "quarn_package/error.hpp"

namespace quarn_package::detail {

// Copies `bytes` into a string when they are valid UTF-8; otherwise a Utf8 error with
// the number of valid bytes before the fault and the length of the bad sequence
// (absent when the input ends inside a sequence that could still be completed).
Result<std::string> utf8_text(std::span<const std::uint8_t> bytes);

}  // namespace quarn_package::detail
