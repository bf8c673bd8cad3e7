// Exit statuses and error lines that every command shares: a refused package is status 1,
// an unreadable file or bad arguments status 2, each with one line on stderr.
#include "cli_runner.hpp"
#include "corrupt.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::testing::full_application;

// Every command that reads a package, with PACKAGE standing for the file it is given.
const std::vector<std::vector<std::string>> kPackageCommands = {
    {"inspect", "PACKAGE"},
    {"inspect", "PACKAGE", "--json"},
    {"image", "PACKAGE", "--tile", "0", "-o", "out.bin"},
    {"image", "PACKAGE", "--all", "-o", "images"},
    {"to-json", "PACKAGE"},
    {"diff", "PACKAGE", "good.qpkg"},
    {"diff", "good.qpkg", "PACKAGE"},
};

std::vector<std::string> with_file(std::vector<std::string> args, const std::string& file) {
  std::replace(args.begin(), args.end(), std::string("PACKAGE"), file);
  return args;
}

class ErrorsTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    write_package("good.qpkg", full_application());
    write_bytes(path("truncated.qpkg"), truncated_package());
    write_bytes(path("random.qpkg"), random_bytes());
    write_bytes(path("duplicate.qpkg"), duplicate_tile_package());
  }
};

TEST_F(ErrorsTest, RefusedPackagesGiveStatusOneAndOneLine) {
  const std::pair<std::string, std::string> refused[] = {
      {"truncated.qpkg", refusal(truncated_package())},
      {"random.qpkg", refusal(random_bytes())},
      {"duplicate.qpkg", "Invalid: duplicate physical tile 1515870810"},
  };
  for (const auto& [file, why] : refused) {
    for (const auto& command : kPackageCommands) {
      SCOPED_TRACE(command.front() + " " + file);
      const Result r = run(with_file(command, file));
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "quarn-pkg: " + file + ": " + why + "\n");
    }
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"duplicate.qpkg", "good.qpkg", "random.qpkg",
                                               "truncated.qpkg"}));
}

TEST_F(ErrorsTest, MissingFilesGiveStatusTwoAndOneLine) {
  for (const auto& command : kPackageCommands) {
    SCOPED_TRACE(command.front());
    const Result r = run(with_file(command, "missing.qpkg"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quarn-pkg: missing.qpkg: cannot read: No such file or directory\n");
  }
  const Result folder = run({"inspect", "."});
  EXPECT_EQ(folder.status, 2);
  EXPECT_EQ(folder.err, "quarn-pkg: .: cannot read: Is a directory\n");
}

TEST_F(ErrorsTest, UnwritableOutputsGiveStatusTwoAndLeaveNothingBehind) {
  // good.qpkg is a file, so nothing can be created below it.
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"image", "good.qpkg", "--tile", "0", "-o", "good.qpkg/tile.bin"},
       "quarn-pkg: good.qpkg/tile.bin: cannot write: Not a directory\n"},
      {{"image", "good.qpkg", "--all", "-o", "good.qpkg/images"},
       "quarn-pkg: good.qpkg/images: cannot create folder: Not a directory\n"},
      {{"to-json", "good.qpkg", "-o", "good.qpkg/app.json"},
       "quarn-pkg: good.qpkg/app.json: cannot write: Not a directory\n"},
      {{"demo", "good.qpkg/demo"},
       "quarn-pkg: good.qpkg/demo: cannot create folder: Not a directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const Result r = run(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"duplicate.qpkg", "good.qpkg", "random.qpkg",
                                               "truncated.qpkg"}));
}

TEST_F(ErrorsTest, AFullDeviceIsAnOutputError) {
  // Devices are written in place, never replaced by a renamed file.
  const Result to_file = run({"to-json", "good.qpkg", "-o", "/dev/full"});
  EXPECT_EQ(to_file.status, 2);
  EXPECT_EQ(to_file.err, "quarn-pkg: /dev/full: cannot write: No space left on device\n");

  const Result to_stdout = run({"to-json", "good.qpkg"}, "/dev/full");
  EXPECT_EQ(to_stdout.status, 2);
  EXPECT_EQ(to_stdout.err, "quarn-pkg: cannot write to standard output\n");
}

}  // namespace
}  // namespace quarn_pkg_test
