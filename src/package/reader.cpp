// The package reader: one pass over the message in the order of the record's fields,
// each text and data blob copied once, then validation of the result.
#include <istream>

#include "model/log_emit.hpp"
#include "model/try.hpp"
#include "package/schema.hpp"
#include "package/step_codec.hpp"
#include "quarn_package/application.hpp"
#include "quarn_package/package.hpp"
#include "wire/reader.hpp"

namespace quarn_package {
namespace {

using detail::read_text;
using detail::wire::ListExpectation;
using detail::wire::ListReader;
using detail::wire::MessageReader;
using detail::wire::PointerField;
using detail::wire::StructReader;
namespace schema = detail::schema;

// Appends one record per element of the struct list at `field` to `out`, each filled in
// place by `fill`, in order.
template <class T, class Fill>
Result<void> read_struct_list(const MessageReader& m, const StructReader& parent,
                              PointerField field, std::vector<T>& out, Fill&& fill) {
  QP_ASSIGN_OR_RETURN(const ListReader list, m.read_list(parent, field, ListExpectation::Structs));
  out.reserve(list.size());
  for (std::uint32_t i = 0; i < list.size(); ++i) {
    QP_RETURN_IF_ERROR(fill(list.struct_at(i), out.emplace_back()));
  }
  return {};
}

Result<void> read_u32_list(const MessageReader& m, const StructReader& parent, PointerField field,
                           std::vector<std::uint32_t>& out) {
  QP_ASSIGN_OR_RETURN(const ListReader list, m.read_list(parent, field, ListExpectation::U32));
  out.resize(list.size());
  for (std::uint32_t i = 0; i < list.size(); ++i) out[i] = list.u32(i);
  return {};
}

Result<void> read_segment(const MessageReader& m, const StructReader& s, Segment& segment) {
  using S = schema::Segment;
  segment.address = s.get(S::address);
  segment.memory_size = s.get(S::memory_size);
  QP_ASSIGN_OR_RETURN(const auto data, m.read_data(s, S::data));
  segment.data.assign(data.begin(), data.end());
  segment.flags = s.get(S::flags);
  return {};
}

Result<void> read_tile(const MessageReader& m, const StructReader& t, TileImage& tile) {
  using T = schema::TileImage;
  tile.physical_tile = t.get(T::physical_tile);
  tile.entry_point = t.get(T::entry_point);
  tile.command_address = t.get(T::command_address);
  tile.diagnostic_address = t.get(T::diagnostic_address);
  return read_struct_list(
      m, t, T::segments, tile.segments,
      [&m](const StructReader& s, Segment& out) { return read_segment(m, s, out); });
}

RegionSlice read_region_slice(const StructReader& s) {
  using R = schema::RegionSlice;
  return {s.get(R::tile), s.get(R::tile_address), s.get(R::file_offset), s.get(R::size_bytes)};
}

Result<void> read_binding(const MessageReader& m, const StructReader& b, Binding& binding) {
  using B = schema::Binding;
  QP_RETURN_IF_ERROR(read_text(m, b, B::name, binding.name));
  QP_RETURN_IF_ERROR(read_text(m, b, B::dtype, binding.dtype));
  QP_RETURN_IF_ERROR(read_u32_list(m, b, B::shape, binding.shape));
  QP_ASSIGN_OR_RETURN(const ListReader slices, m.read_list(b, B::slices, ListExpectation::Structs));
  binding.slices.reserve(slices.size());
  for (std::uint32_t i = 0; i < slices.size(); ++i) {
    binding.slices.push_back(read_region_slice(slices.struct_at(i)));
  }
  return {};
}

Result<void> read_bindings(const MessageReader& m, const StructReader& root, PointerField field,
                           std::vector<Binding>& out) {
  return read_struct_list(m, root, field, out, [&m](const StructReader& b, Binding& binding) {
    return read_binding(m, b, binding);
  });
}

std::vector<HostSlice> read_host_slices(const ListReader& list) {
  using S = schema::HostSlice;
  std::vector<HostSlice> out;
  out.reserve(list.size());
  for (std::uint32_t i = 0; i < list.size(); ++i) {
    const StructReader s = list.struct_at(i);
    out.push_back(
        {s.get(S::page), s.get(S::page_offset), s.get(S::file_offset), s.get(S::size_bytes)});
  }
  return out;
}

Result<void> read_host_call(const MessageReader& m, const StructReader& c, HostCall& call) {
  using C = schema::HostCall;
  QP_RETURN_IF_ERROR(read_text(m, c, C::name, call.name));
  call.command = c.get(C::command);
  call.phases = c.get(C::phases);
  call.invocations = c.get(C::invocations);
  QP_ASSIGN_OR_RETURN(const ListReader inputs, m.read_list(c, C::inputs, ListExpectation::Structs));
  call.inputs = read_host_slices(inputs);
  QP_ASSIGN_OR_RETURN(const ListReader outputs,
                      m.read_list(c, C::outputs, ListExpectation::Structs));
  call.outputs = read_host_slices(outputs);
  QP_RETURN_IF_ERROR(read_u32_list(m, c, C::input_batch_ends, call.input_batch_ends));
  return read_u32_list(m, c, C::output_batch_ends, call.output_batch_ends);
}

Result<void> read_host_exchange(const MessageReader& m, const StructReader& root,
                                HostExchange& exchange) {
  using E = schema::HostExchange;
  using P = schema::HostPage;
  QP_ASSIGN_OR_RETURN(const StructReader e,
                      m.read_struct(root, schema::Application::host_exchange));
  exchange.startup_mark = e.get(E::startup_mark);
  exchange.command_page = e.get(E::command_page);
  exchange.command_offset = e.get(E::command_offset);
  QP_ASSIGN_OR_RETURN(const ListReader pages, m.read_list(e, E::pages, ListExpectation::Structs));
  exchange.pages.reserve(pages.size());
  for (std::uint32_t i = 0; i < pages.size(); ++i) {
    const StructReader p = pages.struct_at(i);
    exchange.pages.push_back({p.get(P::index), p.get(P::size_bytes)});
  }
  QP_RETURN_IF_ERROR(read_u32_list(m, e, E::attach_order, exchange.attach_order));
  return read_struct_list(
      m, e, E::calls, exchange.calls,
      [&m](const StructReader& c, HostCall& call) { return read_host_call(m, c, call); });
}

Result<void> read_profile_plan(const MessageReader& m, const StructReader& p,
                               TileProfilePlan& plan) {
  using P = schema::TileProfilePlan;
  plan.physical_tile = p.get(P::physical_tile);
  return read_struct_list(m, p, P::steps, plan.steps,
                          [&m](const StructReader& s, ProfileStep& step) {
                            return detail::read_profile_step(m, s, step);
                          });
}

// The header fields, in the order they are checked; only a mismatch is "incompatible",
// a broken or non-UTF-8 target is an error of its own.
Result<void> check_header(const MessageReader& m, const StructReader& root) {
  using A = schema::Application;
  const auto incompatible = [] {
    return std::unexpected(PackageError::invalid("incompatible package header"));
  };
  if (root.get(A::schema_version) != schema::kSchemaVersion) return incompatible();
  std::string target;
  QP_RETURN_IF_ERROR(read_text(m, root, A::target, target));
  if (target != schema::kTarget) return incompatible();
  if (root.get(A::tile_memory_base) != kTileMemoryBase) return incompatible();
  if (root.get(A::tile_memory_size) != kTileMemorySize) return incompatible();
  return {};
}

Result<void> read_entry_point(const MessageReader& m, const StructReader& e, EntryPoint& entry) {
  using E = schema::EntryPoint;
  QP_RETURN_IF_ERROR(read_text(m, e, E::name, entry.name));
  entry.command = e.get(E::command);
  entry.external_syncs = e.get(E::external_syncs);
  return {};
}

Result<void> read_debug_info(const MessageReader& m, const StructReader& root, Application& app) {
  using A = schema::Application;
  using Sym = schema::DebugSymbol;
  using Reg = schema::DebugRegion;
  QP_RETURN_IF_ERROR(
      read_struct_list(m, root, A::debug_symbols, app.debug_symbols,
                       [&m](const StructReader& s, DebugSymbol& symbol) -> Result<void> {
                         QP_RETURN_IF_ERROR(read_text(m, s, Sym::name, symbol.name));
                         symbol.address = s.get(Sym::address);
                         return {};
                       }));
  return read_struct_list(m, root, A::debug_regions, app.debug_regions,
                          [&m](const StructReader& r, DebugRegion& region) {
                            region.physical_tile = r.get(Reg::physical_tile);
                            region.address = r.get(Reg::address);
                            region.size = r.get(Reg::size_bytes);
                            return read_text(m, r, Reg::name, region.name);
                          });
}

// Fills `app`, a default application, field by field in the record's order.
Result<void> decode_root(const MessageReader& m, const StructReader& root, Application& app) {
  using A = schema::Application;
  QP_RETURN_IF_ERROR(read_text(m, root, A::compiler_version, app.compiler_version));
  QP_RETURN_IF_ERROR(read_struct_list(
      m, root, A::tiles, app.tiles,
      [&m](const StructReader& t, TileImage& tile) { return read_tile(m, t, tile); }));
  QP_RETURN_IF_ERROR(read_bindings(m, root, A::inputs, app.inputs));
  QP_RETURN_IF_ERROR(read_bindings(m, root, A::outputs, app.outputs));
  QP_RETURN_IF_ERROR(read_bindings(m, root, A::weights, app.weights));
  QP_RETURN_IF_ERROR(read_host_exchange(m, root, app.host_exchange));
  QP_RETURN_IF_ERROR(read_struct_list(
      m, root, A::entry_points, app.entry_points,
      [&m](const StructReader& e, EntryPoint& entry) { return read_entry_point(m, e, entry); }));
  using W = schema::DeviceConfigWrite;
  QP_RETURN_IF_ERROR(
      read_struct_list(m, root, A::device_config_writes, app.device_config_writes,
                       [](const StructReader& w, DeviceConfigWrite& write) -> Result<void> {
                         write = {w.get(W::offset), w.get(W::value)};
                         return {};
                       }));
  QP_RETURN_IF_ERROR(read_struct_list(m, root, A::profile_tiles, app.profile_tiles,
                                      [&m](const StructReader& p, TileProfilePlan& plan) {
                                        return read_profile_plan(m, p, plan);
                                      }));
  return read_debug_info(m, root, app);
}

Result<Application> decode(std::span<const std::uint8_t> input) {
  QP_ASSIGN_OR_RETURN(const MessageReader message,
                      MessageReader::parse(input, capnp_reader_options()));
  QP_ASSIGN_OR_RETURN(const StructReader root, message.root());
  QP_RETURN_IF_ERROR(check_header(message, root));
  Application app;
  QP_RETURN_IF_ERROR(decode_root(message, root, app));
  QP_RETURN_IF_ERROR(app.validate());
  if (detail::log_enabled(log::Level::Info)) {
    detail::log_emit(log::Level::Info, "application package read",
                     {{"tiles", std::uint64_t{app.tiles.size()}},
                      {"compiler", std::string_view(app.compiler_version)}});
  }
  return app;
}

}  // namespace

ReaderOptions capnp_reader_options() { return ReaderOptions{std::nullopt, 64}; }

Result<Application> Application::read(std::span<const std::uint8_t> input) {
  detail::log_emit(log::Level::Info, "reading application package");
  return decode(input);
}

Result<Application> Application::read(std::istream& input) {
  detail::log_emit(log::Level::Info, "reading application package");
  QP_ASSIGN_OR_RETURN(const auto bytes, detail::wire::read_message_bytes(input));
  return decode(bytes);
}

}  // namespace quarn_package
