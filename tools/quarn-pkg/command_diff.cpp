#include <algorithm>
#include <iostream>

#include "commands.hpp"
#include "diff.hpp"
#include "package_io.hpp"
#include "text.hpp"

namespace quarn_pkg {
namespace {

// Equal records written by this library give equal bytes, but a package from elsewhere
// may differ in its encoding or carry bytes after the message; reproducible builds care.
std::string byte_difference(const std::vector<std::uint8_t>& a,
                            const std::vector<std::uint8_t>& b) {
  const auto [ia, ib] = std::ranges::mismatch(a, b);
  return std::to_string(a.size()) + " bytes != " + std::to_string(b.size()) +
         " bytes, first difference at byte " + std::to_string(ia - a.begin());
}

}  // namespace

int run_diff(const path& a, const path& b) {
  auto first = load_package(a);
  if (!first) return report(first.error());
  auto second = load_package(b);
  if (!second) return report(second.error());

  const std::string names = printable(a.string()) + " and " + printable(b.string());
  const std::vector<std::string> lines =
      json_differences(application_to_json(first->app), application_to_json(second->app));
  for (const std::string& line : lines) std::cout << printable(line) << '\n';
  if (!lines.empty()) {
    std::cout << names << " differ: " << count(lines.size(), "difference", "differences") << '\n';
    return kExitRefused;
  }
  if (first->bytes != second->bytes) {
    std::cout << names << " hold equal fields in different bytes: "
              << byte_difference(first->bytes, second->bytes) << '\n';
    return kExitRefused;
  }
  std::cout << names << " are identical\n";
  return kExitOk;
}

}  // namespace quarn_pkg
