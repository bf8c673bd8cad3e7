#include "benchmarks.hpp"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "capnp_peer.hpp"

namespace quarn_bench {
namespace {

using quarn_package::Application;
using quarn_package::ProfileReport;

// Gives every page freed so far back to the system, untimed, so that the iteration that
// follows allocates as a process that has just started does: fresh pages that fault in.
// Without it, glibc would hand a later benchmark the pages an earlier one freed.
void start_fresh(benchmark::State& state) {
  state.PauseTiming();
  malloc_trim(0);
  state.ResumeTiming();
}

// Stops the run with a message instead of timing a failure.
template <class R>
bool ok(benchmark::State& state, const R& result) {
  if (result) return true;
  state.SkipWithError(result.error().message().c_str());
  return false;
}

void package_write(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    start_fresh(state);
    std::vector<std::uint8_t> out;
    out.reserve(w.package.size());
    if (!ok(state, w.app.write(out))) break;
    benchmark::DoNotOptimize(out.data());
  }
}

void package_read(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    start_fresh(state);
    auto app = Application::read(w.package);
    if (!ok(state, app)) break;
    benchmark::DoNotOptimize(app->tiles.data());
  }
}

void validate(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    if (!ok(state, w.app.validate())) break;
  }
}

// Every image is kept until all are built, so each one is built in fresh memory: freeing
// one before building the next would hand the next the same pages, or not, depending on
// what the allocator holds from earlier benchmarks.
void tile_images(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    start_fresh(state);
    std::vector<std::vector<std::uint8_t>> images;
    images.reserve(w.app.tiles.size());
    for (const auto& tile : w.app.tiles) {
      auto image = w.app.tile_image(tile.physical_tile);
      if (!ok(state, image)) return;
      images.push_back(std::move(*image));
    }
    benchmark::DoNotOptimize(images.data());
  }
}

void report_write(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    start_fresh(state);
    std::vector<std::uint8_t> out;
    out.reserve(w.report_file.size());
    if (!ok(state, w.report.write(out))) break;
    benchmark::DoNotOptimize(out.data());
  }
}

void report_read(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    start_fresh(state);
    auto report = ProfileReport::read(w.report_file);
    if (!ok(state, report)) break;
    benchmark::DoNotOptimize(report->tiles.data());
  }
}

void profile_report(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    start_fresh(state);
    auto report = w.app.profile_report(w.runtime_output, kClockHz);
    if (!ok(state, report)) break;
    benchmark::DoNotOptimize(report->tiles.data());
  }
}

void capnp_write_op(benchmark::State& state, const Workload& w) {
  for (auto _ : state) {
    start_fresh(state);
    auto out = capnp_write(w.app);
    benchmark::DoNotOptimize(out.data());
  }
}

void capnp_read_op(benchmark::State& state, std::span<const std::uint8_t> message) {
  for (auto _ : state) {
    start_fresh(state);
    auto app = capnp_read(message);
    benchmark::DoNotOptimize(app.tiles.data());
  }
}

template <class Records>
void copy_records(benchmark::State& state, const Records* records) {
  for (auto _ : state) {
    start_fresh(state);
    Records copy = *records;
    benchmark::DoNotOptimize(&copy);
  }
}

