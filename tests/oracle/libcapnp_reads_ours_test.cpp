// What our writers produce, read by libcapnp: the same field values, the same canonical
// form as libcapnp's own message for the record and, where libcapnp's allocation makes
// the same choices as ours, the same bytes.
#include <gtest/gtest.h>

#include <capnp/message.h>

#include <cstdint>
#include <string>

#include "oracle_support.hpp"
#include "support/examples.hpp"
#include "support/generator.hpp"

namespace quarn_package::oracle {
namespace {

using quarn_package::testing::Generator;
using quarn_package::testing::GeneratorSizes;

constexpr std::uint64_t kRandomCases = 300;

// Large packages: big segment data, or thousands of small texts; each needs several
// message segments.
constexpr GeneratorSizes kLargeData{.max_tiles = 3, .max_segments = 3, .max_data_bytes = 60000};
constexpr GeneratorSizes kManyTexts{.max_list = 4, .max_text = 3, .extra_debug_symbols = 3000};
constexpr GeneratorSizes kManySamples{.max_list = 60, .max_text = 3};

enum class Bytewise { Same, ValuesOnly };

// libcapnp sees our package as the record with the fixed header. With Bytewise::Same,
// libcapnp's own message for the record has exactly our bytes as well.
void expect_libcapnp_reads(const Application& app, Bytewise bytewise) {
  const Bytes ours = written(app);
  CapnpView view(ours);
  const cs::Application::Reader root = view.root<cs::Application>();
  EXPECT_EQ(root.getSchemaVersion(), 5u);
  EXPECT_EQ(to_record(root.getTarget()), "quarn7");
  EXPECT_EQ(root.getTileMemoryBase(), kTileMemoryBase);
  EXPECT_EQ(root.getTileMemorySize(), kTileMemorySize);
  EXPECT_EQ(to_record(root), app);

  capnp::MallocMessageBuilder reference;
  build<cs::Application>(reference, app);
  EXPECT_TRUE(
      same_bytes(canonical(root), canonical(reference.getRoot<cs::Application>().asReader())));
  if (bytewise == Bytewise::Same) {
    EXPECT_TRUE(same_bytes(ours, serialize(reference)));
  }
}

void expect_libcapnp_reads(const ProfileReport& report, Bytewise bytewise) {
  const Bytes ours = written(report);
  CapnpView view(ours);
  const cs::Profile::Reader root = view.root<cs::Profile>();
  EXPECT_EQ(root.getSchemaVersion(), 5u);
  EXPECT_EQ(to_record(root), report);

  capnp::MallocMessageBuilder reference;
  build<cs::Profile>(reference, report);
  EXPECT_TRUE(same_bytes(canonical(root), canonical(reference.getRoot<cs::Profile>().asReader())));
  if (bytewise == Bytewise::Same) {
    EXPECT_TRUE(same_bytes(ours, serialize(reference)));
  } else {
    std::cerr << "DBG segs " << view.segment_count() << " lib " << segment_count(reference)
              << " same " << bool(same_bytes(ours, serialize(reference))) << "\n";
  }
}

TEST(LibcapnpReadsOurs, WorkedExamples) {
  expect_libcapnp_reads(quarn_package::testing::minimal_application(), Bytewise::Same);
  expect_libcapnp_reads(quarn_package::testing::full_application(), Bytewise::Same);
  expect_libcapnp_reads(quarn_package::testing::worked_report(), Bytewise::Same);
}

// Small records fit one segment, where the two builders must agree byte for byte.
TEST(LibcapnpReadsOurs, RandomApplications) {
  for (std::uint64_t seed = 0; seed < kRandomCases; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Application app = Generator(seed).application();
    ASSERT_TRUE(app.validate().has_value()) << app.validate().error();
    CapnpView view(written(app));
    ASSERT_EQ(view.segment_count(), 1u);
    expect_libcapnp_reads(app, Bytewise::Same);
  }
}

TEST(LibcapnpReadsOurs, RandomReports) {
  for (std::uint64_t seed = 0; seed < kRandomCases; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const ProfileReport report = Generator(seed).report();
    CapnpView view(written(report));
    ASSERT_EQ(view.segment_count(), 1u);
    expect_libcapnp_reads(report, Bytewise::Same);
  }
}

// Once a message spills out of its first segment, libcapnp only ever tries its newest
// segment for an object that does not fit beside its pointer, while our writer tries
// every segment in order; so bytes are compared only where that makes no difference.
TEST(LibcapnpReadsOurs, LargeApplications) {
  for (std::uint64_t seed = 0; seed < 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (const GeneratorSizes& sizes : {kLargeData, kManyTexts}) {
      const Application app = Generator(seed, sizes).application();
      CapnpView view(written(app));
      EXPECT_GT(view.segment_count(), 1u);
      expect_libcapnp_reads(app, Bytewise::ValuesOnly);
    }
  }
}

// Two big data blobs: the first opens segment 1 and fills it, the second finds no room in
// any existing segment and opens segment 2, in both builders alike.
TEST(LibcapnpReadsOurs, MultiSegmentPackageHasLibcapnpBytes) {
  Application app = quarn_package::testing::minimal_application();
  app.tiles[0].segments = {
      Segment{
          .address = 0x4C000, .memory_size = 20000, .data = std::vector<std::uint8_t>(20000, 7)},
      Segment{
          .address = 0x60000, .memory_size = 20000, .data = std::vector<std::uint8_t>(20000, 9)},
  };
  CapnpView view(written(app));
  EXPECT_EQ(view.segment_count(), 3u);
  expect_libcapnp_reads(app, Bytewise::Same);
}

TEST(LibcapnpReadsOurs, LargeReports) {
  for (std::uint64_t seed = 0; seed < 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator generator(seed, kManySamples);
    ProfileReport report = generator.report();
    for (int more = 0; more < 3; ++more) {
      ProfileReport extra = generator.report();
      for (TileProfile& tile : extra.tiles) report.tiles.push_back(std::move(tile));
    }
    CapnpView view(written(report));
    EXPECT_GT(view.segment_count(), 1u);
    expect_libcapnp_reads(report, Bytewise::ValuesOnly);
  }
}

}  // namespace
}  // namespace quarn_package::oracle
