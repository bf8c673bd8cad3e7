// How a command fails: an exit status and the one line that explains it.
#pragma once

#include <expected>
#include <string>

namespace quarn_pkg {

// The exit statuses every command keeps to.
enum ExitCode : int {
  kExitOk = 0,
  kExitRefused = 1,  // the input was refused: an invalid package, or `diff` found a difference
  kExitUsage = 2,    // bad arguments, or a file that cannot be read or written
};

// A failed step. `message` names the file it is about and fits on one line; main prints
// it after "quarn-pkg: ".
struct Failure {
  int exit_code = kExitUsage;
  std::string message;
};

template <class T>
using Outcome = std::expected<T, Failure>;

inline std::unexpected<Failure> refused(std::string message) {
  return std::unexpected(Failure{kExitRefused, std::move(message)});
}
inline std::unexpected<Failure> io_failure(std::string message) {
  return std::unexpected(Failure{kExitUsage, std::move(message)});
}

// Prints `failure` on stderr and returns its exit status.
int report(const Failure& failure);

}  // namespace quarn_pkg
