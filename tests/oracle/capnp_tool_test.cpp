// The capnp tool's text view of our messages: `capnp decode` must accept every package and
// profile file we write and print, message by message, what it prints for libcapnp's own
// message of the same record.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "oracle_support.hpp"
#include "support/examples.hpp"
#include "support/generator.hpp"

namespace quarn_package::oracle {
namespace {

using quarn_package::testing::Generator;

namespace fs = std::filesystem;

// A directory of its own for one test's files, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::string name = (fs::temp_directory_path() / "quarn_oracle_XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = name;
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Decoded {
  int status;
  std::string out;
  std::string err;
};

// `capnp decode --short`, one output line per message of `stream`.
Decoded capnp_decode(const Bytes& stream, const std::string& schema_file, const std::string& type) {
  const ScratchDir dir;
  {
    std::ofstream(dir / "in", std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.data()),
               static_cast<std::streamsize>(stream.size()));
  }
  const std::string schema_dir = QUARN_ORACLE_SCHEMA_DIR;
  const std::string command = std::string("'") + QUARN_ORACLE_CAPNP_TOOL + "' decode --short -I'" +
                              schema_dir + "' '" + schema_dir + "/" + schema_file + "' " + type +
                              " < '" + (dir / "in").string() + "' > '" + (dir / "out").string() +
                              "' 2> '" + (dir / "err").string() + "'";
  const int status = std::system(command.c_str());
  return {status, slurp(dir / "out"), slurp(dir / "err")};
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Decodes our messages of `records` and libcapnp's, each set as one stream.
template <class Record>
void expect_tool_agrees(const std::vector<Record>& records, const std::string& schema_file,
                        const std::string& type) {
  if (access(QUARN_ORACLE_CAPNP_TOOL, X_OK) != 0) {
    GTEST_SKIP() << "no capnp tool at " << QUARN_ORACLE_CAPNP_TOOL;
  }
  Bytes ours;
  Bytes theirs;
  for (const Record& record : records) {
    ASSERT_TRUE(record.write(ours).has_value());
    const Bytes reference = libcapnp_bytes(record);
    theirs.insert(theirs.end(), reference.begin(), reference.end());
  }
  const Decoded decoded_ours = capnp_decode(ours, schema_file, type);
  const Decoded decoded_theirs = capnp_decode(theirs, schema_file, type);
  ASSERT_EQ(decoded_ours.status, 0) << decoded_ours.err;
  ASSERT_EQ(decoded_theirs.status, 0) << decoded_theirs.err;
  EXPECT_EQ(decoded_ours.err, decoded_theirs.err);
  const std::vector<std::string> ours_lines = lines(decoded_ours.out);
  const std::vector<std::string> theirs_lines = lines(decoded_theirs.out);
  ASSERT_EQ(ours_lines.size(), records.size());
  ASSERT_EQ(theirs_lines.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE("message " + std::to_string(i));
    EXPECT_EQ(ours_lines[i], theirs_lines[i]);
  }
}

TEST(CapnpTool, DecodesOurPackages) {
  std::vector<Application> apps = {quarn_package::testing::minimal_application(),
                                   quarn_package::testing::full_application()};
  for (std::uint64_t seed = 0; seed < 40; ++seed) apps.push_back(Generator(seed).application());
  // Several segments each.
  for (std::uint64_t seed = 0; seed < 3; ++seed) {
    apps.push_back(Generator(seed, {.max_data_bytes = 30000}).application());
    apps.push_back(Generator(seed, {.max_text = 3, .extra_debug_symbols = 2000}).application());
  }
  expect_tool_agrees(apps, "application.capnp", "Application");
}

TEST(CapnpTool, DecodesOurProfileFiles) {
  std::vector<ProfileReport> reports = {quarn_package::testing::worked_report(), ProfileReport{}};
  for (std::uint64_t seed = 0; seed < 40; ++seed) reports.push_back(Generator(seed).report());
  for (std::uint64_t seed = 0; seed < 3; ++seed) {
    reports.push_back(Generator(seed, {.max_list = 60, .max_text = 3}).report());
  }
  expect_tool_agrees(reports, "profile.capnp", "Profile");
}

}  // namespace
}  // namespace quarn_package::oracle
