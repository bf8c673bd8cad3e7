#include "differential_checks.hpp"

#include <cstdint>
#include <functional>

namespace quarn_package::fuzz {
namespace {

using TextVisitor = std::function<bool(std::string_view)>;

// A UTF-8 check written apart from the library's own: shortest forms only, no
// surrogates, nothing above U+10FFFF.
bool valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<std::uint8_t>(s[i]);
    std::size_t more;
    std::uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c >> 5) == 0x6) {
      more = 1, cp = c & 0x1F;
    } else if ((c >> 4) == 0xE) {
      more = 2, cp = c & 0x0F;
    } else if ((c >> 3) == 0x1E) {
      more = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (s.size() - i - 1 < more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto b = static_cast<std::uint8_t>(s[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    const std::uint32_t lowest = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
    if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

// True when `visit` is true for any text of the step.
bool any_text(const ProfileStep& step, const TextVisitor& visit) {
  if (visit(step.operation) || visit(step.kernel)) return true;
  for (const ProfileMetadata& m : step.metadata) {
    if (visit(m.name) || visit(m.value)) return true;
  }
  return false;
}

bool any_text(const Application& app, const TextVisitor& visit) {
  if (visit(app.compiler_version)) return true;
  for (const auto* list : {&app.inputs, &app.outputs, &app.weights}) {
    for (const Binding& b : *list) {
      if (visit(b.name) || visit(b.dtype)) return true;
    }
  }
  for (const HostCall& c : app.host_exchange.calls) {
    if (visit(c.name)) return true;
  }
  for (const EntryPoint& e : app.entry_points) {
    if (visit(e.name)) return true;
  }
  for (const TileProfilePlan& p : app.profile_tiles) {
    for (const ProfileStep& s : p.steps) {
      if (any_text(s, visit)) return true;
    }
  }
  for (const DebugSymbol& s : app.debug_symbols) {
    if (visit(s.name)) return true;
  }
  for (const DebugRegion& r : app.debug_regions) {
    if (visit(r.name)) return true;
  }
  return false;
}

bool any_text(const ProfileReport& report, const TextVisitor& visit) {
  for (const TileProfile& t : report.tiles) {
    for (const CycleSample& s : t.samples) {
      if (any_text(s.step, visit)) return true;
    }
  }
  return false;
}

bool bad_enum(const ProfileStep& step) {
  if (static_cast<std::uint16_t>(step.kind) > 3) return true;
  for (const ProfileExchangeActivity& a : step.exchange_activities) {
    if (static_cast<std::uint16_t>(a.kind) > 2) return true;
  }
  return false;
}

bool any_bad_enum(const Application& app) {
  for (const TileProfilePlan& p : app.profile_tiles) {
    for (const ProfileStep& s : p.steps) {
      if (bad_enum(s)) return true;
    }
  }
  return false;
}

bool any_bad_enum(const ProfileReport& report) {
  for (const TileProfile& t : report.tiles) {
    for (const CycleSample& s : t.samples) {
      if (bad_enum(s.step)) return true;
    }
  }
  return false;
}

bool invalid_utf8(std::string_view s) { return !valid_utf8(s); }

// The verdict on a refusal that is not a rule of ours (Invalid), shared by both roots.
template <class Record>
Verdict compare_refusal(const Record& record, const PackageError& error, bool extra_bad_text) {
  switch (error.kind()) {
    case PackageError::Kind::Capnp:
      return std::get<PackageError::Capnp>(error.detail()).kind == CapnpErrorKind::ReadBudget
                 ? Verdict::Agree
                 : Verdict::UndocumentedRefusal;
    case PackageError::Kind::Utf8:
      return extra_bad_text || any_text(record, invalid_utf8) ? Verdict::Agree
                                                              : Verdict::UnfoundedUtf8;
    case PackageError::Kind::SchemaEnum:
      return any_bad_enum(record) ? Verdict::Agree : Verdict::UnfoundedEnum;
    default:
      return Verdict::UndocumentedRefusal;
  }
}

}  // namespace

const char* describe(Verdict verdict) {
  switch (verdict) {
    case Verdict::Agree:
      return "agree";
    case Verdict::ValuesDiffer:
      return "both read the message, to different records";
    case Verdict::AcceptedBadHeader:
      return "ours read a message with a foreign header";
    case Verdict::UndocumentedRefusal:
      return "ours refused a message libcapnp reads, for an undocumented reason";
    case Verdict::UnfoundedUtf8:
      return "ours reports invalid UTF-8 in valid texts";
    case Verdict::UnfoundedEnum:
      return "ours reports an unknown enumerant that is not there";
    case Verdict::UnfoundedHeader:
      return "ours calls a good header incompatible";
    case Verdict::WrongValidation:
      return "ours reports a rule the record does not break";
  }
  return "unknown verdict";
}

Verdict compare(const CapnpApplication& theirs, const Result<Application>& ours) {
  const bool header_ok = theirs.schema_version == 5 && theirs.target == "quarn7" &&
                         theirs.tile_memory_base == kTileMemoryBase &&
                         theirs.tile_memory_size == kTileMemorySize;
  if (ours) {
    if (!header_ok) return Verdict::AcceptedBadHeader;
    return *ours == theirs.record ? Verdict::Agree : Verdict::ValuesDiffer;
  }
  const PackageError& error = ours.error();
  if (error.kind() != PackageError::Kind::Invalid) {
    return compare_refusal(theirs.record, error, invalid_utf8(theirs.target));
  }
  if (error.message() == "incompatible package header") {
    return header_ok ? Verdict::UnfoundedHeader : Verdict::Agree;
  }
  if (!header_ok) return Verdict::WrongValidation;
  const auto rule = theirs.record.validate();
  return !rule && rule.error() == error ? Verdict::Agree : Verdict::WrongValidation;
}

Verdict compare(const CapnpProfile& theirs, const Result<ProfileReport>& ours) {
  const bool version_ok = theirs.schema_version >= 1 && theirs.schema_version <= 5;
  if (ours) {
    if (!version_ok) return Verdict::AcceptedBadHeader;
    return *ours == theirs.record ? Verdict::Agree : Verdict::ValuesDiffer;
  }
  const PackageError& error = ours.error();
  if (error.kind() != PackageError::Kind::Invalid) {
    return compare_refusal(theirs.record, error, false);
  }
  return version_ok ? Verdict::UnfoundedHeader : Verdict::Agree;
}

}  // namespace quarn_package::fuzz
