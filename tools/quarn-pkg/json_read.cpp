// JSON -> Application. Every reader below knows the path of the value it reads, so the
// first wrong field is reported by its full path.
#include <cstdint>
#include <limits>
#include <optional>
#include <set>

#include "json_form.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

// Thrown at the first wrong field and caught at the one entry point below, so the
// readers can stay plain field-by-field code.
struct FieldError {
  std::string path;
  std::string problem;
};

std::string type_name(const Json& value) {
  switch (value.type()) {
    case Json::value_t::number_unsigned:
      return "an unsigned integer";
    case Json::value_t::number_integer:
      return "a negative integer";
    case Json::value_t::number_float:
      return "a floating-point number";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::boolean:
      return "a boolean";
    default:
      return "null";
  }
}

// A JSON value together with the path that leads to it.
class Value {
 public:
  Value(const Json& json, std::string path) : json_(json), path_(std::move(path)) {}
  const Json& json() const { return json_; }
  const std::string& path() const { return path_; }
  [[noreturn]] void fail(const std::string& problem) const {
    throw FieldError{path_.empty() ? "(document)" : path_, problem};
  }

  template <class T>
  T unsigned_number(const char* what) const {
    if (!json_.is_number_unsigned())
      fail(std::string("expected ") + what + ", found " + type_name(json_));
    const auto value = json_.get<std::uint64_t>();
    if (value > std::numeric_limits<T>::max())
      fail(std::string("expected ") + what + ", found " + std::to_string(value));
    return static_cast<T>(value);
  }
  std::uint32_t u32() const { return unsigned_number<std::uint32_t>("an unsigned 32-bit integer"); }
  std::uint64_t u64() const { return unsigned_number<std::uint64_t>("an unsigned 64-bit integer"); }

  std::string text() const {
    if (!json_.is_string()) fail("expected a string, found " + type_name(json_));
    return json_.get<std::string>();
  }

  std::vector<std::uint8_t> hex_bytes() const;

  template <class F>
  auto list(F&& read) const {
    if (!json_.is_array()) fail("expected an array, found " + type_name(json_));
    std::vector<decltype(read(*this))> items;
    items.reserve(json_.size());
    for (std::size_t i = 0; i < json_.size(); ++i)
      items.push_back(read(Value(json_[i], path_ + "[" + std::to_string(i) + "]")));
    return items;
  }
  std::vector<std::uint32_t> u32_list() const {
    return list([](const Value& v) { return v.u32(); });
  }

