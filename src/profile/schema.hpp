// Layout of the profile schema (schema/profile.capnp); its steps use the shared Step.
#pragma once

#include <cstdint>

#include "wire/layout.hpp"

namespace quarn_package::detail::schema {

// Written into every profile file; files of versions 1 to 5 share this layout.
inline constexpr std::uint32_t kProfileSchemaVersion = 5;
inline constexpr std::uint32_t kOldestProfileSchemaVersion = 1;

struct Profile {
  static constexpr wire::StructSize size{2, 1};
  static constexpr wire::DataField<std::uint32_t> schema_version{0};
  static constexpr wire::DataField<std::uint64_t> clock_hz{8};
  static constexpr wire::PointerField tiles{0};
  static_assert(wire::fits(size, clock_hz) && wire::fits(size, tiles));
};

struct TileProfile {
  static constexpr wire::StructSize size{1, 1};
  static constexpr wire::DataField<std::uint32_t> physical_tile{0};
  static constexpr wire::PointerField samples{0};
  static_assert(wire::fits(size, physical_tile) && wire::fits(size, samples));
};

struct CycleSample {
  static constexpr wire::StructSize size{1, 1};
  static constexpr wire::PointerField step{0};
  static constexpr wire::DataField<std::uint32_t> start_cycle{0};
  static constexpr wire::DataField<std::uint32_t> end_cycle{4};
  static_assert(wire::fits(size, end_cycle) && wire::fits(size, step));
};

}  // namespace quarn_package::detail::schema
