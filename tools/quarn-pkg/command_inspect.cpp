#include <iostream>

#include "commands.hpp"
#include "inspect.hpp"
#include "package_io.hpp"

namespace quarn_pkg {

int run_inspect(const InspectOptions& options) {
  auto package = load_package(options.package);
  if (!package) return report(package.error());
  if (options.json) {
    std::cout << inspect_json(package->bytes.size(), package->app, !options.no_data).dump(2)
              << '\n';
  } else {
    print_inspect(std::cout, options.package.string(), package->bytes.size(), package->app,
                  options.full);
  }
  return kExitOk;
}

}  // namespace quarn_pkg
