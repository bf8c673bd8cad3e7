#include <iostream>

#include "commands.hpp"
#include "files.hpp"
#include "json_form.hpp"
#include "package_io.hpp"

namespace quarn_pkg {
namespace {

Outcome<Json> parse_json(const path& file) {
  auto bytes = read_file(file);
  if (!bytes) return std::unexpected(bytes.error());
  try {
    return Json::parse(bytes->begin(), bytes->end());
  } catch (const Json::parse_error& error) {
    // what() starts with "[json.exception.parse_error.101] parse error at line 1, ...".
    std::string text = error.what();
    if (const auto end = text.find("] "); text.starts_with("[json.") && end != std::string::npos)
      text.erase(0, end + 2);
    return refused(file.string() + ": not JSON: " + text);
  }
}

}  // namespace

int run_to_json(const path& package, const std::optional<path>& output) {
  auto loaded = load_package(package);
  if (!loaded) return report(loaded.error());
  const std::string text = application_to_json(loaded->app).dump(2) + "\n";
  if (!output) {
    std::cout << text;
    return kExitOk;
  }
  if (auto written = write_file_atomically(*output, text); !written) return report(written.error());
  return kExitOk;
}

int run_from_json(const path& json_file, const path& output) {
  auto json = parse_json(json_file);
  if (!json) return report(json.error());
  auto app = application_from_json(*json);
  if (!app) return report(Failure{kExitRefused, json_file.string() + ": " + app.error()});
  auto saved = save_package(*app, json_file.string(), output);
  if (!saved) return report(saved.error());
  std::cout << output.string() << ": " << saved->size() << " bytes, " << app->tiles.size()
            << (app->tiles.size() == 1 ? " tile\n" : " tiles\n");
  return kExitOk;
}

}  // namespace quarn_pkg
