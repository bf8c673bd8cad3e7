// ProfileReport::read on arbitrary bytes: the allocation bound, agreement of the stream
// and span readers, and a write-read round trip of whatever reads successfully.
#include <quarn_package/package.hpp>

#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_support.hpp"

using quarn_package::ProfileReport;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const auto report = quarn_package::fuzz::metered_read(
      input, [](std::span<const std::uint8_t> in) { return ProfileReport::read(in); });

  std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
  const auto streamed = quarn_package::fuzz::metered_read(
      input, [&stream](std::span<const std::uint8_t>) { return ProfileReport::read(stream); });
  QF_CHECK(report.has_value() == streamed.has_value());
  if (!report) return 0;
  QF_CHECK(*report == *streamed);

  std::ostringstream text;
  text << *report;
  std::vector<std::uint8_t> bytes;
  QF_CHECK(report->write(bytes).has_value());
  const auto again = ProfileReport::read(bytes);
  QF_CHECK(again.has_value() && *again == *report);
  return 0;
}
