// Runs the built quarn-pkg binary in a scratch folder of the current test.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <quarn_package/package.hpp>

namespace quarn_pkg_test {

namespace fs = std::filesystem;

struct Result {
  int status = -1;  // exit status; -1 when the process did not exit normally (a crash)
  std::string out;
  std::string err;
};

inline std::string read_text(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> read_bytes(const fs::path& file) {
  const std::string text = read_text(file);
  return {text.begin(), text.end()};
}

inline void write_bytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> package_bytes(const quarn_package::Application& app) {
  std::vector<std::uint8_t> bytes;
  const auto written = app.write(bytes);
  EXPECT_TRUE(written) << written.error();
  return bytes;
}

// A fresh folder per test, so tests can run in parallel; the tool runs inside it, so
// file names in its messages are as short as the arguments.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("quarn-pkg-cli-" + std::string(info->test_suite_name()) + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  fs::path path(const std::string& name) const { return dir_ / name; }

  void write_package(const std::string& name, const quarn_package::Application& app) const {
    write_bytes(path(name), package_bytes(app));
  }

  Result run(std::initializer_list<std::string> args) const { return run(std::vector(args)); }
  // `stdout_file` replaces the captured standard output, e.g. with /dev/full.
  Result run(const std::vector<std::string>& args,
             const std::string& stdout_file = ".stdout") const {
    // TMPDIR keeps the demo's default folder inside the scratch folder too.
    std::string command = "cd " + quote(dir_.string()) + " && TMPDIR=" + quote(dir_.string()) +
                          " " + quote(QUARN_PKG_BINARY);
    for (const std::string& arg : args) command += " " + quote(arg);
    command += " >" + quote(stdout_file) + " 2>.stderr";
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read_text(path(".stdout"));
    result.err = read_text(path(".stderr"));
    fs::remove(path(".stdout"));
    fs::remove(path(".stderr"));
    return result;
  }

  // The files of the scratch folder, for checking that nothing half-written stayed.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  static std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }

  fs::path dir_;
};

}  // namespace quarn_pkg_test
