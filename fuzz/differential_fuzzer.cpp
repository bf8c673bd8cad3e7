// The same bytes read by our wire reader and by libcapnp (readers generated from our
// schema files, traversal limit set to the message's size). Where libcapnp reads a
// message, ours must give the same record, or refuse it for a reason we document:
// invalid UTF-8, an unknown enumerant, the header, validation, or our read budget.
#include <capnp/message.h>
#include <capnp/serialize.h>
#include <kj/exception.h>
#include <quarn_package/package.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <span>
#include <vector>

#include "convert.hpp"
#include "differential_checks.hpp"
#include "fuzz_support.hpp"

using namespace quarn_package;
namespace cs = quarn_package::capnp_schema;

namespace {

// Words of the framed message (segment table and segments) as its table declares; 0
// when there is no table to read.
std::uint64_t message_words(std::span<const std::uint8_t> input) {
  if (input.size() < 4) return 0;
  std::uint32_t count;
  std::memcpy(&count, input.data(), 4);
  if (count >= 512 || input.size() < 4 + 4 * (std::size_t{count} + 1)) return 0;
  std::uint64_t words = count / 2 + 1;
  for (std::uint32_t i = 0; i <= count; ++i) {
    std::uint32_t w;
    std::memcpy(&w, input.data() + 4 + 4 * i, 4);
    words += w;
  }
  return words;
}

// libcapnp's reading of the input as a message whose root is `Root`, or nothing when
// libcapnp refuses it.
template <class Root, class Record>
std::optional<Record> capnp_read(std::span<const std::uint8_t> input, auto&& convert) {
  std::vector<capnp::word> words(input.size() / sizeof(capnp::word));
  if (!words.empty()) std::memcpy(words.data(), input.data(), words.size() * sizeof(capnp::word));
  capnp::ReaderOptions options;
  options.traversalLimitInWords = message_words(input);
  options.nestingLimit = 64;
  try {
    capnp::FlatArrayMessageReader reader(kj::arrayPtr(words.data(), words.size()), options);
    return convert(reader.getRoot<Root>());
  } catch (const kj::Exception& e) {
    if (std::getenv("QUARN_FUZZ_VERBOSE") != nullptr) {
      std::fprintf(stderr, "libcapnp refuses: %s\n", e.getDescription().cStr());
    }
    return std::nullopt;
  }
}

// Aborts on a disagreement, after saying what ours made of the message.
template <class Record>
void report(fuzz::Verdict verdict, const Result<Record>& ours) {
  if (verdict == fuzz::Verdict::Agree) return;
  if (ours) {
    std::cerr << "ours read: " << *ours << "\n";
  } else {
    std::cerr << "ours refused: " << ours.error() << "\n";
  }
  fuzz::die(fuzz::describe(verdict));
}

void check_application(std::span<const std::uint8_t> input) {
  const auto theirs = capnp_read<cs::Application, fuzz::CapnpApplication>(
      input, [](cs::Application::Reader root) { return fuzz::CapnpApplication(root); });
  if (!theirs) return;
  const auto ours = Application::read(input);
  report(fuzz::compare(*theirs, ours), ours);
}

void check_profile(std::span<const std::uint8_t> input) {
  const auto theirs = capnp_read<cs::Profile, fuzz::CapnpProfile>(
      input, [](cs::Profile::Reader root) { return fuzz::CapnpProfile(root); });
  if (!theirs) return;
  const auto ours = ProfileReport::read(input);
  report(fuzz::compare(*theirs, ours), ours);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  check_application(input);
  check_profile(input);
  return 0;
}
