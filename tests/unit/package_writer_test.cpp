// The bytes the package writer produces, checked word by word with an independent
// look at the framing, and the writer's behaviour around validation and sinks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

#include "package/schema.hpp"
#include "support/examples.hpp"
#include "support/log_capture.hpp"
#include "support/words.hpp"
#include "wire/builder.hpp"

namespace quarn_package {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FramedMessage;

std::vector<std::uint8_t> written(const Application& app) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(app.write(bytes));
  return bytes;
}

// Root pointer section starts at word 3 of segment 0: root pointer, two data words.
constexpr std::size_t kRootPointers = 3;

// A view of element `i` of the composite list the pointer at (segment, word) leads to.
struct Element {
  std::size_t segment;
  std::size_t word;
  std::size_t data_words;
};
Element element(const FramedMessage& m, std::size_t segment, std::size_t word, std::size_t i) {
  const auto t = m.follow(segment, word);
  const std::uint64_t tag = m.word(t.segment, t.word);
  const std::size_t data = (tag >> 32) & 0xffff;
  const std::size_t ptrs = tag >> 48;
  return {t.segment, t.word + 1 + i * (data + ptrs), data};
}
std::vector<std::uint8_t> data_of(const FramedMessage& m, const Element& e) {
  const auto s = m.segment(e.segment).subspan(e.word * 8, e.data_words * 8);
  return {s.begin(), s.end()};
}

TEST(PackageWriter, RootDataSectionAndTargetAreTheFixedHeader) {
  const auto bytes = written(testing::minimal_application());
  const FramedMessage m(bytes);
  EXPECT_THAT(m.struct_data(0, 0),
              ElementsAre(0x05, 0, 0, 0, 0x00, 0xC0, 0x04, 0, 0x00, 0xC0, 0x09, 0, 0, 0, 0, 0));
  EXPECT_EQ(m.byte_list(0, kRootPointers + 1), std::string("quarn7\0", 7));
  EXPECT_EQ(m.byte_list(0, kRootPointers + 0), std::string("0.1.0\0", 6));
}

TEST(PackageWriter, SmallPackageIsOneSegmentSizedToTheWordsUsed) {
  const auto bytes = written(testing::full_application());
  const FramedMessage m(bytes);
  ASSERT_EQ(m.segment_count(), 1u);
  EXPECT_LT(m.segment_words(0), 1024u);
  EXPECT_EQ(bytes.size(), 8 + m.segment_words(0) * 8);
  EXPECT_EQ(m.word(0, 0), testing::struct_ptr(0, 2, 12));  // root pointer, then the root
}

TEST(PackageWriter, InvocationsAreStoredAgainstTheirDefaultOfOne) {
  const auto bytes = written(testing::full_application());
  const FramedMessage m(bytes);
  const auto exchange = m.follow(0, kRootPointers + 6);
  const Element call = element(m, exchange.segment, exchange.word + 2 + 2, 0);
  const auto call_data = data_of(m, call);
  EXPECT_THAT(std::span(call_data).subspan(8, 4), ElementsAre(0, 0, 0, 0));

  // A call with no invocations cannot pass validation, so encode the struct alone.
  namespace schema = detail::schema;
  for (std::uint32_t invocations : {0u, 1u, 7u}) {
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(detail::wire::build_message(out, schema::HostCall::size, [&](auto root) {
      root.set(schema::HostCall::invocations, invocations);
    }));
    const auto stored = FramedMessage(out).struct_data(0, 0);
    EXPECT_EQ(stored[8], invocations ^ 1u) << invocations;
  }
}

TEST(PackageWriter, EnumerantsAreStoredAsTheirNumbers) {
  Application app = testing::full_application();
  ProfileStep& step = app.profile_tiles[0].steps[0];
  step.kind = ProfileStepKind::Idle;
  const auto bytes = written(app);
  const FramedMessage m(bytes);
  const Element plan = element(m, 0, kRootPointers + 9, 0);
  const Element s = element(m, plan.segment, plan.word + 1, 0);
  const auto data = data_of(m, s);
  EXPECT_THAT(std::span(data).subspan(12, 2), ElementsAre(3, 0));
  EXPECT_THAT(std::span(data).subspan(16, 4), ElementsAre(13, 0, 0, 0));
  const Element busy = element(m, s.segment, s.word + 3 + 3, 1);  // second activity
  const auto busy_data = data_of(m, busy);
  EXPECT_THAT(std::span(busy_data).first(2), ElementsAre(2, 0));
}

