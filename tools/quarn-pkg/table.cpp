#include "table.hpp"

#include <algorithm>

#include "text.hpp"

namespace quarn_pkg {
namespace {

void print_line(std::ostream& os, std::string_view indent,
                const std::vector<Table::Column>& columns, const std::vector<std::size_t>& widths,
                const std::vector<std::string>& cells) {
  std::string line(indent);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string& cell = i < cells.size() ? cells[i] : std::string();
    const std::string pad(widths[i] - std::min(widths[i], cell.size()), ' ');
    if (i > 0) line += "  ";
    line += columns[i].align == Table::Align::Right ? pad + cell : cell + pad;
  }
  // Left-aligned last columns would leave trailing blanks.
  line.erase(line.find_last_not_of(' ') + 1);
  os << line << '\n';
}

}  // namespace

void Table::add_row(std::vector<std::string> cells) {
  for (std::string& cell : cells) cell = printable(cell);
  rows_.push_back(std::move(cells));
}

std::size_t Table::print(std::ostream& os, std::string_view indent, std::size_t max_rows) const {
  const std::size_t shown = std::min(max_rows, rows_.size());
  std::vector<std::size_t> widths;
  for (const Column& column : columns_) widths.push_back(column.heading.size());
  for (std::size_t r = 0; r < shown; ++r)
    for (std::size_t i = 0; i < widths.size() && i < rows_[r].size(); ++i)
      widths[i] = std::max(widths[i], rows_[r][i].size());

  std::vector<std::string> headings;
  for (const Column& column : columns_) headings.push_back(column.heading);
  if (std::ranges::any_of(headings, [](const std::string& h) { return !h.empty(); }))
    print_line(os, indent, columns_, widths, headings);
  for (std::size_t r = 0; r < shown; ++r) print_line(os, indent, columns_, widths, rows_[r]);
  return rows_.size() - shown;
}

}  // namespace quarn_pkg
