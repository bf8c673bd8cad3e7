#include "outcome.hpp"

#include <iostream>

#include "text.hpp"

namespace quarn_pkg {

int report(const Failure& failure) {
  std::cerr << "quarn-pkg: " << printable(failure.message) << '\n';
  return failure.exit_code;
}

}  // namespace quarn_pkg
