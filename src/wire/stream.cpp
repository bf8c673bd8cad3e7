// Reading one framed message from a stream. Sizes in the table are not trusted: the
// buffer grows only as bytes actually arrive, each chunk at most as large as what has
// arrived so far, so a short stream claiming gigabytes costs next to nothing.
#include <algorithm>
#include <istream>
#include <string>

#include "wire/reader.hpp"

namespace quarn_package::detail::wire {
namespace {

constexpr std::size_t kFirstChunkBytes = 256;

std::unexpected<PackageError> fail(CapnpErrorKind kind, std::string description) {
  return std::unexpected(PackageError::capnp(kind, std::move(description)));
}

// Appends exactly `count` bytes from `input` to `out`, or says why it could not.
Result<void> read_exactly(std::istream& input, std::vector<std::uint8_t>& out,
                          std::uint64_t count) {
  while (count > 0) {
    const std::size_t chunk = static_cast<std::size_t>(
        std::min<std::uint64_t>(count, std::max(kFirstChunkBytes, out.size())));
    const std::size_t start = out.size();
    out.resize(start + chunk);
    input.read(reinterpret_cast<char*>(out.data() + start), static_cast<std::streamsize>(chunk));
    const auto got = static_cast<std::size_t>(input.gcount());
    if (got != chunk) {
      out.resize(start + got);
      if (input.bad()) return fail(CapnpErrorKind::SourceFailed, "input stream failed");
      return fail(CapnpErrorKind::Truncated,
                  "input ends after " + std::to_string(out.size()) + " bytes, inside the message");
    }
    count -= chunk;
  }
  return {};
}

Result<std::vector<std::uint8_t>> read_framed(std::istream& input) {
  std::vector<std::uint8_t> bytes;
  if (auto ok = read_exactly(input, bytes, 8); !ok) return std::unexpected(ok.error());
  const std::uint64_t count = std::uint64_t{load_le<std::uint32_t>(bytes.data())} + 1;
  if (count > kMaxSegments) {
    return fail(CapnpErrorKind::SegmentTable, "segment table declares " + std::to_string(count) +
                                                  " segments, more than " +
                                                  std::to_string(kMaxSegments));
  }
  const std::uint64_t table = (count / 2 + 1) * 8;
  if (auto ok = read_exactly(input, bytes, table - 8); !ok) return std::unexpected(ok.error());
  std::uint64_t words = 0;
  for (std::uint64_t i = 0; i < count; ++i)
    words += load_le<std::uint32_t>(bytes.data() + 4 + 4 * i);
  if (auto ok = read_exactly(input, bytes, words * kBytesPerWord); !ok) {
    return std::unexpected(ok.error());
  }
  return bytes;
}

}  // namespace

Result<std::vector<std::uint8_t>> read_message_bytes(std::istream& input) {
  try {
    return read_framed(input);
  } catch (const std::exception& e) {
    // A stream with exceptions enabled reports its failure by throwing.
    return fail(CapnpErrorKind::SourceFailed, std::string("input stream failed: ") + e.what());
  }
}

}  // namespace quarn_package::detail::wire
