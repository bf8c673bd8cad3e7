// Small helpers shared by the oracle tests.
#pragma once

#include <gtest/gtest.h>

#include <capnp/message.h>

#include <cstdint>
#include <span>
#include <string>

#include "capnp_message.hpp"
#include "convert.hpp"

namespace quarn_package::oracle {

// Byte buffers compared with a short report instead of a dump of both.
inline ::testing::AssertionResult same_bytes(std::span<const std::uint8_t> actual,
                                             std::span<const std::uint8_t> expected) {
  const std::size_t n = std::min(actual.size(), expected.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (actual[i] != expected[i]) {
      return ::testing::AssertionFailure()
             << "first difference at byte " << i << ": " << int{actual[i]} << " vs "
             << int{expected[i]} << " (sizes " << actual.size() << " and " << expected.size()
             << ")";
    }
  }
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure()
           << "sizes differ: " << actual.size() << " vs " << expected.size();
  }
  return ::testing::AssertionSuccess();
}

// libcapnp's canonical form of a struct: one segment, objects in pre-order, no slack.
template <class Reader>
Bytes canonical(Reader reader) {
  const kj::Array<capnp::word> words = capnp::canonicalize(reader);
  const auto bytes = words.asBytes();
  return Bytes(bytes.begin(), bytes.end());
}

// Our writer's bytes for a record; fails the test when writing fails.
template <class Record>
Bytes written(const Record& record) {
  Bytes out;
  const auto result = record.write(out);
  EXPECT_TRUE(result.has_value()) << result.error();
  return out;
}

// The schema struct at the root of a record's file.
template <class Record>
struct RootOf;
template <>
struct RootOf<Application> {
  using type = cs::Application;
};
template <>
struct RootOf<ProfileReport> {
  using type = cs::Profile;
};
template <class Record>
using Root = typename RootOf<Record>::type;

// libcapnp's message for a record, built in our writers' creation order.
template <class Record>
void build(capnp::MessageBuilder& message, const Record& record) {
  fill(message.initRoot<Root<Record>>(), record);
}

// The same, serialised, under a given first segment size and allocation strategy.
template <class Record>
Bytes libcapnp_bytes(const Record& record,
                     unsigned first_segment_words = capnp::SUGGESTED_FIRST_SEGMENT_WORDS,
                     capnp::AllocationStrategy strategy = capnp::SUGGESTED_ALLOCATION_STRATEGY) {
  capnp::MallocMessageBuilder message(first_segment_words, strategy);
  build(message, record);
  return serialize(message);
}

}  // namespace quarn_package::oracle
