// Profile report files: round trips, the bytes of the worked report, the versions a
// reader accepts, and null pointers reading as defaults.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "support/examples.hpp"
#include "support/words.hpp"

namespace quarn_package {
namespace {

using ::testing::ElementsAre;
using testing::FramedMessage;

std::vector<std::uint8_t> written(const ProfileReport& report) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(report.write(bytes));
  return bytes;
}

// Byte offset in `bytes` of word `word` of segment 0 (single-segment messages).
std::size_t at_word(std::size_t word) { return 8 + word * 8; }

TEST(ProfileFile, WorkedReportRoundTripsWithItsDocumentedBytes) {
  const ProfileReport report = testing::worked_report();
  const auto bytes = written(report);
  EXPECT_EQ(ProfileReport::read(bytes), report);

  const FramedMessage m(bytes);
  EXPECT_THAT(m.struct_data(0, 0), ElementsAre(0x05, 0, 0, 0, 0, 0, 0, 0,  // version, padding
                                               0x00, 0x2F, 0x68, 0x59, 0, 0, 0, 0));  // clock
  const auto tiles = m.follow(0, 3);  // root: pointer word, two data words, then tiles
  EXPECT_EQ(m.word(0, tiles.word), testing::tag_word(1, 1, 1));
  EXPECT_EQ(m.word(0, tiles.word + 1), 0x11u);  // physical_tile 17, padding
}

TEST(ProfileFile, EdgeReportsRoundTrip) {
  const ProfileReport cases[] = {
      {.clock_hz = 0},
      {.clock_hz = 1500000000, .tiles = {}},
      {.clock_hz = ~0ull, .tiles = {TileProfile{.physical_tile = 3}, TileProfile{}}},
  };
  for (const ProfileReport& report : cases) {
    SCOPED_TRACE(::testing::PrintToString(report));
    EXPECT_EQ(ProfileReport::read(written(report)), report);
    std::stringstream stream;
    ASSERT_TRUE(report.write(stream));
    EXPECT_EQ(ProfileReport::read(stream), report);
  }
}

TEST(ProfileFile, VersionsOneToFiveReadAlikeOthersAreRefused) {
  const ProfileReport report = testing::worked_report();
  auto bytes = written(report);
  const std::size_t version = at_word(1);
  for (std::uint8_t v : {1, 2, 3, 4, 5}) {
    bytes[version] = v;
    EXPECT_EQ(ProfileReport::read(bytes), report) << int{v};
  }
  for (std::uint8_t v : {0, 6, 255}) {
    bytes[version] = v;
    EXPECT_EQ(ProfileReport::read(bytes).error(),
              PackageError::invalid("unsupported profile schema version " + std::to_string(v)));
  }
  std::memset(bytes.data() + at_word(0), 0, 8);  // null root
  EXPECT_EQ(ProfileReport::read(bytes).error(),
            PackageError::invalid("unsupported profile schema version 0"));
}

TEST(ProfileFile, TruncatedInputIsCapnpAndTrailingBytesAreIgnored) {
  auto bytes = written(testing::worked_report());
  for (std::size_t n :
       {std::size_t{0}, std::size_t{7}, std::size_t{8}, bytes.size() / 2, bytes.size() - 1}) {
    const auto result = ProfileReport::read(std::span(bytes).first(n));
    ASSERT_FALSE(result) << n;
    EXPECT_EQ(result.error().kind(), PackageError::Kind::Capnp) << n;
  }
  bytes.insert(bytes.end(), 13, 0xAB);
  EXPECT_EQ(ProfileReport::read(bytes), testing::worked_report());
}

TEST(ProfileFile, NullPointersReadAsDefaults) {
  ProfileReport report = testing::worked_report();
  auto bytes = written(report);
  const FramedMessage m(bytes);
  const auto tiles = m.follow(0, 3);
  const std::size_t samples_pointer = tiles.word + 2;  // tile 0: one data word, then samples
  const auto samples = m.follow(0, samples_pointer);
  const std::size_t step_pointer = samples.word + 1 + 1;  // sample 0: one data word, then step

  auto null_step = bytes;
  std::memset(null_step.data() + at_word(step_pointer), 0, 8);
  ProfileReport expected = report;
  expected.tiles[0].samples[0].step = ProfileStep{};
  EXPECT_EQ(ProfileReport::read(null_step), expected);

  auto null_samples = bytes;
  std::memset(null_samples.data() + at_word(samples_pointer), 0, 8);
  expected.tiles[0].samples.clear();
  EXPECT_EQ(ProfileReport::read(null_samples), expected);

  auto null_tiles = bytes;
  std::memset(null_tiles.data() + at_word(3), 0, 8);
  EXPECT_EQ(ProfileReport::read(null_tiles), (ProfileReport{.clock_hz = report.clock_hz}));
}

TEST(ProfileFile, StepFaultsComeFromTheSharedStepDecoder) {
  ProfileReport report = testing::worked_report();
  report.tiles[0].samples[1].step.kernel = "gemm\xC3";
  EXPECT_EQ(ProfileReport::read(written(report)).error(), PackageError::utf8(4, std::nullopt));
  report = testing::worked_report();
  report.tiles[0].samples[3].step.kind = static_cast<ProfileStepKind>(9);
  EXPECT_EQ(ProfileReport::read(written(report)).error(), PackageError::schema_enum(9));
}

}  // namespace
}  // namespace quarn_package
