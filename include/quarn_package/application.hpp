// The in-memory form of an application package and the operations on it.
//
// Records are plain values: public fields in declaration order, deep copies, equality
// over every field with no normalisation. They check nothing when built; whether an
// application is acceptable is decided by Application::validate, which the writer runs
// before encoding and the reader after decoding.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <istream>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quarn_package/error.hpp"
#include "quarn_package/profile.hpp"
#include "quarn_package/step.hpp"

namespace quarn_package {

// Tile memory window every package describes: [base, base + size).
inline constexpr std::uint32_t kTileMemoryBase = 0x4C000;
inline constexpr std::uint32_t kTileMemorySize = 0x9C000;
inline constexpr std::uint32_t kTileMemoryEnd = kTileMemoryBase + kTileMemorySize;
// DebugRegion::physical_tile of a region that belongs to no single tile.
inline constexpr std::uint32_t kNoTile = 0xFFFFFFFF;
// Name of the output binding that holds the cycle counters of a profiled run.
inline constexpr std::string_view kProfileCyclesBinding = "profile.cycles";

// One contiguous piece of tile memory. Bytes past `data` up to `memory_size` are zero.
struct Segment {
  std::uint32_t address = 0;
  std::uint32_t memory_size = 0;  // >= data.size(); 0 occupies nothing
  std::vector<std::uint8_t> data;
  std::uint32_t flags = 0;  // carried
  bool operator==(const Segment&) const = default;
};

// What is loaded into one tile.
struct TileImage {
  std::uint32_t physical_tile = 0;       // unique among the tiles
  std::uint32_t entry_point = 0;         // carried
  std::uint32_t command_address = 0;     // carried
  std::uint32_t diagnostic_address = 0;  // carried
  std::vector<Segment> segments;
  bool operator==(const TileImage&) const = default;
};

// One piece of a binding, placed in one tile's memory.
struct RegionSlice {
  std::uint32_t tile = 0;
  std::uint32_t tile_address = 0;
  std::uint64_t file_offset = 0;  // offset within the binding's host-side bytes
  std::uint64_t size = 0;         // at most 0xFFFFFFFF in a valid application
  bool operator==(const RegionSlice&) const = default;
};

// A named host-visible tensor.
struct Binding {
  std::string name;                  // non-empty, unique across inputs, outputs and weights
  std::string dtype;                 // carried
  std::vector<std::uint32_t> shape;  // carried
  std::vector<RegionSlice> slices;
  bool operator==(const Binding&) const = default;
};

// One page of host memory shared with the device.
struct HostPage {
  std::uint32_t index = 0;
  std::uint64_t size = 0;
  bool operator==(const HostPage&) const = default;
};

// One piece of a host call in a host page.
struct HostSlice {
  std::uint32_t page = 0;
  std::uint64_t page_offset = 0;
  std::uint64_t file_offset = 0;  // carried
  std::uint64_t size = 0;
  bool operator==(const HostSlice&) const = default;
};

// One transfer between host and device. Batch ends are exclusive slice indices,
// strictly increasing, the last equal to the number of slices of that direction.
struct HostCall {
  std::string name;
  std::uint32_t command = 0;  // carried
  std::uint32_t phases = 0;   // carried
  std::vector<HostSlice> inputs;
  std::vector<HostSlice> outputs;
  std::uint32_t invocations = 0;  // at least 1 in a valid application
  std::vector<std::uint32_t> input_batch_ends;
  std::vector<std::uint32_t> output_batch_ends;
  bool operator==(const HostCall&) const = default;
};

// The host exchange protocol.
struct HostExchange {
  std::uint32_t startup_mark = 0;  // carried
  std::uint32_t command_page = 0;
  std::uint64_t command_offset = 0;  // the 4-byte command word must fit in its page
  std::vector<HostPage> pages;
  std::vector<std::uint32_t> attach_order;
  std::vector<HostCall> calls;
  bool operator==(const HostExchange&) const = default;
};

// A named way into the program; carried.
struct EntryPoint {
  std::string name;
  std::uint32_t command = 0;
  std::uint32_t external_syncs = 0;
  bool operator==(const EntryPoint&) const = default;
};

// One device configuration register write: offsets 4-aligned and unique.
struct DeviceConfigWrite {
  std::uint32_t offset = 0;
  std::uint32_t value = 0;  // carried
  bool operator==(const DeviceConfigWrite&) const = default;
};

// The profiled steps of one tile; step i has local_index i.
struct TileProfilePlan {
  std::uint32_t physical_tile = 0;
  std::vector<ProfileStep> steps;
  bool operator==(const TileProfilePlan&) const = default;
};

struct DebugSymbol {
  std::string name;           // non-empty
  std::uint32_t address = 0;  // carried
  bool operator==(const DebugSymbol&) const = default;
};

struct DebugRegion {
  std::uint32_t physical_tile = 0;  // a tile of the application, or kNoTile
  std::uint32_t address = 0;
  std::uint32_t size = 0;  // not 0; address + size fits in 32 bits
  std::string name;        // non-empty
  bool operator==(const DebugRegion&) const = default;
};

// The root record of a package.
struct Application {
  std::string compiler_version = "0.1.0";  // carried
  std::vector<TileImage> tiles;
  std::vector<Binding> inputs;
  std::vector<Binding> outputs;  // in the order they lie in the runtime output buffer
  std::vector<Binding> weights;
  HostExchange host_exchange;
  std::vector<EntryPoint> entry_points;
  std::vector<DeviceConfigWrite> device_config_writes;
  std::vector<TileProfilePlan> profile_tiles;
  std::vector<DebugSymbol> debug_symbols;
  std::vector<DebugRegion> debug_regions;

