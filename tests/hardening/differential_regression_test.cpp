// Messages on which our reader and libcapnp's once disagreed, found by the differential
// fuzz target, read through the public readers: each must now read as libcapnp reads it
// (the wire-level cases are in tests/unit/wire_reader_test.cpp).
#include <gtest/gtest.h>
#include <quarn_package/package.hpp>

#include <optional>
#include <string>
#include <vector>

#include "crafted.hpp"
#include "package/schema.hpp"
#include "support/examples.hpp"
#include "support/words.hpp"

namespace quarn_package::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace schema = detail::schema;

Bytes written(const Application& app) {
  Bytes out;
  EXPECT_TRUE(app.write(out));
  return out;
}

// The minimal application with root field `field` replaced by `pointer`, whose offset
// is taken from the field's own position.
Bytes with_root_pointer(std::uint16_t field, std::int32_t offset, std::uint64_t pointer) {
  Crafted m(written(minimal_application()));
  const std::size_t at = m.root_field(field);
  m.point(at, static_cast<std::size_t>(static_cast<std::int64_t>(at) + 1 + offset), pointer);
  return m.bytes();
}

struct Case {
  std::string name;
  Bytes bytes;
  std::optional<Application> expected;  // none: refused as an incompatible header
};

std::vector<Case> cases() {
  constexpr std::uint8_t kComposite = 7, kVoid = 0;
  // A composite tile list whose tag counts 2^29 elements: libcapnp keeps 29 bits of
  // the count, so the list is empty, and an application without tiles is invalid.
  Bytes composite_count;
  {
    Crafted m(written(minimal_application()));
    const std::size_t tag = m.append({tag_word(1u << 29, 1, 0)});
    m.point(m.root_field(schema::Application::tiles.index), tag, list_ptr(0, kComposite, 0));
    composite_count = m.bytes();
  }
  return {
      {"empty root far beyond its segment", frame({{struct_ptr(1 << 27, 0, 0)}}), std::nullopt},
      {"empty debug symbol list far before its segment",
       with_root_pointer(schema::Application::debug_symbols.index, -(1 << 27),
                         list_ptr(0, kVoid, 0)),
       minimal_application()},
      {"tile list of 2^29 elements in a 30-bit tag", composite_count, std::nullopt},
  };
}

TEST(DifferentialRegression, ReadAsLibcapnpReadsThem) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const auto app = Application::read(c.bytes);
    if (c.expected) {
      ASSERT_TRUE(app.has_value()) << app.error();
      EXPECT_EQ(*app, *c.expected);
    } else {
      ASSERT_FALSE(app.has_value());
      EXPECT_EQ(app.error().kind(), PackageError::Kind::Invalid) << app.error();
    }
  }
}

}  // namespace
}  // namespace quarn_package::testing
