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

// Converts every element of the struct list at `field` with `convert`, in order.
template <class T, class Convert>
Result<std::vector<T>> read_struct_list(const MessageReader& m, const StructReader& parent,
                                        PointerField field, Convert&& convert) {
  QP_ASSIGN_OR_RETURN(const ListReader list, m.read_list(parent, field, ListExpectation::Structs));
  std::vector<T> out;
  out.reserve(list.size());
  for (std::uint32_t i = 0; i < list.size(); ++i) {
    QP_ASSIGN_OR_RETURN(T value, convert(list.struct_at(i)));
    out.push_back(std::move(value));
  }
  return out;
}

Result<std::vector<std::uint32_t>> read_u32_list(const MessageReader& m, const StructReader& parent,
                                                 PointerField field) {
  QP_ASSIGN_OR_RETURN(const ListReader list, m.read_list(parent, field, ListExpectation::U32));
  std::vector<std::uint32_t> out(list.size());
  for (std::uint32_t i = 0; i < list.size(); ++i) out[i] = list.u32(i);
  return out;
}

Result<Segment> read_segment(const MessageReader& m, const StructReader& s) {
  using S = schema::Segment;
  Segment segment{.address = s.get(S::address), .memory_size = s.get(S::memory_size)};
  QP_ASSIGN_OR_RETURN(const auto data, m.read_data(s, S::data));
  segment.data.assign(data.begin(), data.end());
  segment.flags = s.get(S::flags);
  return segment;
}

Result<std::vector<TileImage>> read_tiles(const MessageReader& m, const StructReader& root) {
  using T = schema::TileImage;
  return read_struct_list<TileImage>(
      m, root, schema::Application::tiles, [&m](const StructReader& t) -> Result<TileImage> {
        TileImage tile{
            .physical_tile = t.get(T::physical_tile),
            .entry_point = t.get(T::entry_point),
            .command_address = t.get(T::command_address),
            .diagnostic_address = t.get(T::diagnostic_address),
        };
        QP_ASSIGN_OR_RETURN(tile.segments, read_struct_list<Segment>(m, t, T::segments,
                                                                     [&m](const StructReader& s) {
                                                                       return read_segment(m, s);
                                                                     }));
        return tile;
      });
}

RegionSlice read_region_slice(const StructReader& s) {
  using R = schema::RegionSlice;
  return {s.get(R::tile), s.get(R::tile_address), s.get(R::file_offset), s.get(R::size_bytes)};
}

