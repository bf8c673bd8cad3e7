// Messages built by libcapnp, read by our readers: the record libcapnp itself reads from
// the same bytes, whatever segmentation and pointer shapes the message uses.
#include <gtest/gtest.h>

#include <capnp/message.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "oracle_support.hpp"
#include "support/examples.hpp"
#include "support/generator.hpp"

namespace quarn_package::oracle {
namespace {

using quarn_package::testing::Generator;
using quarn_package::testing::GeneratorSizes;

constexpr std::uint64_t kRandomCases = 300;
// libcapnp's own stream reader refuses messages of 512 segments or more.
constexpr std::size_t kLibcapnpSegmentLimit = 512;

// Our readers, from a span and from a stream, give exactly what libcapnp reads from
// `bytes`, and that is `expected`.
template <class Record>
void expect_we_read(const Bytes& bytes, const Record& expected) {
  CapnpView view(bytes);
  const Record theirs = to_record(view.root<Root<Record>>());
  const Result<Record> ours = Record::read(bytes);
  ASSERT_TRUE(ours.has_value()) << ours.error();
  EXPECT_EQ(*ours, theirs);
  EXPECT_EQ(*ours, expected);
  std::istringstream stream(std::string(bytes.begin(), bytes.end()));
  const Result<Record> streamed = Record::read(stream);
  ASSERT_TRUE(streamed.has_value()) << streamed.error();
  EXPECT_EQ(*streamed, theirs);
}

// Built with a first segment of 1 to 16 words and no growth, nearly every object lies
// in a segment of its own behind a far pointer; the root pointer too when it has the
// first segment to itself. Gives the number of segments.
template <class Record>
std::size_t expect_we_read_tiny_segments(const Record& record, std::uint64_t seed) {
  const unsigned first_words = 1 + static_cast<unsigned>(seed % 16);
  SCOPED_TRACE("first segment of " + std::to_string(first_words) + " words");
  const Bytes bytes = libcapnp_bytes(record, first_words, capnp::AllocationStrategy::FIXED_SIZE);
  const std::size_t segments = CapnpView(bytes).segment_count();
  EXPECT_LT(segments, kLibcapnpSegmentLimit);
  expect_we_read(bytes, record);
  return segments;
}

// A one-segment libcapnp message with every pointer, then every third one, turned into a
// double-far pointer.
template <class Record>
void expect_we_read_double_far(const Record& record) {
  const Bytes bytes = libcapnp_bytes(record);
  ASSERT_EQ(CapnpView(bytes).segment_count(), 1u);
  for (std::size_t stride : {1, 3}) {
    SCOPED_TRACE("every " + std::to_string(stride) + " pointer double-far");
    expect_we_read(with_double_far_pointers(bytes, stride), record);
  }
}

TEST(OursReadsLibcapnp, WorkedExamples) {
  const Application full = quarn_package::testing::full_application();
  const ProfileReport report = quarn_package::testing::worked_report();
  expect_we_read(libcapnp_bytes(full), full);
  expect_we_read(libcapnp_bytes(report), report);
  for (std::uint64_t seed = 0; seed < 16; ++seed) {
    EXPECT_GT(expect_we_read_tiny_segments(full, seed), 1u);
    EXPECT_GT(expect_we_read_tiny_segments(report, seed), 1u);
  }
  expect_we_read_double_far(full);
  expect_we_read_double_far(report);
}

TEST(OursReadsLibcapnp, RandomApplicationsInTinySegments) {
  for (std::uint64_t seed = 0; seed < kRandomCases; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    EXPECT_GT(expect_we_read_tiny_segments(Generator(seed).application(), seed), 1u);
  }
}

TEST(OursReadsLibcapnp, RandomReportsInTinySegments) {
  for (std::uint64_t seed = 0; seed < kRandomCases; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    // A report with few samples may still fit a first segment of 16 words.
    expect_we_read_tiny_segments(Generator(seed).report(), seed);
  }
}

TEST(OursReadsLibcapnp, RandomRecordsThroughDoubleFarPointers) {
  for (std::uint64_t seed = 0; seed < 100; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator generator(seed);
    expect_we_read_double_far(generator.application());
    expect_we_read_double_far(generator.report());
  }
}

// libcapnp's default allocation spreads these over several segments of its own choosing.
TEST(OursReadsLibcapnp, LargeApplications) {
  constexpr GeneratorSizes kLargeData{.max_tiles = 3, .max_segments = 3, .max_data_bytes = 60000};
  constexpr GeneratorSizes kManyTexts{.max_list = 4, .max_text = 3, .extra_debug_symbols = 3000};
  for (std::uint64_t seed = 0; seed < 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (const GeneratorSizes& sizes : {kLargeData, kManyTexts}) {
      const Application app = Generator(seed, sizes).application();
      const Bytes bytes = libcapnp_bytes(app);
      EXPECT_GT(CapnpView(bytes).segment_count(), 1u);
      expect_we_read(bytes, app);
    }
  }
}

// The stream readers take exactly one message each, leaving the stream at the next.
TEST(OursReadsLibcapnp, StreamsOfSeveralMessages) {
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator generator(seed);
    const Application first = generator.application();
    const ProfileReport second = generator.report();
    const Application third = generator.application();
    const Bytes a = libcapnp_bytes(first, 4, capnp::AllocationStrategy::FIXED_SIZE);
    const Bytes b = with_double_far_pointers(libcapnp_bytes(second), 2);
    const Bytes c = libcapnp_bytes(third);
    std::string all(a.begin(), a.end());
    all.append(b.begin(), b.end());
    all.append(c.begin(), c.end());
    std::istringstream in(all);

    const Result<Application> read_first = Application::read(in);
    ASSERT_TRUE(read_first.has_value()) << read_first.error();
    EXPECT_EQ(*read_first, first);
    EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(a.size()));
    const Result<ProfileReport> read_second = ProfileReport::read(in);
    ASSERT_TRUE(read_second.has_value()) << read_second.error();
    EXPECT_EQ(*read_second, second);
    EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(a.size() + b.size()));
    const Result<Application> read_third = Application::read(in);
    ASSERT_TRUE(read_third.has_value()) << read_third.error();
    EXPECT_EQ(*read_third, third);
    EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(all.size()));
  }
}

}  // namespace
}  // namespace quarn_package::oracle
