// Text that goes into the timeline's SVG: escaped so any step name keeps the file
// well-formed XML, and coordinates written short.
#include "svg.hpp"

#include <gtest/gtest.h>

namespace quarn_pkg {
namespace {

TEST(SvgText, MarkupControlCharactersAndNoncharactersAreEscaped) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"dense", "dense"},
      {"a<b>&\"c\"", "a&lt;b&gt;&amp;&quot;c&quot;"},
      {std::string("nul\0tab\t", 8), "nul\\x00tab\\x09"},
      {"\xEF\xBF\xBE|\xEF\xBF\xBF", "\\uFFFE|\\uFFFF"},
      {"\xEF\xBF\xBD \xC2\xB5s", "\xEF\xBF\xBD \xC2\xB5s"},  // U+FFFD and µ stay
      {"\xEF", "\xEF"},  // a lone lead byte at the end: nothing to read past it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    EXPECT_EQ(xml_text(c.in), c.out);
  }
}

TEST(SvgText, CoordinatesHaveAtMostTwoDecimals) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {{3, "3"},     {12.5, "12.5"}, {0.125, "0.12"}, {1199.996, "1200"},
                        {0.004, "0"}, {-0.001, "0"},  {-2.5, "-2.5"},  {1e6, "1000000"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(coordinate(c.value), c.text);
  }
}

}  // namespace
}  // namespace quarn_pkg
