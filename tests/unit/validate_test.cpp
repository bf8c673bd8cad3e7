#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <quarn_package/package.hpp>

#include "support/examples.hpp"

namespace quarn_package {
namespace {

using testing::full_application;
using testing::minimal_application;

// What a check gave, as one comparable text: "valid", or the Invalid message.
std::string outcome(const Result<void>& result) {
  if (result) return "valid";
  const auto* invalid = std::get_if<PackageError::Invalid>(&result.error().detail());
  if (invalid == nullptr) return "an error other than Invalid";
  return invalid->message;
}

struct ValidateCase {
  std::string_view name;
  Application (*build)();
  std::string_view expected;  // "valid" or the exact message
};

void expect_outcomes(std::span<const ValidateCase> cases) {
  for (const ValidateCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Application app = c.build();
    EXPECT_EQ(outcome(app.validate()), c.expected);
  }
}

// The minimal application with `segments` on its only tile, renumbered to tile 7 so that
// messages show the tile id rather than a list position.
Application with_segments(std::vector<Segment> segments) {
  Application app = minimal_application();
  app.tiles[0].physical_tile = 7;
  app.tiles[0].segments = std::move(segments);
  return app;
}

Segment segment(std::uint32_t address, std::uint32_t memory_size,
                std::vector<std::uint8_t> data = {}) {
  return Segment{address, memory_size, std::move(data), 0};
}

TileImage tile(std::uint32_t physical_tile, std::vector<Segment> segments) {
  return TileImage{physical_tile, 0, 0, 0, std::move(segments)};
}

Binding binding(std::string name, std::vector<RegionSlice> slices = {}) {
  return Binding{std::move(name), "", {}, std::move(slices)};
}

// A binding slice at `tile_address` on `tile`; its file offset plays no part here.
RegionSlice placed(std::uint32_t tile, std::uint32_t tile_address, std::uint64_t size) {
  return RegionSlice{tile, tile_address, 0, size};
}

// A binding slice seen from the host side only.
RegionSlice extent(std::uint64_t file_offset, std::uint64_t size) {
  return RegionSlice{0, 0x4c000, file_offset, size};
}

TEST(Validate, WorkedApplicationsPass) {
  EXPECT_EQ(outcome(minimal_application().validate()), "valid");
  EXPECT_EQ(outcome(full_application().validate()), "valid");
}

TEST(Validate, DefaultApplicationHasNoTiles) {
  EXPECT_EQ(outcome(Application{}.validate()), "application has no tiles");
}

TEST(Validate, DeviceConfigWrites) {
  static constexpr ValidateCase kCases[] = {
      {"offsets 0 and 4",
       [] {
         Application app = minimal_application();
         app.device_config_writes = {{0, 1}, {4, 2}};
         return app;
       },
       "valid"},
      {"two writes at 4 with different values",
       [] {
         Application app = minimal_application();
         app.device_config_writes = {{4, 1}, {4, 2}};
         return app;
       },
       "unaligned or duplicate device configuration write"},
      {"unaligned offset 6",
       [] {
         Application app = minimal_application();
         app.device_config_writes = {{6, 0}};
         return app;
       },
       "unaligned or duplicate device configuration write"},
      {"duplicate after other offsets",
       [] {
         Application app = minimal_application();
         app.device_config_writes = {{8, 0}, {0, 0}, {0x4018, 0}, {8, 0}};
         return app;
       },
       "unaligned or duplicate device configuration write"},
  };
  expect_outcomes(kCases);
}

TEST(Validate, Segments) {
  static constexpr ValidateCase kCases[] = {
      {"ends exactly at the window end", [] { return with_segments({segment(0xe7ff8, 8)}); },
       "valid"},
      {"data fills memory size exactly",
       [] {
         return with_segments({segment(0x4c000, 4, {1, 2, 3, 4})});
       },
       "valid"},
      {"touching segments and an empty one between",
       [] {
         return with_segments({segment(0x4c000, 8, {1}), segment(0x4c008, 8), segment(0x4c004, 0)});
       },
       "valid"},
      {"empty segment at the window end", [] { return with_segments({segment(0xe8000, 0)}); },
       "valid"},
      {"starts below the window",
       [] {
         return with_segments({segment(0x4bffc, 8, {1, 2, 3, 4})});
       },
       "invalid segment on tile 7: address=0x4bffc end=0x4c004 memory_size=8 data_size=4"},
      {"ends past the window", [] { return with_segments({segment(0xe7ffc, 8)}); },
       "invalid segment on tile 7: address=0xe7ffc end=0xe8004 memory_size=8 data_size=0"},
      {"empty segment below the window", [] { return with_segments({segment(0, 0)}); },
       "invalid segment on tile 7: address=0x0 end=0x0 memory_size=0 data_size=0"},
      {"data longer than memory size",
       [] {
         return with_segments({segment(0x4c000, 2, {1, 2, 3, 4})});
       },
       "invalid segment on tile 7: address=0x4c000 end=0x4c002 memory_size=2 data_size=4"},
      {"end beyond 32 bits", [] { return with_segments({segment(0xfffffff0, 0x20)}); },
       "segment address overflow"},
      {"end exactly 2^32", [] { return with_segments({segment(0xfffffff0, 0x10)}); },
       "segment address overflow"},
      {"end 2^32 - 1 is only outside the window",
       [] { return with_segments({segment(0xfffffff0, 0xf)}); },
       "invalid segment on tile 7: address=0xfffffff0 end=0xffffffff memory_size=15 "
       "data_size=0"},
      {"second segment is the bad one",
       [] {
         return with_segments({segment(0x4c000, 8), segment(0x4c010, 4, {1, 2, 3, 4, 5})});
       },
       "invalid segment on tile 7: address=0x4c010 end=0x4c014 memory_size=4 data_size=5"},
  };
  expect_outcomes(kCases);
}

TEST(Validate, OverlappingSegments) {
  static constexpr ValidateCase kCases[] = {
      {"a copy of the worked segment",
       [] {
         Application app = minimal_application();
         app.tiles[0].segments.push_back(app.tiles[0].segments[0]);
         return app;
       },
       "overlapping segments on tile 0: 0x4c000..0x4c008 and 0x4c000..0x4c008"},
      {"ranges are reported in address order",
       [] {
         return with_segments({segment(0x4c010, 0x10), segment(0x4c000, 0x14)});
       },
       "overlapping segments on tile 7: 0x4c000..0x4c014 and 0x4c010..0x4c020"},
      {"equal starts are ordered by end",
       [] {
         return with_segments({segment(0x4c000, 0x10), segment(0x4c000, 8)});
       },
       "overlapping segments on tile 7: 0x4c000..0x4c008 and 0x4c000..0x4c010"},
      {"first overlapping neighbours in sorted order",
       [] {
         return with_segments({segment(0x4c100, 0x10), segment(0x4c108, 0x10),
                               segment(0x4c000, 0x20), segment(0x4c010, 0x20)});
       },
       "overlapping segments on tile 7: 0x4c000..0x4c020 and 0x4c010..0x4c030"},
      {"a range inside a larger one that is not its list neighbour",
       [] {
         return with_segments({segment(0x4c000, 0x100), segment(0x4c200, 8), segment(0x4c080, 8)});
       },
       "overlapping segments on tile 7: 0x4c000..0x4c100 and 0x4c080..0x4c088"},
      {"an empty segment inside another never overlaps",
       [] {
         return with_segments({segment(0x4c000, 0x10), segment(0x4c008, 0)});
       },
       "valid"},
      {"segments of different tiles never overlap",
       [] {
         Application app = minimal_application();
         app.tiles.push_back(app.tiles[0]);
         app.tiles[1].physical_tile = 1;
         return app;
       },
       "valid"},
  };
  expect_outcomes(kCases);
}

TEST(Validate, DuplicatePhysicalTile) {
  Application app = minimal_application();
  app.tiles[0].physical_tile = 3;
  app.tiles.push_back(app.tiles[0]);
  app.tiles[1].segments = {segment(0, 8)};  // would be refused, but is never looked at
  EXPECT_EQ(outcome(app.validate()), "duplicate physical tile 3");
}

Application with_plans(std::vector<TileProfilePlan> plans) {
  Application app = minimal_application();
  app.tiles.push_back(tile(5, {segment(0x4c000, 4)}));
  app.profile_tiles = std::move(plans);
  return app;
}

std::vector<ProfileStep> steps_numbered(std::vector<std::uint32_t> local_indices) {
  std::vector<ProfileStep> steps;
  for (const std::uint32_t index : local_indices) {
    ProfileStep step{};
    step.local_index = index;
    steps.push_back(step);
  }
  return steps;
}

TEST(Validate, ProfilePlans) {
  static constexpr ValidateCase kCases[] = {
      {"plans out of tile order, one without steps",
       [] {
         return with_plans({{5, steps_numbered({0, 1, 2})}, {0, {}}});
       },
       "valid"},
      {"steps 0, 2",
       [] {
         return with_plans({{0, steps_numbered({0, 2})}});
       },
       "invalid tile profile plan"},
      {"first step not 0",
       [] {
         return with_plans({{0, steps_numbered({1})}});
       },
       "invalid tile profile plan"},
      {"plan for a missing tile",
       [] {
         return with_plans({{1, {}}});
       },
       "invalid tile profile plan"},
      {"second plan for one tile",
       [] {
         return with_plans({{5, {}}, {0, {}}, {5, {}}});
       },
       "invalid tile profile plan"},
  };
  expect_outcomes(kCases);
}

Application with_region(DebugRegion region) {
  Application app = minimal_application();
  app.debug_regions = {region};
  return app;
}

TEST(Validate, DebugMap) {
  static constexpr ValidateCase kCases[] = {
      {"region on no tile",
       [] {
         return with_region({kNoTile, 0x4c000, 8, "linked executable"});
       },
       "valid"},
      {"region on tile 0 outside the window",
       [] {
         return with_region({0, 0x10, 8, "low"});
       },
       "valid"},
      {"region ending at 2^32 - 1",
       [] {
         return with_region({0, 0xfffffff0, 0xf, "top"});
       },
       "valid"},
      {"repeated symbol names",
       [] {
         Application app = minimal_application();
         app.debug_symbols = {{"kernel", 0}, {"kernel", 4}};
         return app;
       },
       "valid"},
      {"symbol without name",
       [] {
         Application app = minimal_application();
         app.debug_symbols = {{"kernel", 0}, {"", 4}};
         return app;
       },
       "invalid package debug map"},
      {"region of size 0",
       [] {
         return with_region({kNoTile, 0x4c000, 0, "linked executable"});
       },
       "invalid package debug map"},
      {"region without name",
       [] {
         return with_region({kNoTile, 0x4c000, 8, ""});
       },
       "invalid package debug map"},
      {"region ending at 2^32",
       [] {
         return with_region({0, 0xfffffff0, 0x10, "top"});
       },
       "invalid package debug map"},
      {"region on a missing tile",
       [] {
         return with_region({1, 0x4c000, 8, "elsewhere"});
       },
       "invalid package debug map"},
  };
  expect_outcomes(kCases);
}

Application with_input_slice(RegionSlice slice) {
  Application app = minimal_application();
  app.inputs = {binding("x", {slice})};
  return app;
}

TEST(Validate, Bindings) {
  static constexpr ValidateCase kCases[] = {
      {"slice over the whole window", [] { return with_input_slice(placed(0, 0x4c000, 0x9c000)); },
       "valid"},
      {"bindings without slices in every list",
       [] {
         Application app = minimal_application();
         app.inputs = {binding("a")};
         app.outputs = {binding("b")};
         app.weights = {binding("c")};
         return app;
       },
       "valid"},
      {"input and output both named x",
       [] {
         Application app = minimal_application();
         app.inputs = {binding("x")};
         app.outputs = {binding("x")};
         return app;
       },
       "empty or duplicate binding x"},
      {"input and weight both named w",
       [] {
         Application app = minimal_application();
         app.inputs = {binding("w")};
         app.weights = {binding("v"), binding("w")};
         return app;
       },
       "empty or duplicate binding w"},
      {"empty name",
       [] {
         Application app = minimal_application();
         app.outputs = {binding("")};
         return app;
       },
       "empty or duplicate binding "},
      {"slice larger than 32 bits",
       [] { return with_input_slice(placed(0, 0x4c000, 0x100000000)); },
       "binding x slice is too large"},
      {"slice one byte past the window",
       [] { return with_input_slice(placed(0, 0x4c000, 0x9c001)); },
       "binding x references invalid tile memory"},
      {"slice below the window", [] { return with_input_slice(placed(0, 0x4bfff, 1)); },
       "binding x references invalid tile memory"},
      {"slice on a missing tile", [] { return with_input_slice(placed(1, 0x4c000, 4)); },
       "binding x references invalid tile memory"},
      {"slice end beyond 32 bits", [] { return with_input_slice(placed(0, 0xfffffff0, 0x20)); },
       "binding address overflow"},
      {"bad slice of a weight",
       [] {
         Application app = minimal_application();
         app.weights = {binding("w", {placed(0, 0x4c000, 4), placed(0, 0x10, 4)})};
         return app;
       },
       "binding w references invalid tile memory"},
  };
  expect_outcomes(kCases);
}

// The fully populated application: pages 0 (4096 bytes) and 1 (8192 bytes) and one call
// "batched" with two input slices and one output slice on page 1.
Application with_host_exchange(void (*change)(HostExchange&)) {
  Application app = full_application();
  change(app.host_exchange);
  return app;
}

TEST(Validate, HostPageTableAndCommandWord) {
  static constexpr ValidateCase kCases[] = {
      {"attach order shorter and repeating",
       [] { return with_host_exchange([](HostExchange& h) {
              h.attach_order = {1, 1};
            }); },
       "valid"},
      {"two pages with index 0",
       [] { return with_host_exchange([](HostExchange& h) { h.pages[1].index = 0; }); },
       "invalid host page table"},
      {"attach order names no page",
       [] { return with_host_exchange([](HostExchange& h) {
              h.attach_order = {0, 1, 2};
            }); },
       "invalid host page table"},
      {"command word ends at the page end",
       [] { return with_host_exchange([](HostExchange& h) { h.command_offset = 4096 - 4; }); },
       "valid"},
      {"command word one byte past the page end",
       [] { return with_host_exchange([](HostExchange& h) { h.command_offset = 4096 - 3; }); },
       "invalid host startup protocol"},
      {"command page names no page",
       [] { return with_host_exchange([](HostExchange& h) { h.command_page = 2; }); },
       "invalid host startup protocol"},
      {"command offset near 2^64",
       [] {
         return with_host_exchange([](HostExchange& h) { h.command_offset = 0xFFFFFFFFFFFFFFFE; });
       },
       "invalid host startup protocol"},
      {"without calls the command word is not examined",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.calls.clear();
           h.command_page = 9;
           h.command_offset = 0xFFFFFFFFFFFFFFFE;
         });
       },
       "valid"},
  };
  expect_outcomes(kCases);
}

