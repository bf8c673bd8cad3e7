#include "workload.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace quarn_bench {
namespace {

using namespace quarn_package;

constexpr std::uint32_t kWindow = kTileMemorySize;

// Shape of one workload's records.
struct Shape {
  std::uint32_t tiles = 0;
  std::uint32_t segments_per_tile = 0;
  std::uint32_t min_data = 0;  // bytes per segment
  std::uint32_t max_data = 0;
  std::uint32_t bindings = 0;
  std::uint32_t host_calls = 0;
  std::uint32_t steps_per_plan = 0;  // one plan per tile when not 0
};

Shape shape_of(std::string_view name) {
  if (name == "data") return {256, 1, 600 << 10, 600 << 10, 0, 0, 0};
  if (name == "device") return {1200, 8, 4 << 10, 64 << 10, 2000, 64, 200};
  if (name == "records") return {1200, 8, 2, 12, 2000, 64, 200};
  return {};
}

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "quarn_bench: %s\n", what.c_str());
  std::exit(1);
}

// Only the raw output of the engine is used, so every platform sees the same records.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  std::uint64_t below(std::uint64_t n) { return rng_() % n; }
  std::uint32_t u32() { return static_cast<std::uint32_t>(rng_() >> 32); }
  std::uint32_t between(std::uint32_t low, std::uint32_t high) {
    return low + static_cast<std::uint32_t>(below(std::uint64_t{high} - low + 1));
  }
  void fill(std::uint8_t* out, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      const std::uint64_t word = rng_();
      std::memcpy(out + i, &word, 8);
    }
    for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(rng_());
  }

 private:
  std::mt19937_64 rng_;
};

// Segments back to back from the window's base, some with a zeroed tail.
TileImage make_tile(Generator& g, const Shape& s, std::uint32_t id) {
  TileImage tile{.physical_tile = id,
                 .entry_point = kTileMemoryBase,
                 .command_address = kTileMemoryBase + 0x100,
                 .diagnostic_address = kTileMemoryBase + 0x200};
  tile.segments.reserve(s.segments_per_tile);
  std::uint32_t address = kTileMemoryBase;
  for (std::uint32_t k = 0; k < s.segments_per_tile; ++k) {
    const std::uint32_t bytes = g.between(s.min_data, s.max_data);
    const std::uint32_t tail = s.segments_per_tile == 1 ? 0 : 8 * g.between(0, 64);
    Segment segment{.address = address, .memory_size = bytes + tail, .flags = k % 3};
    segment.data.resize(bytes);
    g.fill(segment.data.data(), bytes);
    address += (segment.memory_size + 15) / 16 * 16;
    tile.segments.push_back(std::move(segment));
  }
  return tile;
}

Binding make_binding(Generator& g, const Shape& s, std::string name) {
  static constexpr const char* kTypes[] = {"float16", "float32", "int8", "bfloat16"};
  Binding binding{.name = std::move(name), .dtype = kTypes[g.below(4)]};
  binding.shape = {1, g.between(1, 64), 64, g.between(1, 512)};
  std::uint64_t offset = 0;
  for (int k = 0; k < 4; ++k) {
    const std::uint32_t size = 8 * g.between(8, 512);
    const std::uint32_t address = kTileMemoryBase + 16 * g.between(0, (kWindow - size) / 16);
    binding.slices.push_back({static_cast<std::uint32_t>(g.below(s.tiles)), address, offset, size});
    offset += size;
  }
  return binding;
}

// The cycle counters: one slice per planned tile of (steps + 1) four-byte counters.
Binding make_cycle_binding(const Shape& s) {
  Binding binding{.name = std::string(kProfileCyclesBinding), .dtype = "uint32"};
  const std::uint64_t size = (std::uint64_t{s.steps_per_plan} + 1) * 4;
  binding.shape = {s.tiles, s.steps_per_plan + 1};
  for (std::uint32_t t = 0; t < s.tiles; ++t) {
    binding.slices.push_back({t, kTileMemoryEnd - 0x1000, t * size, size});
  }
  return binding;
}

void add_bindings(Generator& g, const Shape& s, Application& app) {
  // Inputs, outputs and weights in the proportions of a typical network.
  const std::uint32_t inputs = s.bindings * 3 / 10;
  const std::uint32_t outputs = s.bindings * 3 / 10;
  for (std::uint32_t i = 0; i < s.bindings; ++i) {
    auto& list = i < inputs ? app.inputs : i < inputs + outputs ? app.outputs : app.weights;
    const char* kind = &list == &app.inputs ? "input" : &list == &app.outputs ? "output" : "weight";
    list.push_back(make_binding(g, s, std::string(kind) + "/layer" + std::to_string(i)));
  }
  // Last among the outputs, so that finding it sums every earlier output's size.
  if (s.steps_per_plan != 0) app.outputs.push_back(make_cycle_binding(s));
}

