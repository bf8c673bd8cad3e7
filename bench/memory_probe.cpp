// Peak resident memory of one write or one read, each in a process of its own so that
// nothing else the benchmarks hold counts:
//
//   quarn_bench_memory write <workload> <file>   generates the workload, writes its package
//                                                into an empty vector and stores it in <file>
//   quarn_bench_memory read <file>               loads <file> and reads the package from it
//
// Prints one line of name=bytes pairs: the peak before the operation (baseline), the peak
// after it, and the sizes the goals are stated in.
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "record_bytes.hpp"
#include "workload.hpp"

namespace {

using quarn_package::Application;

unsigned long long peak_rss_bytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<unsigned long long>(usage.ru_maxrss) * 1024;  // reported in KiB
}

int probe_write(std::string_view workload, const char* path) {
  const Application app = quarn_bench::make_application(workload);
  const unsigned long long baseline = peak_rss_bytes();
  std::vector<std::uint8_t> package;
  if (!app.write(package)) return 1;
  const unsigned long long peak = peak_rss_bytes();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(package.data()),
             static_cast<std::streamsize>(package.size()));
  std::printf("baseline=%llu peak=%llu records=%llu package=%llu\n", baseline, peak,
              static_cast<unsigned long long>(quarn_bench::record_bytes(app)),
              static_cast<unsigned long long>(package.size()));
  return 0;
}

int probe_read(const char* path) {
  const unsigned long long baseline = peak_rss_bytes();
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  std::vector<std::uint8_t> input(static_cast<std::size_t>(file.tellg()));
  file.seekg(0).read(reinterpret_cast<char*>(input.data()),
                     static_cast<std::streamsize>(input.size()));
  if (!file) return 1;
  const auto app = Application::read(input);
  if (!app) return 1;
  const unsigned long long peak = peak_rss_bytes();
  std::printf("baseline=%llu peak=%llu records=%llu input=%llu\n", baseline, peak,
              static_cast<unsigned long long>(quarn_bench::record_bytes(*app)),
              static_cast<unsigned long long>(input.size()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "write") return probe_write(args[1], argv[3]);
  if (args.size() == 2 && args[0] == "read") return probe_read(argv[2]);
  std::fprintf(stderr, "usage: %s write <workload> <file> | read <file>\n", argv[0]);
  return 2;
}
