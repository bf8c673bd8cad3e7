#include "profile_view.hpp"

#include "json_form.hpp"
#include "table.hpp"

namespace quarn_pkg {

void print_profile_report(std::ostream& os, const quarn_package::ProfileReport& report,
                          std::string_view indent) {
  using Align = Table::Align;
  Table table({{"tile"},
               {"step"},
               {"kind", Align::Left},
               {"operation", Align::Left},
               {"start"},
               {"end"},
               {"cycles"}});
  for (const quarn_package::TileProfile& tile : report.tiles)
    for (const quarn_package::CycleSample& sample : tile.samples) {
      // The counter is 32 bits and wraps; unsigned subtraction gives the elapsed cycles
      // across a wrap as well.
      const std::uint32_t elapsed = sample.end_cycle - sample.start_cycle;
      table.add_row({std::to_string(tile.physical_tile), std::to_string(sample.step.local_index),
                     enum_name(sample.step.kind), sample.step.operation,
                     std::to_string(sample.start_cycle), std::to_string(sample.end_cycle),
                     std::to_string(elapsed)});
    }
  os << indent << "clock " << report.clock_hz << " Hz\n";
  table.print(os, indent, table.size());
}

}  // namespace quarn_pkg
