// `quarn-pkg demo`: runs without arguments and leaves files the library reads back.
#include "cli_runner.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::Application;
using quarn_package::ProfileReport;

class DemoTest : public CliTest {
 protected:
  // Checks what the demo left in `dir` with the library itself.
  void expect_demo_files(const fs::path& dir, const std::string& out) {
    for (const char* name : {"example.qpkg", "tile-0.bin", "runtime-output.bin", "example.qprof"}) {
      SCOPED_TRACE(name);
      EXPECT_TRUE(fs::is_regular_file(dir / name));
      EXPECT_NE(out.find(std::string("  ") + name), std::string::npos) << out;
    }
    const auto app = Application::read(read_bytes(dir / "example.qpkg"));
    ASSERT_TRUE(app) << app.error();
    EXPECT_TRUE(app->validate());
    EXPECT_EQ(read_bytes(dir / "tile-0.bin"), *app->tile_image(0));

    const auto report = ProfileReport::read(read_bytes(dir / "example.qprof"));
    ASSERT_TRUE(report) << report.error();
    EXPECT_EQ(*report,
              *app->profile_report(read_bytes(dir / "runtime-output.bin"), report->clock_hz));
    ASSERT_EQ(report->tiles.size(), app->profile_tiles.size());
    for (std::size_t i = 0; i < report->tiles.size(); ++i)
      EXPECT_EQ(report->tiles[i].samples.size(), app->profile_tiles[i].steps.size());
  }
};

TEST_F(DemoTest, WritesEveryFileIntoTheGivenFolder) {
  const Result r = run({"demo", "tour"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("Files go to tour\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("tour/example.qpkg: application package, "), std::string::npos);
  expect_demo_files(path("tour"), r.out);
}

TEST_F(DemoTest, WithoutArgumentsUsesAFreshTemporaryFolder) {
  const Result r = run({"demo"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string marker = "Files go to ";
  const auto at = r.out.find(marker);
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::string dir =
      r.out.substr(at + marker.size(), r.out.find('\n', at) - at - marker.size());
  // The runner points TMPDIR at this test's folder.
  EXPECT_EQ(fs::path(dir).parent_path(), path(".").parent_path());
  EXPECT_EQ(fs::path(dir).filename().string().rfind("quarn-pkg-demo-", 0), 0u) << dir;
  expect_demo_files(dir, r.out);
}

TEST_F(DemoTest, VerboseShowsTheLibrarysEvents) {
  const Result r = run({"demo", "tour", "-v"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("INFO quarn_package: writing application package tiles=2\n"
                       "INFO quarn_package: application package written\n"),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace quarn_pkg_test
