// Writes the seed corpora of the fuzz targets from our own writer: the worked examples
// and a few generated records, one of them spread over several segments.
//   make_fuzz_seeds <corpus dir>   (creates <dir>/application, <dir>/profile)
#include <quarn_package/package.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/examples.hpp"
#include "support/generator.hpp"

namespace fs = std::filesystem;
using namespace quarn_package;

namespace {

template <class Record>
bool save(const Record& record, const fs::path& file) {
  std::vector<std::uint8_t> bytes;
  if (auto ok = record.write(bytes); !ok) {
    std::fprintf(stderr, "%s: cannot write the seed\n", file.c_str());
    return false;
  }
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
    return 2;
  }
  const fs::path apps = fs::path(argv[1]) / "application";
  const fs::path profiles = fs::path(argv[1]) / "profile";
  fs::create_directories(apps);
  fs::create_directories(profiles);
  bool ok = save(testing::minimal_application(), apps / "minimal") &&
            save(testing::full_application(), apps / "full") &&
            save(testing::worked_report(), profiles / "worked");
  for (std::uint64_t seed = 1; ok && seed <= 6; ++seed) {
    testing::Generator generator(seed);
    ok = save(generator.application(), apps / ("generated-" + std::to_string(seed))) &&
         save(generator.report(), profiles / ("generated-" + std::to_string(seed)));
  }
  // Enough debug symbols to overflow the first segment, so far pointers are seeded too.
  testing::Generator large(7, testing::GeneratorSizes{.max_list = 2, .extra_debug_symbols = 400});
  ok = ok && save(large.application(), apps / "multi-segment");
  return ok ? 0 : 1;
}
