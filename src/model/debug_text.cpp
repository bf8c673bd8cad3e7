// The debug text form of every record: `Name{field: value, ...}` in declaration order.
#include <ostream>

#include "quarn_package/application.hpp"
#include "quarn_package/profile.hpp"
#include "quarn_package/step.hpp"

namespace quarn_package {
namespace {

void print_value(std::ostream& os, std::uint8_t v) { os << static_cast<unsigned>(v); }
void print_value(std::ostream& os, std::uint32_t v) { os << v; }
void print_value(std::ostream& os, std::uint64_t v) { os << v; }

void print_value(std::ostream& os, const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  os << '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      os << '\\' << c;
    } else if (c < 0x20 || c == 0x7f) {
      os << "\\x" << kHex[c >> 4] << kHex[c & 0xf];
    } else {
      os << c;
    }
  }
  os << '"';
}

template <class T>
void print_value(std::ostream& os, const T& record) {
  os << record;
}

template <class T>
void print_value(std::ostream& os, const std::vector<T>& list) {
  os << '[';
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i != 0) os << ", ";
    print_value(os, list[i]);
  }
  os << ']';
}

// Writes `Name{` on construction, `name: value` per field and `}` at the end.
class RecordPrinter {
 public:
  RecordPrinter(std::ostream& os, std::string_view name) : os_(os) { os_ << name << '{'; }
  ~RecordPrinter() { os_ << '}'; }
  RecordPrinter(const RecordPrinter&) = delete;
  RecordPrinter& operator=(const RecordPrinter&) = delete;

  template <class T>
  RecordPrinter& field(std::string_view name, const T& value) {
    if (!first_) os_ << ", ";
    first_ = false;
    os_ << name << ": ";
    print_value(os_, value);
    return *this;
  }

 private:
  std::ostream& os_;
  bool first_ = true;
};

}  // namespace

std::ostream& operator<<(std::ostream& os, ProfileStepKind kind) {
  switch (kind) {
    case ProfileStepKind::Exchange:
      return os << "ProfileStepKind::Exchange";
    case ProfileStepKind::Compute:
      return os << "ProfileStepKind::Compute";
    case ProfileStepKind::Synchronization:
      return os << "ProfileStepKind::Synchronization";
    case ProfileStepKind::Idle:
      return os << "ProfileStepKind::Idle";
  }
  return os << "ProfileStepKind(" << static_cast<unsigned>(kind) << ')';
}

std::ostream& operator<<(std::ostream& os, ExchangeActivityKind kind) {
  switch (kind) {
    case ExchangeActivityKind::Send:
      return os << "ExchangeActivityKind::Send";
    case ExchangeActivityKind::Receive:
      return os << "ExchangeActivityKind::Receive";
    case ExchangeActivityKind::PartnerBusy:
      return os << "ExchangeActivityKind::PartnerBusy";
  }
  return os << "ExchangeActivityKind(" << static_cast<unsigned>(kind) << ')';
}

std::ostream& operator<<(std::ostream& os, const ProfileMetadata& v) {
  RecordPrinter(os, "ProfileMetadata").field("name", v.name).field("value", v.value);
  return os;
}

std::ostream& operator<<(std::ostream& os, const ProfileExchangeActivity& v) {
  RecordPrinter(os, "ProfileExchangeActivity")
      .field("kind", v.kind)
      .field("start_cycle", v.start_cycle)
      .field("end_cycle", v.end_cycle);
  return os;
}

std::ostream& operator<<(std::ostream& os, const ProfileStep& v) {
  RecordPrinter(os, "ProfileStep")
      .field("local_index", v.local_index)
      .field("phase", v.phase)
      .field("epoch", v.epoch)
      .field("operation", v.operation)
      .field("kind", v.kind)
      .field("kernel", v.kernel)
      .field("metadata", v.metadata)
      .field("exchange_activities", v.exchange_activities)
      .field("exchange_event_cycles", v.exchange_event_cycles);
  return os;
}

std::ostream& operator<<(std::ostream& os, const CycleSample& v) {
  RecordPrinter(os, "CycleSample")
      .field("step", v.step)
      .field("start_cycle", v.start_cycle)
      .field("end_cycle", v.end_cycle);
  return os;
}

std::ostream& operator<<(std::ostream& os, const TileProfile& v) {
  RecordPrinter(os, "TileProfile")
      .field("physical_tile", v.physical_tile)
      .field("samples", v.samples);
  return os;
}