TEST(Validate, HostCalls) {
  static constexpr ValidateCase kCases[] = {
      {"no invocations",
       [] { return with_host_exchange([](HostExchange& h) { h.calls[0].invocations = 0; }); },
       "host call batched has no invocations"},
      {"input slices without batches",
       [] {
         return with_host_exchange([](HostExchange& h) { h.calls[0].input_batch_ends.clear(); });
       },
       "host call batched input batches cover 0 of 2 slices"},
      {"output boundary past the slices",
       [] {
         return with_host_exchange([](HostExchange& h) { h.calls[0].output_batch_ends = {2}; });
       },
       "host call batched has invalid output batch boundary 2"},
      {"slice ends at the page end",
       [] {
         return with_host_exchange([](HostExchange& h) { h.calls[0].outputs[0].size = 8192; });
       },
       "valid"},
      {"slice one byte past the page end",
       [] {
         return with_host_exchange([](HostExchange& h) { h.calls[0].outputs[0].size = 8193; });
       },
       "host call batched exceeds page bounds"},
      {"slice end beyond 64 bits",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.calls[0].inputs[1].page_offset = 0xFFFFFFFFFFFFFFFF;
           h.calls[0].inputs[1].size = 2;
         });
       },
       "host call batched exceeds page bounds"},
      {"slice on a missing page",
       [] { return with_host_exchange([](HostExchange& h) { h.calls[0].outputs[0].page = 7; }); },
       "host call batched references missing page"},
      {"a second call with the fault, names need not be unique",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.calls.push_back(h.calls[0]);
           h.calls.push_back(h.calls[0]);
           h.calls[2].name = "second";
           h.calls[2].inputs[0].page = 3;
         });
       },
       "host call second references missing page"},
      {"a call with no slices and no batches",
       [] {
         return with_host_exchange([](HostExchange& h) { h.calls.emplace_back().invocations = 1; });
       },
       "valid"},
  };
  expect_outcomes(kCases);
}

