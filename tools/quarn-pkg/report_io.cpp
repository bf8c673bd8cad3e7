#include "report_io.hpp"

#include "files.hpp"
#include "package_io.hpp"

namespace quarn_pkg {

Outcome<quarn_package::ProfileReport> load_report(const std::filesystem::path& path) {
  auto bytes = read_file(path);
  if (!bytes) return std::unexpected(bytes.error());
  auto report = quarn_package::ProfileReport::read(*bytes);
  if (!report) return refused(path.string() + ": " + describe(report.error()));
  return std::move(*report);
}

}  // namespace quarn_pkg
