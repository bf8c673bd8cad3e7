// The one error type of the library and the Result alias every operation returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <iosfwd>
#include <optional>
#include <string>
#include <system_error>
#include <variant>

namespace quarn_package {

// Why the Cap'n Proto wire layer refused a message or could not write one.
enum class CapnpErrorKind : std::uint8_t {
  Truncated,           // the input ends inside the segment table or a segment
  SegmentTable,        // segment count or sizes the framing refuses
  PointerOutOfBounds,  // a pointer's target lies outside its segment
  WrongPointerKind,    // e.g. a list where a struct is expected, or a capability
  BadFarPointer,       // far pointer to a missing segment or a malformed landing pad
  BadListElementSize,  // a list whose element size the schema cannot read
  TextNotTerminated,   // a Text without its closing NUL byte
  NestingLimit,        // pointers nested deeper than the reader allows
  ReadBudget,          // more words visited than the message holds (amplification)
  TooLarge,            // an object or message larger than the format can encode
  SinkFailed,          // the output stream refused bytes
  SourceFailed,        // the input stream failed before the message ended
};

std::ostream& operator<<(std::ostream& os, CapnpErrorKind kind);

// A failure of any library operation. Errors are values; nothing is thrown.
class PackageError {
 public:
  enum class Kind { Capnp, Io, Utf8, SchemaEnum, Invalid };

  // The wire layer's failure: what went wrong and where.
  struct Capnp {
    CapnpErrorKind kind;
    std::string description;
    bool operator==(const Capnp&) const = default;
  };
  // Kept for completeness of the error model; no operation produces it.
  struct Io {
    std::error_code code;
    bool operator==(const Io&) const = default;
  };
  // A text field that is not UTF-8: bytes valid before the fault, and the length of
  // the bad sequence when known (absent when the text ends inside a sequence).
  struct Utf8 {
    std::size_t valid_up_to;
    std::optional<std::size_t> error_len;
    bool operator==(const Utf8&) const = default;
  };
  // An enumerant value the schema does not define.
  struct SchemaEnum {
    std::uint16_t value;
    bool operator==(const SchemaEnum&) const = default;
  };
  // A rule of the library itself, with its fixed message.
  struct Invalid {
    std::string message;
    bool operator==(const Invalid&) const = default;
  };
  using Detail = std::variant<Capnp, Io, Utf8, SchemaEnum, Invalid>;

  explicit PackageError(Detail detail) : detail_(std::move(detail)) {}

  static PackageError capnp(CapnpErrorKind kind, std::string description) {
    return PackageError(Capnp{kind, std::move(description)});
  }
  static PackageError invalid(std::string message) {
    return PackageError(Invalid{std::move(message)});
  }
  static PackageError utf8(std::size_t valid_up_to, std::optional<std::size_t> error_len) {
    return PackageError(Utf8{valid_up_to, error_len});
  }
  static PackageError schema_enum(std::uint16_t value) { return PackageError(SchemaEnum{value}); }

  // Which variant this error holds.
  Kind kind() const { return static_cast<Kind>(detail_.index()); }
  // The wrapped value.
  const Detail& detail() const { return detail_; }
  // A human text: for Invalid exactly its fixed message.
  std::string message() const;

  bool operator==(const PackageError&) const = default;

 private:
  Detail detail_;
};

std::ostream& operator<<(std::ostream& os, PackageError::Kind kind);
std::ostream& operator<<(std::ostream& os, const PackageError& error);

// The result of every fallible operation.
template <class T>
using Result = std::expected<T, PackageError>;

}  // namespace quarn_package
