// `trace` and `timeline`: a profile file drawn for people, as a file each.
#include <iostream>

#include "files.hpp"
#include "profile_commands.hpp"
#include "profile_view.hpp"
#include "report_io.hpp"
#include "text.hpp"
#include "timeline_svg.hpp"
#include "trace_json.hpp"

namespace quarn_pkg {
namespace {

int write_view(const path& report_file, const path& output, const char* what,
               std::string (*render)(const ProfileView&, const path&)) {
  auto loaded = load_report(report_file);
  if (!loaded) return report(loaded.error());
  const ProfileView view = make_profile_view(*loaded);
  const std::string text = render(view, report_file);
  if (auto written = write_file_atomically(output, text); !written) return report(written.error());
  std::cout << printable(output.string()) << ": " << what << ", "
            << count(view.tiles.size(), "tile", "tiles") << ", "
            << count(view.step_count, "step", "steps") << '\n';
  return kExitOk;
}

}  // namespace

int run_trace(const path& report_file, const path& output) {
  return write_view(report_file, output, "trace",
                    [](const ProfileView& view, const path&) { return chrome_trace(view); });
}

int run_timeline(const path& report_file, const path& output) {
  return write_view(report_file, output, "timeline", [](const ProfileView& view, const path& file) {
    return timeline_svg(view, file.filename().string());
  });
}

}  // namespace quarn_pkg
