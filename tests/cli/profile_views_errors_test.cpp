// What `report`, `trace` and `timeline` share: a refused profile file is status 1, an
// unreadable file, an unwritable output or bad arguments status 2, each with one line,
// and nothing half-written left behind.
#include "corrupt.hpp"
#include "profiles.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::testing::worked_report;

// Every command that reads a profile file, with REPORT standing for the file.
const std::vector<std::vector<std::string>> kReportCommands = {
    {"report", "REPORT"},
    {"report", "REPORT", "--json"},
    {"trace", "REPORT", "-o", "trace.json"},
    {"timeline", "REPORT", "-o", "timeline.svg"},
};

std::vector<std::string> with_file(std::vector<std::string> args, const std::string& file) {
  std::replace(args.begin(), args.end(), std::string("REPORT"), file);
  return args;
}

std::vector<std::uint8_t> truncated_report() {
  std::vector<std::uint8_t> bytes = report_bytes(worked_report());
  bytes.resize(bytes.size() / 2);
  return bytes;
}

class ProfileViewsErrorsTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    write_bytes(path("good.qprof"), report_bytes(worked_report()));
    write_bytes(path("truncated.qprof"), truncated_report());
    write_bytes(path("random.qprof"), random_bytes());
  }
  const std::vector<std::string> kInputs = {"good.qprof", "random.qprof", "truncated.qprof"};
};

TEST_F(ProfileViewsErrorsTest, RefusedAndMissingProfileFiles) {
  struct Case {
    std::string file;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {"truncated.qprof", 1, "truncated.qprof: " + report_refusal(truncated_report())},
      {"random.qprof", 1, "random.qprof: " + report_refusal(random_bytes())},
      {"missing.qprof", 2, "missing.qprof: cannot read: No such file or directory"},
      {".", 2, ".: cannot read: Is a directory"},
  };
  for (const Case& c : cases) {
    for (const auto& command : kReportCommands) {
      SCOPED_TRACE(command.front() + " " + c.file);
      const Result r = run(with_file(command, c.file));
      EXPECT_EQ(r.status, c.status);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "quarn-pkg: " + c.err + "\n");
    }
  }
  EXPECT_EQ(files(), kInputs);
}

TEST_F(ProfileViewsErrorsTest, UnwritableOutputs) {
  for (const char* command : {"trace", "timeline"}) {
    SCOPED_TRACE(command);
    const Result folder = run({command, "good.qprof", "-o", "good.qprof/out"});
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(folder.err, "quarn-pkg: good.qprof/out: cannot write: Not a directory\n");
    const Result full = run({command, "good.qprof", "-o", "/dev/full"});
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "quarn-pkg: /dev/full: cannot write: No space left on device\n");
  }
  const Result to_stdout = run({"report", "good.qprof"}, "/dev/full");
  EXPECT_EQ(to_stdout.status, 2);
  EXPECT_EQ(to_stdout.err, "quarn-pkg: cannot write to standard output\n");
  EXPECT_EQ(files(), kInputs);
}

TEST_F(ProfileViewsErrorsTest, UsageErrorsAndHelp) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"profile", "a.qpkg", "run.bin", "-o", "r.qprof"},
       "quarn-pkg: --clock-hz is required (see quarn-pkg profile --help)\n"},
      {{"profile", "a.qpkg", "run.bin", "--clock-hz", "-5", "-o", "r.qprof"},
       "quarn-pkg: --clock-hz: must not be negative (see quarn-pkg profile --help)\n"},
      {{"profile", "a.qpkg", "--clock-hz", "1", "-o", "r.qprof"},
       "quarn-pkg: RUNTIME_OUTPUT is required (see quarn-pkg profile --help)\n"},
      {{"profile", "a.qpkg", "run.bin", "--clock-hz", "1"},
       "quarn-pkg: --output is required (see quarn-pkg profile --help)\n"},
      {{"report"}, "quarn-pkg: REPORT is required (see quarn-pkg report --help)\n"},
      {{"report", "good.qprof", "--top", "-1"},
       "quarn-pkg: --top: must not be negative (see quarn-pkg report --help)\n"},
      {{"report", "good.qprof", "--top", "many"},
       "quarn-pkg: Could not convert: --top = many (see quarn-pkg report --help)\n"},
      {{"report", "good.qprof", "--tile", "4294967296"},
       "quarn-pkg: Could not convert: --tile = 4294967296 (see quarn-pkg report --help)\n"},
      {{"trace", "good.qprof"}, "quarn-pkg: --output is required (see quarn-pkg trace --help)\n"},
      {{"timeline", "-o", "t.svg"},
       "quarn-pkg: REPORT is required (see quarn-pkg timeline --help)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const Result r = run(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_EQ(files(), kInputs);

  const Result help = run({"--help"});
  for (const char* command : {"profile", "report", "trace", "timeline"}) {
    SCOPED_TRACE(command);
    EXPECT_NE(help.out.find(std::string("  ") + command), std::string::npos) << help.out;
    const Result r = run({command, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(std::string("Usage: quarn-pkg ") + command), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-v,--verbose"), std::string::npos);
  }
}

}  // namespace
}  // namespace quarn_pkg_test
