// The structured event logger. The library prints nothing: it hands events to the one
// sink the process installs, and with no sink it does not even build them.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <variant>

namespace quarn_package::log {

// Levels from the most severe to the most verbose.
enum class Level { Error, Warn, Info, Debug, Trace };

using Value = std::variant<std::uint64_t, std::string_view>;

// One named value of an event.
struct Field {
  std::string_view name;
  Value value;
};

// One event. Its views are valid only during the sink call.
struct Event {
  Level level;
  std::string_view target;  // always "quarn_package"
  std::string_view message;
  std::span<const Field> fields;
};

using Sink = std::function<void(const Event&)>;

// Installs `sink` for the whole process, replacing any earlier one; events more verbose
// than `max_level` are neither built nor delivered. An empty sink switches logging off.
// Safe to call from any thread, also while other threads emit events.
void set_sink(Sink sink, Level max_level = Level::Info);

}  // namespace quarn_package::log
