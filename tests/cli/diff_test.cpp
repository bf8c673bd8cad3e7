// `quarn-pkg diff`: field paths with both values; status 0 only for identical packages.
#include "cli_runner.hpp"
#include "support/examples.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::Application;
using quarn_package::testing::full_application;

class DiffTest : public CliTest {};

TEST_F(DiffTest, IdenticalPackagesGiveStatusZero) {
  write_package("a.qpkg", full_application());
  write_package("b.qpkg", full_application());
  const Result r = run({"diff", "a.qpkg", "b.qpkg"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "a.qpkg and b.qpkg are identical\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(DiffTest, ListsEachDifferingFieldByItsPath) {
  struct Case {
    void (*change)(Application&);
    std::string lines;
  };
  const Case cases[] = {
      {[](Application& a) { a.tiles[0].segments[0].memory_size = 16; },
       "tiles[0].segments[0].memory_size: 8 != 16\n"},
      {[](Application& a) { a.compiler_version = "0.2.0"; },
       "compiler_version: \"0.1.0\" != \"0.2.0\"\n"},
      {[](Application& a) { a.tiles[0].segments[0].data[2] = 9; },
       "tiles[0].segments[0].data: 4 bytes != 4 bytes, first difference at byte 2: 03 != 09\n"},
      {[](Application& a) { a.tiles[0].segments[0].data.push_back(5); },
       "tiles[0].segments[0].data: 4 bytes != 5 bytes, equal up to byte 4\n"},
      {[](Application& a) {
         a.profile_tiles[0].steps[0].kind = quarn_package::ProfileStepKind::Idle;
       },
       "profile_tiles[0].steps[0].kind: \"Compute\" != \"Idle\"\n"},
      {[](Application& a) { a.debug_symbols.push_back({.name = "more", .address = 1}); },
       "debug_symbols: 1 element != 2 elements\n"},
      {[](Application& a) {
         a.host_exchange.calls[0].phases = 5;
         a.device_config_writes[0].value = 1;
       },
       "host_exchange.calls[0].phases: 4 != 5\ndevice_config_writes[0].value: 3221225485 != 1\n"},
  };
  write_package("a.qpkg", full_application());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    Application changed = full_application();
    c.change(changed);
    write_package("b.qpkg", changed);
    const Result r = run({"diff", "a.qpkg", "b.qpkg"});
    EXPECT_EQ(r.status, 1);
    const auto n = std::count(c.lines.begin(), c.lines.end(), '\n');
    EXPECT_EQ(r.out, c.lines + "a.qpkg and b.qpkg differ: " + std::to_string(n) +
                         (n == 1 ? " difference\n" : " differences\n"));
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(DiffTest, EqualFieldsInDifferentBytesStillDiffer) {
  // The reader ignores what follows the message; a reproducible build must not.
  std::vector<std::uint8_t> bytes = package_bytes(full_application());
  write_bytes(path("a.qpkg"), bytes);
  const std::size_t size = bytes.size();
  bytes.insert(bytes.end(), {0, 0, 0, 0, 0, 0, 0, 0});
  write_bytes(path("b.qpkg"), bytes);
  const Result r = run({"diff", "a.qpkg", "b.qpkg"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "a.qpkg and b.qpkg hold equal fields in different bytes: " +
                       std::to_string(size) + " bytes != " + std::to_string(size + 8) +
                       " bytes, first difference at byte " + std::to_string(size) + "\n");
}

}  // namespace
}  // namespace quarn_pkg_test