// Each case breaks two rules; the one that comes first in the order of the checks is
// the one reported.
TEST(Validate, FirstBrokenRuleWins) {
  static constexpr ValidateCase kCases[] = {
      {"no tiles before config writes",
       [] {
         Application app = full_application();
         app.tiles.clear();
         app.device_config_writes = {{6, 0}};
         return app;
       },
       "application has no tiles"},
      {"config writes before tiles",
       [] {
         Application app = full_application();
         app.device_config_writes = {{6, 0}};
         app.tiles.push_back(app.tiles[0]);
         return app;
       },
       "unaligned or duplicate device configuration write"},
      {"a later bad segment before the overlap of earlier ones",
       [] {
         return with_segments({segment(0x4c000, 8), segment(0x4c000, 8), segment(0x4c010, 0, {1})});
       },
       "invalid segment on tile 7: address=0x4c010 end=0x4c010 memory_size=0 data_size=1"},
      {"overlap on one tile before a bad segment on the next",
       [] {
         Application app = with_segments({segment(0x4c000, 8), segment(0x4c004, 8)});
         app.tiles.push_back(tile(8, {segment(0, 8)}));
         return app;
       },
       "overlapping segments on tile 7: 0x4c000..0x4c008 and 0x4c004..0x4c00c"},
      {"segments before profile plans",
       [] {
         Application app = full_application();
         app.tiles[0].segments[0].memory_size = 2;
         app.profile_tiles[0].physical_tile = 4;
         return app;
       },
       "invalid segment on tile 0: address=0x4c000 end=0x4c002 memory_size=2 data_size=4"},
      {"profile plans before the debug map",
       [] {
         Application app = full_application();
         app.profile_tiles[0].steps[0].local_index = 1;
         app.debug_symbols[0].name.clear();
         return app;
       },
       "invalid tile profile plan"},
      {"debug map before bindings",
       [] {
         Application app = full_application();
         app.debug_regions[0].size = 0;
         app.inputs = {binding("")};
         return app;
       },
       "invalid package debug map"},
      {"a binding's slices before the next binding's name",
       [] {
         Application app = with_input_slice(placed(2, 0x4c000, 4));
         app.weights = {binding("x")};
         return app;
       },
       "binding x references invalid tile memory"},
      {"slice size before address overflow and tile",
       [] { return with_input_slice(placed(2, 0xfffffff0, 0x100000000)); },
       "binding x slice is too large"},
      {"address overflow before tile", [] { return with_input_slice(placed(2, 0xfffffff0, 0x20)); },
       "binding address overflow"},
      {"bindings before the page table",
       [] {
         Application app = full_application();
         app.outputs = {binding("y", {placed(0, 0, 4)})};
         app.host_exchange.attach_order.push_back(5);
         return app;
       },
       "binding y references invalid tile memory"},
      {"page table before command word",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.pages[1].index = 0;
           h.command_page = 1;
         });
       },
       "invalid host page table"},
      {"command word before host calls",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.command_offset = 4096;
           h.calls[0].invocations = 0;
         });
       },
       "invalid host startup protocol"},
      {"invocations before batches",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.calls[0].invocations = 0;
           h.calls[0].input_batch_ends = {0};
         });
       },
       "host call batched has no invocations"},
      {"input batches before output batches",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.calls[0].input_batch_ends = {1};
           h.calls[0].output_batch_ends = {};
         });
       },
       "host call batched input batches cover 1 of 2 slices"},
      {"batches before slices",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.calls[0].output_batch_ends = {1, 1};
           h.calls[0].inputs[0].page = 9;
         });
       },
       "host call batched has invalid output batch boundary 1"},
      {"input slices before output slices",
       [] {
         return with_host_exchange([](HostExchange& h) {
           h.calls[0].outputs[0].page = 9;
           h.calls[0].inputs[1].size = 8192;
         });
       },
       "host call batched exceeds page bounds"},
  };
  expect_outcomes(kCases);
}