// The floor: new[] leaves the memory untouched, so the copy pays for its page faults.
void memcpy_fresh(benchmark::State& state, std::span<const std::uint8_t> bytes) {
  for (auto _ : state) {
    start_fresh(state);
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[bytes.size()]);
    std::memcpy(out.get(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(out.get());
    benchmark::ClobberMemory();
  }
}

void memcpy_warm(benchmark::State& state, std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> out(bytes.size());
  for (auto _ : state) {
    std::memcpy(out.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

std::span<const std::uint8_t> counters(const Workload& w) {
  return std::span(w.runtime_output).last(w.counter_bytes);
}

bool is_profile_op(Op op) {
  return op == Op::ReportWrite || op == Op::ReportRead || op == Op::ProfileReport ||
         op == Op::MemcpyReport || op == Op::MemcpyCounters || op == Op::CopyReport;
}

using Body = std::function<void(benchmark::State&)>;

// Registers `body` as "<workload>/<operation>"; the console shows its bytes per second.
void add(const Workload& w, Op op, Body body) {
  const std::string name = w.name + "/" + std::string(op_name(op));
  const auto bytes = static_cast<std::int64_t>(op_bytes(w, op));
  benchmark::RegisterBenchmark(name.c_str(), [body, bytes](benchmark::State& state) {
    body(state);
    state.SetBytesProcessed(state.iterations() * bytes);
  })->Unit(benchmark::kMillisecond);
}

}  // namespace

std::string_view op_name(Op op) {
  switch (op) {
    case Op::Write:
      return "write";
    case Op::Read:
      return "read";
    case Op::Validate:
      return "validate";
    case Op::TileImages:
      return "tile_image";
    case Op::ReportWrite:
      return "report_write";
    case Op::ReportRead:
      return "report_read";
    case Op::ProfileReport:
      return "profile_report";
    case Op::CapnpWrite:
      return "capnp_write";
    case Op::CapnpRead:
      return "capnp_read";
    case Op::MemcpyFresh:
      return "memcpy_fresh";
    case Op::MemcpyWarm:
      return "memcpy_warm";
    case Op::MemcpyReport:
      return "memcpy_report";
    case Op::MemcpyCounters:
      return "memcpy_counters";
    case Op::CopyRecords:
      return "copy_records";
    case Op::CopyReport:
      return "copy_report";
  }
  return "?";
}

std::uint64_t op_bytes(const Workload& w, Op op) {
  switch (op) {
    case Op::TileImages:
      return w.image_bytes;
    case Op::ReportWrite:
    case Op::ReportRead:
    case Op::MemcpyReport:
    case Op::CopyReport:
      return w.report_file.size();
    case Op::ProfileReport:
    case Op::MemcpyCounters:
      return w.counter_bytes;
    default:
      return w.package.size();
  }
}

void register_benchmarks(const Workload& w, std::span<const std::uint8_t> capnp_message) {
  const Workload* p = &w;
  auto on_workload = [p](void (*fn)(benchmark::State&, const Workload&)) -> Body {
    return [p, fn](benchmark::State& s) { fn(s, *p); };
  };
  auto on_bytes = [](void (*fn)(benchmark::State&, std::span<const std::uint8_t>),
                     std::span<const std::uint8_t> bytes) -> Body {
    return [fn, bytes](benchmark::State& s) { fn(s, bytes); };
  };
  const std::pair<Op, Body> ops[] = {
      {Op::Write, on_workload(package_write)},
      {Op::Read, on_workload(package_read)},
      {Op::Validate, on_workload(validate)},
      {Op::TileImages, on_workload(tile_images)},
      {Op::ReportWrite, on_workload(report_write)},
      {Op::ReportRead, on_workload(report_read)},
      {Op::ProfileReport, on_workload(profile_report)},
      {Op::CapnpWrite, on_workload(capnp_write_op)},
      {Op::CapnpRead, on_bytes(capnp_read_op, capnp_message)},
      {Op::MemcpyFresh, on_bytes(memcpy_fresh, w.package)},
      {Op::MemcpyWarm, on_bytes(memcpy_warm, w.package)},
      {Op::MemcpyReport, on_bytes(memcpy_fresh, w.report_file)},
      {Op::MemcpyCounters, on_bytes(memcpy_fresh, counters(w))},
      {Op::CopyRecords, [p](benchmark::State& s) { copy_records(s, &p->app); }},
      {Op::CopyReport, [p](benchmark::State& s) { copy_records(s, &p->report); }},
  };
  for (const auto& [op, body] : ops) {
    if (is_profile_op(op) && !w.has_profile()) continue;
    add(w, op, body);
  }
}

}  // namespace quarn_bench
