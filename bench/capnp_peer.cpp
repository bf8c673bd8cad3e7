#include "capnp_peer.hpp"

#include <capnp/message.h>
#include <capnp/serialize.h>

#include <cstring>
#include <limits>
#include <string>

#include "application.capnp.h"
#include "profile_common.capnp.h"

namespace quarn_bench {
namespace {

using namespace quarn_package;
namespace cs = quarn_package::capnp_schema;

// ---- building ----

capnp::Text::Reader text(const std::string& s) { return {s.data(), s.size()}; }

void fill_u32(capnp::List<std::uint32_t>::Builder out, const std::vector<std::uint32_t>& in) {
  for (unsigned i = 0; i < in.size(); ++i) out.set(i, in[i]);
}

void fill_tiles(capnp::List<cs::TileImage>::Builder out, const std::vector<TileImage>& tiles) {
  for (unsigned i = 0; i < tiles.size(); ++i) {
    const TileImage& tile = tiles[i];
    cs::TileImage::Builder t = out[i];
    t.setPhysicalTile(tile.physical_tile);
    t.setEntryPoint(tile.entry_point);
    t.setCommandAddress(tile.command_address);
    t.setDiagnosticAddress(tile.diagnostic_address);
    auto segments = t.initSegments(tile.segments.size());
    for (unsigned k = 0; k < tile.segments.size(); ++k) {
      const Segment& segment = tile.segments[k];
      cs::Segment::Builder s = segments[k];
      s.setAddress(segment.address);
      s.setMemorySize(segment.memory_size);
      s.setData({segment.data.data(), segment.data.size()});
      s.setFlags(segment.flags);
    }
  }
}

void fill_bindings(capnp::List<cs::Binding>::Builder out, const std::vector<Binding>& bindings) {
  for (unsigned i = 0; i < bindings.size(); ++i) {
    const Binding& binding = bindings[i];
    cs::Binding::Builder b = out[i];
    b.setName(text(binding.name));
    b.setDtype(text(binding.dtype));
    fill_u32(b.initShape(binding.shape.size()), binding.shape);
    auto slices = b.initSlices(binding.slices.size());
    for (unsigned k = 0; k < binding.slices.size(); ++k) {
      const RegionSlice& slice = binding.slices[k];
      slices[k].setTile(slice.tile);
      slices[k].setTileAddress(slice.tile_address);
      slices[k].setFileOffset(slice.file_offset);
      slices[k].setSize(slice.size);
    }
  }
}

void fill_host_slices(capnp::List<cs::HostSlice>::Builder out, const std::vector<HostSlice>& in) {
  for (unsigned i = 0; i < in.size(); ++i) {
    out[i].setPage(in[i].page);
    out[i].setPageOffset(in[i].page_offset);
    out[i].setFileOffset(in[i].file_offset);
    out[i].setSize(in[i].size);
  }
}

void fill_host_exchange(cs::HostExchange::Builder out, const HostExchange& in) {
  out.setStartupMark(in.startup_mark);
  out.setCommandPage(in.command_page);
  out.setCommandOffset(in.command_offset);
  auto pages = out.initPages(in.pages.size());
  for (unsigned i = 0; i < in.pages.size(); ++i) {
    pages[i].setIndex(in.pages[i].index);
    pages[i].setSize(in.pages[i].size);
  }
  fill_u32(out.initAttachOrder(in.attach_order.size()), in.attach_order);
  auto calls = out.initCalls(in.calls.size());
  for (unsigned i = 0; i < in.calls.size(); ++i) {
    const HostCall& call = in.calls[i];
    cs::HostCall::Builder c = calls[i];
    c.setName(text(call.name));
    c.setCommand(call.command);
    c.setPhases(call.phases);
    c.setInvocations(call.invocations);
    fill_u32(c.initInputBatchEnds(call.input_batch_ends.size()), call.input_batch_ends);
    fill_u32(c.initOutputBatchEnds(call.output_batch_ends.size()), call.output_batch_ends);
    fill_host_slices(c.initInputs(call.inputs.size()), call.inputs);
    fill_host_slices(c.initOutputs(call.outputs.size()), call.outputs);
  }
}

void fill_step(cs::Step::Builder out, const ProfileStep& step) {
  out.setLocalIndex(step.local_index);
  out.setPhase(step.phase);
  out.setEpoch(step.epoch);
  out.setOperation(text(step.operation));
  out.setKind(static_cast<cs::StepKind>(step.kind));
  out.setKernel(text(step.kernel));
  out.setExchangeEventCycles(step.exchange_event_cycles);
  auto metadata = out.initMetadata(step.metadata.size());
  for (unsigned i = 0; i < step.metadata.size(); ++i) {
    metadata[i].setName(text(step.metadata[i].name));
    metadata[i].setValue(text(step.metadata[i].value));
  }
  auto activities = out.initExchangeActivities(step.exchange_activities.size());
  for (unsigned i = 0; i < step.exchange_activities.size(); ++i) {
    const ProfileExchangeActivity& a = step.exchange_activities[i];
    activities[i].setKind(static_cast<cs::ExchangeActivityKind>(a.kind));
    activities[i].setStartCycle(a.start_cycle);
    activities[i].setEndCycle(a.end_cycle);
  }
}

void fill_small_lists(cs::Application::Builder out, const Application& app) {
  auto entries = out.initEntryPoints(app.entry_points.size());
  for (unsigned i = 0; i < app.entry_points.size(); ++i) {
    entries[i].setName(text(app.entry_points[i].name));
    entries[i].setCommand(app.entry_points[i].command);
    entries[i].setExternalSyncs(app.entry_points[i].external_syncs);
  }
  auto writes = out.initDeviceConfigWrites(app.device_config_writes.size());
  for (unsigned i = 0; i < app.device_config_writes.size(); ++i) {
    writes[i].setOffset(app.device_config_writes[i].offset);
    writes[i].setValue(app.device_config_writes[i].value);
  }
}

void fill_profile_and_debug(cs::Application::Builder out, const Application& app) {
  auto plans = out.initProfileTiles(app.profile_tiles.size());
  for (unsigned i = 0; i < app.profile_tiles.size(); ++i) {
    const TileProfilePlan& plan = app.profile_tiles[i];
    plans[i].setPhysicalTile(plan.physical_tile);
    auto steps = plans[i].initSteps(plan.steps.size());
    for (unsigned k = 0; k < plan.steps.size(); ++k) fill_step(steps[k], plan.steps[k]);
  }
  auto symbols = out.initDebugSymbols(app.debug_symbols.size());
  for (unsigned i = 0; i < app.debug_symbols.size(); ++i) {
    symbols[i].setName(text(app.debug_symbols[i].name));
    symbols[i].setAddress(app.debug_symbols[i].address);
  }
  auto regions = out.initDebugRegions(app.debug_regions.size());
  for (unsigned i = 0; i < app.debug_regions.size(); ++i) {
    const DebugRegion& region = app.debug_regions[i];
    regions[i].setPhysicalTile(region.physical_tile);
    regions[i].setAddress(region.address);
    regions[i].setSize(region.size);
    regions[i].setName(text(region.name));
  }
}

void fill_application(cs::Application::Builder out, const Application& app) {
  out.setSchemaVersion(5);
  out.setCompilerVersion(text(app.compiler_version));
  out.setTarget("quarn7");
  out.setTileMemoryBase(kTileMemoryBase);
  out.setTileMemorySize(kTileMemorySize);
  fill_tiles(out.initTiles(app.tiles.size()), app.tiles);
  fill_bindings(out.initInputs(app.inputs.size()), app.inputs);
  fill_bindings(out.initOutputs(app.outputs.size()), app.outputs);
  fill_bindings(out.initWeights(app.weights.size()), app.weights);
  fill_host_exchange(out.initHostExchange(), app.host_exchange);
  fill_small_lists(out, app);
  fill_profile_and_debug(out, app);
}

// The stream framing written straight into a vector reserved at its final size.
std::vector<std::uint8_t> flatten(kj::ArrayPtr<const kj::ArrayPtr<const capnp::word>> segments) {
  std::vector<std::uint8_t> out;
  out.reserve(capnp::computeSerializedSizeInWords(segments) * sizeof(capnp::word));
  auto put32 = [&out](std::uint32_t v) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    out.insert(out.end(), p, p + 4);
  };
  put32(static_cast<std::uint32_t>(segments.size() - 1));
  for (const auto& segment : segments) put32(static_cast<std::uint32_t>(segment.size()));
  if (segments.size() % 2 == 0) put32(0);
  for (const auto& segment : segments) {
    const auto bytes = segment.asBytes();
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

// ---- reading ----

std::string to_string(capnp::Text::Reader in) { return std::string(in.cStr(), in.size()); }

std::vector<std::uint32_t> to_u32(capnp::List<std::uint32_t>::Reader in) {
  std::vector<std::uint32_t> out;
  out.reserve(in.size());
  for (std::uint32_t v : in) out.push_back(v);
  return out;
}

TileImage to_tile(cs::TileImage::Reader in) {
  TileImage tile{in.getPhysicalTile(),
                 in.getEntryPoint(),
                 in.getCommandAddress(),
                 in.getDiagnosticAddress(),
                 {}};
  const auto segments = in.getSegments();
  tile.segments.reserve(segments.size());
  for (cs::Segment::Reader s : segments) {
    const capnp::Data::Reader data = s.getData();
    tile.segments.push_back(Segment{s.getAddress(), s.getMemorySize(),
                                    std::vector<std::uint8_t>(data.begin(), data.end()),
                                    s.getFlags()});
  }
  return tile;
}

std::vector<Binding> to_bindings(capnp::List<cs::Binding>::Reader in) {
  std::vector<Binding> out;
  out.reserve(in.size());
  for (cs::Binding::Reader b : in) {
    Binding binding{to_string(b.getName()), to_string(b.getDtype()), to_u32(b.getShape()), {}};
    const auto slices = b.getSlices();
    binding.slices.reserve(slices.size());
    for (cs::RegionSlice::Reader s : slices) {
      binding.slices.push_back({s.getTile(), s.getTileAddress(), s.getFileOffset(), s.getSize()});
    }
    out.push_back(std::move(binding));
  }
  return out;
}

std::vector<HostSlice> to_host_slices(capnp::List<cs::HostSlice>::Reader in) {
  std::vector<HostSlice> out;
  out.reserve(in.size());
  for (cs::HostSlice::Reader s : in) {
    out.push_back({s.getPage(), s.getPageOffset(), s.getFileOffset(), s.getSize()});
  }
  return out;
}

HostExchange to_host_exchange(cs::HostExchange::Reader in) {
  HostExchange out{in.getStartupMark(), in.getCommandPage(), in.getCommandOffset(), {}, {}, {}};
  out.pages.reserve(in.getPages().size());
  for (cs::HostPage::Reader p : in.getPages()) out.pages.push_back({p.getIndex(), p.getSize()});
  out.attach_order = to_u32(in.getAttachOrder());
  out.calls.reserve(in.getCalls().size());
  for (cs::HostCall::Reader c : in.getCalls()) {
    out.calls.push_back(HostCall{to_string(c.getName()), c.getCommand(), c.getPhases(),
                                 to_host_slices(c.getInputs()), to_host_slices(c.getOutputs()),
                                 c.getInvocations(), to_u32(c.getInputBatchEnds()),
                                 to_u32(c.getOutputBatchEnds())});
  }
  return out;
}

ProfileStep to_step(cs::Step::Reader in) {
  ProfileStep step{in.getLocalIndex(),
                   in.getPhase(),
                   in.getEpoch(),
                   to_string(in.getOperation()),
                   static_cast<ProfileStepKind>(in.getKind()),
                   to_string(in.getKernel()),
                   {},
                   {},
                   in.getExchangeEventCycles()};
  const auto metadata = in.getMetadata();
  step.metadata.reserve(metadata.size());
  for (cs::Metadata::Reader m : metadata) {
    step.metadata.push_back({to_string(m.getName()), to_string(m.getValue())});
  }
  const auto activities = in.getExchangeActivities();
  step.exchange_activities.reserve(activities.size());
  for (cs::ExchangeActivity::Reader a : activities) {
    step.exchange_activities.push_back(
        {static_cast<ExchangeActivityKind>(a.getKind()), a.getStartCycle(), a.getEndCycle()});
  }
  return step;
}

void read_small_lists(cs::Application::Reader in, Application& app) {
  app.entry_points.reserve(in.getEntryPoints().size());
  for (cs::EntryPoint::Reader e : in.getEntryPoints()) {
    app.entry_points.push_back({to_string(e.getName()), e.getCommand(), e.getExternalSyncs()});
  }
  app.device_config_writes.reserve(in.getDeviceConfigWrites().size());
  for (cs::DeviceConfigWrite::Reader w : in.getDeviceConfigWrites()) {
    app.device_config_writes.push_back({w.getOffset(), w.getValue()});
  }
  app.debug_symbols.reserve(in.getDebugSymbols().size());
  for (cs::DebugSymbol::Reader s : in.getDebugSymbols()) {
    app.debug_symbols.push_back({to_string(s.getName()), s.getAddress()});
  }
  app.debug_regions.reserve(in.getDebugRegions().size());
  for (cs::DebugRegion::Reader r : in.getDebugRegions()) {
    app.debug_regions.push_back(
        {r.getPhysicalTile(), r.getAddress(), r.getSize(), to_string(r.getName())});
  }
}

Application to_application(cs::Application::Reader in) {
  Application app;
  app.compiler_version = to_string(in.getCompilerVersion());
  app.tiles.reserve(in.getTiles().size());
  for (cs::TileImage::Reader t : in.getTiles()) app.tiles.push_back(to_tile(t));
  app.inputs = to_bindings(in.getInputs());
  app.outputs = to_bindings(in.getOutputs());
  app.weights = to_bindings(in.getWeights());
  app.host_exchange = to_host_exchange(in.getHostExchange());
  app.profile_tiles.reserve(in.getProfileTiles().size());
  for (cs::TileProfilePlan::Reader p : in.getProfileTiles()) {
    TileProfilePlan plan{p.getPhysicalTile(), {}};
    plan.steps.reserve(p.getSteps().size());
    for (cs::Step::Reader s : p.getSteps()) plan.steps.push_back(to_step(s));
    app.profile_tiles.push_back(std::move(plan));
  }
  read_small_lists(in, app);
  return app;
}

}  // namespace

std::vector<std::uint8_t> capnp_write(const Application& app) {
  capnp::MallocMessageBuilder message;
  fill_application(message.initRoot<cs::Application>(), app);
  return flatten(message.getSegmentsForOutput());
}

Application capnp_read(std::span<const std::uint8_t> message) {
  capnp::ReaderOptions options;
  options.traversalLimitInWords = std::numeric_limits<std::uint64_t>::max();
  const kj::ArrayPtr<const capnp::word> words(reinterpret_cast<const capnp::word*>(message.data()),
                                              message.size() / sizeof(capnp::word));
  capnp::FlatArrayMessageReader reader(words, options);
  return to_application(reader.getRoot<cs::Application>());
}

}  // namespace quarn_bench
