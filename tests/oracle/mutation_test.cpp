// Valid messages with random bits flipped, read by libcapnp and by us. Where libcapnp
// fails, we fail; where we succeed, libcapnp reads the same record; and where libcapnp
// reads a record, our only ways to refuse it are the checks libcapnp does not make
// (header, UTF-8, enumerants, validation), each of which the record must then fail, or
// our read budget, which libcapnp limited to the message's size must then exceed too.
#include <gtest/gtest.h>

#include <capnp/message.h>
#include <capnp/serialize.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "oracle_support.hpp"
#include "support/examples.hpp"
#include "support/generator.hpp"

namespace quarn_package::oracle {
namespace {

constexpr int kMutationsPerMessage = 600;

bool utf8_valid(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (b < 0x80) {
      n = 1, cp = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 2, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 3, cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 4, cp = b & 0x07;
    } else {
      return false;
    }
    if (i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

// What libcapnp's reading of a step shows that our reader checks and libcapnp does not.
struct Faults {
  bool utf8 = false;
  std::vector<std::uint16_t> enums;  // stored values outside their enumeration

  void text(const std::string& s) { utf8 = utf8 || !utf8_valid(s); }
  void step(const ProfileStep& s) {
    text(s.operation);
    text(s.kernel);
    if (static_cast<std::uint16_t>(s.kind) > 3) enums.push_back(static_cast<std::uint16_t>(s.kind));
    for (const ProfileMetadata& m : s.metadata) text(m.name), text(m.value);
    for (const ProfileExchangeActivity& a : s.exchange_activities) {
      if (static_cast<std::uint16_t>(a.kind) > 2)
        enums.push_back(static_cast<std::uint16_t>(a.kind));
    }
  }
  bool any() const { return utf8 || !enums.empty(); }
};

Faults faults_of(const Application& app) {
  Faults f;
  f.text(app.compiler_version);
  for (const auto* list : {&app.inputs, &app.outputs, &app.weights}) {
    for (const Binding& b : *list) f.text(b.name), f.text(b.dtype);
  }
  for (const HostCall& c : app.host_exchange.calls) f.text(c.name);
  for (const EntryPoint& e : app.entry_points) f.text(e.name);
  for (const TileProfilePlan& p : app.profile_tiles) {
    for (const ProfileStep& s : p.steps) f.step(s);
  }
  for (const DebugSymbol& s : app.debug_symbols) f.text(s.name);
  for (const DebugRegion& r : app.debug_regions) f.text(r.name);
  return f;
}

Faults faults_of(const ProfileReport& report) {
  Faults f;
  for (const TileProfile& t : report.tiles) {
    for (const CycleSample& s : t.samples) f.step(s.step);
  }
  return f;
}

// The refusal our reader owes a record libcapnp read, if any, before looking at faults.
std::optional<PackageError> header_refusal(cs::Application::Reader root) {
  const PackageError mismatch = PackageError::invalid("incompatible package header");
  if (root.getSchemaVersion() != 5) return mismatch;
  const std::string target = to_record(root.getTarget());
  if (!utf8_valid(target)) return PackageError::utf8(0, std::nullopt);  // kind is what counts
  if (target != "quarn7" || root.getTileMemoryBase() != kTileMemoryBase ||
      root.getTileMemorySize() != kTileMemorySize) {
    return mismatch;
  }
  return std::nullopt;
}

std::optional<PackageError> header_refusal(cs::Profile::Reader root) {
  const std::uint32_t v = root.getSchemaVersion();
  if (v >= 1 && v <= 5) return std::nullopt;
  return PackageError::invalid("unsupported profile schema version " + std::to_string(v));
}

Result<void> validation(const Application& app) { return app.validate(); }
Result<void> validation(const ProfileReport&) { return {}; }

// libcapnp's record of `bytes`, or nothing when it throws, under a traversal limit.
template <class Record>
std::optional<Record> libcapnp_read(const Bytes& bytes, std::uint64_t limit,
                                    std::optional<PackageError>* header = nullptr) {
  try {
    kj::Array<capnp::word> words = kj::heapArray<capnp::word>(bytes.size() / 8);
    if (words.size() != 0) std::memcpy(words.begin(), bytes.data(), words.size() * 8);
    capnp::ReaderOptions options;
    options.traversalLimitInWords = limit;
    capnp::FlatArrayMessageReader reader(words, options);
    const auto root = reader.getRoot<Root<Record>>();
    Record record = to_record(root);
    if (header != nullptr) *header = header_refusal(root);
    return record;
  } catch (const kj::Exception&) {
    return std::nullopt;
  }
}

// The words the segment table declares: the size of our read budget.
std::uint64_t segment_words(const Bytes& bytes) {
  std::uint32_t count;
  std::memcpy(&count, bytes.data(), 4);
  std::uint64_t words = 0;
  for (std::uint64_t i = 0; i <= count && 8 + 4 * i <= bytes.size(); ++i) {
    std::uint32_t size;
    std::memcpy(&size, bytes.data() + 4 + 4 * i, 4);
    words += size;
  }
  return words;
}

bool is_read_budget(const PackageError& e) {
  const auto* capnp = std::get_if<PackageError::Capnp>(&e.detail());
  return capnp != nullptr && capnp->kind == CapnpErrorKind::ReadBudget;
}

template <class Record>
void expect_agreement(const Bytes& bytes) {
  const std::uint64_t budget = segment_words(bytes);
  // libcapnp charges every object we charge and landing pads besides, at most two words per
  // pointer followed: within three times our budget it reads whatever we read, and where
  // it runs out of that, we run out of ours. The limit also keeps a flipped list length
  // from claiming millions of zero-sized elements.
  std::optional<PackageError> header;
  const std::optional<Record> theirs = libcapnp_read<Record>(bytes, 3 * budget, &header);
  const Result<Record> ours = Record::read(bytes);
  if (!theirs) {
    EXPECT_FALSE(ours.has_value()) << "libcapnp refuses what we read";
    return;
  }
  if (ours) {
    EXPECT_FALSE(header.has_value());
    EXPECT_EQ(*ours, *theirs);
    return;
  }
  const PackageError& error = ours.error();
  if (is_read_budget(error)) {
    EXPECT_FALSE(libcapnp_read<Record>(bytes, budget).has_value())
        << "over our budget but within libcapnp's of the same size";
  } else if (header) {
    EXPECT_EQ(error.kind(), header->kind()) << error;
    if (header->kind() == PackageError::Kind::Invalid) {
      EXPECT_EQ(error, *header);
    }
  } else if (const Faults faults = faults_of(*theirs); faults.any()) {
    const auto* e = std::get_if<PackageError::SchemaEnum>(&error.detail());
    const bool explained = (error.kind() == PackageError::Kind::Utf8 && faults.utf8) ||
                           (e != nullptr && std::find(faults.enums.begin(), faults.enums.end(),
                                                      e->value) != faults.enums.end());
    EXPECT_TRUE(explained) << error;
  } else {
    EXPECT_EQ(Result<void>(std::unexpected(error)), validation(*theirs));
  }
}

// Flips one to three bits, mostly inside the segments, sometimes in the segment table.
Bytes mutated(const Bytes& message, std::mt19937_64& rng) {
  Bytes out = message;
  const std::size_t table = (std::size_t{out[0]} / 2 + 1) * 8;  // segment counts stay small
  const int flips = 1 + static_cast<int>(rng() % 3);
  for (int i = 0; i < flips; ++i) {
    const bool in_table = rng() % 20 == 0;
    const std::size_t at = in_table ? rng() % table : table + rng() % (out.size() - table);
    out[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
  }
  return out;
}

template <class Record>
void mutate_and_compare(const std::vector<Bytes>& messages, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  for (std::size_t m = 0; m < messages.size(); ++m) {
    for (int i = 0; i < kMutationsPerMessage; ++i) {
      SCOPED_TRACE("message " + std::to_string(m) + ", mutation " + std::to_string(i));
      expect_agreement<Record>(mutated(messages[m], rng));
      if (::testing::Test::HasFailure()) return;
    }
  }
}

TEST(Mutations, PackagesReadAsLibcapnpReadsThem) {
  using quarn_package::testing::Generator;
  const Application full = quarn_package::testing::full_application();
  const Application random = Generator(7).application();
  mutate_and_compare<Application>({written(full), written(random),
                                   libcapnp_bytes(full, 8, capnp::AllocationStrategy::FIXED_SIZE),
                                   with_double_far_pointers(libcapnp_bytes(random), 2)},
                                  1);
}

TEST(Mutations, ProfileFilesReadAsLibcapnpReadsThem) {
  using quarn_package::testing::Generator;
  const ProfileReport worked = quarn_package::testing::worked_report();
  const ProfileReport random = Generator(11).report();
  mutate_and_compare<ProfileReport>(
      {written(worked), written(random),
       libcapnp_bytes(worked, 4, capnp::AllocationStrategy::FIXED_SIZE),
       with_double_far_pointers(libcapnp_bytes(random), 1)},
      2);
}

}  // namespace
}  // namespace quarn_package::oracle
