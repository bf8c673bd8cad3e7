// Reading any input of N bytes allocates at most kAllocationFactor * N + kAllocationSlack
// bytes in total (allocation_bound.hpp), whatever the input: honest messages, their
// corruptions, and inputs built to amplify. Counted by the replaced operator new.
#include <gtest/gtest.h>
#include <quarn_package/package.hpp>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "allocation_bound.hpp"
#include "amplification.hpp"
#include "counting_allocator.hpp"
#include "support/examples.hpp"
#include "support/generator.hpp"

namespace quarn_package::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <class Record>
Bytes written(const Record& record) {
  Bytes out;
  EXPECT_TRUE(record.write(out).has_value());
  return out;
}

// Bytes allocated by reading `input` from memory and from a stream.
template <class Record>
std::pair<std::size_t, std::size_t> allocated_by_reads(const Bytes& input) {
  std::size_t span_bytes;
  {
    CountAllocations count;
    (void)Record::read(std::span<const std::uint8_t>(input));
    span_bytes = count.bytes();
  }
  std::istringstream stream(std::string(input.begin(), input.end()));
  CountAllocations count;
  (void)Record::read(stream);
  return {span_bytes, count.bytes()};
}

template <class Record>
void expect_bounded(const std::vector<NamedInput>& inputs) {
  for (const NamedInput& input : inputs) {
    SCOPED_TRACE(input.name + " (" + std::to_string(input.bytes.size()) + " bytes)");
    const auto [span_bytes, stream_bytes] = allocated_by_reads<Record>(input.bytes);
    const std::size_t bound = allocation_bound(input.bytes.size());
    EXPECT_LE(span_bytes, bound);
    EXPECT_LE(stream_bytes, bound);
  }
}

// Every prefix length worth trying and a run of seeded byte changes of each message.
std::vector<NamedInput> corruptions(const std::vector<NamedInput>& messages) {
  std::vector<NamedInput> out;
  std::mt19937_64 rng(17);
  for (const NamedInput& m : messages) {
    for (std::size_t cut = 0; cut < m.bytes.size(); cut += 1 + m.bytes.size() / 64) {
      out.push_back({m.name + " cut at " + std::to_string(cut),
                     Bytes(m.bytes.begin(), m.bytes.begin() + static_cast<long>(cut))});
    }
    for (int i = 0; i < 200 && !m.bytes.empty(); ++i) {
      Bytes changed = m.bytes;
      for (int k = 0; k < 1 + i % 4; ++k) {
        changed[rng() % changed.size()] = static_cast<std::uint8_t>(rng());
      }
      out.push_back({m.name + " change " + std::to_string(i), std::move(changed)});
    }
  }
  return out;
}

std::vector<NamedInput> honest_packages() {
  std::vector<NamedInput> out = {{"minimal", written(minimal_application())},
                                 {"full", written(full_application())}};
  for (std::uint64_t seed = 1; seed <= 8; ++seed) {
    out.push_back({"generated " + std::to_string(seed), written(Generator(seed).application())});
  }
  Generator large(99, GeneratorSizes{.max_data_bytes = 2000, .extra_debug_symbols = 600});
  out.push_back({"multi-segment", written(large.application())});
  return out;
}

std::vector<NamedInput> honest_reports() {
  std::vector<NamedInput> out = {{"worked", written(worked_report())}};
  for (std::uint64_t seed = 1; seed <= 8; ++seed) {
    out.push_back({"generated " + std::to_string(seed), written(Generator(seed).report())});
  }
  return out;
}

TEST(MemoryBound, HonestPackagesAndTheirCorruptions) {
  const auto honest = honest_packages();
  expect_bounded<Application>(honest);
  expect_bounded<Application>(corruptions(honest));
}

TEST(MemoryBound, HonestProfileFilesAndTheirCorruptions) {
  const auto honest = honest_reports();
  expect_bounded<ProfileReport>(honest);
  expect_bounded<ProfileReport>(corruptions(honest));
}

TEST(MemoryBound, PackageAmplificationInputs) {
  for (const std::uint32_t n : {16u, 4096u}) expect_bounded<Application>(package_amplifications(n));
}

TEST(MemoryBound, ProfileAmplificationInputs) {
  for (const std::uint32_t n : {16u, 4096u})
    expect_bounded<ProfileReport>(profile_amplifications(n));
}

// The inputs above only count if they reach the reader's limits: the empty elements are
// read in full (a rule may refuse the result, the wire layer may not), and the aliasing
// is cut off by the read budget.
TEST(MemoryBound, AmplificationInputsReachTheReader) {
  for (const NamedInput& input : package_amplifications(4096)) {
    SCOPED_TRACE(input.name);
    const auto app = Application::read(input.bytes);
    if (input.name.starts_with("aliased")) {
      ASSERT_FALSE(app.has_value());
      ASSERT_EQ(app.error().kind(), PackageError::Kind::Capnp) << app.error();
      EXPECT_EQ(std::get<PackageError::Capnp>(app.error().detail()).kind,
                CapnpErrorKind::ReadBudget);
    } else if (input.name.starts_with("zero-sized") || input.name.starts_with("void")) {
      EXPECT_TRUE(app.has_value() || app.error().kind() != PackageError::Kind::Capnp)
          << app.error();
    }
  }
}

}  // namespace
}  // namespace quarn_package::testing
