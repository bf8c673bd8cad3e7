// The `inspect` views of a package: aligned tables for people, one JSON document for
// programs.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include <quarn_package/package.hpp>

#include "json_form.hpp"

namespace quarn_pkg {

// Prints the header facts and one table per kind of record. Unless `full`, a long table
// shows its first rows and says how many it left out.
void print_inspect(std::ostream& os, const std::string& file, std::uint64_t file_bytes,
                   const quarn_package::Application& app, bool full);

// {"summary": derived facts, "application": the JSON form}; `with_data` false leaves
// out the segment bytes.
Json inspect_json(std::uint64_t file_bytes, const quarn_package::Application& app, bool with_data);

}  // namespace quarn_pkg
