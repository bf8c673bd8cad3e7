#include "log_sink.hpp"

#include <iostream>
#include <string>

#include <quarn_package/log.hpp>

#include "text.hpp"

namespace quarn_pkg {
namespace {

namespace log = quarn_package::log;

const char* level_name(log::Level level) {
  switch (level) {
    case log::Level::Error:
      return "ERROR";
    case log::Level::Warn:
      return "WARN";
    case log::Level::Info:
      return "INFO";
    case log::Level::Debug:
      return "DEBUG";
    case log::Level::Trace:
      return "TRACE";
  }
  return "LOG";
}

struct FieldText {
  std::string operator()(std::uint64_t value) const { return std::to_string(value); }
  // Quoted only when a blank or quote would make the line ambiguous.
  std::string operator()(std::string_view value) const {
    if (!value.empty() && value.find_first_of(" \"=") == std::string_view::npos)
      return printable(value);
    std::string quoted = "\"";
    for (char c : value) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    return printable(quoted + "\"");
  }
};

void print_event(const log::Event& event) {
  // One write per event keeps lines whole if the library ever logs from several threads.
  std::string line = std::string(level_name(event.level)) + " " + std::string(event.target) + ": " +
                     std::string(event.message);
  for (const log::Field& field : event.fields)
    line += " " + std::string(field.name) + "=" + std::visit(FieldText{}, field.value);
  std::cerr << line + "\n";
}

}  // namespace

void install_log_sink(int verbosity) {
  if (verbosity <= 0) return;
  log::set_sink(print_event, verbosity == 1 ? log::Level::Info : log::Level::Trace);
}

}  // namespace quarn_pkg
