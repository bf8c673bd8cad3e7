// libcapnp on both sides of our byte buffers: reading our bytes with libcapnp's own
// reader, serialising libcapnp's messages, and reshaping a message's pointers by hand.
#pragma once

#include <capnp/message.h>
#include <capnp/serialize.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace quarn_package::oracle {

using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::uint64_t>;

// libcapnp's view of one framed message, with no traversal limit so that large
// messages read in full, and the standard nesting limit.
class CapnpView {
 public:
  explicit CapnpView(std::span<const std::uint8_t> bytes);

  template <class Root>
  typename Root::Reader root() {
    return reader_->getRoot<Root>();
  }
  std::size_t segment_count() const;

 private:
  kj::Array<capnp::word> words_;
  std::unique_ptr<capnp::FlatArrayMessageReader> reader_;
};

// The message in the standard unpacked stream framing.
Bytes serialize(capnp::MessageBuilder& message);
std::size_t segment_count(capnp::MessageBuilder& message);

// The segments of a framed message, and the framing of segments, both written out by
// hand so that tests can add segments of their own.
std::vector<Words> segments_of(std::span<const std::uint8_t> message);
Bytes frame(const std::vector<Words>& segments);

// Every non-null pointer of a one-segment message, each at most once, in the order a
// depth-first walk from the root meets them: word indices in segment 0.
std::vector<std::size_t> pointer_words(const Words& segment);

// Rewrites every `stride`-th pointer of a one-segment message (counting from the first)
// into a double-far pointer: a new segment holds, per rewritten pointer, a landing pad
// that is a far pointer to the object's start followed by a tag describing the object.
Bytes with_double_far_pointers(std::span<const std::uint8_t> message, std::size_t stride);

}  // namespace quarn_package::oracle
