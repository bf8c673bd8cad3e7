#include "trace_json.hpp"

#include "json_form.hpp"

namespace quarn_pkg {
namespace qp = quarn_package;
namespace {

constexpr int kDevicePid = 1;

// Viewers turn microseconds into whole nanoseconds by rounding each ts and dur on its own.
// Writing whole nanoseconds (floored, so later cycles never come earlier) keeps an event
// that lies inside its step, in cycles, inside it after that rounding too.
class TimeBase {
 public:
  explicit TimeBase(std::uint64_t clock_hz) : clock_hz_(clock_hz) {}

  // A complete event from `begin` to `end`, in cycles along its tile's time line.
  Json complete_event(std::string name, std::string category, int tid, std::uint64_t begin,
                      std::uint64_t end, Json args) const {
    const std::uint64_t from = ticks(begin);
    return {{"name", std::move(name)},
            {"cat", std::move(category)},
            {"ph", "X"},
            {"ts", to_microseconds(from)},
            {"dur", to_microseconds(ticks(end) - from)},
            {"pid", kDevicePid},
            {"tid", tid},
            {"args", std::move(args)}};
  }

 private:
  std::uint64_t ticks(std::uint64_t cycles) const {
    return floor_nanoseconds(cycles, clock_hz_).value_or(cycles);
  }
  Json to_microseconds(std::uint64_t ticks) const {
    if (clock_hz_ == 0) return ticks;
    return static_cast<double>(ticks) / 1000.0;
  }

  std::uint64_t clock_hz_;
};

std::string process_name(std::uint64_t clock_hz) {
  if (clock_hz == 0) return "Quarn device (clock unknown: 1 us stands for 1 cycle)";
  return "Quarn device (" + std::to_string(clock_hz) + " Hz)";
}

Json metadata_event(const char* name, int tid, Json args) {
  return {
      {"name", name}, {"ph", "M"}, {"pid", kDevicePid}, {"tid", tid}, {"args", std::move(args)}};
}

Json step_args(const StepView& view) {
  const qp::CycleSample& sample = *view.sample;
  const qp::ProfileStep& step = sample.step;
  Json metadata = Json::array();
  for (const qp::ProfileMetadata& m : step.metadata)
    metadata.push_back({{"name", m.name}, {"value", m.value}});
  return {{"index", step.local_index},
          {"kind", enum_name(step.kind)},
          {"operation", step.operation},
          {"kernel", step.kernel},
          {"phase", step.phase},
          {"epoch", step.epoch},
          {"start", sample.start_cycle},
          {"end", sample.end_cycle},
          {"cycles", view.cycles},
          {"exchange_event_cycles", step.exchange_event_cycles},
          {"metadata", std::move(metadata)}};
}

// Events go one to a line, so a large trace never sits in memory as one JSON tree.
class EventList {
 public:
  void add(const Json& event) {
    text_ += first_ ? "\n" : ",\n";
    text_ += event.dump();
    first_ = false;
  }
  std::string finish(const Json& other_data) {
    return "{\"displayTimeUnit\": \"ns\",\n\"otherData\": " + other_data.dump() +
           ",\n\"traceEvents\": [" + text_ + "\n]}\n";
  }

 private:
  std::string text_;
  bool first_ = true;
};

void add_tile(EventList& events, const TileView& tile, int tid, const TimeBase& time) {
  for (const StepView& step : tile.steps) {
    const qp::ProfileStep& s = step.sample->step;
    events.add(time.complete_event(s.operation.empty() ? enum_name(s.kind) : s.operation,
                                   enum_name(s.kind), tid, step.offset, step.offset + step.cycles,
                                   step_args(step)));
    for (const ActivityView& a : nested_activities(step)) {
      events.add(time.complete_event(enum_name(a.activity->kind), "exchange activity", tid,
                                     step.offset + a.begin, step.offset + a.end,
                                     {{"kind", enum_name(a.activity->kind)},
                                      {"start", a.activity->start_cycle},
                                      {"end", a.activity->end_cycle},
                                      {"cycles", a.end - a.begin},
                                      {"clamped", a.clamped}}));
    }
  }
}

}  // namespace

std::string chrome_trace(const ProfileView& view) {
  EventList events;
  events.add(metadata_event("process_name", 0, {{"name", process_name(view.clock_hz)}}));
  // Track ids count from 1 in report order, so two tiles never share a track even when a
  // report names one physical tile twice.
  for (std::size_t i = 0; i < view.tiles.size(); ++i) {
    const int tid = static_cast<int>(i + 1);
    const std::string name = "tile " + std::to_string(view.tiles[i].physical_tile);
    events.add(metadata_event("thread_name", tid, {{"name", name}}));
    events.add(metadata_event("thread_sort_index", tid, {{"sort_index", i}}));
  }
  const TimeBase time(view.clock_hz);
  for (std::size_t i = 0; i < view.tiles.size(); ++i)
    add_tile(events, view.tiles[i], static_cast<int>(i + 1), time);
  const Json other{{"generator", "quarn-pkg trace"},
                   {"clock_hz", view.clock_hz},
                   {"time", view.clock_hz == 0 ? "cycles from each tile's first step"
                                               : "microseconds from each tile's first step"}};
  return events.finish(other);
}

}  // namespace quarn_pkg
