#include "package_io.hpp"

#include <sstream>

#include "files.hpp"

namespace quarn_pkg {

using quarn_package::Application;
using quarn_package::PackageError;

std::string describe(const PackageError& error) {
  std::ostringstream text;
  text << error.kind();
  if (const auto* capnp = std::get_if<PackageError::Capnp>(&error.detail())) {
    text << " (" << capnp->kind << "): " << capnp->description;
  } else {
    text << ": " << error.message();
  }
  return text.str();
}

Outcome<LoadedPackage> load_package(const std::filesystem::path& path) {
  auto bytes = read_file(path);
  if (!bytes) return std::unexpected(bytes.error());
  auto app = Application::read(*bytes);
  if (!app) return refused(path.string() + ": " + describe(app.error()));
  return LoadedPackage{std::move(*bytes), std::move(*app)};
}

Outcome<std::vector<std::uint8_t>> save_package(const Application& app, const std::string& source,
                                                const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes;
  if (auto written = app.write(bytes); !written)
    return refused(source + ": " + describe(written.error()));
  if (auto saved = write_file_atomically(path, bytes); !saved)
    return std::unexpected(saved.error());
  return bytes;
}

}  // namespace quarn_pkg
