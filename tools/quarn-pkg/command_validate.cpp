#include <iostream>

#include "commands.hpp"
#include "package_io.hpp"
#include "text.hpp"

namespace quarn_pkg {

// Unlike the other commands, an unreadable file is one more refused input here: the
// answer for every file is on stdout, one line each, and the status sums them up.
int run_validate(const std::vector<path>& packages) {
  int status = kExitOk;
  for (const path& file : packages) {
    auto package = load_package(file);
    if (package) {
      std::cout << printable(file.string()) << ": ok\n";
    } else {
      std::cout << printable(package.error().message) << '\n';
      status = kExitRefused;
    }
  }
  return status;
}

}  // namespace quarn_pkg
