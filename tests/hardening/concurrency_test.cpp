// Several threads use one shared application at once (write, read back, validate, tile
// images, profile reports and profile files) while another thread keeps installing and
// replacing the log sink. Run under the tsan preset this shows the library is free of
// data races on shared read-only records and in the logger.
#include <gtest/gtest.h>
#include <quarn_package/package.hpp>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "support/examples.hpp"

namespace quarn_package::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The full example with a cycle counter output for its one planned tile, so that every
// operation has something to do.
Application profiled_application() {
  Application app = full_application();
  app.outputs.push_back(Binding{
      .name = std::string(kProfileCyclesBinding),
      .dtype = "u32",
      .shape = {2},
      .slices = {RegionSlice{.tile = 0, .tile_address = 0x4C000, .file_offset = 0, .size = 8}},
  });
  return app;
}

// What every thread must see, computed once before they start.
struct Expected {
  Bytes package;
  std::vector<std::uint8_t> image;
  Bytes runtime_output = {1, 0, 0, 0, 2, 0, 0, 0};
  ProfileReport report;
  Bytes profile_file;
};

// One round of every operation on the shared application; false on any difference.
bool one_round(const Application& app, const Expected& expected) {
  Bytes package;
  if (!app.write(package) || package != expected.package) return false;
  const auto read = Application::read(package);
  if (!read || *read != app || !app.validate()) return false;
  std::stringstream stream;
  if (!app.write(stream)) return false;
  const auto streamed = Application::read(stream);
  if (!streamed || *streamed != app) return false;
  const auto image = app.tile_image(0);
  if (!image || *image != expected.image) return false;
  const auto report = app.profile_report(expected.runtime_output, 1000);
  if (!report || *report != expected.report) return false;
  Bytes profile_file;
  if (!report->write(profile_file) || profile_file != expected.profile_file) return false;
  const auto report_read = ProfileReport::read(profile_file);
  return report_read && *report_read == expected.report;
}

TEST(Concurrency, SharedApplicationWhileTheLogSinkIsReplaced) {
  const Application app = profiled_application();
  Expected expected;
  ASSERT_TRUE(app.write(expected.package));
  expected.image = *app.tile_image(0);
  expected.report = *app.profile_report(expected.runtime_output, 1000);
  ASSERT_TRUE(expected.report.write(expected.profile_file));

  constexpr int kWorkers = 4;
  constexpr int kRounds = 40;
  std::atomic<int> failures{0};
  std::atomic<bool> done{false};
  std::atomic<std::uint64_t> events{0};

  // Sinks come and go, at several levels, also empty, while the workers emit events.
  log::set_sink([&events](const log::Event&) { events.fetch_add(1); });
  std::thread logger([&] {
    const log::Level levels[] = {log::Level::Info, log::Level::Trace, log::Level::Error};
    for (int i = 0; !done.load(); ++i) {
      if (i % 4 == 3) {
        log::set_sink({});
      } else {
        log::set_sink(
            [&events](const log::Event& e) {
              // Touch what the event's views point at, so a race on them would show.
              std::uint64_t seen = e.message.size() + e.target.size();
              for (const log::Field& f : e.fields) seen += f.name.size();
              events.fetch_add(seen == 0 ? 0 : 1, std::memory_order_relaxed);
            },
            levels[i % 3]);
      }
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&] {
      for (int r = 0; r < kRounds; ++r) {
        if (!one_round(app, expected)) failures.fetch_add(1);
      }
    });
  }
  for (std::thread& t : workers) t.join();
  done = true;
  logger.join();
  log::set_sink({});

  // How many events the sinks saw depends on the interleaving; that they saw them
  // without a race is what the tsan preset checks.
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace quarn_package::testing
