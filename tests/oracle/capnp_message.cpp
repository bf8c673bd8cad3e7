#include "capnp_message.hpp"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace quarn_package::oracle {
namespace {

std::uint32_t load32(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

capnp::ReaderOptions unlimited() {
  capnp::ReaderOptions options;
  options.traversalLimitInWords = std::numeric_limits<std::uint64_t>::max();
  options.nestingLimit = 64;
  return options;
}

std::uint64_t target_of(std::size_t word, std::uint64_t pointer) {
  const std::int32_t offset = static_cast<std::int32_t>(static_cast<std::uint32_t>(pointer)) >> 2;
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(word) + 1 + offset);
}

void walk(const Words& segment, std::size_t word, std::vector<std::size_t>& out) {
  const std::uint64_t p = segment.at(word);
  if (p == 0) return;
  out.push_back(word);
  const std::uint64_t target = target_of(word, p);
  const auto walk_struct = [&](std::uint64_t start, std::uint64_t data, std::uint64_t pointers) {
    for (std::uint64_t i = 0; i < pointers; ++i) walk(segment, start + data + i, out);
  };
  switch (p & 3) {
    case 0:
      walk_struct(target, (p >> 32) & 0xFFFF, p >> 48);
      return;
    case 1:
      break;
    default:
      throw std::runtime_error("pointer_words: only struct and list pointers are expected");
  }
  const std::uint64_t element_size = (p >> 32) & 7;
  if (element_size == 6) {
    for (std::uint64_t i = 0; i < (p >> 35); ++i) walk(segment, target + i, out);
  } else if (element_size == 7) {
    const std::uint64_t tag = segment.at(target);
    const std::uint64_t data = (tag >> 32) & 0xFFFF;
    const std::uint64_t pointers = tag >> 48;
    const std::uint64_t count = static_cast<std::uint32_t>(tag) >> 2;
    for (std::uint64_t e = 0; e < count; ++e) {
      walk_struct(target + 1 + e * (data + pointers), data, pointers);
    }
  }
}

}  // namespace

CapnpView::CapnpView(std::span<const std::uint8_t> bytes)
    : words_(kj::heapArray<capnp::word>(bytes.size() / sizeof(capnp::word))) {
  if (words_.size() != 0) {
    std::memcpy(words_.begin(), bytes.data(), words_.size() * sizeof(capnp::word));
  }
  reader_ = std::make_unique<capnp::FlatArrayMessageReader>(words_.asPtr(), unlimited());
}

std::size_t CapnpView::segment_count() const {
  return load32({reinterpret_cast<const std::uint8_t*>(words_.begin()), 4}, 0) + std::size_t{1};
}

Bytes serialize(capnp::MessageBuilder& message) {
  const kj::Array<capnp::word> words = capnp::messageToFlatArray(message);
  const kj::ArrayPtr<const kj::byte> bytes = words.asBytes();
  return Bytes(bytes.begin(), bytes.end());
}

std::size_t segment_count(capnp::MessageBuilder& message) {
  return message.getSegmentsForOutput().size();
}

std::vector<Words> segments_of(std::span<const std::uint8_t> message) {
  const std::size_t count = std::size_t{load32(message, 0)} + 1;
  std::size_t at = (count / 2 + 1) * 8;
  std::vector<Words> out(count);
  for (std::size_t i = 0; i < count; ++i) {
    out[i].resize(load32(message, 4 + 4 * i));
    if (!out[i].empty()) std::memcpy(out[i].data(), message.data() + at, out[i].size() * 8);
    at += out[i].size() * 8;
  }
  return out;
}

Bytes frame(const std::vector<Words>& segments) {
  Bytes out((segments.size() / 2 + 1) * 8, 0);
  const auto put32 = [&out](std::size_t at, std::uint32_t v) { std::memcpy(&out[at], &v, 4); };
  put32(0, static_cast<std::uint32_t>(segments.size() - 1));
  for (std::size_t i = 0; i < segments.size(); ++i) {
    put32(4 + 4 * i, static_cast<std::uint32_t>(segments[i].size()));
  }
  for (const Words& s : segments) {
    const std::size_t at = out.size();
    out.resize(at + s.size() * 8);
    if (!s.empty()) std::memcpy(out.data() + at, s.data(), s.size() * 8);
  }
  return out;
}

std::vector<std::size_t> pointer_words(const Words& segment) {
  std::vector<std::size_t> out;
  walk(segment, 0, out);
  return out;
}

Bytes with_double_far_pointers(std::span<const std::uint8_t> message, std::size_t stride) {
  std::vector<Words> segments = segments_of(message);
  if (segments.size() != 1) throw std::runtime_error("expected a one-segment message");
  Words& first = segments[0];
  Words pads;
  const std::vector<std::size_t> pointers = pointer_words(first);
  for (std::size_t i = 0; i < pointers.size(); i += stride) {
    const std::size_t word = pointers[i];
    const std::uint64_t p = first[word];
    const std::uint64_t pad = pads.size();
    // Far pointer (single) to the object's first word in segment 0.
    pads.push_back((target_of(word, p) << 3) | 2);
    // The tag: the original pointer with its offset cleared.
    pads.push_back(p & 0xFFFFFFFF00000003ull);
    // Double-far pointer to the pad in segment 1.
    first[word] = (pad << 3) | 4 | 2 | (std::uint64_t{1} << 32);
  }
  segments.push_back(std::move(pads));
  return frame(segments);
}

}  // namespace quarn_package::oracle