 private:
  const Json& json_;
  std::string path_;
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<std::uint8_t> Value::hex_bytes() const {
  const std::string digits = text();
  if (digits.size() % 2 != 0) fail("expected hexadecimal bytes, found an odd number of digits");
  std::vector<std::uint8_t> bytes;
  bytes.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int high = hex_digit(digits[i]);
    const int low = hex_digit(digits[i + 1]);
    if (high < 0 || low < 0)
      fail("expected hexadecimal bytes, found a non-hex character at " + std::to_string(i));
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

// An object whose fields are taken one by one; done() refuses any field not taken, so a
// misspelt name is an error instead of a silently defaulted field.
class Object {
 public:
  explicit Object(const Value& value) : value_(value) {
    if (!value.json().is_object())
      value.fail("expected an object, found " + type_name(value.json()));
  }
  Value operator[](const char* name) {
    taken_.insert(name);
    const std::string path = value_.path().empty() ? name : value_.path() + "." + name;
    const auto it = value_.json().find(name);
    if (it == value_.json().end()) throw FieldError{path, "missing field"};
    return Value(*it, path);
  }
  void done() const {
    for (const auto& [key, _] : value_.json().items())
      if (!taken_.contains(key))
        throw FieldError{value_.path().empty() ? key : value_.path() + "." + key, "unknown field"};
  }

 private:
  const Value& value_;
  std::set<std::string, std::less<>> taken_;
};

template <class E, std::size_t N>
E enumerant(const Value& v, const E (&all)[N]) {
  const std::string name = v.text();
  std::string expected;
  for (E e : all) {
    if (enum_name(e) == name) return e;
    expected += (expected.empty() ? "" : ", ") + enum_name(e);
  }
  v.fail("expected one of " + expected + ", found \"" + name + "\"");
}

qp::Segment segment(const Value& v) {
  Object o(v);
  qp::Segment s{.address = o["address"].u32(),
                .memory_size = o["memory_size"].u32(),
                .data = o["data"].hex_bytes(),
                .flags = o["flags"].u32()};
  o.done();
  return s;
}

qp::TileImage tile(const Value& v) {
  Object o(v);
  qp::TileImage t{.physical_tile = o["physical_tile"].u32(),
                  .entry_point = o["entry_point"].u32(),
                  .command_address = o["command_address"].u32(),
                  .diagnostic_address = o["diagnostic_address"].u32(),
                  .segments = o["segments"].list(segment)};
  o.done();
  return t;
}

qp::RegionSlice region_slice(const Value& v) {
  Object o(v);
  qp::RegionSlice s{.tile = o["tile"].u32(),
                    .tile_address = o["tile_address"].u32(),
                    .file_offset = o["file_offset"].u64(),
                    .size = o["size"].u64()};
  o.done();
  return s;
}

qp::Binding binding(const Value& v) {
  Object o(v);
  qp::Binding b{.name = o["name"].text(),
                .dtype = o["dtype"].text(),
                .shape = o["shape"].u32_list(),
                .slices = o["slices"].list(region_slice)};
  o.done();
  return b;
}

qp::HostSlice host_slice(const Value& v) {
  Object o(v);
  qp::HostSlice s{.page = o["page"].u32(),
                  .page_offset = o["page_offset"].u64(),
                  .file_offset = o["file_offset"].u64(),
                  .size = o["size"].u64()};
  o.done();
  return s;
}

qp::HostCall host_call(const Value& v) {
  Object o(v);
  qp::HostCall c{.name = o["name"].text(),
                 .command = o["command"].u32(),
                 .phases = o["phases"].u32(),
                 .inputs = o["inputs"].list(host_slice),
                 .outputs = o["outputs"].list(host_slice),
                 .invocations = o["invocations"].u32(),
                 .input_batch_ends = o["input_batch_ends"].u32_list(),
                 .output_batch_ends = o["output_batch_ends"].u32_list()};
  o.done();
  return c;
}

qp::HostPage host_page(const Value& v) {
  Object o(v);
  qp::HostPage p{.index = o["index"].u32(), .size = o["size"].u64()};
  o.done();
  return p;
}

qp::HostExchange host_exchange(const Value& v) {
  Object o(v);
  qp::HostExchange h{.startup_mark = o["startup_mark"].u32(),
                     .command_page = o["command_page"].u32(),
                     .command_offset = o["command_offset"].u64(),
                     .pages = o["pages"].list(host_page),
                     .attach_order = o["attach_order"].u32_list(),
                     .calls = o["calls"].list(host_call)};
  o.done();
  return h;
}

qp::EntryPoint entry_point(const Value& v) {
  Object o(v);
  qp::EntryPoint e{.name = o["name"].text(),
                   .command = o["command"].u32(),
                   .external_syncs = o["external_syncs"].u32()};
  o.done();
  return e;
}

qp::DeviceConfigWrite config_write(const Value& v) {
  Object o(v);
  qp::DeviceConfigWrite w{.offset = o["offset"].u32(), .value = o["value"].u32()};
  o.done();
  return w;
}

qp::ProfileMetadata metadata(const Value& v) {
  Object o(v);
  qp::ProfileMetadata m{.name = o["name"].text(), .value = o["value"].text()};
  o.done();
  return m;
}

qp::ProfileExchangeActivity activity(const Value& v) {
  using K = qp::ExchangeActivityKind;
  Object o(v);
  qp::ProfileExchangeActivity a{.kind = enumerant(o["kind"], {K::Send, K::Receive, K::PartnerBusy}),
                                .start_cycle = o["start_cycle"].u32(),
                                .end_cycle = o["end_cycle"].u32()};
  o.done();
  return a;
}

qp::ProfileStep step(const Value& v) {
  using K = qp::ProfileStepKind;
  Object o(v);
  qp::ProfileStep s{
      .local_index = o["local_index"].u32(),
      .phase = o["phase"].u32(),
      .epoch = o["epoch"].u32(),
      .operation = o["operation"].text(),
      .kind = enumerant(o["kind"], {K::Exchange, K::Compute, K::Synchronization, K::Idle}),
      .kernel = o["kernel"].text(),
      .metadata = o["metadata"].list(metadata),
      .exchange_activities = o["exchange_activities"].list(activity),
      .exchange_event_cycles = o["exchange_event_cycles"].u32()};
  o.done();
  return s;
}

qp::TileProfilePlan profile_plan(const Value& v) {
  Object o(v);
  qp::TileProfilePlan p{.physical_tile = o["physical_tile"].u32(), .steps = o["steps"].list(step)};
  o.done();
  return p;
}

qp::DebugSymbol debug_symbol(const Value& v) {
  Object o(v);
  qp::DebugSymbol s{.name = o["name"].text(), .address = o["address"].u32()};
  o.done();
  return s;
}

qp::DebugRegion debug_region(const Value& v) {
  Object o(v);
  qp::DebugRegion r{.physical_tile = o["physical_tile"].u32(),
                    .address = o["address"].u32(),
                    .size = o["size"].u32(),
                    .name = o["name"].text()};
  o.done();
  return r;
}

qp::Application application(const Value& v) {
  Object o(v);
  qp::Application app{.compiler_version = o["compiler_version"].text(),
                      .tiles = o["tiles"].list(tile),
                      .inputs = o["inputs"].list(binding),
                      .outputs = o["outputs"].list(binding),
                      .weights = o["weights"].list(binding),
                      .host_exchange = host_exchange(o["host_exchange"]),
                      .entry_points = o["entry_points"].list(entry_point),
                      .device_config_writes = o["device_config_writes"].list(config_write),
                      .profile_tiles = o["profile_tiles"].list(profile_plan),
                      .debug_symbols = o["debug_symbols"].list(debug_symbol),
                      .debug_regions = o["debug_regions"].list(debug_region)};
  o.done();
  return app;
}

}  // namespace

std::expected<qp::Application, std::string> application_from_json(const Json& json) {
  try {
    return application(Value(json, ""));
  } catch (const FieldError& error) {
    return std::unexpected(error.path + ": " + error.problem);
  }
}

}  // namespace quarn_pkg
