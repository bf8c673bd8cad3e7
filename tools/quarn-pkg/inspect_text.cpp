// The table view of `inspect`.
#include "facts.hpp"
#include "inspect.hpp"
#include "table.hpp"
#include "text.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

using Align = Table::Align;
constexpr Align L = Align::Left;
constexpr Align R = Align::Right;

// Rows a table shows without --full; a table only a little longer is shown whole.
constexpr std::size_t kSummaryRows = 10;
constexpr std::size_t kSummaryMaxWhole = 12;

void print_section(std::ostream& os, const std::string& title, const Table& table, bool full,
                   const std::string& indent = "  ") {
  os << '\n' << title << " (" << table.size() << ")";
  if (table.size() == 0) {
    os << ": none\n";
    return;
  }
  os << '\n';
  const std::size_t limit = full || table.size() <= kSummaryMaxWhole ? table.size() : kSummaryRows;
  if (const std::size_t hidden = table.print(os, indent, limit); hidden > 0)
    os << indent << "... " << hidden << " more (--full shows all)\n";
}

void print_header(std::ostream& os, const std::string& file, std::uint64_t file_bytes,
                  const qp::Application& app, const PackageFacts& facts) {
  os << file << ": application package, " << file_bytes << " bytes\n";
  Table header({{"", L}, {"", L}});
  header.add_row({"compiler version", app.compiler_version});
  header.add_row({"tiles", std::to_string(app.tiles.size())});
  header.add_row({"segment bytes", std::to_string(facts.segment_memory_bytes) +
                                       " in tile memory, " +
                                       std::to_string(facts.segment_data_bytes) + " stored"});
  header.add_row({"tile memory", hex(qp::kTileMemoryBase) + ".." + hex(qp::kTileMemoryEnd) + " (" +
                                     std::to_string(qp::kTileMemorySize) + " bytes)"});
  header.print(os, "  ", header.size());
}

Table tile_table(const PackageFacts& facts) {
  Table t({{"tile"}, {"load base"}, {"image bytes"}, {"segments"}, {"entry point"}});
  for (const TileFacts& tile : facts.tiles)
    t.add_row({std::to_string(tile.physical_tile), tile.load_base ? hex(*tile.load_base) : "-",
               std::to_string(tile.image_bytes), std::to_string(tile.segment_count),
               hex(tile.entry_point)});
  return t;
}

Table binding_table(const PackageFacts& facts) {
  Table t({{"kind", L}, {"name", L}, {"dtype", L}, {"shape", L}, {"slices"}, {"size"}});
  for (const BindingFacts& b : facts.bindings)
    t.add_row({b.kind, b.binding->name, b.binding->dtype, bracketed(b.binding->shape),
               std::to_string(b.binding->slices.size()), std::to_string(b.size)});
  return t;
}

void print_host_exchange(std::ostream& os, const qp::HostExchange& h, bool full) {
  os << "\nHost exchange\n";
  os << "  command word  page " << h.command_page << " offset " << h.command_offset
     << "; startup mark " << h.startup_mark << '\n';
  os << "  attach order  " << comma_list(h.attach_order) << '\n';
  Table pages({{"index"}, {"size"}});
  for (const qp::HostPage& p : h.pages)
    pages.add_row({std::to_string(p.index), std::to_string(p.size)});
  print_section(os, "  Pages", pages, full, "    ");
  Table calls({{"name", L},
               {"command"},
               {"phases"},
               {"invocations"},
               {"inputs"},
               {"input batches"},
               {"outputs"},
               {"output batches"}});
  for (const qp::HostCall& c : h.calls)
    calls.add_row({c.name, std::to_string(c.command), std::to_string(c.phases),
                   std::to_string(c.invocations), std::to_string(c.inputs.size()),
                   std::to_string(c.input_batch_ends.size()), std::to_string(c.outputs.size()),
                   std::to_string(c.output_batch_ends.size())});
  print_section(os, "  Calls", calls, full, "    ");
}

void print_records(std::ostream& os, const qp::Application& app, bool full) {
  Table entries({{"name", L}, {"command"}, {"external syncs"}});
  for (const qp::EntryPoint& e : app.entry_points)
    entries.add_row({e.name, std::to_string(e.command), std::to_string(e.external_syncs)});
  print_section(os, "Entry points", entries, full);

  Table writes({{"offset"}, {"value"}});
  for (const qp::DeviceConfigWrite& w : app.device_config_writes)
    writes.add_row({hex(w.offset), hex(w.value)});
  print_section(os, "Configuration writes", writes, full);

  Table plans({{"tile"}, {"steps"}});
  for (const qp::TileProfilePlan& p : app.profile_tiles)
    plans.add_row({std::to_string(p.physical_tile), std::to_string(p.steps.size())});
  print_section(os, "Profile plans", plans, full);

  Table symbols({{"name", L}, {"address"}});
  for (const qp::DebugSymbol& s : app.debug_symbols) symbols.add_row({s.name, hex(s.address)});
  print_section(os, "Debug symbols", symbols, full);

  Table regions({{"tile"}, {"address"}, {"size"}, {"name", L}});
  for (const qp::DebugRegion& r : app.debug_regions)
    regions.add_row({r.physical_tile == qp::kNoTile ? "none" : std::to_string(r.physical_tile),
                     hex(r.address), std::to_string(r.size), r.name});
  print_section(os, "Debug regions", regions, full);
}

}  // namespace

void print_inspect(std::ostream& os, const std::string& file, std::uint64_t file_bytes,
                   const qp::Application& app, bool full) {
  const PackageFacts facts = package_facts(app);
  print_header(os, file, file_bytes, app, facts);
  print_section(os, "Tiles", tile_table(facts), full);
  print_section(os, "Bindings", binding_table(facts), full);
  print_host_exchange(os, app.host_exchange, full);
  print_records(os, app, full);
}

}  // namespace quarn_pkg