struct BatchCase {
  std::string_view name;
  std::string_view call;
  std::string_view direction;
  std::vector<std::uint32_t> ends;
  std::uint64_t slice_count;
  std::string_view expected;
};

TEST(ValidateHostBatchEnds, Boundaries) {
  const BatchCase kCases[] = {
      {"no ends, one input slice",
       "explicit-batches",
       "input",
       {},
       1,
       "host call explicit-batches input batches cover 0 of 1 slices"},
      {"no ends, one output slice",
       "explicit-batches",
       "output",
       {},
       1,
       "host call explicit-batches output batches cover 0 of 1 slices"},
      {"no ends, no slices", "explicit-batches", "input", {}, 0, "valid"},
      {"1, 3 of 3", "batched", "input", {1, 3}, 3, "valid"},
      {"one batch of all", "batched", "input", {3}, 3, "valid"},
      {"one batch per slice", "batched", "input", {1, 2, 3}, 3, "valid"},
      {"first boundary 0",
       "batched",
       "input",
       {0},
       3,
       "host call batched has invalid input batch boundary 0"},
      {"repeated boundary",
       "batched",
       "input",
       {2, 2},
       3,
       "host call batched has invalid input batch boundary 2"},
      {"decreasing boundary",
       "batched",
       "output",
       {2, 1, 3},
       3,
       "host call batched has invalid output batch boundary 1"},
      {"boundary past the slices",
       "batched",
       "input",
       {4},
       3,
       "host call batched has invalid input batch boundary 4"},
      {"last boundary short",
       "batched",
       "input",
       {1, 2},
       3,
       "host call batched input batches cover 2 of 3 slices"},
      {"boundary where there are no slices",
       "batched",
       "output",
       {1},
       0,
       "host call batched has invalid output batch boundary 1"},
      {"largest boundary", "big", "input", {0xFFFFFFFF}, 0xFFFFFFFF, "valid"},
      {"slice count beyond 32 bits",
       "big",
       "input",
       {0xFFFFFFFF},
       0x100000000,
       "host call big input batches cover 4294967295 of 4294967296 slices"},
      {"direction text is used unchanged",
       "",
       "sideways",
       {},
       2,
       "host call  sideways batches cover 0 of 2 slices"},
  };
  for (const BatchCase& c : kCases) {
    SCOPED_TRACE(c.name);
    HostCall call{};
    call.name = c.call;
    EXPECT_EQ(outcome(validate_host_batch_ends(call, c.direction, c.ends, c.slice_count)),
              c.expected);
  }
}