TEST(PackageWriter, EqualApplicationsGiveIdenticalBytesAndAppendAfterExistingOnes) {
  const Application app = testing::full_application();
  const auto once = written(app);
  EXPECT_EQ(written(Application(app)), once);

  std::vector<std::uint8_t> buffer = {0xde, 0xad, 0xbe};
  ASSERT_TRUE(app.write(buffer));
  EXPECT_THAT(std::span(buffer).first(3), ElementsAre(0xde, 0xad, 0xbe));
  EXPECT_THAT(std::span(buffer).subspan(3), ElementsAreArray(once));

  std::ostringstream stream;
  ASSERT_TRUE(app.write(stream));
  const std::string s = stream.str();
  EXPECT_EQ(std::vector<std::uint8_t>(s.begin(), s.end()), once);
}

TEST(PackageWriter, EmptyListsAndTextsAreSetNotLeftNull) {
  Application app = testing::minimal_application();
  app.compiler_version.clear();
  const auto bytes = written(app);
  const FramedMessage m(bytes);
  for (std::size_t p = 0; p < 12; ++p) EXPECT_NE(m.word(0, kRootPointers + p), 0u) << p;
  const auto exchange = m.follow(0, kRootPointers + 6);
  for (std::size_t p = 0; p < 3; ++p) EXPECT_NE(m.word(0, exchange.word + 2 + p), 0u) << p;
}

TEST(PackageWriter, InvalidApplicationLeavesTheBufferAndTheLogUntouched) {
  testing::LogCapture log;
  std::vector<std::uint8_t> buffer = {1, 2, 3};
  const auto result = Application{}.write(buffer);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), PackageError::invalid("application has no tiles"));
  EXPECT_THAT(buffer, ElementsAre(1, 2, 3));
  EXPECT_TRUE(log.events().empty());
}

TEST(PackageWriter, EmitsTheTwoWriteEvents) {
  testing::LogCapture log;
  written(testing::full_application());
  ASSERT_EQ(log.events().size(), 2u);
  EXPECT_EQ(log.events()[0].message, "writing application package");
  EXPECT_EQ(log.events()[0].level, log::Level::Info);
  EXPECT_EQ(log.events()[0].target, "quarn_package");
  EXPECT_EQ(log.events()[0].number("tiles"), 1u);
  EXPECT_EQ(log.events()[1].message, "application package written");
  EXPECT_TRUE(log.events()[1].fields.empty());
}

// A stream buffer that accepts `limit` bytes, then refuses every further one.
class FailingAfter : public std::streambuf {
 public:
  explicit FailingAfter(std::size_t limit) : limit_(limit) {}
  const std::string& accepted() const { return accepted_; }

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (accepted_.size() >= limit_) return traits_type::eof();
    accepted_.push_back(traits_type::to_char_type(c));
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const auto room = static_cast<std::streamsize>(limit_ - accepted_.size());
    const std::streamsize taken = std::min(n, room);
    accepted_.append(s, static_cast<std::size_t>(taken));
    return taken;
  }

 private:
  std::size_t limit_;
  std::string accepted_;
};

TEST(PackageWriter, FailingStreamGivesCapnpKeepsWhatItTookAndSkipsTheSecondEvent) {
  const Application app = testing::full_application();
  const auto whole = written(app);
  for (std::size_t limit : {std::size_t{0}, std::size_t{5}, std::size_t{8}, whole.size() - 1}) {
    SCOPED_TRACE(limit);
    testing::LogCapture log;
    FailingAfter buffer(limit);
    std::ostream stream(&buffer);
    const auto result = app.write(stream);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind(), PackageError::Kind::Capnp);
    EXPECT_EQ(std::get<PackageError::Capnp>(result.error().detail()).kind,
              CapnpErrorKind::SinkFailed);
    EXPECT_EQ(buffer.accepted(), std::string(whole.begin(), whole.begin() + limit));
    ASSERT_EQ(log.events().size(), 1u);
    EXPECT_EQ(log.events()[0].message, "writing application package");
  }
}

}  // namespace
}  // namespace quarn_package
