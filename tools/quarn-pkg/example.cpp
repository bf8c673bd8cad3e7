#include "example.hpp"

#include <algorithm>

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

using qp::ExchangeActivityKind;
using qp::ProfileStepKind;

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + 7 * i);
  return bytes;
}

std::vector<qp::TileImage> tiles() {
  // Tile 0 holds code and a small constant table; tile 1 only code. The bytes beyond
  // each segment's data are zero in the tile image.
  return {
      qp::TileImage{
          .physical_tile = 0,
          .entry_point = 0x4C000,
          .command_address = 0x4C100,
          .diagnostic_address = 0x4C200,
          .segments =
              {{.address = 0x4C000, .memory_size = 0x40, .data = pattern(24, 0x10), .flags = 5},
               {.address = 0x4C300, .memory_size = 0x20, .data = pattern(8, 0x80), .flags = 6}}},
      qp::TileImage{
          .physical_tile = 1,
          .entry_point = 0x4C000,
          .command_address = 0x4C100,
          .diagnostic_address = 0x4C200,
          .segments =
              {{.address = 0x4C000, .memory_size = 0x30, .data = pattern(16, 0x20), .flags = 5}}},
  };
}

qp::RegionSlice slice(std::uint32_t tile, std::uint32_t address, std::uint64_t offset,
                      std::uint64_t size) {
  return {.tile = tile, .tile_address = address, .file_offset = offset, .size = size};
}

qp::ProfileStep step(std::uint32_t index, ProfileStepKind kind, std::string operation,
                     std::string kernel) {
  return {.local_index = index,
          .phase = index,
          .epoch = 0,
          .operation = std::move(operation),
          .kind = kind,
          .kernel = std::move(kernel),
          .metadata = {{.name = "reason", .value = "OperatorKernel"}},
          .exchange_activities = {},
          .exchange_event_cycles = 0};
}

std::vector<qp::TileProfilePlan> profile_plans() {
  qp::ProfileStep receive = step(0, ProfileStepKind::Exchange, "load.activations", "");
  // Activities are readings of the tile's counter, like the step's own start and end:
  // synthetic_runtime_output starts tile 0's first step at 1200 and ends it at 1350.
  receive.exchange_activities = {{ExchangeActivityKind::Receive, 1203, 1290},
                                 {ExchangeActivityKind::PartnerBusy, 1290, 1341}};
  receive.exchange_event_cycles = 52;
  return {
      {.physical_tile = 0,
       .steps = {receive, step(1, ProfileStepKind::Compute, "dense", "matmul_f32"),
                 step(2, ProfileStepKind::Synchronization, "barrier", "")}},
      {.physical_tile = 1,
       .steps = {step(0, ProfileStepKind::Compute, "dense", "matmul_f32"),
                 step(1, ProfileStepKind::Idle, "barrier", "")}},
  };
}

qp::HostExchange host_exchange() {
  // Page 0 holds the command word; page 1 the tensors moving in and out.
  return {.startup_mark = 1,
          .command_page = 0,
          .command_offset = 0,
          .pages = {{.index = 0, .size = 4096}, {.index = 1, .size = 8192}},
          .attach_order = {0, 1},
          .calls = {
              {.name = "load_weights",
               .command = 1,
               .phases = 1,
               .inputs = {{.page = 1, .page_offset = 0, .file_offset = 0, .size = 32}},
               .outputs = {},
               .invocations = 1,
               .input_batch_ends = {1},
               .output_batch_ends = {}},
              {.name = "run",
               .command = 2,
               .phases = 4,
               .inputs = {{.page = 1, .page_offset = 0x1000, .file_offset = 0, .size = 16},
                          {.page = 1, .page_offset = 0x1010, .file_offset = 16, .size = 16}},
               .outputs = {{.page = 1, .page_offset = 0x1100, .file_offset = 0, .size = 16},
                           {.page = 1, .page_offset = 0x1200, .file_offset = 16, .size = 28}},
               .invocations = 1,
               .input_batch_ends = {1, 2},
               .output_batch_ends = {2}},
          }};
}

}  // namespace

qp::Application example_application() {
  qp::Application app;
  app.compiler_version = "quarn-cc 0.1.0 (example)";
  app.tiles = tiles();
  app.inputs = {{.name = "activations",
                 .dtype = "f32",
                 .shape = {2, 4},
                 .slices = {slice(0, 0x50000, 0, 16), slice(1, 0x50000, 16, 16)}}};
  // Tile 0 plans 3 steps and tile 1 plans 2: 4 and 3 counters of 4 bytes.
  app.outputs = {
      {.name = "logits", .dtype = "f32", .shape = {2, 2}, .slices = {slice(0, 0x51000, 0, 16)}},
      {.name = std::string(qp::kProfileCyclesBinding),
       .dtype = "u32",
       .shape = {7},
       .slices = {slice(0, 0x52000, 0, 16), slice(1, 0x52000, 16, 12)}}};
  app.weights = {{.name = "dense.weights",
                  .dtype = "f32",
                  .shape = {4, 2},
                  .slices = {slice(0, 0x53000, 0, 32)}}};
  app.host_exchange = host_exchange();
  app.entry_points = {{.name = "run", .command = 2, .external_syncs = 1},
                      {.name = "load_weights", .command = 1, .external_syncs = 0}};
  app.device_config_writes = {{.offset = 0x4018, .value = 0xC000000D},
                              {.offset = 0x401C, .value = 0x1}};
  app.profile_tiles = profile_plans();
  app.debug_symbols = {{.name = "main", .address = 0x4C000},
                       {.name = "matmul_f32", .address = 0x4C010}};
  app.debug_regions = {
      {.physical_tile = qp::kNoTile, .address = 0x4C000, .size = 0x40, .name = "linked executable"},
      {.physical_tile = 0, .address = 0x4C300, .size = 0x20, .name = "constants"}};
  return app;
}

std::vector<std::uint8_t> synthetic_runtime_output(const qp::Application& app) {
  std::uint64_t total = 0;
  std::uint64_t cycles_base = 0;
  const qp::Binding* cycles = nullptr;
  for (const qp::Binding& output : app.outputs) {
    if (!cycles && output.name == qp::kProfileCyclesBinding) {
      cycles = &output;
      cycles_base = total;
    }
    total += qp::binding_size(output);
  }
  std::vector<std::uint8_t> buffer(total, 0xA5);
  if (!cycles) return buffer;

  std::uint32_t first_counter = 1200;
  for (const qp::TileProfilePlan& plan : app.profile_tiles) {
    // Tiles start a little apart, as they would after a real launch.
    std::uint32_t counter = first_counter;
    first_counter += 40;
    const auto slice =
        std::ranges::find(cycles->slices, plan.physical_tile, &qp::RegionSlice::tile);
    if (slice == cycles->slices.end()) continue;
    for (std::size_t k = 0; k <= plan.steps.size(); ++k) {
      const std::uint64_t at = cycles_base + slice->file_offset + 4 * k;
      if (at + 4 > buffer.size()) break;
      for (int byte = 0; byte < 4; ++byte)  // little-endian
        buffer[at + byte] = static_cast<std::uint8_t>(counter >> (8 * byte));
      counter += 150 + 97 * static_cast<std::uint32_t>(k % 3);
    }
  }
  return buffer;
}

}  // namespace quarn_pkg
