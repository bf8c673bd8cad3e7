// Arguments: help, version, verbose logging, and usage errors with status 2.
#include "cli_runner.hpp"
#include "support/examples.hpp"

namespace quarn_pkg_test {
namespace {

class UsageTest : public CliTest {};

TEST_F(UsageTest, UsageErrorsGiveStatusTwoAndOneLine) {
  write_package("a.qpkg", quarn_package::testing::minimal_application());
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{}, "quarn-pkg: no command given (see quarn-pkg --help)\n"},
      {{"unpack", "a.qpkg"}, "quarn-pkg: unknown command unpack (see quarn-pkg --help)\n"},
      {{"inspect"}, "quarn-pkg: PACKAGE is required (see quarn-pkg inspect --help)\n"},
      {{"inspect", "a.qpkg", "--no-data"},
       "quarn-pkg: --no-data requires --json (see quarn-pkg inspect --help)\n"},
      {{"inspect", "a.qpkg", "--colour"},
       "quarn-pkg: The following argument was not expected: --colour (see quarn-pkg "
       "inspect --help)\n"},
      {{"validate"}, "quarn-pkg: PACKAGE is required (see quarn-pkg validate --help)\n"},
      {{"image", "a.qpkg", "-o", "x"},
       "quarn-pkg: --tile or --all is required (see quarn-pkg image --help)\n"},
      {{"image", "a.qpkg", "--tile", "0", "--all", "-o", "x"},
       "quarn-pkg: --tile excludes --all (see quarn-pkg image --help)\n"},
      {{"image", "a.qpkg", "--tile", "0"},
       "quarn-pkg: --output is required (see quarn-pkg image --help)\n"},
      {{"image", "a.qpkg", "--tile", "-1", "-o", "x"},
       "quarn-pkg: Could not convert: --tile = -1 (see quarn-pkg image --help)\n"},
      {{"image", "a.qpkg", "--tile", "4294967296", "-o", "x"},
       "quarn-pkg: Could not convert: --tile = 4294967296 (see quarn-pkg image --help)\n"},
      {{"from-json", "a.json"},
       "quarn-pkg: --output is required (see quarn-pkg from-json --help)\n"},
      {{"diff", "a.qpkg"}, "quarn-pkg: B is required (see quarn-pkg diff --help)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const Result r = run(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_EQ(files(), std::vector<std::string>{"a.qpkg"});
}

TEST_F(UsageTest, HelpOnEveryCommandAndVersion) {
  for (const char* command :
       {"inspect", "validate", "image", "to-json", "from-json", "diff", "demo"}) {
    SCOPED_TRACE(command);
    const Result r = run({command, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(std::string("Usage: quarn-pkg ") + command), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-v,--verbose"), std::string::npos);
  }
  const Result help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command :
       {"inspect", "validate", "image", "to-json", "from-json", "diff", "demo"})
    EXPECT_NE(help.out.find(std::string("  ") + command), std::string::npos) << command;

  const Result version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "quarn-pkg " QUARN_PKG_TEST_VERSION "\n");
}

TEST_F(UsageTest, VerbosePrintsTheLibrarysEventsOnStderr) {
  write_package("a.qpkg", quarn_package::testing::minimal_application());
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"validate", "a.qpkg", "-v"},
       "INFO quarn_package: reading application package\n"
       "INFO quarn_package: application package read tiles=1 compiler=0.1.0\n"},
      {{"-v", "validate", "a.qpkg"},
       "INFO quarn_package: reading application package\n"
       "INFO quarn_package: application package read tiles=1 compiler=0.1.0\n"},
      {{"image", "a.qpkg", "--tile", "0", "-o", "t.bin", "-vv"},
       "INFO quarn_package: reading application package\n"
       "INFO quarn_package: application package read tiles=1 compiler=0.1.0\n"
       "TRACE quarn_package: reconstructing tile image physical_tile=0 load_base=0x4c000 "
       "image_bytes=8\n"},
      {{"validate", "a.qpkg"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const Result r = run(c.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, c.err);
  }
}

}  // namespace
}  // namespace quarn_pkg_test
