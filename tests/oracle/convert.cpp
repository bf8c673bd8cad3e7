#include "convert.hpp"

#include <vector>

namespace quarn_package::oracle {
namespace {

template <class Record, class ListReader>
std::vector<Record> to_records(ListReader in) {
  std::vector<Record> out;
  out.reserve(in.size());
  for (auto element : in) out.push_back(to_record(element));
  return out;
}

std::vector<std::uint32_t> to_numbers(capnp::List<std::uint32_t>::Reader in) {
  std::vector<std::uint32_t> out;
  out.reserve(in.size());
  for (std::uint32_t v : in) out.push_back(v);
  return out;
}

// Fills an already created list element by element.
template <class ListBuilder, class Record>
void fill_all(ListBuilder out, const std::vector<Record>& in) {
  for (unsigned i = 0; i < in.size(); ++i) fill(out[i], in[i]);
}

void fill_numbers(capnp::List<std::uint32_t>::Builder out, const std::vector<std::uint32_t>& in) {
  for (unsigned i = 0; i < in.size(); ++i) out.set(i, in[i]);
}

}  // namespace

std::string to_record(capnp::Text::Reader in) { return std::string(in.begin(), in.size()); }

ProfileMetadata to_record(cs::Metadata::Reader in) {
  return {to_record(in.getName()), to_record(in.getValue())};
}

ProfileExchangeActivity to_record(cs::ExchangeActivity::Reader in) {
  return {static_cast<ExchangeActivityKind>(in.getKind()), in.getStartCycle(), in.getEndCycle()};
}

ProfileStep to_record(cs::Step::Reader in) {
  return {
      .local_index = in.getLocalIndex(),
      .phase = in.getPhase(),
      .epoch = in.getEpoch(),
      .operation = to_record(in.getOperation()),
      .kind = static_cast<ProfileStepKind>(in.getKind()),
      .kernel = to_record(in.getKernel()),
      .metadata = to_records<ProfileMetadata>(in.getMetadata()),
      .exchange_activities = to_records<ProfileExchangeActivity>(in.getExchangeActivities()),
      .exchange_event_cycles = in.getExchangeEventCycles(),
  };
}

Segment to_record(cs::Segment::Reader in) {
  const capnp::Data::Reader data = in.getData();
  return {in.getAddress(), in.getMemorySize(), {data.begin(), data.end()}, in.getFlags()};
}

TileImage to_record(cs::TileImage::Reader in) {
  return {in.getPhysicalTile(), in.getEntryPoint(), in.getCommandAddress(),
          in.getDiagnosticAddress(), to_records<Segment>(in.getSegments())};
}

RegionSlice to_record(cs::RegionSlice::Reader in) {
  return {in.getTile(), in.getTileAddress(), in.getFileOffset(), in.getSize()};
}

Binding to_record(cs::Binding::Reader in) {
  return {to_record(in.getName()), to_record(in.getDtype()), to_numbers(in.getShape()),
          to_records<RegionSlice>(in.getSlices())};
}

HostPage to_record(cs::HostPage::Reader in) { return {in.getIndex(), in.getSize()}; }

HostSlice to_record(cs::HostSlice::Reader in) {
  return {in.getPage(), in.getPageOffset(), in.getFileOffset(), in.getSize()};
}

HostCall to_record(cs::HostCall::Reader in) {
  return {
      .name = to_record(in.getName()),
      .command = in.getCommand(),
      .phases = in.getPhases(),
      .inputs = to_records<HostSlice>(in.getInputs()),
      .outputs = to_records<HostSlice>(in.getOutputs()),
      .invocations = in.getInvocations(),
      .input_batch_ends = to_numbers(in.getInputBatchEnds()),
      .output_batch_ends = to_numbers(in.getOutputBatchEnds()),
  };
}

HostExchange to_record(cs::HostExchange::Reader in) {
  return {in.getStartupMark(),
          in.getCommandPage(),
          in.getCommandOffset(),
          to_records<HostPage>(in.getPages()),
          to_numbers(in.getAttachOrder()),
          to_records<HostCall>(in.getCalls())};
}

EntryPoint to_record(cs::EntryPoint::Reader in) {
  return {to_record(in.getName()), in.getCommand(), in.getExternalSyncs()};
}

DeviceConfigWrite to_record(cs::DeviceConfigWrite::Reader in) {
  return {in.getOffset(), in.getValue()};
}

TileProfilePlan to_record(cs::TileProfilePlan::Reader in) {
  return {in.getPhysicalTile(), to_records<ProfileStep>(in.getSteps())};
}

DebugSymbol to_record(cs::DebugSymbol::Reader in) {
  return {to_record(in.getName()), in.getAddress()};
}

DebugRegion to_record(cs::DebugRegion::Reader in) {
  return {in.getPhysicalTile(), in.getAddress(), in.getSize(), to_record(in.getName())};
}

Application to_record(cs::Application::Reader in) {
  Application app;
  app.compiler_version = to_record(in.getCompilerVersion());
  app.tiles = to_records<TileImage>(in.getTiles());
  app.inputs = to_records<Binding>(in.getInputs());
  app.outputs = to_records<Binding>(in.getOutputs());
  app.weights = to_records<Binding>(in.getWeights());
  app.host_exchange = to_record(in.getHostExchange());
  app.entry_points = to_records<EntryPoint>(in.getEntryPoints());
  app.device_config_writes = to_records<DeviceConfigWrite>(in.getDeviceConfigWrites());
  app.profile_tiles = to_records<TileProfilePlan>(in.getProfileTiles());
  app.debug_symbols = to_records<DebugSymbol>(in.getDebugSymbols());
  app.debug_regions = to_records<DebugRegion>(in.getDebugRegions());
  return app;
}

CycleSample to_record(cs::CycleSample::Reader in) {
  return {to_record(in.getStep()), in.getStartCycle(), in.getEndCycle()};
}

TileProfile to_record(cs::TileProfile::Reader in) {
  return {in.getPhysicalTile(), to_records<CycleSample>(in.getSamples())};
}

ProfileReport to_record(cs::Profile::Reader in) {
  return {in.getClockHz(), to_records<TileProfile>(in.getTiles())};
}

capnp::Text::Reader to_capnp(const std::string& text) { return {text.data(), text.size()}; }

void fill(cs::Metadata::Builder out, const ProfileMetadata& in) {
  out.setName(to_capnp(in.name));
  out.setValue(to_capnp(in.value));
}

void fill(cs::ExchangeActivity::Builder out, const ProfileExchangeActivity& in) {
  out.setKind(static_cast<cs::ExchangeActivityKind>(in.kind));
  out.setStartCycle(in.start_cycle);
  out.setEndCycle(in.end_cycle);
}

void fill(cs::Step::Builder out, const ProfileStep& in) {
  out.setLocalIndex(in.local_index);
  out.setPhase(in.phase);
  out.setEpoch(in.epoch);
  out.setOperation(to_capnp(in.operation));
  out.setKind(static_cast<cs::StepKind>(in.kind));
  out.setKernel(to_capnp(in.kernel));
  out.setExchangeEventCycles(in.exchange_event_cycles);
  fill_all(out.initMetadata(in.metadata.size()), in.metadata);
  fill_all(out.initExchangeActivities(in.exchange_activities.size()), in.exchange_activities);
}

void fill(cs::Segment::Builder out, const Segment& in) {
  out.setAddress(in.address);
  out.setMemorySize(in.memory_size);
  out.setData(capnp::Data::Reader(in.data.data(), in.data.size()));
  out.setFlags(in.flags);
}

void fill(cs::TileImage::Builder out, const TileImage& in) {
  out.setPhysicalTile(in.physical_tile);
  out.setEntryPoint(in.entry_point);
  out.setCommandAddress(in.command_address);
  out.setDiagnosticAddress(in.diagnostic_address);
  fill_all(out.initSegments(in.segments.size()), in.segments);
}

void fill(cs::RegionSlice::Builder out, const RegionSlice& in) {
  out.setTile(in.tile);
  out.setTileAddress(in.tile_address);
  out.setFileOffset(in.file_offset);
  out.setSize(in.size);
}

void fill(cs::Binding::Builder out, const Binding& in) {
  out.setName(to_capnp(in.name));
  out.setDtype(to_capnp(in.dtype));
  fill_numbers(out.initShape(in.shape.size()), in.shape);
  fill_all(out.initSlices(in.slices.size()), in.slices);
}

void fill(cs::HostPage::Builder out, const HostPage& in) {
  out.setIndex(in.index);
  out.setSize(in.size);
}

void fill(cs::HostSlice::Builder out, const HostSlice& in) {
  out.setPage(in.page);
  out.setPageOffset(in.page_offset);
  out.setFileOffset(in.file_offset);
  out.setSize(in.size);
}

void fill(cs::HostCall::Builder out, const HostCall& in) {
  out.setName(to_capnp(in.name));
  out.setCommand(in.command);
  out.setPhases(in.phases);
  out.setInvocations(in.invocations);
  // Our writer creates the batch ends before the slices.
  fill_numbers(out.initInputBatchEnds(in.input_batch_ends.size()), in.input_batch_ends);
  fill_numbers(out.initOutputBatchEnds(in.output_batch_ends.size()), in.output_batch_ends);
  fill_all(out.initInputs(in.inputs.size()), in.inputs);
  fill_all(out.initOutputs(in.outputs.size()), in.outputs);
}

void fill(cs::HostExchange::Builder out, const HostExchange& in) {
  out.setStartupMark(in.startup_mark);
  out.setCommandPage(in.command_page);
  out.setCommandOffset(in.command_offset);
  fill_all(out.initPages(in.pages.size()), in.pages);
  fill_numbers(out.initAttachOrder(in.attach_order.size()), in.attach_order);
  fill_all(out.initCalls(in.calls.size()), in.calls);
}

void fill(cs::EntryPoint::Builder out, const EntryPoint& in) {
  out.setName(to_capnp(in.name));
  out.setCommand(in.command);
  out.setExternalSyncs(in.external_syncs);
}

void fill(cs::DeviceConfigWrite::Builder out, const DeviceConfigWrite& in) {
  out.setOffset(in.offset);
  out.setValue(in.value);
}

void fill(cs::TileProfilePlan::Builder out, const TileProfilePlan& in) {
  out.setPhysicalTile(in.physical_tile);
  fill_all(out.initSteps(in.steps.size()), in.steps);
}

void fill(cs::DebugSymbol::Builder out, const DebugSymbol& in) {
  out.setName(to_capnp(in.name));
  out.setAddress(in.address);
}

void fill(cs::DebugRegion::Builder out, const DebugRegion& in) {
  out.setPhysicalTile(in.physical_tile);
  out.setAddress(in.address);
  out.setSize(in.size);
  out.setName(to_capnp(in.name));
}

void fill(cs::Application::Builder out, const Application& in) {
  out.setSchemaVersion(5);
  out.setCompilerVersion(to_capnp(in.compiler_version));
  out.setTarget("quarn7");
  out.setTileMemoryBase(kTileMemoryBase);
  out.setTileMemorySize(kTileMemorySize);
  fill_all(out.initTiles(in.tiles.size()), in.tiles);
  fill_all(out.initInputs(in.inputs.size()), in.inputs);
  fill_all(out.initOutputs(in.outputs.size()), in.outputs);
  fill_all(out.initWeights(in.weights.size()), in.weights);
  fill(out.initHostExchange(), in.host_exchange);
  fill_all(out.initEntryPoints(in.entry_points.size()), in.entry_points);
  fill_all(out.initDeviceConfigWrites(in.device_config_writes.size()), in.device_config_writes);
  fill_all(out.initProfileTiles(in.profile_tiles.size()), in.profile_tiles);
  fill_all(out.initDebugSymbols(in.debug_symbols.size()), in.debug_symbols);
  fill_all(out.initDebugRegions(in.debug_regions.size()), in.debug_regions);
}

void fill(cs::CycleSample::Builder out, const CycleSample& in) {
  out.setStartCycle(in.start_cycle);
  out.setEndCycle(in.end_cycle);
  fill(out.initStep(), in.step);
}

void fill(cs::TileProfile::Builder out, const TileProfile& in) {
  out.setPhysicalTile(in.physical_tile);
  fill_all(out.initSamples(in.samples.size()), in.samples);
}

void fill(cs::Profile::Builder out, const ProfileReport& in) {
  out.setSchemaVersion(5);
  out.setClockHz(in.clock_hz);
  fill_all(out.initTiles(in.tiles.size()), in.tiles);
}

}  // namespace quarn_package::oracle
