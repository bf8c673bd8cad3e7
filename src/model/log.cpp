#include <atomic>
#include <memory>
#include <mutex>

#include "model/log_emit.hpp"

namespace quarn_package {
namespace {

// The sink is swapped under a mutex and called through a shared_ptr copy, so a sink
// replaced while another thread is inside it stays alive until that call returns.
struct Logger {
  std::mutex mutex;
  std::shared_ptr<const log::Sink> sink;
  // -1: no sink; otherwise the max_level as an int. Read without the lock on hot paths.
  std::atomic<int> max_level{-1};
};

Logger& logger() {
  static Logger instance;
  return instance;
}

}  // namespace

void log::set_sink(Sink sink, Level max_level) {
  Logger& l = logger();
  std::shared_ptr<const Sink> next;
  if (sink) next = std::make_shared<const Sink>(std::move(sink));
  std::lock_guard lock(l.mutex);
  l.max_level.store(next ? static_cast<int>(max_level) : -1, std::memory_order_release);
  l.sink.swap(next);
}

bool detail::log_enabled(log::Level level) {
  return static_cast<int>(level) <= logger().max_level.load(std::memory_order_acquire);
}

void detail::log_emit(log::Level level, std::string_view message,
                      std::initializer_list<log::Field> fields) {
  Logger& l = logger();
  std::shared_ptr<const log::Sink> sink;
  {
    std::lock_guard lock(l.mutex);
    if (static_cast<int>(level) > l.max_level.load(std::memory_order_relaxed)) return;
    sink = l.sink;
  }
  if (!sink) return;
  const log::Event event{level, kLogTarget, message, std::span(fields.begin(), fields.size())};
  (*sink)(event);
}

}  // namespace quarn_package
