// Worked example records shared by the tests.
#pragma once

#include <quarn_package/package.hpp>

namespace quarn_package::testing {

// One tile with one 8-byte segment holding 01 02 03 04; everything else default.
inline Application minimal_application() {
  Application app;
  app.tiles.push_back(TileImage{
      .physical_tile = 0,
      .entry_point = 0x4C000,
      .command_address = 0x4C100,
      .diagnostic_address = 0x4C200,
      .segments = {Segment{.address = 0x4C000, .memory_size = 8, .data = {1, 2, 3, 4}, .flags = 5}},
  });
  return app;
}

// The minimal application with one record of every kind.
inline Application full_application() {
  Application app = minimal_application();
  ProfileStep step{
      .local_index = 0,
      .phase = 7,
      .epoch = 0,
      .operation = "operation.0",
      .kind = ProfileStepKind::Compute,
      .kernel = "kernel",
      .metadata = {ProfileMetadata{.name = "reason", .value = "OperatorKernel"}},
      .exchange_activities = {{ExchangeActivityKind::Receive, 3, 11},
                              {ExchangeActivityKind::PartnerBusy, 1, 3}},
      .exchange_event_cycles = 13,
  };
  app.profile_tiles.push_back(TileProfilePlan{.physical_tile = 0, .steps = {step}});
  app.device_config_writes.push_back(DeviceConfigWrite{.offset = 0x4018, .value = 0xC000000D});
  app.debug_symbols.push_back(DebugSymbol{.name = "kernel", .address = 0x4C000});
  app.debug_regions.push_back(DebugRegion{
      .physical_tile = kNoTile, .address = 0x4C000, .size = 8, .name = "linked executable"});
  app.host_exchange = HostExchange{
      .startup_mark = 1,
      .command_page = 0,
      .command_offset = 0,
      .pages = {{0, 4096}, {1, 8192}},
      .attach_order = {0, 1},
      .calls = {HostCall{
          .name = "batched",
          .command = 2,
          .phases = 4,
          .inputs = {{1, 0, 0, 16}, {1, 4096, 16, 16}},
          .outputs = {{1, 0, 0, 32}},
          .invocations = 1,
          .input_batch_ends = {2},
          .output_batch_ends = {1},
      }},
  };
  return app;
}

// A report of one tile (17) whose four counters all wrap between start and end.
inline ProfileReport worked_report() {
  ProfileReport report{.clock_hz = 1500000000, .tiles = {TileProfile{.physical_tile = 17}}};
  const ProfileStepKind kinds[] = {ProfileStepKind::Exchange, ProfileStepKind::Compute,
                                   ProfileStepKind::Synchronization, ProfileStepKind::Idle};
  for (std::uint32_t i = 0; i < 4; ++i) {
    ProfileStep step{
        .local_index = i,
        .phase = 5,
        .epoch = 8,
        .operation = "accumulate",
        .kind = kinds[i],
        .kernel = "gemm_f32_accumulate",
        .metadata = {ProfileMetadata{.name = "innerBlock", .value = "8"}},
        .exchange_activities = {},
        .exchange_event_cycles = 9,
    };
    if (i == 0) {
      step.exchange_activities = {{ExchangeActivityKind::Send, 2, 6},
                                  {ExchangeActivityKind::PartnerBusy, 6, 8}};
    }
    report.tiles[0].samples.push_back(
        CycleSample{.step = step, .start_cycle = 4294967285u + i, .end_cycle = 7 + i});
  }
  return report;
}

}  // namespace quarn_package::testing
