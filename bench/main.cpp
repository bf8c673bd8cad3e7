// quarn_bench: Google Benchmark runs of every operation on every workload, then the
// summary table. Flags besides Google Benchmark's own:
//   --workloads=data,device   run only these workloads (default: all three)
//   --no_memory               skip the peak memory measurements
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "benchmarks.hpp"
#include "capnp_peer.hpp"
#include "memory.hpp"
#include "summary.hpp"
#include "workload.hpp"

namespace {

using namespace quarn_bench;

// glibc's start-up value of both thresholds.
constexpr int kMallocThreshold = 128 * 1024;

struct Options {
  std::vector<std::string> workloads;
  bool memory = true;
};

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--no_memory") {
      options.memory = false;
    } else if (arg.starts_with("--workloads=")) {
      std::istringstream names(std::string(arg.substr(12)));
      for (std::string name; std::getline(names, name, ',');) options.workloads.push_back(name);
    } else {
      std::fprintf(stderr, "quarn_bench: unknown argument %s\n", argv[i]);
      std::exit(2);
    }
  }
  if (options.workloads.empty())
    options.workloads.assign(std::begin(kWorkloadNames), std::end(kWorkloadNames));
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  // Fixed thresholds switch off glibc's adaptive ones, which after the first large free
  // would serve large blocks from memory already faulted in: every iteration then sees
  // what a process that has just started sees, and every operation the same allocator.
  mallopt(M_MMAP_THRESHOLD, kMallocThreshold);
  mallopt(M_TRIM_THRESHOLD, kMallocThreshold);
  benchmark::Initialize(&argc, argv);
  const Options options = parse(argc, argv);

  // Measured first, while this process holds nothing that competes for memory.
  std::map<std::string, MemoryUse> memory;
  if (options.memory) {
    for (const std::string& name : options.workloads) {
      std::fprintf(stderr, "measuring the peak memory of %s\n", name.c_str());
      memory[name] = measure_memory(name);
    }
  }

  std::vector<Workload> workloads;
  std::vector<std::vector<std::uint8_t>> capnp_messages;
  workloads.reserve(options.workloads.size());
  capnp_messages.reserve(options.workloads.size());
  for (const std::string& name : options.workloads) {
    std::fprintf(stderr, "generating %s\n", name.c_str());
    workloads.push_back(make_workload(name));
    capnp_messages.push_back(capnp_write(workloads.back().app));
    // libcapnp fills segments by its own rule, so its message differs from ours a little.
    std::fprintf(stderr, "  package %.1f MB, libcapnp's message %.1f MB\n",
                 workloads.back().package.size() / 1e6, capnp_messages.back().size() / 1e6);
  }
  for (std::size_t i = 0; i < workloads.size(); ++i) {
    register_benchmarks(workloads[i], capnp_messages[i]);
  }

  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_summary(std::cout, workloads, reporter, memory);
  benchmark::Shutdown();
  return 0;
}
