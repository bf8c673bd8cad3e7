// Captures the library's log events for the duration of a test.
#pragma once

#include <quarn_package/log.hpp>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quarn_package::testing {

// An event copied out of the sink call, so it outlives it.
struct CapturedEvent {
  log::Level level;
  std::string target;
  std::string message;
  std::vector<std::pair<std::string, std::variant<std::uint64_t, std::string>>> fields;

  std::optional<std::uint64_t> number(std::string_view name) const {
    for (const auto& [n, v] : fields) {
      if (n == name && std::holds_alternative<std::uint64_t>(v)) return std::get<std::uint64_t>(v);
    }
    return std::nullopt;
  }
  std::optional<std::string> text(std::string_view name) const {
    for (const auto& [n, v] : fields) {
      if (n == name && std::holds_alternative<std::string>(v)) return std::get<std::string>(v);
    }
    return std::nullopt;
  }
};

// Installs a capturing sink on construction and removes it on destruction.
class LogCapture {
 public:
  explicit LogCapture(log::Level max_level = log::Level::Trace) {
    log::set_sink(
        [this](const log::Event& e) {
          CapturedEvent copy{e.level, std::string(e.target), std::string(e.message), {}};
          for (const log::Field& f : e.fields) {
            if (const auto* n = std::get_if<std::uint64_t>(&f.value)) {
              copy.fields.emplace_back(std::string(f.name), *n);
            } else {
              copy.fields.emplace_back(std::string(f.name),
                                       std::string(std::get<std::string_view>(f.value)));
            }
          }
          std::lock_guard lock(mutex_);
          events_.push_back(std::move(copy));
        },
        max_level);
  }
  ~LogCapture() { log::set_sink({}); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<CapturedEvent> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<CapturedEvent> events_;
};

}  // namespace quarn_package::testing
