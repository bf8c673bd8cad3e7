#include <iostream>

#include "files.hpp"
#include "package_io.hpp"
#include "profile_commands.hpp"
#include "text.hpp"

namespace quarn_pkg {

int run_profile(const ProfileOptions& options) {
  auto package = load_package(options.package);
  if (!package) return report(package.error());
  auto output = read_file(options.runtime_output);
  if (!output) return report(output.error());
  auto profile = package->app.profile_report(*output, options.clock_hz);
  // The package has been read and checked, so what is refused here is the buffer.
  if (!profile)
    return report(
        Failure{kExitRefused, options.runtime_output.string() + ": " + describe(profile.error())});
  std::vector<std::uint8_t> bytes;
  if (auto written = profile->write(bytes); !written)
    return report(
        Failure{kExitRefused, options.output.string() + ": " + describe(written.error())});
  if (auto saved = write_file_atomically(options.output, bytes); !saved)
    return report(saved.error());
  std::size_t steps = 0;
  for (const auto& tile : profile->tiles) steps += tile.samples.size();
  std::cout << printable(options.output.string()) << ": " << bytes.size() << " bytes, "
            << count(profile->tiles.size(), "tile", "tiles") << ", "
            << count(steps, "step", "steps") << '\n';
  return kExitOk;
}

}  // namespace quarn_pkg
