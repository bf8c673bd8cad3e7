#include <algorithm>
#include <iostream>

#include "profile_commands.hpp"
#include "profile_view.hpp"
#include "report_io.hpp"
#include "report_views.hpp"

namespace quarn_pkg {

int run_report(const ReportOptions& options) {
  auto loaded = load_report(options.report);
  if (!loaded) return report(loaded.error());
  const ProfileView view = make_profile_view(*loaded);
  std::span<const TileView> tiles = view.tiles;
  if (options.tile) {
    const auto found = std::ranges::find(view.tiles, *options.tile, &TileView::physical_tile);
    if (found == view.tiles.end())
      return report(Failure{kExitRefused, options.report.string() + ": no tile " +
                                              std::to_string(*options.tile) + " in the report"});
    tiles = std::span(&*found, 1);
  }
  const ReportPart part{.view = &view, .tiles = tiles, .top = options.top};
  if (options.json)
    std::cout << report_json(part).dump(2) << '\n';
  else
    print_report(std::cout, options.report.string(), part);
  return kExitOk;
}

}  // namespace quarn_pkg
