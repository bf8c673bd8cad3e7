// Encoding and decoding of one profile step; packages and profile files share them.
#pragma once

#include "quarn_package/step.hpp"
#include "wire/builder.hpp"
#include "wire/reader.hpp"

namespace quarn_package::detail {

// Fills a Step struct from `step`, creating its texts and lists in a fixed order.
void write_profile_step(wire::StructBuilder out, const ProfileStep& step);

// Converts a Step struct into a record: Capnp for structural faults, Utf8 for bad text,
// SchemaEnum for an unknown kind.
Result<ProfileStep> read_profile_step(const wire::MessageReader& message,
                                      const wire::StructReader& in);

// Reads a text field and checks that it is UTF-8.
Result<std::string> read_text(const wire::MessageReader& message, const wire::StructReader& in,
                              wire::PointerField field);

}  // namespace quarn_package::detail
