// Package files that the library refuses, and the line the tool prints for each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli_runner.hpp"
#include "support/examples.hpp"

namespace quarn_pkg_test {

// What the tool says about `bytes`: "<kind>: <message>", with the wire layer's failure
// kind in parentheses. Taken from the library, so the tests pin the tool's line, not the
// library's wording.
inline std::string refusal(const std::vector<std::uint8_t>& bytes) {
  const auto app = quarn_package::Application::read(bytes);
  EXPECT_FALSE(app) << "the library accepts these bytes";
  if (app) return "";
  const quarn_package::PackageError& error = app.error();
  if (const auto* capnp = std::get_if<quarn_package::PackageError::Capnp>(&error.detail())) {
    std::ostringstream kind;
    kind << capnp->kind;
    return "Capnp (" + kind.str() + "): " + capnp->description;
  }
  std::ostringstream kind;
  kind << error.kind();
  return kind.str() + ": " + error.message();
}

inline std::vector<std::uint8_t> truncated_package() {
  std::vector<std::uint8_t> bytes = package_bytes(quarn_package::testing::full_application());
  bytes.resize(bytes.size() / 2);
  return bytes;
}

// Fixed bytes from a simple generator, the same on every run.
inline std::vector<std::uint8_t> random_bytes() {
  std::vector<std::uint8_t> bytes(300);
  std::uint32_t state = 0x2545F491;
  for (std::uint8_t& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

// A package that decodes but breaks a rule: two tiles with one physical tile. The writer
// would refuse such an application, so the second tile's id is patched in the bytes.
inline constexpr std::uint32_t kPatchedTile = 0x5A5A5A5A;
inline std::vector<std::uint8_t> duplicate_tile_package() {
  quarn_package::Application app = quarn_package::testing::minimal_application();
  app.tiles[0].physical_tile = kPatchedTile;
  app.tiles.push_back(app.tiles[0]);
  app.tiles[1].physical_tile = kPatchedTile + 1;
  std::vector<std::uint8_t> bytes = package_bytes(app);
  const std::uint8_t from[] = {0x5B, 0x5A, 0x5A, 0x5A};
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin(from), std::end(from));
  EXPECT_NE(at, bytes.end());
  if (at != bytes.end()) *at = 0x5A;
  return bytes;
}

}  // namespace quarn_pkg_test
