#include "wire/builder.hpp"

#include <algorithm>
#include <cstring>

namespace quarn_package::detail::wire {

Arena::Arena() { open_segment(1); }

std::uint32_t Arena::open_segment(std::uint32_t needed) {
  const std::uint32_t size = std::max(needed, next_size_);
  next_size_ = size < kMaxSegmentWords - next_size_ ? next_size_ + size : kMaxSegmentWords;
  segments_.push_back({size, 0});
  return static_cast<std::uint32_t>(segments_.size() - 1);
}

void Arena::begin_writing(std::vector<std::uint8_t>& output, std::size_t segments_at,
                          std::span<const std::uint32_t> segment_words) {
  out_ = &output;
  base_ = output.data();
  reached_ = output.size();
  segment_at_.resize(segment_words.size());
  std::size_t at = segments_at;
  for (std::size_t i = 0; i < segment_words.size(); ++i) {
    segment_at_[i] = at;
    at += std::size_t{segment_words[i]} * kBytesPerWord;
  }
  message_end_ = at;
  segments_.clear();
  next_size_ = kFirstSegmentWords;
  open_segment(1);
}

void Arena::finish_writing() {
  if (reached_ < message_end_) resize(message_end_);
}

// Far enough ahead that growing costs little per object, near enough that what is
// zeroed is still in the cache when the objects are written into it.
constexpr std::size_t kZeroAheadBytes = 64 * 1024;
// A blob at least this large is appended rather than zeroed and then copied.
constexpr std::size_t kAppendBytes = 4 * 1024;

void Arena::resize(std::size_t size) {
  out_->resize(size);
  reached_ = size;
}

void Arena::grow(std::size_t end) {
  resize(std::min(message_end_, std::max(end, reached_ + kZeroAheadBytes)));
}

void Arena::append_bytes(std::size_t offset, std::span<const std::uint8_t> bytes,
                         std::uint32_t words) {
  const std::size_t end = offset + std::size_t{words} * kBytesPerWord;
  if (bytes.size() < kAppendBytes) {
    grow(end);
    if (!bytes.empty()) std::memcpy(base_ + offset, bytes.data(), bytes.size());
    return;
  }
  if (reached_ < offset) resize(offset);
  // What already lies in the output was zeroed ahead; the rest is appended.
  const std::size_t inside = std::min(bytes.size(), reached_ - offset);
  std::memcpy(base_ + offset, bytes.data(), inside);
  out_->insert(out_->end(), bytes.begin() + static_cast<std::ptrdiff_t>(inside), bytes.end());
  reached_ = out_->size();
  if (reached_ < end) resize(end);  // the zero padding of the last word
}

Location Arena::root_pointer() {
  segments_[0].used = 1;
  if (writing()) reach({0, 0}, 1);
  return {0, 0};
}

std::vector<std::uint32_t> Arena::segment_words() const {
  std::vector<std::uint32_t> words;
  words.reserve(segments_.size());
  for (const Segment& s : segments_) words.push_back(s.used);
  return words;
}

void Arena::refuse(std::string reason) {
  if (refusal_.empty()) refusal_ = std::move(reason);
}

Location Arena::place_elsewhere(Location pointer, std::uint32_t words, PointerKind kind,
                                std::uint32_t upper) {
  if (words >= kMaxSegmentWords) {
    refuse("object of " + std::to_string(words) + " words is too large for a message segment");
    return {};
  }
  // Elsewhere, behind a landing pad.
  std::uint32_t target = 0;
  while (target < segments_.size() &&
         words + 1 > segments_[target].capacity - segments_[target].used) {
    ++target;
  }
  if (target == segments_.size()) target = open_segment(words + 1);
  const Location pad{target, segments_[target].used};
  segments_[target].used += words + 1;
  if (writing()) {
    reach(pad, 1);
    // A far pointer holds the pad's word index in bits 3..31 and the segment above.
    const std::uint64_t far = (std::uint64_t{pad.word} << 3) |
                              static_cast<std::uint32_t>(PointerKind::Far) |
                              (std::uint64_t{target} << 32);
    store_le<std::uint64_t>(at(pointer), far);
    write_pointer(pad, kind, 0, upper);
  }
  return {target, pad.word + 1};
}

void Arena::refuse_list(std::size_t count, const char* what) {
  refuse("list of " + std::to_string(count) + what);
}

std::size_t table_bytes(std::size_t segment_count) { return (segment_count / 2 + 1) * 8; }

void write_table(std::uint8_t* out, std::span<const std::uint32_t> segment_words) {
  store_le<std::uint32_t>(out, static_cast<std::uint32_t>(segment_words.size() - 1));
  for (std::size_t i = 0; i < segment_words.size(); ++i) {
    store_le<std::uint32_t>(out + 4 + 4 * i, segment_words[i]);
  }
  if (segment_words.size() % 2 == 0) store_le<std::uint32_t>(out + 4 + 4 * segment_words.size(), 0);
}

Result<void> write_to_stream(std::ostream& output, std::span<const std::uint8_t> message) {
  const std::size_t count = std::size_t{load_le<std::uint32_t>(message.data())} + 1;
  std::size_t at = table_bytes(count);
  auto put = [&output](std::span<const std::uint8_t> block) {
    output.write(reinterpret_cast<const char*>(block.data()),
                 static_cast<std::streamsize>(block.size()));
    return !output.fail();
  };
  try {
    bool ok = put(message.first(at));
    for (std::size_t i = 0; ok && i < count; ++i) {
      const std::size_t bytes =
          std::size_t{load_le<std::uint32_t>(message.data() + 4 + 4 * i)} * kBytesPerWord;
      ok = put(message.subspan(at, bytes));
      at += bytes;
    }
    if (ok) return {};
  } catch (const std::exception&) {
    // A stream with exceptions enabled reports its failure by throwing.
  }
  return std::unexpected(
      PackageError::capnp(CapnpErrorKind::SinkFailed, "output stream refused the message"));
}

}  // namespace quarn_package::detail::wire
