// Application::profile_report with both halves chosen by the fuzzer: a small
// application's output bindings and profile plans, and the runtime output buffer (the
// bytes left over). A success is checked against the counters read back independently.
#include <fuzzer/FuzzedDataProvider.h>
#include <quarn_package/package.hpp>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_support.hpp"

using namespace quarn_package;

namespace {

constexpr std::uint32_t kTiles = 4;  // small tile numbers, so plans and slices meet

// Mostly small numbers, sometimes anything: small ones make slices that fit the buffer.
std::uint64_t number(FuzzedDataProvider& in, std::uint64_t small) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint64_t>(0, small)
                          : in.ConsumeIntegral<std::uint64_t>();
}

Binding output(FuzzedDataProvider& in, std::size_t i) {
  Binding b{.name = in.ConsumeIntegralInRange(0, 3) == 0 ? "out" + std::to_string(i)
                                                         : std::string(kProfileCyclesBinding)};
  const auto slices = in.ConsumeIntegralInRange<std::size_t>(0, 4);
  for (std::size_t k = 0; k < slices; ++k) {
    b.slices.push_back({in.ConsumeIntegralInRange<std::uint32_t>(0, kTiles),
                        in.ConsumeIntegral<std::uint32_t>(), number(in, 64), number(in, 72)});
  }
  return b;
}

Application application(FuzzedDataProvider& in) {
  Application app;
  const auto outputs = in.ConsumeIntegralInRange<std::size_t>(0, 3);
  for (std::size_t i = 0; i < outputs; ++i) app.outputs.push_back(output(in, i));
  const auto plans = in.ConsumeIntegralInRange<std::size_t>(0, kTiles);
  for (std::size_t i = 0; i < plans; ++i) {
    TileProfilePlan plan{.physical_tile = in.ConsumeIntegralInRange<std::uint32_t>(0, kTiles)};
    plan.steps.resize(in.ConsumeIntegralInRange<std::size_t>(0, 16));
    for (std::size_t k = 0; k < plan.steps.size(); ++k) {
      plan.steps[k].local_index = static_cast<std::uint32_t>(k);
    }
    app.profile_tiles.push_back(std::move(plan));
  }
  return app;
}

std::uint32_t counter(const std::vector<std::uint8_t>& buffer, std::uint64_t at) {
  std::uint32_t v;
  std::memcpy(&v, buffer.data() + at, 4);
  return v;
}

// The report's counters against the buffer: the plan's tile's last slice in the first
// cycle binding, which begins after the sizes of the outputs before it.
void check(const Application& app, const std::vector<std::uint8_t>& buffer,
           const ProfileReport& report, std::uint64_t clock_hz) {
  QF_CHECK(report.clock_hz == clock_hz);
  QF_CHECK(report.tiles.size() == app.profile_tiles.size());
  std::uint64_t base = 0;
  const Binding* cycles = nullptr;
  for (const Binding& b : app.outputs) {
    if (b.name == kProfileCyclesBinding) {
      cycles = &b;
      break;
    }
    base += binding_size(b);
  }
  QF_CHECK(cycles != nullptr);
  for (std::size_t t = 0; t < report.tiles.size(); ++t) {
    const TileProfilePlan& plan = app.profile_tiles[t];
    const TileProfile& tile = report.tiles[t];
    QF_CHECK(tile.physical_tile == plan.physical_tile);
    QF_CHECK(tile.samples.size() == plan.steps.size());
    const RegionSlice* slice = nullptr;
    for (const RegionSlice& s : cycles->slices) {
      if (s.tile == plan.physical_tile) slice = &s;
    }
    QF_CHECK(slice != nullptr && slice->size == 4 * (plan.steps.size() + 1));
    const std::uint64_t start = base + slice->file_offset;
    QF_CHECK(start + slice->size <= buffer.size());
    for (std::size_t k = 0; k < tile.samples.size(); ++k) {
      QF_CHECK(tile.samples[k].step == plan.steps[k]);
      QF_CHECK(tile.samples[k].start_cycle == counter(buffer, start + 4 * k));
      QF_CHECK(tile.samples[k].end_cycle == counter(buffer, start + 4 * k + 4));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Application app = application(in);
  const auto clock_hz = in.ConsumeIntegral<std::uint64_t>();
  const std::vector<std::uint8_t> buffer = in.ConsumeRemainingBytes<std::uint8_t>();
  const auto report = app.profile_report(buffer, clock_hz);
  if (!report) {
    QF_CHECK(report.error().kind() == PackageError::Kind::Invalid);
    return 0;
  }
  check(app, buffer, *report, clock_hz);
  return 0;
}
