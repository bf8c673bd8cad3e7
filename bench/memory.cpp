#include "memory.hpp"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace quarn_bench {
namespace {

// name=value pairs of the helper's one line of output; empty when it failed.
std::map<std::string, std::uint64_t> run_probe(const std::string& arguments) {
  const std::string command = std::string(QUARN_BENCH_MEMORY_PROBE) + " " + arguments;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string line(512, '\0');
  const bool got = std::fgets(line.data(), static_cast<int>(line.size()), pipe) != nullptr;
  if (pclose(pipe) != 0 || !got) return {};
  std::map<std::string, std::uint64_t> values;
  std::istringstream fields(line.c_str());
  for (std::string field; fields >> field;) {
    const auto eq = field.find('=');
    if (eq != std::string::npos) values[field.substr(0, eq)] = std::stoull(field.substr(eq + 1));
  }
  return values;
}

std::uint64_t growth(std::map<std::string, std::uint64_t>& v) {
  return v["peak"] > v["baseline"] ? v["peak"] - v["baseline"] : 0;
}

}  // namespace

MemoryUse measure_memory(std::string_view workload) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("quarn_bench_" + std::to_string(getpid()) + "_" + std::string(workload) + ".qpkg");
  MemoryUse use;
  auto written = run_probe("write " + std::string(workload) + " " + file.string());
  auto read = written.empty() ? written : run_probe("read " + file.string());
  std::filesystem::remove(file);
  if (read.empty()) return use;
  use.measured = true;
  use.write_extra = growth(written);
  use.package = written["package"];
  use.write_records = written["records"];
  use.read_extra = growth(read);
  use.input = read["input"];
  use.read_records = read["records"];
  return use;
}

}  // namespace quarn_bench
