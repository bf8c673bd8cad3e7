// quarn-pkg: the command line over quarn_package. This file only wires the arguments to
// the commands; each command lives in its own file.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "commands.hpp"
#include "log_sink.hpp"
#include "outcome.hpp"
#include "profile_commands.hpp"

namespace quarn_pkg {
namespace {

struct Options {
  int verbosity = 0;
  InspectOptions inspect;
  std::vector<path> validate;
  ImageOptions image;
  bool image_all = false;
  std::uint32_t image_tile = 0;
  path package;  // to-json
  std::optional<path> to_json_output;
  path json_file;  // from-json
  path from_json_output;
  path diff_a, diff_b;
  std::optional<path> demo_dir;
  ProfileOptions profile;
  ReportOptions report;
  std::uint32_t report_tile = 0;
  path view_report, view_output;  // trace, timeline
};

// -v on the top level and on every command, so it can go anywhere on the line.
CLI::App* command(CLI::App& app, Options& options, const std::string& name,
                  const std::string& description) {
  CLI::App* sub = app.add_subcommand(name, description);
  sub->add_flag("-v,--verbose", options.verbosity,
                "print the library's events on stderr (-vv: also trace events)");
  return sub;
}

void add_commands(CLI::App& app, Options& o) {
  CLI::App* inspect = command(app, o, "inspect", "show what a package holds");
  inspect->add_option("PACKAGE", o.inspect.package, "package file")->required();
  CLI::Option* json =
      inspect->add_flag("--json", o.inspect.json, "print one JSON document with every field");
  inspect->add_flag("--full", o.inspect.full, "show long tables whole");
  inspect->add_flag("--no-data", o.inspect.no_data, "with --json: leave out the segment bytes")
      ->needs(json);

  CLI::App* validate = command(app, o, "validate", "check packages; one line per file");
  validate->add_option("PACKAGE", o.validate, "package files")->required();

  CLI::App* image = command(app, o, "image", "write the memory image of one tile or of all");
  image->add_option("PACKAGE", o.image.package, "package file")->required();
  CLI::Option* tile = image->add_option("--tile", o.image_tile, "the physical tile");
  CLI::Option* all = image->add_flag("--all", o.image_all, "every tile: -o names a folder");
  tile->excludes(all);
  image->add_option("-o,--output", o.image.output, "output file (folder with --all)")->required();
  image->callback([&o, tile, all] {
    if (tile->count() == 0 && all->count() == 0) throw CLI::RequiredError("--tile or --all");
    if (tile->count() > 0) o.image.tile = o.image_tile;
  });

  CLI::App* to_json = command(app, o, "to-json", "print the full JSON form of a package");
  to_json->add_option("PACKAGE", o.package, "package file")->required();
  to_json->add_option("-o,--output", o.to_json_output, "write to this file instead of stdout");

  CLI::App* from_json = command(app, o, "from-json", "write a package from its JSON form");
  from_json->add_option("FILE", o.json_file, "JSON file")->required();
  from_json->add_option("-o,--output", o.from_json_output, "package file to write")->required();

  CLI::App* diff = command(app, o, "diff", "list the fields in which two packages differ");
  diff->add_option("A", o.diff_a, "first package")->required();
  diff->add_option("B", o.diff_b, "second package")->required();

  CLI::App* demo = command(app, o, "demo", "a tour of the library on built-in example data");
  demo->add_option("DIR", o.demo_dir, "where to put the files (default: a fresh temp folder)");
}

// CLI11 reads "-5" into an unsigned 64-bit option as 2^64 - 5; counts and clocks are
// never negative, so a minus sign is refused before conversion.
const CLI::Validator kNotNegative(
    [](const std::string& text) {
      return text.starts_with('-') ? std::string("must not be negative") : std::string();
    },
    "", "not negative");

void add_profile_commands(CLI::App& app, Options& o) {
  CLI::App* profile =
      command(app, o, "profile", "make a profile file from the output of a profiled run");
  profile->add_option("PACKAGE", o.profile.package, "package that was run")->required();
  profile->add_option("RUNTIME_OUTPUT", o.profile.runtime_output, "runtime output buffer")
      ->required();
  profile->add_option("--clock-hz", o.profile.clock_hz, "the device clock (0: unknown)")
      ->required()
      ->check(kNotNegative);
  profile->add_option("-o,--output", o.profile.output, "profile file to write")->required();

  CLI::App* report = command(app, o, "report", "per tile, where the cycles of a profile file went");
  report->add_option("REPORT", o.report.report, "profile file")->required();
  CLI::Option* tile = report->add_option("--tile", o.report_tile, "only this physical tile");
  report->add_option("--top", o.report.top, "how many of the most expensive steps to list")
      ->capture_default_str()
      ->check(kNotNegative);
  report->add_flag("--json", o.report.json, "print one JSON document");
  report->callback([&o, tile] {
    if (tile->count() > 0) o.report.tile = o.report_tile;
  });

  CLI::App* trace =
      command(app, o, "trace", "write a trace that Perfetto UI and chrome://tracing open");
  CLI::App* timeline = command(app, o, "timeline", "draw a profile file as an SVG timeline");
  for (CLI::App* view : {trace, timeline}) {
    view->add_option("REPORT", o.view_report, "profile file")->required();
    view->add_option("-o,--output", o.view_output, "file to write")->required();
  }
}

int dispatch(const CLI::App& app, const Options& o, const std::string& program) {
  const std::string name = app.get_subcommands().front()->get_name();
  if (name == "inspect") return run_inspect(o.inspect);
  if (name == "validate") return run_validate(o.validate);
  if (name == "image") return run_image(o.image);
  if (name == "to-json") return run_to_json(o.package, o.to_json_output);
  if (name == "from-json") return run_from_json(o.json_file, o.from_json_output);
  if (name == "diff") return run_diff(o.diff_a, o.diff_b);
  if (name == "profile") return run_profile(o.profile);
  if (name == "report") return run_report(o.report);
  if (name == "trace") return run_trace(o.view_report, o.view_output);
  if (name == "timeline") return run_timeline(o.view_report, o.view_output);
  return run_demo(o.demo_dir, program);
}

// CLI11's message, made into one line that says where to look for help.
std::string usage_error(const CLI::App& app, const CLI::ParseError& error) {
  const auto commands = app.get_subcommands();
  if (commands.empty()) {
    const std::vector<std::string> rest = app.remaining();
    if (!rest.empty()) return "unknown command " + rest.front() + " (see quarn-pkg --help)";
    return "no command given (see quarn-pkg --help)";
  }
  return std::string(error.what()) + " (see quarn-pkg " + commands.front()->get_name() + " --help)";
}

int run(int argc, char** argv) {
  CLI::App app(
      "quarn-pkg: inspect, check, convert and compare Quarn application packages, "
      "and see where the cycles of a profiled run went",
      "quarn-pkg");
  app.set_version_flag("--version", "quarn-pkg " QUARN_PKG_VERSION);
  Options options;
  app.add_flag("-v,--verbose", options.verbosity,
               "print the library's events on stderr (-vv: also trace events)");
  app.require_subcommand(1);
  add_commands(app, options);
  add_profile_commands(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return report(Failure{kExitUsage, usage_error(app, e)});
  }
  install_log_sink(options.verbosity);
  const int status = dispatch(app, options, argc > 0 ? argv[0] : "quarn-pkg");
  std::cout.flush();
  if (!std::cout) return report(Failure{kExitUsage, "cannot write to standard output"});
  return status;
}

}  // namespace
}  // namespace quarn_pkg

int main(int argc, char** argv) {
  // Nothing below throws on bad input; this is the last guard against the unforeseen
  // (such as running out of memory), so the user still gets one line and status 2.
  try {
    return quarn_pkg::run(argc, argv);
  } catch (const std::exception& e) {
    return quarn_pkg::report(quarn_pkg::Failure{quarn_pkg::kExitUsage, e.what()});
  } catch (...) {
    return quarn_pkg::report(quarn_pkg::Failure{quarn_pkg::kExitUsage, "unexpected failure"});
  }
}
