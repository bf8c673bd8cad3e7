// The write side against a stream that fails after k bytes, for every k short of the
// whole message: a Capnp SinkFailed error each time, the k bytes before the failure kept,
// and no "written" event. Leaks show under the asan preset, which runs this too.
#include <gtest/gtest.h>
#include <quarn_package/package.hpp>

#include <algorithm>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "support/examples.hpp"
#include "support/generator.hpp"
#include "support/log_capture.hpp"

namespace quarn_package::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Accepts the first `limit` bytes written to it and refuses every byte after.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(std::size_t limit) : limit_(limit) {}
  const std::string& accepted() const { return accepted_; }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const auto take = std::min<std::size_t>(static_cast<std::size_t>(n), limit_ - accepted_.size());
    accepted_.append(s, take);
    return static_cast<std::streamsize>(take);
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    if (accepted_.size() >= limit_) return traits_type::eof();
    accepted_.push_back(traits_type::to_char_type(c));
    return c;
  }

 private:
  std::size_t limit_;
  std::string accepted_;
};

bool has_event(const LogCapture& log, std::string_view message) {
  const auto events = log.events();
  return std::any_of(events.begin(), events.end(),
                     [&](const CapturedEvent& e) { return e.message == message; });
}

bool is_sink_failure(const PackageError& error) {
  return error.kind() == PackageError::Kind::Capnp &&
         std::get<PackageError::Capnp>(error.detail()).kind == CapnpErrorKind::SinkFailed;
}

// Writes `record` into a stream that fails after `limit` bytes; `throwing` streams
// report failure by exception instead of state.
template <class Record>
std::pair<Result<void>, std::string> write_failing_after(const Record& record, std::size_t limit,
                                                         bool throwing) {
  FailingBuffer buffer(limit);
  std::ostream out(&buffer);
  if (throwing) out.exceptions(std::ios::badbit | std::ios::failbit);
  Result<void> result = record.write(out);
  return {std::move(result), buffer.accepted()};
}

template <class Record>
void expect_every_failure_point(const Record& record, bool package) {
  Bytes full;
  ASSERT_TRUE(record.write(full));
  const std::string expected(full.begin(), full.end());
  for (const bool throwing : {false, true}) {
    SCOPED_TRACE(throwing ? "stream throws" : "stream sets badbit");
    for (std::size_t k = 0; k <= full.size(); ++k) {
      LogCapture log(log::Level::Info);
      const auto [result, accepted] = write_failing_after(record, k, throwing);
      if (k == full.size()) {
        EXPECT_TRUE(result.has_value()) << result.error();
        EXPECT_EQ(accepted, expected);
        if (package) {
          EXPECT_TRUE(has_event(log, "application package written"));
        }
        continue;
      }
      ASSERT_FALSE(result.has_value()) << "k = " << k;
      ASSERT_TRUE(is_sink_failure(result.error())) << "k = " << k << ": " << result.error();
      ASSERT_EQ(accepted, expected.substr(0, k)) << "k = " << k;
      if (package) {
        ASSERT_TRUE(has_event(log, "writing application package")) << "k = " << k;
        ASSERT_FALSE(has_event(log, "application package written")) << "k = " << k;
      }
    }
  }
}

TEST(FaultInjection, PackageWriteFailsCleanlyAtEveryByte) {
  std::vector<std::pair<std::string, Application>> apps = {{"minimal", minimal_application()},
                                                           {"full", full_application()}};
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    apps.emplace_back("generated " + std::to_string(seed), Generator(seed).application());
  }
  // Several segments, so failures also fall inside later segments and the table.
  apps.emplace_back(
      "multi-segment",
      Generator(5, GeneratorSizes{.max_list = 1, .extra_debug_symbols = 300}).application());
  for (const auto& [name, app] : apps) {
    SCOPED_TRACE(name);
    expect_every_failure_point(app, true);
  }
}

TEST(FaultInjection, ProfileWriteFailsCleanlyAtEveryByte) {
  std::vector<std::pair<std::string, ProfileReport>> reports = {{"worked", worked_report()}};
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    reports.emplace_back("generated " + std::to_string(seed), Generator(seed).report());
  }
  for (const auto& [name, report] : reports) {
    SCOPED_TRACE(name);
    expect_every_failure_point(report, false);
  }
}

}  // namespace
}  // namespace quarn_package::testing
