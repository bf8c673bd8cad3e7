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

void expect_header(cs::Application::Reader root) {
  EXPECT_EQ(root.getSchemaVersion(), 5u);
  EXPECT_EQ(to_record(root.getTarget()), "quarn7");
  EXPECT_EQ(root.getTileMemoryBase(), kTileMemoryBase);
  EXPECT_EQ(root.getTileMemorySize(), kTileMemorySize);
}

void expect_header(cs::Profile::Reader root) { EXPECT_EQ(root.getSchemaVersion(), 5u); }

// libcapnp sees our message as the record with its fixed header. With Bytewise::Same,
// libcapnp's own message for the record has exactly our bytes as well.
template <class Record>
void expect_libcapnp_reads(const Record& record, Bytewise bytewise) {
  const Bytes ours = written(record);
  CapnpView view(ours);
  const auto root = view.root<Root<Record>>();
  expect_header(root);
  EXPECT_EQ(to_record(root), record);

  capnp::MallocMessageBuilder reference;
  build(reference, record);
  EXPECT_TRUE(same_bytes(canonical(root), canonical(reference.getRoot<Root<Record>>().asReader())));
  if (bytewise == Bytewise::Same) {
    EXPECT_TRUE(same_bytes(ours, serialize(reference)));
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

// Big data blobs, each opening a segment of its own that it fills, so that no later
// object finds room in an older segment: there both builders make the same choices. Two
// segments also need the segment table's padding word.
TEST(LibcapnpReadsOurs, MultiSegmentPackagesWithLibcapnpBytes) {
  for (std::uint32_t blobs = 1; blobs <= 3; ++blobs) {
    SCOPED_TRACE(std::to_string(blobs) + " blobs");
    Application app = quarn_package::testing::minimal_application();
    app.tiles[0].segments.clear();
    for (std::uint32_t i = 0; i < blobs; ++i) {
      app.tiles[0].segments.push_back(Segment{.address = 0x4C000 + i * 0x10000,
                                              .memory_size = 20000,
                                              .data = std::vector<std::uint8_t>(20000, 7 + i)});
    }
    CapnpView view(written(app));
    EXPECT_EQ(view.segment_count(), blobs + 1);
    expect_libcapnp_reads(app, Bytewise::Same);
  }
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
