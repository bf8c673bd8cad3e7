// `quarn-pkg profile`: a package and the runtime output of its profiled run make a
// profile file, as Application::profile_report builds it.
#include "corrupt.hpp"
#include "profiles.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::Application;
using quarn_package::ProfileReport;

class ProfileTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    write_package("app.qpkg", profiled_application());
    write_bytes(path("run.bin"), counters({4294967290u, 6, 20}));
  }
};

TEST_F(ProfileTest, WritesTheReportTheLibraryBuilds) {
  const Result r =
      run({"profile", "app.qpkg", "run.bin", "--clock-hz", "1000000", "-o", "r.qprof"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto expected =
      profiled_application().profile_report(counters({4294967290u, 6, 20}), 1000000);
  ASSERT_TRUE(expected) << expected.error();
  const std::vector<std::uint8_t> bytes = report_bytes(*expected);
  EXPECT_EQ(r.out, "r.qprof: " + std::to_string(bytes.size()) + " bytes, 1 tile, 2 steps\n");
  EXPECT_EQ(read_bytes(path("r.qprof")), bytes);

  // A clock of 0 says "unknown" and is carried like any other.
  const Result unknown =
      run({"profile", "app.qpkg", "run.bin", "--clock-hz", "0", "-o", "z.qprof"});
  ASSERT_EQ(unknown.status, 0) << unknown.err;
  const auto zero = ProfileReport::read(read_bytes(path("z.qprof")));
  ASSERT_TRUE(zero) << zero.error();
  EXPECT_EQ(zero->clock_hz, 0u);
}

TEST_F(ProfileTest, RefusedAndUnreadableInputsAndUnwritableOutputs) {
  write_bytes(path("short.bin"), counters({1, 2}));
  write_package("plain.qpkg", quarn_package::testing::minimal_application());
  write_bytes(path("truncated.qpkg"), truncated_package());
  struct Case {
    std::vector<std::string> args;  // PACKAGE RUNTIME_OUTPUT -o REPORT
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"app.qpkg", "short.bin", "-o", "r.qprof"},
       1,
       "quarn-pkg: short.bin: Invalid: profile binding exceeds runtime output\n"},
      {{"plain.qpkg", "run.bin", "-o", "r.qprof"},
       1,
       "quarn-pkg: run.bin: Invalid: application has no cycle profile binding\n"},
      {{"truncated.qpkg", "run.bin", "-o", "r.qprof"},
       1,
       "quarn-pkg: truncated.qpkg: " + refusal(truncated_package()) + "\n"},
      {{"missing.qpkg", "run.bin", "-o", "r.qprof"},
       2,
       "quarn-pkg: missing.qpkg: cannot read: No such file or directory\n"},
      {{"app.qpkg", "missing.bin", "-o", "r.qprof"},
       2,
       "quarn-pkg: missing.bin: cannot read: No such file or directory\n"},
      {{"app.qpkg", "run.bin", "-o", "app.qpkg/r.qprof"},
       2,
       "quarn-pkg: app.qpkg/r.qprof: cannot write: Not a directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    std::vector<std::string> args = {"profile", "--clock-hz", "5"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = run(args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"app.qpkg", "plain.qpkg", "run.bin", "short.bin",
                                               "truncated.qpkg"}));
}

}  // namespace
}  // namespace quarn_pkg_test
