#include "svg.hpp"

#include "numbers.hpp"
#include "text.hpp"

namespace quarn_pkg {

std::string xml_text(std::string_view text) {
  std::string out;
  const std::string shown = printable(text);
  out.reserve(shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const char c = shown[i];
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF in UTF-8.
    if (c == '\xEF' && shown.compare(i + 1, 2, "\xBF\xBE") == 0) {
      out += "\\uFFFE";
      i += 2;
    } else if (c == '\xEF' && shown.compare(i + 1, 2, "\xBF\xBF") == 0) {
      out += "\\uFFFF";
      i += 2;
    } else if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string coordinate(double value) {
  std::string text = fixed(value, 2);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

}  // namespace quarn_pkg
