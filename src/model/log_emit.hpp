// Emission side of the event logger: the library asks first whether a level is enabled,
// so that with no sink (or a quieter one) no event is ever built.
#pragma once

#include <initializer_list>
#include <string_view>

#include "quarn_package/log.hpp"

namespace quarn_package::detail {

inline constexpr std::string_view kLogTarget = "quarn_package";

// True when a sink is installed whose max_level admits `level`. Cheap: one atomic load.
bool log_enabled(log::Level level);

// Delivers one event to the installed sink, if it still admits `level`.
void log_emit(log::Level level, std::string_view message,
              std::initializer_list<log::Field> fields = {});

}  // namespace quarn_package::detail