HostCall make_host_call(Generator& g, std::uint32_t i, std::uint32_t pages) {
  HostCall call{.name = "host_call." + std::to_string(i),
                .command = 0x100 + i,
                .phases = 1 + i % 4,
                .invocations = 1 + i % 3,
                .input_batch_ends = {2, 4},
                .output_batch_ends = {2}};
  auto slice = [&](std::uint64_t file_offset) {
    const std::uint64_t size = 8 * g.between(8, 1024);
    return HostSlice{static_cast<std::uint32_t>(g.below(pages)), 8 * g.below(1 << 16), file_offset,
                     size};
  };
  for (std::uint64_t k = 0; k < 4; ++k) call.inputs.push_back(slice(k << 13));
  for (std::uint64_t k = 0; k < 2; ++k) call.outputs.push_back(slice(k << 13));
  return call;
}

HostExchange make_host_exchange(Generator& g, const Shape& s) {
  constexpr std::uint32_t kPages = 16;
  HostExchange exchange{.startup_mark = 0x5A5A, .command_page = 0, .command_offset = 64};
  for (std::uint32_t p = 0; p < kPages; ++p) {
    exchange.pages.push_back({p, std::uint64_t{1} << 20});
    exchange.attach_order.push_back(kPages - 1 - p);
  }
  for (std::uint32_t i = 0; i < s.host_calls; ++i) {
    exchange.calls.push_back(make_host_call(g, i, kPages));
  }
  return exchange;
}

ProfileStep make_step(Generator& g, std::uint32_t k) {
  static constexpr const char* kReasons[] = {"OperatorKernel", "Exchange", "Barrier"};
  return ProfileStep{
      .local_index = k,
      .phase = k / 8,
      .epoch = k / 50,
      .operation = "layer" + std::to_string(k % 40) + "/matmul." + std::to_string(k),
      .kind = static_cast<ProfileStepKind>(g.below(4)),
      .kernel = "gemm_f16_" + std::to_string(g.below(8)),
      .metadata = {ProfileMetadata{.name = "reason", .value = kReasons[g.below(3)]}},
      .exchange_event_cycles = g.between(0, 4096),
  };
}

TileProfilePlan make_plan(Generator& g, const Shape& s, std::uint32_t tile) {
  TileProfilePlan plan{.physical_tile = tile};
  plan.steps.reserve(s.steps_per_plan);
  for (std::uint32_t k = 0; k < s.steps_per_plan; ++k) plan.steps.push_back(make_step(g, k));
  return plan;
}

std::uint64_t seed_of(std::string_view name) {
  std::uint64_t seed = 0x9E3779B97F4A7C15ull;
  for (char c : name) seed = seed * 131 + static_cast<unsigned char>(c);
  return seed;
}

}  // namespace

Application make_application(std::string_view name) {
  const Shape s = shape_of(name);
  Generator g(seed_of(name));
  Application app;
  app.compiler_version = "quarn-cc 4.2.1";
  app.tiles.reserve(s.tiles);
  for (std::uint32_t t = 0; t < s.tiles; ++t) app.tiles.push_back(make_tile(g, s, t));
  add_bindings(g, s, app);
  app.host_exchange = make_host_exchange(g, s);
  if (s.host_calls != 0) {
    app.entry_points = {{"main", 1, 0}, {"reset", 2, 1}};
    for (std::uint32_t i = 0; i < 8; ++i) app.device_config_writes.push_back({0x4000 + 4 * i, i});
  }
  if (s.steps_per_plan != 0) {
    app.profile_tiles.reserve(s.tiles);
    for (std::uint32_t t = 0; t < s.tiles; ++t) app.profile_tiles.push_back(make_plan(g, s, t));
  }
  return app;
}

std::vector<std::uint8_t> make_runtime_output(const Application& app) {
  std::uint64_t end = 0;
  for (const Binding& output : app.outputs) end += binding_size(output);
  const Binding* cycles = app.outputs.empty() ? nullptr : &app.outputs.back();
  if (cycles == nullptr || cycles->name != kProfileCyclesBinding) return {};
  std::vector<std::uint8_t> buffer(end);
  Generator g(seed_of("runtime output"));
  const std::uint64_t base = end - binding_size(*cycles);
  g.fill(buffer.data() + base, end - base);
  return buffer;
}

Workload make_workload(std::string_view name) {
  Workload w{.name = std::string(name), .app = make_application(name)};
  if (auto ok = w.app.write(w.package); !ok) die("write failed: " + ok.error().message());
  w.runtime_output = make_runtime_output(w.app);
  if (w.has_profile()) {
    w.counter_bytes = binding_size(w.app.outputs.back());
    auto report = w.app.profile_report(w.runtime_output, kClockHz);
    if (!report) die("profile_report failed: " + report.error().message());
    w.report = std::move(*report);
    if (auto ok = w.report.write(w.report_file); !ok) die("report write failed");
  }
  for (const TileImage& tile : w.app.tiles) {
    auto image = w.app.tile_image(tile.physical_tile);
    if (!image) die("tile_image failed: " + image.error().message());
    w.image_bytes += image->size();
  }
  return w;
}

}  // namespace quarn_bench
