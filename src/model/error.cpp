#include <ostream>
#include <sstream>

#include "quarn_package/error.hpp"

namespace quarn_package {
namespace {

std::string_view kind_name(CapnpErrorKind kind) {
  switch (kind) {
    case CapnpErrorKind::Truncated:
      return "Truncated";
    case CapnpErrorKind::SegmentTable:
      return "SegmentTable";
    case CapnpErrorKind::PointerOutOfBounds:
      return "PointerOutOfBounds";
    case CapnpErrorKind::WrongPointerKind:
      return "WrongPointerKind";
    case CapnpErrorKind::BadFarPointer:
      return "BadFarPointer";
    case CapnpErrorKind::BadListElementSize:
      return "BadListElementSize";
    case CapnpErrorKind::TextNotTerminated:
      return "TextNotTerminated";
    case CapnpErrorKind::NestingLimit:
      return "NestingLimit";
    case CapnpErrorKind::ReadBudget:
      return "ReadBudget";
    case CapnpErrorKind::TooLarge:
      return "TooLarge";
    case CapnpErrorKind::SinkFailed:
      return "SinkFailed";
    case CapnpErrorKind::SourceFailed:
      return "SourceFailed";
  }
  return "Unknown";
}

std::string_view variant_name(PackageError::Kind kind) {
  switch (kind) {
    case PackageError::Kind::Capnp:
      return "Capnp";
    case PackageError::Kind::Io:
      return "Io";
    case PackageError::Kind::Utf8:
      return "Utf8";
    case PackageError::Kind::SchemaEnum:
      return "SchemaEnum";
    case PackageError::Kind::Invalid:
      return "Invalid";
  }
  return "Unknown";
}

struct MessageText {
  std::string operator()(const PackageError::Capnp& e) const {
    return "Cap'n Proto: " + e.description;
  }
  std::string operator()(const PackageError::Io& e) const { return "I/O: " + e.code.message(); }
  std::string operator()(const PackageError::Utf8& e) const {
    std::string text = "invalid UTF-8 after " + std::to_string(e.valid_up_to) + " valid bytes";
    if (e.error_len)
      text += " (bad sequence of " + std::to_string(*e.error_len) + " bytes)";
    else
      text += " (text ends inside a sequence)";
    return text;
  }
  std::string operator()(const PackageError::SchemaEnum& e) const {
    return "unknown enumerant " + std::to_string(e.value);
  }
  std::string operator()(const PackageError::Invalid& e) const { return e.message; }
};

}  // namespace

std::ostream& operator<<(std::ostream& os, CapnpErrorKind kind) { return os << kind_name(kind); }

std::ostream& operator<<(std::ostream& os, PackageError::Kind kind) {
  return os << variant_name(kind);
}

std::string PackageError::message() const { return std::visit(MessageText{}, detail_); }

std::ostream& operator<<(std::ostream& os, const PackageError& error) {
  os << error.kind() << '(';
  std::visit(
      [&os](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, PackageError::Capnp>) {
          os << e.kind << ": \"" << e.description << '"';
        } else if constexpr (std::is_same_v<E, PackageError::Io>) {
          os << e.code;
        } else if constexpr (std::is_same_v<E, PackageError::Utf8>) {
          os << "valid_up_to: " << e.valid_up_to << ", error_len: ";
          if (e.error_len)
            os << *e.error_len;
          else
            os << "none";
        } else if constexpr (std::is_same_v<E, PackageError::SchemaEnum>) {
          os << e.value;
        } else {
          os << '"' << e.message << '"';
        }
      },
      error.detail());
  return os << ')';
}

}  // namespace quarn_package
