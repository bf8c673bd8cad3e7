// Aligned text tables for the human-readable views.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quarn_pkg {

class Table {
 public:
  enum class Align { Left, Right };
  struct Column {
    std::string heading;
    Align align = Align::Right;
  };

  explicit Table(std::vector<Column> columns) : columns_(std::move(columns)) {}

  // One cell per column; control characters in a cell are escaped.
  void add_row(std::vector<std::string> cells);
  std::size_t size() const { return rows_.size(); }

  // Prints the heading line (unless every heading is empty) and at most `max_rows` rows, every line
  // starting with `indent`; returns how many rows were left out.
  std::size_t print(std::ostream& os, std::string_view indent, std::size_t max_rows) const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace quarn_pkg
