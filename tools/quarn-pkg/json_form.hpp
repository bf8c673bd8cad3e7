// The JSON form of an application: every field of every record, under the records' own
// field names and in their declaration order. Numbers are JSON integers (nlohmann keeps
// 64-bit values exact), byte vectors lowercase hex strings, enumerants their names.
// `to-json` prints it and `from-json` reads it back, so tools in any language can write
// packages through it.
#pragma once

#include <expected>
#include <string>

#include <nlohmann/json.hpp>
#include <quarn_package/package.hpp>

namespace quarn_pkg {

// Keeps keys in insertion order, so documents follow the records' field order.
using Json = nlohmann::ordered_json;

// With `with_data` false each segment's "data" is replaced by "data_size", its length in
// bytes; such a document is for reading, not for `from-json`.
Json application_to_json(const quarn_package::Application& app, bool with_data = true);

// Reads a document of the form above. Every field must be present with its type and
// range, and no other field may appear; the error names the first field that is wrong,
// as in "tiles[0].segments[1].memory_size: expected an unsigned 32-bit integer".
std::expected<quarn_package::Application, std::string> application_from_json(const Json& json);

// The field name of an enumerant, as used in the JSON form and in the views.
std::string enum_name(quarn_package::ProfileStepKind kind);
std::string enum_name(quarn_package::ExchangeActivityKind kind);

}  // namespace quarn_pkg
