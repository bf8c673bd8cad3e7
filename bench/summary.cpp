#include "summary.hpp"

#include <algorithm>
#include <cstdio>

#include "benchmarks.hpp"

namespace quarn_bench {
namespace {

constexpr double kMB = 1e6;

std::string format(const char* pattern, auto... values) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, pattern, values...);
  return buffer;
}

// A goal: the measured ratio against its limit.
struct Goal {
  std::string what;
  double limit = 0;
};

std::string verdict(double value, const Goal& goal) {
  return format("%-26s %s", goal.what.c_str(), value <= goal.limit ? "met" : "NOT MET");
}

// What an operation's time is set against in the "/memcpy" column.
Op floor_of(Op op) {
  switch (op) {
    case Op::ReportWrite:
    case Op::ReportRead:
    case Op::CopyReport:
      return Op::MemcpyReport;
    case Op::ProfileReport:
      return Op::MemcpyCounters;
    default:
      return Op::MemcpyFresh;
  }
}

// The copy of the records an operation builds, for the "/copy" column.
std::optional<Op> copy_of(Op op) {
  switch (op) {
    case Op::Read:
    case Op::CapnpRead:
      return Op::CopyRecords;
    case Op::ReportRead:
    case Op::ProfileReport:
      return Op::CopyReport;
    default:
      return std::nullopt;
  }
}

std::optional<Op> peer_of(Op op) {
  if (op == Op::Write) return Op::CapnpWrite;
  if (op == Op::Read) return Op::CapnpRead;
  return std::nullopt;
}

// The goal a row is held to, and the ratio it is stated in.
struct RowGoal {
  Goal goal;
  std::optional<double> value;
};

class Table {
 public:
  Table(std::ostream& out, const Workload& w, const CollectingReporter& times)
      : out_(out), w_(w), times_(times) {}

  void row(Op op) {
    const auto t = time(op);
    if (!t) return;
    const double bytes = static_cast<double>(op_bytes(w_, op));
    std::string line = format("%-8s %-16s %10.3f %9.0f", w_.name.c_str(),
                              std::string(op_name(op)).c_str(), *t * 1e3, bytes / kMB / *t);
    line += ratio_cell(peer_of(op) ? ratio(op, *peer_of(op)) : std::nullopt);
    line += ratio_cell(op == floor_of(op) ? std::nullopt : ratio(op, floor_of(op)));
    line += ratio_cell(copy_of(op) ? ratio(op, *copy_of(op)) : std::nullopt, 7);
    const RowGoal g = goal_of(op);
    if (g.value) line += "   " + format("%5.2f  ", *g.value) + verdict(*g.value, g.goal);
    out_ << line << "\n";
  }

 private:
  std::optional<double> time(Op op) const {
    return times_.seconds(w_.name + "/" + std::string(op_name(op)));
  }
  std::optional<double> ratio(Op a, Op b) const {
    const auto ta = time(a), tb = time(b);
    if (!ta || !tb || *tb <= 0) return std::nullopt;
    return *ta / *tb;
  }
  static std::string ratio_cell(std::optional<double> r, int width = 11) {
    return r ? format(" %*.2f", width, *r) : format(" %*s", width, "-");
  }

  RowGoal goal_of(Op op) const {
    const bool data = w_.name == "data";
    switch (op) {
      case Op::Write:
        return data ? RowGoal{{"write <= 1.3 x memcpy", 1.3}, ratio(op, Op::MemcpyFresh)}
                    : RowGoal{{"write <= 0.7 x libcapnp", 0.7}, ratio(op, Op::CapnpWrite)};
      case Op::Read:
        return data ? RowGoal{{"read <= 1.1 x memcpy", 1.1}, ratio(op, Op::MemcpyFresh)}
                    : RowGoal{{"read <= 0.7 x libcapnp", 0.7}, ratio(op, Op::CapnpRead)};
      case Op::Validate:
        if (data) return {};
        return {{"validate <= 0.1 x read", 0.1}, ratio(op, Op::Read)};
      case Op::ProfileReport:
        return {{"profile_report <= 2 x memcpy", 2.0}, ratio(op, Op::MemcpyCounters)};
      default:
        return {};
    }
  }

  std::ostream& out_;
  const Workload& w_;
  const CollectingReporter& times_;
};

void print_memory(std::ostream& out, const std::string& name, const MemoryUse& m) {
  if (!m.measured) {
    out << format("%-8s peak memory not measured (quarn_bench_memory failed)\n", name.c_str());
    return;
  }
  // A write may add one copy of the package, besides the tables validation builds
  // (sets of tile ids and names: a fraction of a megabyte here), hence 1 MiB of slack;
  // a read the input plus 1.2 x the records it returns.
  constexpr double kSlack = 1024 * 1024;
  const double write_over = static_cast<double>(m.write_extra) - static_cast<double>(m.package);
  const double write_ratio =
      (static_cast<double>(m.write_extra) - kSlack) / static_cast<double>(m.package);
  const double read_over_input =
      m.read_extra > m.input ? static_cast<double>(m.read_extra - m.input) : 0.0;
  const double read_ratio = read_over_input / static_cast<double>(m.read_records);
  out << format("%-8s write: +%8.1f MB = %8.1f MB package %+6.1f MB (app %8.1f MB)  ", name.c_str(),
                m.write_extra / kMB, m.package / kMB, write_over / kMB, m.write_records / kMB)
      << verdict(write_ratio, {"write <= app + package + 1 MiB", 1.0}) << "\n";
  out << format("%-8s read:  +%8.1f MB = %8.1f MB input + %5.3f x %8.1f MB records  ", name.c_str(),
                m.read_extra / kMB, m.input / kMB, read_ratio, m.read_records / kMB)
      << verdict(read_ratio, {"read <= input + 1.2 x records", 1.2}) << "\n";
}

}  // namespace

void CollectingReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
    const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
    const std::string& name = run.run_name.function_name;
    const auto known = best_.find(name);
    best_[name] = known == best_.end() ? seconds : std::min(known->second, seconds);
  }
  // The table states what the aggregates would; the console shows each repetition.
  std::vector<Run> shown;
  for (const Run& run : runs) {
    if (run.run_type == Run::RT_Iteration) shown.push_back(run);
  }
  if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
}

std::optional<double> CollectingReporter::seconds(const std::string& name) const {
  const auto found = best_.find(name);
  if (found == best_.end()) return std::nullopt;
  return found->second;
}

void print_summary(std::ostream& out, const std::vector<Workload>& workloads,
                   const CollectingReporter& times,
                   const std::map<std::string, MemoryUse>& memory) {
  out << "\nSummary: CPU time of the fastest repetition. Time ratios, lower is better: /capnp "
         "against libcapnp doing the\nsame; /memcpy against a memcpy of the same bytes into "
         "fresh memory (the package's, or the profile\nfile's or counters' for the profile "
         "operations); /copy against copy-constructing the records the\noperation returns, "
         "in fresh memory too.\n\n";
  out << format("%-8s %-16s %10s %9s %11s %11s %7s   %s\n", "workload", "operation", "ms", "MB/s",
                "/capnp", "/memcpy", "/copy", "ratio  goal");
  for (const Workload& w : workloads) {
    Table table(out, w, times);
    for (int op = 0; op <= static_cast<int>(kLastOp); ++op) {
      table.row(static_cast<Op>(op));
    }
    out << "\n";
  }
  out << "Peak resident memory, each operation alone in a process of its own:\n";
  for (const Workload& w : workloads) {
    const auto found = memory.find(w.name);
    if (found != memory.end()) print_memory(out, w.name, found->second);
  }
}

}  // namespace quarn_bench