  // Checks every structural rule of a package; the first broken rule is returned as
  // an Invalid error with that rule's fixed message.
  Result<void> validate() const;

  // The contiguous memory image of one tile: zero-filled bytes from its lowest segment
  // address to its highest segment end, every segment's data copied in. Byte 0 belongs
  // at the lowest segment address.
  Result<std::vector<std::uint8_t>> tile_image(std::uint32_t physical_tile) const;

  // Validates, then appends one package message to `output`. Equal applications give
  // identical bytes.
  Result<void> write(std::vector<std::uint8_t>& output) const;
  // Validates, then writes one package message to `output`. A stream that fails gives a
  // Capnp error; the bytes it accepted stay written.
  Result<void> write(std::ostream& output) const;

  // Reads the package at the front of `input` in place (no alignment required, nothing
  // after the message looked at), checks its header and validates the result.
  static Result<Application> read(std::span<const std::uint8_t> input);
  // Reads exactly one package message from `input`, leaving the stream after it.
  static Result<Application> read(std::istream& input);

  // Pairs each planned step with its start and end counter from the runtime output
  // buffer of a profiled run. Does not call validate; checks what it relies on.
  Result<ProfileReport> profile_report(std::span<const std::uint8_t> output,
                                       std::uint64_t clock_hz) const;

  bool operator==(const Application&) const = default;
};

// Host-side byte extent of a binding: the largest file_offset + size over its slices,
// each sum saturating at 2^64 - 1; 0 without slices.
std::uint64_t binding_size(const Binding& binding);

// The batch-boundary rule for one direction ("input" or "output") of one host call.
Result<void> validate_host_batch_ends(const HostCall& call, std::string_view direction,
                                      std::span<const std::uint32_t> ends,
                                      std::uint64_t slice_count);

std::ostream& operator<<(std::ostream& os, const Segment& value);
std::ostream& operator<<(std::ostream& os, const TileImage& value);
std::ostream& operator<<(std::ostream& os, const RegionSlice& value);
std::ostream& operator<<(std::ostream& os, const Binding& value);
std::ostream& operator<<(std::ostream& os, const HostPage& value);
std::ostream& operator<<(std::ostream& os, const HostSlice& value);
std::ostream& operator<<(std::ostream& os, const HostCall& value);
std::ostream& operator<<(std::ostream& os, const HostExchange& value);
std::ostream& operator<<(std::ostream& os, const EntryPoint& value);
std::ostream& operator<<(std::ostream& os, const DeviceConfigWrite& value);
std::ostream& operator<<(std::ostream& os, const TileProfilePlan& value);
std::ostream& operator<<(std::ostream& os, const DebugSymbol& value);
std::ostream& operator<<(std::ostream& os, const DebugRegion& value);
std::ostream& operator<<(std::ostream& os, const Application& value);

}  // namespace quarn_package
