// Profile reports: per tile, each planned step with its start and end cycle counter.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <istream>
#include <ostream>
#include <span>
#include <vector>

#include "quarn_package/error.hpp"
#include "quarn_package/step.hpp"

namespace quarn_package {

// One step of one tile with its two raw counter readings. The counter wraps, so
// `end_cycle` may be below `start_cycle`; the library never subtracts them.
struct CycleSample {
  ProfileStep step;
  std::uint32_t start_cycle = 0;
  std::uint32_t end_cycle = 0;
  bool operator==(const CycleSample&) const = default;
};

// The samples of one tile, in the order of the tile's plan.
struct TileProfile {
  std::uint32_t physical_tile = 0;
  std::vector<CycleSample> samples;
  bool operator==(const TileProfile&) const = default;
};

// The result of one profiled run.
struct ProfileReport {
  std::uint64_t clock_hz = 0;  // carried, never computed with
  std::vector<TileProfile> tiles;

  // Appends one profile file (schema version 5) to `output`.
  Result<void> write(std::vector<std::uint8_t>& output) const;
  // Writes one profile file to `output`; a stream that fails gives a Capnp error and
  // keeps what it accepted.
  Result<void> write(std::ostream& output) const;
  // Reads the profile file at the front of `input` (versions 1 to 5); bytes after the
  // message are not looked at. No alignment is required of `input`.
  static Result<ProfileReport> read(std::span<const std::uint8_t> input);
  // Reads exactly one profile file from `input`, leaving the stream after it.
  static Result<ProfileReport> read(std::istream& input);

  bool operator==(const ProfileReport&) const = default;
};

std::ostream& operator<<(std::ostream& os, const CycleSample& value);
std::ostream& operator<<(std::ostream& os, const TileProfile& value);
std::ostream& operator<<(std::ostream& os, const ProfileReport& value);

}  // namespace quarn_package