std::ostream& operator<<(std::ostream& os, const ProfileReport& v) {
  RecordPrinter(os, "ProfileReport").field("clock_hz", v.clock_hz).field("tiles", v.tiles);
  return os;
}

std::ostream& operator<<(std::ostream& os, const Segment& v) {
  RecordPrinter(os, "Segment")
      .field("address", v.address)
      .field("memory_size", v.memory_size)
      .field("data", v.data)
      .field("flags", v.flags);
  return os;
}

std::ostream& operator<<(std::ostream& os, const TileImage& v) {
  RecordPrinter(os, "TileImage")
      .field("physical_tile", v.physical_tile)
      .field("entry_point", v.entry_point)
      .field("command_address", v.command_address)
      .field("diagnostic_address", v.diagnostic_address)
      .field("segments", v.segments);
  return os;
}

std::ostream& operator<<(std::ostream& os, const RegionSlice& v) {
  RecordPrinter(os, "RegionSlice")
      .field("tile", v.tile)
      .field("tile_address", v.tile_address)
      .field("file_offset", v.file_offset)
      .field("size", v.size);
  return os;
}

std::ostream& operator<<(std::ostream& os, const Binding& v) {
  RecordPrinter(os, "Binding")
      .field("name", v.name)
      .field("dtype", v.dtype)
      .field("shape", v.shape)
      .field("slices", v.slices);
  return os;
}

std::ostream& operator<<(std::ostream& os, const HostPage& v) {
  RecordPrinter(os, "HostPage").field("index", v.index).field("size", v.size);
  return os;
}

std::ostream& operator<<(std::ostream& os, const HostSlice& v) {
  RecordPrinter(os, "HostSlice")
      .field("page", v.page)
      .field("page_offset", v.page_offset)
      .field("file_offset", v.file_offset)
      .field("size", v.size);
  return os;
}

std::ostream& operator<<(std::ostream& os, const HostCall& v) {
  RecordPrinter(os, "HostCall")
      .field("name", v.name)
      .field("command", v.command)
      .field("phases", v.phases)
      .field("inputs", v.inputs)
      .field("outputs", v.outputs)
      .field("invocations", v.invocations)
      .field("input_batch_ends", v.input_batch_ends)
      .field("output_batch_ends", v.output_batch_ends);
  return os;
}

std::ostream& operator<<(std::ostream& os, const HostExchange& v) {
  RecordPrinter(os, "HostExchange")
      .field("startup_mark", v.startup_mark)
      .field("command_page", v.command_page)
      .field("command_offset", v.command_offset)
      .field("pages", v.pages)
      .field("attach_order", v.attach_order)
      .field("calls", v.calls);
  return os;
}

std::ostream& operator<<(std::ostream& os, const EntryPoint& v) {
  RecordPrinter(os, "EntryPoint")
      .field("name", v.name)
      .field("command", v.command)
      .field("external_syncs", v.external_syncs);
  return os;
}

std::ostream& operator<<(std::ostream& os, const DeviceConfigWrite& v) {
  RecordPrinter(os, "DeviceConfigWrite").field("offset", v.offset).field("value", v.value);
  return os;
}

std::ostream& operator<<(std::ostream& os, const TileProfilePlan& v) {
  RecordPrinter(os, "TileProfilePlan")
      .field("physical_tile", v.physical_tile)
      .field("steps", v.steps);
  return os;
}

std::ostream& operator<<(std::ostream& os, const DebugSymbol& v) {
  RecordPrinter(os, "DebugSymbol").field("name", v.name).field("address", v.address);
  return os;
}

std::ostream& operator<<(std::ostream& os, const DebugRegion& v) {
  RecordPrinter(os, "DebugRegion")
      .field("physical_tile", v.physical_tile)
      .field("address", v.address)
      .field("size", v.size)
      .field("name", v.name);
  return os;
}

std::ostream& operator<<(std::ostream& os, const Application& v) {
  RecordPrinter(os, "Application")
      .field("compiler_version", v.compiler_version)
      .field("tiles", v.tiles)
      .field("inputs", v.inputs)
      .field("outputs", v.outputs)
      .field("weights", v.weights)
      .field("host_exchange", v.host_exchange)
      .field("entry_points", v.entry_points)
      .field("device_config_writes", v.device_config_writes)
      .field("profile_tiles", v.profile_tiles)
      .field("debug_symbols", v.debug_symbols)
      .field("debug_regions", v.debug_regions);
  return os;
}

}  // namespace quarn_package
