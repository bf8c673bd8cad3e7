// Profiled applications, their runtime output and profile files for the tests of the
// profiling commands.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.hpp"
#include "support/examples.hpp"

namespace quarn_pkg_test {

// Tile 0 of the minimal application with two planned steps, so "profile.cycles" holds
// three counters for it: the start of each step and the end of the last.
inline quarn_package::Application profiled_application() {
  using quarn_package::ProfileStepKind;
  quarn_package::Application app = quarn_package::testing::minimal_application();
  app.outputs = {{.name = std::string(quarn_package::kProfileCyclesBinding),
                  .dtype = "u32",
                  .shape = {3},
                  .slices = {{.tile = 0, .tile_address = 0x50000, .file_offset = 0, .size = 12}}}};
  app.profile_tiles = {
      {.physical_tile = 0,
       .steps = {{.local_index = 0, .operation = "load", .kind = ProfileStepKind::Exchange},
                 {.local_index = 1,
                  .operation = "dense",
                  .kind = ProfileStepKind::Compute,
                  .kernel = "matmul"}}}};
  return app;
}

// Counters as a profiled run leaves them: 32-bit little-endian.
inline std::vector<std::uint8_t> counters(std::initializer_list<std::uint32_t> values) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t value : values)
    for (int byte = 0; byte < 4; ++byte)
      bytes.push_back(static_cast<std::uint8_t>(value >> (8 * byte)));
  return bytes;
}

inline std::vector<std::uint8_t> report_bytes(const quarn_package::ProfileReport& report) {
  std::vector<std::uint8_t> bytes;
  const auto written = report.write(bytes);
  EXPECT_TRUE(written) << written.error();
  return bytes;
}

// What the tool says about profile file bytes the library refuses, taken from the library.
inline std::string report_refusal(const std::vector<std::uint8_t>& bytes) {
  const auto report = quarn_package::ProfileReport::read(bytes);
  EXPECT_FALSE(report) << "the library accepts these bytes";
  if (report) return "";
  const quarn_package::PackageError& error = report.error();
  std::ostringstream text;
  if (const auto* capnp = std::get_if<quarn_package::PackageError::Capnp>(&error.detail()))
    text << "Capnp (" << capnp->kind << "): " << capnp->description;
  else
    text << error.kind() << ": " << error.message();
  return text.str();
}

}  // namespace quarn_pkg_test
