// UTF-8 validation of texts read from a message.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "quarn_package/error.hpp"

namespace quarn_package::detail {

// Copies `bytes` into `out` when they are valid UTF-8; otherwise a Utf8 error with the
// number of valid bytes before the fault and the length of the bad sequence (absent when
// the input ends inside a sequence that could still be completed), `out` untouched.
// Assigning into the record's own string spares a temporary per text.
Result<void> assign_utf8(std::span<const std::uint8_t> bytes, std::string& out);

}  // namespace quarn_package::detail
