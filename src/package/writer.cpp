// The package writer. The order in which objects are created below fixes the bytes of a
// package (objects are placed in creation order), so it must not change.
#include <ostream>

#include "model/log_emit.hpp"
#include "model/try.hpp"
#include "package/schema.hpp"
#include "package/step_codec.hpp"
#include "quarn_package/application.hpp"
#include "wire/builder.hpp"

namespace quarn_package {
namespace {

namespace schema = detail::schema;

// Every function below takes its builders as `auto`: each runs once with the planning
// builders and once with the writing ones (wire/builder.hpp).

void write_host_slices(auto out, const std::vector<HostSlice>& slices) {
  using S = schema::HostSlice;
  for (std::uint32_t i = 0; i < out.size(); ++i) {
    out[i].set(S::page, slices[i].page);
    out[i].set(S::page_offset, slices[i].page_offset);
    out[i].set(S::file_offset, slices[i].file_offset);
    out[i].set(S::size_bytes, slices[i].size);
  }
}

void write_tiles(auto out, const std::vector<TileImage>& tiles) {
  using T = schema::TileImage;
  using S = schema::Segment;
  for (std::uint32_t i = 0; i < out.size(); ++i) {
    const TileImage& tile = tiles[i];
    auto t = out[i];
    t.set(T::physical_tile, tile.physical_tile);
    t.set(T::entry_point, tile.entry_point);
    t.set(T::command_address, tile.command_address);
    t.set(T::diagnostic_address, tile.diagnostic_address);
    auto segments = t.init_struct_list(T::segments, S::size, tile.segments.size());
    for (std::uint32_t j = 0; j < segments.size(); ++j) {
      const Segment& segment = tile.segments[j];
      segments[j].set(S::address, segment.address);
      segments[j].set(S::memory_size, segment.memory_size);
      segments[j].set_data(S::data, segment.data);
      segments[j].set(S::flags, segment.flags);
    }
  }
}

void write_bindings(auto out, const std::vector<Binding>& bindings) {
  using B = schema::Binding;
  using R = schema::RegionSlice;
  for (std::uint32_t i = 0; i < out.size(); ++i) {
    const Binding& binding = bindings[i];
    auto b = out[i];
    b.set_text(B::name, binding.name);
    b.set_text(B::dtype, binding.dtype);
    b.set_u32_list(B::shape, binding.shape);
    auto slices = b.init_struct_list(B::slices, R::size, binding.slices.size());
    for (std::uint32_t j = 0; j < slices.size(); ++j) {
      const RegionSlice& slice = binding.slices[j];
      slices[j].set(R::tile, slice.tile);
      slices[j].set(R::tile_address, slice.tile_address);
      slices[j].set(R::file_offset, slice.file_offset);
      slices[j].set(R::size_bytes, slice.size);
    }
  }
}

void write_host_exchange(auto out, const HostExchange& exchange) {
  using E = schema::HostExchange;
  using C = schema::HostCall;
  out.set(E::startup_mark, exchange.startup_mark);
  out.set(E::command_page, exchange.command_page);
  out.set(E::command_offset, exchange.command_offset);
  auto pages = out.init_struct_list(E::pages, schema::HostPage::size, exchange.pages.size());
  for (std::uint32_t i = 0; i < pages.size(); ++i) {
    pages[i].set(schema::HostPage::index, exchange.pages[i].index);
    pages[i].set(schema::HostPage::size_bytes, exchange.pages[i].size);
  }
  out.set_u32_list(E::attach_order, exchange.attach_order);
  auto calls = out.init_struct_list(E::calls, C::size, exchange.calls.size());
  for (std::uint32_t i = 0; i < calls.size(); ++i) {
    const HostCall& call = exchange.calls[i];
    auto c = calls[i];
    c.set_text(C::name, call.name);
    c.set(C::command, call.command);
    c.set(C::phases, call.phases);
    c.set(C::invocations, call.invocations);
    // The batch ends come before the slices, unlike the schema order.
    c.set_u32_list(C::input_batch_ends, call.input_batch_ends);
    c.set_u32_list(C::output_batch_ends, call.output_batch_ends);
    write_host_slices(c.init_struct_list(C::inputs, schema::HostSlice::size, call.inputs.size()),
                      call.inputs);
    write_host_slices(c.init_struct_list(C::outputs, schema::HostSlice::size, call.outputs.size()),
                      call.outputs);
  }
}

void write_profile_tiles(auto out, const std::vector<TileProfilePlan>& plans) {
  using P = schema::TileProfilePlan;
  for (std::uint32_t i = 0; i < out.size(); ++i) {
    out[i].set(P::physical_tile, plans[i].physical_tile);
    auto steps = out[i].init_struct_list(P::steps, schema::Step::size, plans[i].steps.size());
    for (std::uint32_t k = 0; k < steps.size(); ++k) {
      detail::write_profile_step(steps[k], plans[i].steps[k]);
    }
  }
}

void write_debug_info(auto root, const Application& app) {
  using A = schema::Application;
  using Sym = schema::DebugSymbol;
  using Reg = schema::DebugRegion;
  auto symbols = root.init_struct_list(A::debug_symbols, Sym::size, app.debug_symbols.size());
  for (std::uint32_t i = 0; i < symbols.size(); ++i) {
    symbols[i].set_text(Sym::name, app.debug_symbols[i].name);
    symbols[i].set(Sym::address, app.debug_symbols[i].address);
  }
  auto regions = root.init_struct_list(A::debug_regions, Reg::size, app.debug_regions.size());
  for (std::uint32_t i = 0; i < regions.size(); ++i) {
    const DebugRegion& region = app.debug_regions[i];
    regions[i].set(Reg::physical_tile, region.physical_tile);
    regions[i].set(Reg::address, region.address);
    regions[i].set(Reg::size_bytes, region.size);
    regions[i].set_text(Reg::name, region.name);
  }
}

void write_application(auto root, const Application& app) {
  using A = schema::Application;
  root.set(A::schema_version, schema::kSchemaVersion);
  root.set_text(A::compiler_version, app.compiler_version);
  root.set_text(A::target, schema::kTarget);
  root.set(A::tile_memory_base, kTileMemoryBase);
  root.set(A::tile_memory_size, kTileMemorySize);
  write_tiles(root.init_struct_list(A::tiles, schema::TileImage::size, app.tiles.size()),
              app.tiles);
  write_bindings(root.init_struct_list(A::inputs, schema::Binding::size, app.inputs.size()),
                 app.inputs);
  write_bindings(root.init_struct_list(A::outputs, schema::Binding::size, app.outputs.size()),
                 app.outputs);
  write_bindings(root.init_struct_list(A::weights, schema::Binding::size, app.weights.size()),
                 app.weights);
  write_host_exchange(root.init_struct(A::host_exchange, schema::HostExchange::size),
                      app.host_exchange);
  using E = schema::EntryPoint;
  auto entries = root.init_struct_list(A::entry_points, E::size, app.entry_points.size());
  for (std::uint32_t i = 0; i < entries.size(); ++i) {
    entries[i].set_text(E::name, app.entry_points[i].name);
    entries[i].set(E::command, app.entry_points[i].command);
    entries[i].set(E::external_syncs, app.entry_points[i].external_syncs);
  }
  using W = schema::DeviceConfigWrite;
  auto writes =
      root.init_struct_list(A::device_config_writes, W::size, app.device_config_writes.size());
  for (std::uint32_t i = 0; i < writes.size(); ++i) {
    writes[i].set(W::offset, app.device_config_writes[i].offset);
    writes[i].set(W::value, app.device_config_writes[i].value);
  }
  write_profile_tiles(root.init_struct_list(A::profile_tiles, schema::TileProfilePlan::size,
                                            app.profile_tiles.size()),
                      app.profile_tiles);
  write_debug_info(root, app);
}

Result<void> encode(const Application& app, std::vector<std::uint8_t>& output) {
  return detail::wire::build_message(output, schema::Application::size,
                                     [&app](auto root) { write_application(root, app); });
}

// Validation, the two events and a sink that receives the encoded message.
template <class Emit>
Result<void> write_package(const Application& app, Emit&& emit) {
  QP_RETURN_IF_ERROR(app.validate());
  if (detail::log_enabled(log::Level::Info)) {
    detail::log_emit(log::Level::Info, "writing application package",
                     {{"tiles", std::uint64_t{app.tiles.size()}}});
  }
  QP_RETURN_IF_ERROR(emit());
  detail::log_emit(log::Level::Info, "application package written");
  return {};
}

}  // namespace

Result<void> Application::write(std::vector<std::uint8_t>& output) const {
  return write_package(*this, [&] { return encode(*this, output); });
}

Result<void> Application::write(std::ostream& output) const {
  return write_package(*this, [&]() -> Result<void> {
    std::vector<std::uint8_t> bytes;
    QP_RETURN_IF_ERROR(encode(*this, bytes));
    return detail::wire::write_to_stream(output, bytes);
  });
}

}  // namespace quarn_package
