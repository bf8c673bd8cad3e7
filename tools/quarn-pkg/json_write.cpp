// Application -> JSON.
#include "json_form.hpp"
#include "text.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

std::string hex_bytes(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) text += hex_byte(byte);
  return text;
}

template <class T, class F>
Json list(const std::vector<T>& items, F&& convert) {
  Json array = Json::array();
  for (const T& item : items) array.push_back(convert(item));
  return array;
}

Json numbers(const std::vector<std::uint32_t>& values) {
  return list(values, [](auto v) { return Json(v); });
}

Json segment(const qp::Segment& s, bool with_data) {
  Json j{{"address", s.address}, {"memory_size", s.memory_size}};
  if (with_data)
    j["data"] = hex_bytes(s.data);
  else
    j["data_size"] = s.data.size();
  j["flags"] = s.flags;
  return j;
}

Json tile(const qp::TileImage& t, bool with_data) {
  return {{"physical_tile", t.physical_tile},
          {"entry_point", t.entry_point},
          {"command_address", t.command_address},
          {"diagnostic_address", t.diagnostic_address},
          {"segments", list(t.segments, [&](const auto& s) { return segment(s, with_data); })}};
}

Json binding(const qp::Binding& b) {
  return {{"name", b.name},
          {"dtype", b.dtype},
          {"shape", numbers(b.shape)},
          {"slices", list(b.slices, [](const qp::RegionSlice& s) {
             return Json{{"tile", s.tile},
                         {"tile_address", s.tile_address},
                         {"file_offset", s.file_offset},
                         {"size", s.size}};
           })}};
}

Json host_slice(const qp::HostSlice& s) {
  return {{"page", s.page},
          {"page_offset", s.page_offset},
          {"file_offset", s.file_offset},
          {"size", s.size}};
}

Json host_call(const qp::HostCall& c) {
  return {{"name", c.name},
          {"command", c.command},
          {"phases", c.phases},
          {"inputs", list(c.inputs, host_slice)},
          {"outputs", list(c.outputs, host_slice)},
          {"invocations", c.invocations},
          {"input_batch_ends", numbers(c.input_batch_ends)},
          {"output_batch_ends", numbers(c.output_batch_ends)}};
}

Json host_exchange(const qp::HostExchange& h) {
  return {{"startup_mark", h.startup_mark},
          {"command_page", h.command_page},
          {"command_offset", h.command_offset},
          {"pages", list(h.pages,
                         [](const qp::HostPage& p) {
                           return Json{{"index", p.index}, {"size", p.size}};
                         })},
          {"attach_order", numbers(h.attach_order)},
          {"calls", list(h.calls, host_call)}};
}

Json step(const qp::ProfileStep& s) {
  return {{"local_index", s.local_index},
          {"phase", s.phase},
          {"epoch", s.epoch},
          {"operation", s.operation},
          {"kind", enum_name(s.kind)},
          {"kernel", s.kernel},
          {"metadata", list(s.metadata,
                            [](const qp::ProfileMetadata& m) {
                              return Json{{"name", m.name}, {"value", m.value}};
                            })},
          {"exchange_activities", list(s.exchange_activities,
                                       [](const qp::ProfileExchangeActivity& a) {
                                         return Json{{"kind", enum_name(a.kind)},
                                                     {"start_cycle", a.start_cycle},
                                                     {"end_cycle", a.end_cycle}};
                                       })},
          {"exchange_event_cycles", s.exchange_event_cycles}};
}

}  // namespace

std::string enum_name(qp::ProfileStepKind kind) {
  switch (kind) {
    case qp::ProfileStepKind::Exchange:
      return "Exchange";
    case qp::ProfileStepKind::Compute:
      return "Compute";
    case qp::ProfileStepKind::Synchronization:
      return "Synchronization";
    case qp::ProfileStepKind::Idle:
      return "Idle";
  }
  return std::to_string(static_cast<unsigned>(kind));
}

std::string enum_name(qp::ExchangeActivityKind kind) {
  switch (kind) {
    case qp::ExchangeActivityKind::Send:
      return "Send";
    case qp::ExchangeActivityKind::Receive:
      return "Receive";
    case qp::ExchangeActivityKind::PartnerBusy:
      return "PartnerBusy";
  }
  return std::to_string(static_cast<unsigned>(kind));
}

Json application_to_json(const qp::Application& app, bool with_data) {
  return {
      {"compiler_version", app.compiler_version},
      {"tiles", list(app.tiles, [&](const auto& t) { return tile(t, with_data); })},
      {"inputs", list(app.inputs, binding)},
      {"outputs", list(app.outputs, binding)},
      {"weights", list(app.weights, binding)},
      {"host_exchange", host_exchange(app.host_exchange)},
      {"entry_points", list(app.entry_points,
                            [](const qp::EntryPoint& e) {
                              return Json{{"name", e.name},
                                          {"command", e.command},
                                          {"external_syncs", e.external_syncs}};
                            })},
      {"device_config_writes", list(app.device_config_writes,
                                    [](const qp::DeviceConfigWrite& w) {
                                      return Json{{"offset", w.offset}, {"value", w.value}};
                                    })},
      {"profile_tiles",
       list(app.profile_tiles,
            [](const qp::TileProfilePlan& p) {
              return Json{{"physical_tile", p.physical_tile}, {"steps", list(p.steps, step)}};
            })},
      {"debug_symbols", list(app.debug_symbols,
                             [](const qp::DebugSymbol& s) {
                               return Json{{"name", s.name}, {"address", s.address}};
                             })},
      {"debug_regions", list(app.debug_regions,
                             [](const qp::DebugRegion& r) {
                               return Json{{"physical_tile", r.physical_tile},
                                           {"address", r.address},
                                           {"size", r.size},
                                           {"name", r.name}};
                             })},
  };
}

}  // namespace quarn_pkg
