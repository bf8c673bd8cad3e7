// Layout of every struct of the package schema (schema/application.capnp and
// schema/profile_common.capnp): section sizes and the place of each field. The writer
// and the reader both work from these tables.
#pragma once

#include <cstdint>
#include <string_view>

#include "wire/layout.hpp"

namespace quarn_package::detail::schema {

using wire::DataField;
using wire::fits;
using wire::PointerField;
using wire::StructSize;

// Header values every package carries.
inline constexpr std::uint32_t kSchemaVersion = 5;
inline constexpr std::string_view kTarget = "quarn7";

struct Application {
  static constexpr StructSize size{2, 12};
  static constexpr DataField<std::uint32_t> schema_version{0};
  static constexpr PointerField compiler_version{0};
  static constexpr PointerField target{1};
  static constexpr DataField<std::uint32_t> tile_memory_base{4};
  static constexpr DataField<std::uint32_t> tile_memory_size{8};
  static constexpr PointerField tiles{2};
  static constexpr PointerField inputs{3};
  static constexpr PointerField outputs{4};
  static constexpr PointerField weights{5};
  static constexpr PointerField host_exchange{6};
  static constexpr PointerField entry_points{7};
  static constexpr PointerField device_config_writes{8};
  static constexpr PointerField profile_tiles{9};
  static constexpr PointerField debug_symbols{10};
  static constexpr PointerField debug_regions{11};
  static_assert(fits(size, tile_memory_size) && fits(size, debug_regions));
};

struct TileImage {
  static constexpr StructSize size{2, 1};
  static constexpr DataField<std::uint32_t> physical_tile{0};
  static constexpr DataField<std::uint32_t> entry_point{4};
  static constexpr PointerField segments{0};
  static constexpr DataField<std::uint32_t> command_address{8};
  static constexpr DataField<std::uint32_t> diagnostic_address{12};
  static_assert(fits(size, diagnostic_address) && fits(size, segments));
};

struct Segment {
  static constexpr StructSize size{2, 1};
  static constexpr DataField<std::uint32_t> address{0};
  static constexpr DataField<std::uint32_t> memory_size{4};
  static constexpr PointerField data{0};
  static constexpr DataField<std::uint32_t> flags{8};
  static_assert(fits(size, flags) && fits(size, data));
};

struct RegionSlice {
  static constexpr StructSize size{3, 0};
  static constexpr DataField<std::uint32_t> tile{0};
  static constexpr DataField<std::uint32_t> tile_address{4};
  static constexpr DataField<std::uint64_t> file_offset{8};
  static constexpr DataField<std::uint64_t> size_bytes{16};  // the schema field `size`
  static_assert(fits(size, size_bytes));
};

struct Binding {
  static constexpr StructSize size{0, 4};
  static constexpr PointerField name{0};
  static constexpr PointerField dtype{1};
  static constexpr PointerField shape{2};
  static constexpr PointerField slices{3};
  static_assert(fits(size, slices));
};

struct HostPage {
  static constexpr StructSize size{2, 0};
  static constexpr DataField<std::uint32_t> index{0};
  static constexpr DataField<std::uint64_t> size_bytes{8};  // the schema field `size`
  static_assert(fits(size, size_bytes));
};

struct HostSlice {
  static constexpr StructSize size{4, 0};
  static constexpr DataField<std::uint32_t> page{0};
  static constexpr DataField<std::uint64_t> page_offset{8};
  static constexpr DataField<std::uint64_t> file_offset{16};
  static constexpr DataField<std::uint64_t> size_bytes{24};  // the schema field `size`
  static_assert(fits(size, size_bytes));
};

struct HostCall {
  static constexpr StructSize size{2, 5};
  static constexpr PointerField name{0};
  static constexpr DataField<std::uint32_t> command{0};
  static constexpr DataField<std::uint32_t> phases{4};
  static constexpr PointerField inputs{1};
  static constexpr PointerField outputs{2};
  // Stored exclusive-or its default of 1.
  static constexpr DataField<std::uint32_t> invocations{8, 1};
  static constexpr PointerField input_batch_ends{3};
  static constexpr PointerField output_batch_ends{4};
  static_assert(fits(size, invocations) && fits(size, output_batch_ends));
};

struct HostExchange {
  static constexpr StructSize size{2, 3};
  static constexpr DataField<std::uint32_t> startup_mark{0};
  static constexpr DataField<std::uint32_t> command_page{4};
  static constexpr DataField<std::uint64_t> command_offset{8};
  static constexpr PointerField pages{0};
  static constexpr PointerField attach_order{1};
  static constexpr PointerField calls{2};
  static_assert(fits(size, command_offset) && fits(size, calls));
};

struct EntryPoint {
  static constexpr StructSize size{1, 1};
  static constexpr PointerField name{0};
  static constexpr DataField<std::uint32_t> command{0};
  static constexpr DataField<std::uint32_t> external_syncs{4};
  static_assert(fits(size, external_syncs) && fits(size, name));
};

struct DeviceConfigWrite {
  static constexpr StructSize size{1, 0};
  static constexpr DataField<std::uint32_t> offset{0};
  static constexpr DataField<std::uint32_t> value{4};
  static_assert(fits(size, value));
};

struct TileProfilePlan {
  static constexpr StructSize size{1, 1};
  static constexpr DataField<std::uint32_t> physical_tile{0};
  static constexpr PointerField steps{0};
  static_assert(fits(size, physical_tile) && fits(size, steps));
};

struct DebugSymbol {
  static constexpr StructSize size{1, 1};
  static constexpr PointerField name{0};
  static constexpr DataField<std::uint32_t> address{0};
  static_assert(fits(size, address) && fits(size, name));
};

struct DebugRegion {
  static constexpr StructSize size{2, 1};
  static constexpr DataField<std::uint32_t> physical_tile{0};
  static constexpr DataField<std::uint32_t> address{4};
  static constexpr DataField<std::uint32_t> size_bytes{8};  // the schema field `size`
  static constexpr PointerField name{0};
  static_assert(fits(size, size_bytes) && fits(size, name));
};

// profile_common.capnp

struct Step {
  static constexpr StructSize size{3, 4};
  static constexpr DataField<std::uint32_t> local_index{0};
  static constexpr DataField<std::uint32_t> phase{4};
  static constexpr DataField<std::uint32_t> epoch{8};
  static constexpr PointerField operation{0};
  static constexpr DataField<std::uint16_t> kind{12};
  static constexpr PointerField kernel{1};
  static constexpr PointerField metadata{2};
  static constexpr PointerField exchange_activities{3};
  static constexpr DataField<std::uint32_t> exchange_event_cycles{16};
  static_assert(fits(size, exchange_event_cycles) && fits(size, exchange_activities));
};

struct Metadata {
  static constexpr StructSize size{0, 2};
  static constexpr PointerField name{0};
  static constexpr PointerField value{1};
  static_assert(fits(size, value));
};

struct ExchangeActivity {
  static constexpr StructSize size{2, 0};
  static constexpr DataField<std::uint16_t> kind{0};
  static constexpr DataField<std::uint32_t> start_cycle{4};
  static constexpr DataField<std::uint32_t> end_cycle{8};
  static_assert(fits(size, end_cycle));
};

// Enumerant counts of StepKind and ExchangeActivityKind.
inline constexpr std::uint16_t kStepKinds = 4;
inline constexpr std::uint16_t kExchangeActivityKinds = 3;

}  // namespace quarn_package::detail::schema
