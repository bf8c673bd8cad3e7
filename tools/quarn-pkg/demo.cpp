// `quarn-pkg demo`: the library's whole round trip on built-in example data, told step by
// step for someone who has never seen a package.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "commands.hpp"
#include "example.hpp"
#include "facts.hpp"
#include "files.hpp"
#include "inspect.hpp"
#include "package_io.hpp"
#include "profile_view.hpp"
#include "report_views.hpp"
#include "table.hpp"
#include "text.hpp"
#include "timeline_svg.hpp"
#include "trace_json.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

// What the steps share: where files go, what was written, and the data they pass on.
struct Demo {
  path dir;
  std::vector<std::pair<std::string, path>> files;  // what each file is, and where
  qp::Application app;
  qp::ProfileReport report;
  int step = 0;

  void heading(const std::string& text) { std::cout << '\n' << ++step << ". " << text << '\n'; }
  Outcome<void> write(const std::string& what, const std::string& name,
                      std::span<const std::uint8_t> bytes) {
    const path file = dir / name;
    if (auto written = write_file_atomically(file, bytes); !written) return written;
    files.emplace_back(what, file);
    return {};
  }
  Outcome<void> write(const std::string& what, const std::string& name, std::string_view text) {
    return write(what, name,
                 std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
};

Outcome<path> fresh_temp_dir() {
  std::error_code error;
  const path temp = std::filesystem::temp_directory_path(error);
  if (error) return io_failure("cannot find the temporary folder: " + error.message());
  std::string pattern = (temp / "quarn-pkg-demo-XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    return io_failure(pattern + ": cannot create folder: " + std::strerror(errno));
  return path(pattern);
}

Outcome<void> write_and_read_package(Demo& demo) {
  demo.heading("Build the example application");
  const qp::Application& app = demo.app;
  std::cout << "   " << count(app.tiles.size(), "tile", "tiles") << ", "
            << count(app.inputs.size() + app.outputs.size() + app.weights.size(), "binding",
                     "bindings")
            << ", " << count(app.host_exchange.calls.size(), "host call", "host calls") << ", "
            << count(app.profile_tiles.size(), "profile plan", "profile plans")
            << ", and a record of every other kind\n";

  demo.heading("Write it as a package, then read the package back");
  const path file = demo.dir / "example.qpkg";
  auto bytes = save_package(app, "example application", file);
  if (!bytes) return std::unexpected(bytes.error());
  demo.files.emplace_back("application package", file);
  auto loaded = load_package(file);
  if (!loaded) return std::unexpected(loaded.error());
  if (loaded->app != app) return refused(file.string() + ": read back a different application");
  std::cout << "   " << bytes->size() << " bytes; the application read back is equal to the one "
            << "written\n";

  demo.heading("What `quarn-pkg inspect` shows for it");
  std::cout << '\n';
  print_inspect(std::cout, file.string(), loaded->bytes.size(), loaded->app, false);
  return {};
}

Outcome<void> rebuild_tile_image(Demo& demo) {
  demo.heading("Rebuild tile 0's memory image, as a loader would");
  auto image = demo.app.tile_image(0);
  if (!image) return refused("example application: " + describe(image.error()));
  if (auto written = demo.write("tile 0 image", "tile-0.bin", *image); !written) return written;
  const auto tile = std::ranges::find(demo.app.tiles, 0u, &qp::TileImage::physical_tile);
  std::cout << "   load base " << hex(load_base(*tile).value_or(0)) << ", " << image->size()
            << " bytes: every segment's data in place, zeros in between\n";
  return {};
}

Outcome<void> profile_round_trip(Demo& demo) {
  demo.heading("Make the runtime output buffer of a profiled run (synthetic counters)");
  const std::vector<std::uint8_t> output = synthetic_runtime_output(demo.app);
  if (auto written = demo.write("runtime output buffer", "runtime-output.bin", output); !written)
    return written;
  std::cout << "   " << output.size() << " bytes: every output binding in order, with "
            << "start/end cycle counters in \"" << qp::kProfileCyclesBinding << "\"\n";

  demo.heading("Build the profile report from it");
  auto report = demo.app.profile_report(output, kExampleClockHz);
  if (!report) return refused("runtime output buffer: " + describe(report.error()));
  demo.report = std::move(*report);
  print_profile_report(std::cout, demo.report, "   ");

  demo.heading("Write the profile file, then read it back");
  std::vector<std::uint8_t> bytes;
  if (auto written = demo.report.write(bytes); !written)
    return refused("profile report: " + describe(written.error()));
  if (auto written = demo.write("profile report", "example.qprof", bytes); !written) return written;
  auto file = read_file(demo.files.back().second);
  if (!file) return std::unexpected(file.error());
  auto read = qp::ProfileReport::read(*file);
  if (!read) return refused(demo.files.back().second.string() + ": " + describe(read.error()));
  if (*read != demo.report)
    return refused(demo.files.back().second.string() + ": read back a different report");
  std::cout << "   " << bytes.size() << " bytes; the report read back is equal to the one "
            << "written\n";
  return {};
}

Outcome<void> draw_profile(Demo& demo) {
  const ProfileView view = make_profile_view(demo.report);
  demo.heading("Lay the report out as a trace, for Perfetto UI or chrome://tracing");
  if (auto written = demo.write("trace of the report", "trace.json", chrome_trace(view)); !written)
    return written;
  std::cout << "   one track per tile, one event per step along the tile's own counter, "
            << "exchange activities nested in their steps\n";

  demo.heading("Draw the report as a timeline picture");
  if (auto written =
          demo.write("timeline of the report", "timeline.svg", timeline_svg(view, "example.qprof"));
      !written)
    return written;
  std::cout << "   one row per tile, one bar per step coloured by its kind; open it in a "
            << "browser\n";
  return {};
}

void print_next_steps(const Demo& demo, const std::string& program) {
  std::cout << "\nFiles written to " << demo.dir.string() << ":\n";
  Table table({{"", Table::Align::Left}, {"", Table::Align::Left}});
  for (const auto& [what, file] : demo.files) table.add_row({file.filename().string(), what});
  table.print(std::cout, "  ", table.size());
  const std::string package = (demo.dir / "example.qpkg").string();
  const std::string profile = (demo.dir / "example.qprof").string();
  const std::string& q = program;
  std::cout << "\nNext, try:\n"
            << "  " << q << " report " << profile << " --top 3\n"
            << "  " << q << " profile " << package << " "
            << (demo.dir / "runtime-output.bin").string() << " --clock-hz " << kExampleClockHz
            << " -o run.qprof\n"
            << "  " << q << " inspect " << package << " --json\n"
            << "  " << q << " to-json " << package << " > example.json\n"
            << "  " << q << " from-json example.json -o copy.qpkg\n"
            << "  " << q << " diff " << package << " copy.qpkg\n";
}

Outcome<void> demo_steps(const std::optional<path>& dir, const std::string& program) {
  auto folder = dir ? Outcome<path>(*dir) : fresh_temp_dir();
  if (!folder) return std::unexpected(folder.error());
  if (auto made = make_directory(*folder); !made) return made;
  Demo demo{.dir = *folder, .app = example_application()};

  std::cout << "quarn-pkg demo: a package's life, from compiler output to profile report.\n"
            << "Files go to " << demo.dir.string() << '\n';
  if (auto done = write_and_read_package(demo); !done) return done;
  if (auto done = rebuild_tile_image(demo); !done) return done;
  if (auto done = profile_round_trip(demo); !done) return done;
  if (auto done = draw_profile(demo); !done) return done;
  print_next_steps(demo, program);
  return {};
}

}  // namespace

int run_demo(const std::optional<path>& dir, const std::string& program) {
  if (auto done = demo_steps(dir, program); !done) return report(done.error());
  return kExitOk;
}

}  // namespace quarn_pkg
