// `quarn-pkg validate`: one line per file on stdout, status 1 when any file is refused.
#include "cli_runner.hpp"
#include "corrupt.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::testing::full_application;

class ValidateTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    write_package("good.qpkg", full_application());
    write_bytes(path("truncated.qpkg"), truncated_package());
    write_bytes(path("random.qpkg"), random_bytes());
    write_bytes(path("empty.qpkg"), {});
    write_bytes(path("duplicate.qpkg"), duplicate_tile_package());
  }
};

TEST_F(ValidateTest, PrintsOneLinePerFileAndSumsUpInTheStatus) {
  struct Case {
    std::vector<std::string> files;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {{"good.qpkg"}, 0, "good.qpkg: ok\n"},
      {{"good.qpkg", "good.qpkg"}, 0, "good.qpkg: ok\ngood.qpkg: ok\n"},
      {{"truncated.qpkg"}, 1, "truncated.qpkg: " + refusal(truncated_package()) + "\n"},
      {{"random.qpkg"}, 1, "random.qpkg: " + refusal(random_bytes()) + "\n"},
      {{"empty.qpkg"}, 1, "empty.qpkg: " + refusal({}) + "\n"},
      {{"duplicate.qpkg"}, 1, "duplicate.qpkg: Invalid: duplicate physical tile 1515870810\n"},
      {{"missing.qpkg"}, 1, "missing.qpkg: cannot read: No such file or directory\n"},
      {{"good.qpkg", "missing.qpkg", "good.qpkg"},
       1,
       "good.qpkg: ok\nmissing.qpkg: cannot read: No such file or directory\ngood.qpkg: ok\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files.front() + " and " + std::to_string(c.files.size() - 1) + " more");
    std::vector<std::string> args{"validate"};
    args.insert(args.end(), c.files.begin(), c.files.end());
    const Result r = run(args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(ValidateTest, TruncatedPackagesAreRefusedAsTruncated) {
  EXPECT_EQ(refusal(truncated_package()).rfind("Capnp (Truncated): ", 0), 0u);
}

}  // namespace
}  // namespace quarn_pkg_test
