// Records as plain values: defaults, equality, deep copies and the debug text form;
// PackageError's texts; the logger's sink and level handling.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "support/examples.hpp"
#include "support/log_capture.hpp"

namespace quarn_package {
namespace {

template <class T>
std::string text(const T& value) {
  std::ostringstream os;
  os << value;
  return os.str();
}

TEST(Records, ApplicationDefault) {
  const Application app;
  EXPECT_EQ(app.compiler_version, "0.1.0");
  EXPECT_TRUE(app.tiles.empty() && app.inputs.empty() && app.outputs.empty() &&
              app.weights.empty() && app.entry_points.empty() && app.device_config_writes.empty() &&
              app.profile_tiles.empty() && app.debug_symbols.empty() && app.debug_regions.empty());
  EXPECT_EQ(app.host_exchange, (HostExchange{0, 0, 0, {}, {}, {}}));
  EXPECT_EQ(app.validate().error(), PackageError::invalid("application has no tiles"));
}

TEST(Records, EqualityComparesEveryFieldInOrder) {
  const Application base = testing::full_application();
  std::vector<Application> different(6, base);
  different[0].compiler_version = "0.1.1";
  different[1].host_exchange.pages = {{1, 8192}, {0, 4096}};  // swapped order
  different[2].tiles[0].segments[0].data.push_back(0);
  different[3].profile_tiles[0].steps[0].exchange_activities[1].kind = ExchangeActivityKind::Send;
  different[4].debug_regions[0].name += " ";
  different[5].host_exchange.calls[0].invocations = 0;  // held and compared, not refused
  for (std::size_t i = 0; i < different.size(); ++i) EXPECT_NE(different[i], base) << i;
  EXPECT_EQ(testing::full_application(), base);
}

TEST(Records, CopiesAreDeep) {
  const Application original = testing::full_application();
  Application copy = original;
  EXPECT_EQ(copy, original);
  copy.tiles[0].segments[0].data[0] = 0xFF;
  copy.profile_tiles[0].steps[0].metadata[0].value = "changed";
  EXPECT_EQ(original.tiles[0].segments[0].data[0], 1);
  EXPECT_EQ(original.profile_tiles[0].steps[0].metadata[0].value, "OperatorKernel");
  EXPECT_NE(copy, original);
}

TEST(Records, EnumerationsHaveTheirNumbers) {
  EXPECT_EQ(static_cast<int>(ProfileStepKind::Exchange), 0);
  EXPECT_EQ(static_cast<int>(ProfileStepKind::Idle), 3);
  EXPECT_EQ(static_cast<int>(ExchangeActivityKind::PartnerBusy), 2);
  EXPECT_NE(ProfileStepKind::Compute, ProfileStepKind::Synchronization);
}

TEST(Records, DebugTextNamesEveryFieldInOrder) {
  const Application app = testing::minimal_application();
  EXPECT_EQ(text(app.tiles[0].segments[0]),
            "Segment{address: 311296, memory_size: 8, data: [1, 2, 3, 4], flags: 5}");
  EXPECT_EQ(text(app.tiles[0]),
            "TileImage{physical_tile: 0, entry_point: 311296, command_address: 311552, "
            "diagnostic_address: 311808, segments: [Segment{address: 311296, memory_size: 8, "
            "data: [1, 2, 3, 4], flags: 5}]}");
  EXPECT_EQ(text(ProfileStepKind::Idle), "ProfileStepKind::Idle");
  EXPECT_EQ(text(ProfileMetadata{"a\"b", "\n"}), R"(ProfileMetadata{name: "a\"b", value: "\x0a"})");
  EXPECT_EQ(text(testing::full_application()).rfind("Application{compiler_version: \"0.1.0\"", 0),
            0u);
}

TEST(Records, PackageErrorTexts) {
  const PackageError invalid = PackageError::invalid("application has no tiles");
  EXPECT_EQ(invalid.kind(), PackageError::Kind::Invalid);
  EXPECT_EQ(invalid.message(), "application has no tiles");
  EXPECT_EQ(text(invalid), "Invalid(\"application has no tiles\")");
  EXPECT_EQ(text(PackageError::schema_enum(4)), "SchemaEnum(4)");
  EXPECT_EQ(text(PackageError::utf8(3, std::nullopt)), "Utf8(valid_up_to: 3, error_len: none)");
  const PackageError capnp = PackageError::capnp(CapnpErrorKind::Truncated, "input ends");
  EXPECT_EQ(capnp.kind(), PackageError::Kind::Capnp);
  EXPECT_EQ(text(capnp), "Capnp(Truncated: \"input ends\")");
  EXPECT_NE(capnp.message().find("input ends"), std::string::npos);
  EXPECT_NE(capnp, PackageError::capnp(CapnpErrorKind::Truncated, "other"));
}

TEST(Logger, NoSinkNoEventAndLevelsAboveTheMaximumAreDropped) {
  const Application app = testing::minimal_application();
  {
    testing::LogCapture info(log::Level::Info);
    ASSERT_TRUE(app.tile_image(0));  // a trace event: not delivered at Info
    EXPECT_TRUE(info.events().empty());
  }
  ASSERT_TRUE(app.tile_image(0));  // no sink at all: nothing to observe, nothing breaks
  testing::LogCapture trace(log::Level::Trace);
  ASSERT_TRUE(app.tile_image(0));
  ASSERT_EQ(trace.events().size(), 1u);
  EXPECT_EQ(trace.events()[0].text("load_base"), "0x4c000");
}

TEST(Logger, SinkCanBeReplacedWhileOtherThreadsEmit) {
  const Application app = testing::minimal_application();
  std::atomic<bool> stop{false};
  std::atomic<int> delivered{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < 3; ++t) {
    writers.emplace_back([&] {
      std::vector<std::uint8_t> bytes;
      while (!stop) {
        bytes.clear();
        EXPECT_TRUE(app.write(bytes));
      }
    });
  }
  for (int i = 0; i < 200; ++i) {
    log::set_sink([&delivered](const log::Event&) { ++delivered; });
    log::set_sink({});
  }
  log::set_sink([&delivered](const log::Event&) { ++delivered; });
  while (delivered < 10) std::this_thread::yield();
  stop = true;
  for (auto& w : writers) w.join();
  log::set_sink({});
}

}  // namespace
}  // namespace quarn_package