struct SizeCase {
  std::string_view name;
  std::vector<RegionSlice> slices;
  std::uint64_t expected;
};

TEST(BindingSize, LargestSliceEnd) {
  const SizeCase kCases[] = {
      {"no slices", {}, 0},
      {"two adjoining slices", {extent(0, 16), extent(16, 16)}, 32},
      {"later slices lower", {extent(64, 8), extent(0, 16)}, 72},
      {"overlap and gap", {extent(0, 40), extent(100, 1), extent(8, 8)}, 101},
      {"empty slice far out", {extent(0, 4), extent(1000, 0)}, 1000},
      {"saturates", {extent(0xFFFFFFFFFFFFFFFF, 2)}, 0xFFFFFFFFFFFFFFFF},
      {"saturated slice beside a normal one",
       {extent(0xFFFFFFFFFFFFFFF0, 0x20), extent(0, 8)},
       0xFFFFFFFFFFFFFFFF},
      {"largest end without saturation", {extent(0xFFFFFFFFFFFFFFF0, 0xF)}, 0xFFFFFFFFFFFFFFFF},
  };
  for (const SizeCase& c : kCases) {
    SCOPED_TRACE(c.name);
    // dtype and shape never enter into the size.
    const Binding sized{"t", "u32", {2, 3}, c.slices};
    EXPECT_EQ(binding_size(sized), c.expected);
  }
}

}  // namespace
}  // namespace quarn_package
