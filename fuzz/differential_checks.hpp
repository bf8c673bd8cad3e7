// What the differential target compares: libcapnp's reading of a message (header and
// record) against our reader's result, and the verdict when they differ.
#pragma once

#include <quarn_package/package.hpp>

#include <string>
#include <string_view>

#include "convert.hpp"

namespace quarn_package::fuzz {

namespace cs = quarn_package::capnp_schema;

struct CapnpApplication {
  explicit CapnpApplication(cs::Application::Reader root)
      : schema_version(root.getSchemaVersion()),
        target(oracle::to_record(root.getTarget())),
        tile_memory_base(root.getTileMemoryBase()),
        tile_memory_size(root.getTileMemorySize()),
        record(oracle::to_record(root)) {}
  std::uint32_t schema_version;
  std::string target;
  std::uint32_t tile_memory_base;
  std::uint32_t tile_memory_size;
  Application record;
};

struct CapnpProfile {
  explicit CapnpProfile(cs::Profile::Reader root)
      : schema_version(root.getSchemaVersion()), record(oracle::to_record(root)) {}
  std::uint32_t schema_version;
  ProfileReport record;
};

enum class Verdict {
  Agree,
  ValuesDiffer,         // both read it, to different records
  AcceptedBadHeader,    // ours read a message whose header is not ours
  UndocumentedRefusal,  // ours refused it with a wire error other than the read budget
  UnfoundedUtf8,        // ours saw invalid UTF-8 where libcapnp's texts are all valid
  UnfoundedEnum,        // ours saw an unknown enumerant where there is none
  UnfoundedHeader,      // ours called a good header incompatible
  WrongValidation,      // ours reports a rule the record does not break (or another one)
};

const char* describe(Verdict verdict);
Verdict compare(const CapnpApplication& theirs, const Result<Application>& ours);
Verdict compare(const CapnpProfile& theirs, const Result<ProfileReport>& ours);

}  // namespace quarn_package::fuzz
