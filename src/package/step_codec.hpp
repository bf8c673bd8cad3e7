// Encoding and decoding of one profile step; packages and profile files share them.
#pragma once

#include "model/try.hpp"
#include "quarn_package/step.hpp"
#include "wire/builder.hpp"
#include "wire/reader.hpp"
#include "wire/utf8.hpp"

namespace quarn_package::detail {

// Fills a Step struct from `step`, creating its texts and lists in a fixed order.
void write_profile_step(wire::StructBuilder out, const ProfileStep& step);

// Fills `out`, a default step, from a Step struct: Capnp for structural faults, Utf8 for
// bad text, SchemaEnum for an unknown kind. Records are filled in place, so that no
// step or text is built elsewhere and moved.
Result<void> read_profile_step(const wire::MessageReader& message, const wire::StructReader& in,
                               ProfileStep& out);

// Reads a text field into `out`, checking that it is UTF-8. Inline: texts are the most
// frequent field of a package.
inline Result<void> read_text(const wire::MessageReader& message, const wire::StructReader& in,
                              wire::PointerField field, std::string& out) {
  QP_ASSIGN_OR_RETURN(const auto bytes, message.read_text(in, field));
  return assign_utf8(bytes, out);
}

}  // namespace quarn_package::detail
