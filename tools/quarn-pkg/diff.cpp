#include "diff.hpp"

#include "text.hpp"

#include <algorithm>

namespace quarn_pkg {
namespace {

std::string child(const std::string& path, const std::string& key) {
  return path.empty() ? key : path + "." + key;
}

// Segment data is one hex string; its text would say little, the first differing byte
// says where to look.
std::string data_difference(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size()) / 2;
  std::size_t i = 0;
  while (i < common && a.compare(2 * i, 2, b, 2 * i, 2) == 0) ++i;
  const std::string text =
      std::to_string(a.size() / 2) + " bytes != " + std::to_string(b.size() / 2) + " bytes, ";
  if (i < common)
    return text + "first difference at byte " + std::to_string(i) + ": " + a.substr(2 * i, 2) +
           " != " + b.substr(2 * i, 2);
  return text + "equal up to byte " + std::to_string(i);
}

void walk(const Json& a, const Json& b, const std::string& path, std::vector<std::string>& out) {
  if (a.is_object() && b.is_object()) {
    for (const auto& [key, value] : a.items()) {
      if (const auto it = b.find(key); it != b.end())
        walk(value, *it, child(path, key), out);
      else
        out.push_back(child(path, key) + ": present != missing");
    }
    for (const auto& [key, _] : b.items())
      if (!a.contains(key)) out.push_back(child(path, key) + ": missing != present");
  } else if (a.is_array() && b.is_array()) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i)
      walk(a[i], b[i], path + "[" + std::to_string(i) + "]", out);
    if (a.size() != b.size())
      out.push_back(path + ": " + count(a.size(), "element", "elements") +
                    " != " + count(b.size(), "element", "elements"));
  } else if (a != b) {
    const bool is_data = path.ends_with(".data") && a.is_string() && b.is_string();
    out.push_back(path + ": " +
                  (is_data ? data_difference(a.get<std::string>(), b.get<std::string>())
                           : a.dump() + " != " + b.dump()));
  }
}

}  // namespace

std::vector<std::string> json_differences(const Json& a, const Json& b) {
  std::vector<std::string> out;
  walk(a, b, "", out);
  return out;
}

}  // namespace quarn_pkg