Result<std::vector<Binding>> read_bindings(const MessageReader& m, const StructReader& root,
                                           PointerField field) {
  using B = schema::Binding;
  return read_struct_list<Binding>(m, root, field, [&m](const StructReader& b) -> Result<Binding> {
    Binding binding;
    QP_ASSIGN_OR_RETURN(binding.name, read_text(m, b, B::name));
    QP_ASSIGN_OR_RETURN(binding.dtype, read_text(m, b, B::dtype));
    QP_ASSIGN_OR_RETURN(binding.shape, read_u32_list(m, b, B::shape));
    QP_ASSIGN_OR_RETURN(const ListReader slices,
                        m.read_list(b, B::slices, ListExpectation::Structs));
    binding.slices.reserve(slices.size());
    for (std::uint32_t i = 0; i < slices.size(); ++i) {
      binding.slices.push_back(read_region_slice(slices.struct_at(i)));
    }
    return binding;
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

Result<HostCall> read_host_call(const MessageReader& m, const StructReader& c) {
  using C = schema::HostCall;
  HostCall call;
  QP_ASSIGN_OR_RETURN(call.name, read_text(m, c, C::name));
  call.command = c.get(C::command);
  call.phases = c.get(C::phases);
  call.invocations = c.get(C::invocations);
  QP_ASSIGN_OR_RETURN(const ListReader inputs, m.read_list(c, C::inputs, ListExpectation::Structs));
  call.inputs = read_host_slices(inputs);
  QP_ASSIGN_OR_RETURN(const ListReader outputs,
                      m.read_list(c, C::outputs, ListExpectation::Structs));
  call.outputs = read_host_slices(outputs);
  QP_ASSIGN_OR_RETURN(call.input_batch_ends, read_u32_list(m, c, C::input_batch_ends));
  QP_ASSIGN_OR_RETURN(call.output_batch_ends, read_u32_list(m, c, C::output_batch_ends));
  return call;
}

Result<HostExchange> read_host_exchange(const MessageReader& m, const StructReader& root) {
  using E = schema::HostExchange;
  using P = schema::HostPage;
  QP_ASSIGN_OR_RETURN(const StructReader e,
                      m.read_struct(root, schema::Application::host_exchange));
  HostExchange exchange{
      .startup_mark = e.get(E::startup_mark),
      .command_page = e.get(E::command_page),
      .command_offset = e.get(E::command_offset),
  };
  QP_ASSIGN_OR_RETURN(const ListReader pages, m.read_list(e, E::pages, ListExpectation::Structs));
  exchange.pages.reserve(pages.size());
  for (std::uint32_t i = 0; i < pages.size(); ++i) {
    const StructReader p = pages.struct_at(i);
    exchange.pages.push_back({p.get(P::index), p.get(P::size_bytes)});
  }
  QP_ASSIGN_OR_RETURN(exchange.attach_order, read_u32_list(m, e, E::attach_order));
  QP_ASSIGN_OR_RETURN(exchange.calls,
                      read_struct_list<HostCall>(m, e, E::calls, [&m](const StructReader& c) {
                        return read_host_call(m, c);
                      }));
  return exchange;
}

Result<std::vector<TileProfilePlan>> read_profile_tiles(const MessageReader& m,
                                                        const StructReader& root) {
  using P = schema::TileProfilePlan;
  return read_struct_list<TileProfilePlan>(
      m, root, schema::Application::profile_tiles,
      [&m](const StructReader& p) -> Result<TileProfilePlan> {
        TileProfilePlan plan{.physical_tile = p.get(P::physical_tile)};
        QP_ASSIGN_OR_RETURN(
            plan.steps, read_struct_list<ProfileStep>(m, p, P::steps, [&m](const StructReader& s) {
              return detail::read_profile_step(m, s);
            }));
        return plan;
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
  QP_ASSIGN_OR_RETURN(const std::string target, read_text(m, root, A::target));
  if (target != schema::kTarget) return incompatible();
  if (root.get(A::tile_memory_base) != kTileMemoryBase) return incompatible();
  if (root.get(A::tile_memory_size) != kTileMemorySize) return incompatible();
  return {};
}

Result<Application> decode_root(const MessageReader& m, const StructReader& root) {
  using A = schema::Application;
  Application app;
  QP_ASSIGN_OR_RETURN(app.compiler_version, read_text(m, root, A::compiler_version));
  QP_ASSIGN_OR_RETURN(app.tiles, read_tiles(m, root));
  QP_ASSIGN_OR_RETURN(app.inputs, read_bindings(m, root, A::inputs));
  QP_ASSIGN_OR_RETURN(app.outputs, read_bindings(m, root, A::outputs));
  QP_ASSIGN_OR_RETURN(app.weights, read_bindings(m, root, A::weights));
  QP_ASSIGN_OR_RETURN(app.host_exchange, read_host_exchange(m, root));
  using E = schema::EntryPoint;
  QP_ASSIGN_OR_RETURN(
      app.entry_points,
      read_struct_list<EntryPoint>(
          m, root, A::entry_points, [&m](const StructReader& e) -> Result<EntryPoint> {
            QP_ASSIGN_OR_RETURN(std::string name, read_text(m, e, E::name));
            return EntryPoint{std::move(name), e.get(E::command), e.get(E::external_syncs)};
          }));
  using W = schema::DeviceConfigWrite;
  QP_ASSIGN_OR_RETURN(
      app.device_config_writes,
      read_struct_list<DeviceConfigWrite>(
          m, root, A::device_config_writes, [](const StructReader& w) -> Result<DeviceConfigWrite> {
            return DeviceConfigWrite{w.get(W::offset), w.get(W::value)};
          }));
  QP_ASSIGN_OR_RETURN(app.profile_tiles, read_profile_tiles(m, root));
  using Sym = schema::DebugSymbol;
  QP_ASSIGN_OR_RETURN(
      app.debug_symbols,
      read_struct_list<DebugSymbol>(
          m, root, A::debug_symbols, [&m](const StructReader& s) -> Result<DebugSymbol> {
            QP_ASSIGN_OR_RETURN(std::string name, read_text(m, s, Sym::name));
            return DebugSymbol{std::move(name), s.get(Sym::address)};
          }));
  using Reg = schema::DebugRegion;
  QP_ASSIGN_OR_RETURN(
      app.debug_regions,
      read_struct_list<DebugRegion>(
          m, root, A::debug_regions, [&m](const StructReader& r) -> Result<DebugRegion> {
            DebugRegion region{
                r.get(Reg::physical_tile), r.get(Reg::address), r.get(Reg::size_bytes), {}};
            QP_ASSIGN_OR_RETURN(region.name, read_text(m, r, Reg::name));
            return region;
          }));
  return app;
}

Result<Application> decode(std::span<const std::uint8_t> input) {
  QP_ASSIGN_OR_RETURN(const MessageReader message,
                      MessageReader::parse(input, capnp_reader_options()));
  QP_ASSIGN_OR_RETURN(const StructReader root, message.root());
  QP_RETURN_IF_ERROR(check_header(message, root));
  QP_ASSIGN_OR_RETURN(Application app, decode_root(message, root));
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
