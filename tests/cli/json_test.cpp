// `quarn-pkg to-json` and `from-json`: the JSON form and back, and what a wrong document
// is told.
#include <nlohmann/json.hpp>

#include "cli_runner.hpp"
#include "support/examples.hpp"

namespace quarn_pkg_test {
namespace {

using nlohmann::ordered_json;
using quarn_package::Application;
using quarn_package::testing::full_application;

// The full application with values at the ends of their ranges, which a JSON number
// type other than a 64-bit unsigned would not keep.
Application wide_values() {
  Application app = full_application();
  app.compiler_version = "cc \"quoted\" \xc3\xa9";
  app.host_exchange.calls[0].inputs[0].file_offset = 0xFFFFFFFFFFFFFFFF;
  app.host_exchange.startup_mark = 0xFFFFFFFF;
  app.tiles[0].segments[0].data = {0x00, 0xFF, 0x0A, 0xA0};
  return app;
}

class JsonTest : public CliTest {
 protected:
  // The JSON form of the full application, to be spoilt one field at a time.
  ordered_json full_form() {
    write_package("full.qpkg", full_application());
    const Result r = run({"to-json", "full.qpkg"});
    EXPECT_EQ(r.status, 0) << r.err;
    return ordered_json::parse(r.out);
  }
};

TEST_F(JsonTest, JsonToPackageToJsonIsTheIdentity) {
  const Application app = wide_values();
  write_package("a.qpkg", app);
  const Result to_json = run({"to-json", "a.qpkg", "-o", "a.json"});
  ASSERT_EQ(to_json.status, 0) << to_json.err;
  EXPECT_EQ(to_json.out, "");

  const Result from_json = run({"from-json", "a.json", "-o", "b.qpkg"});
  ASSERT_EQ(from_json.status, 0) << from_json.err;
  const std::vector<std::uint8_t> bytes = package_bytes(app);
  EXPECT_EQ(from_json.out, "b.qpkg: " + std::to_string(bytes.size()) + " bytes, 1 tile\n");
  EXPECT_EQ(read_bytes(path("b.qpkg")), bytes);

  const Result again = run({"to-json", "b.qpkg"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, read_text(path("a.json")));
  const ordered_json doc = ordered_json::parse(again.out);
  EXPECT_EQ(doc.at("host_exchange").at("calls")[0].at("inputs")[0].at("file_offset"),
            0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(doc.at("tiles")[0].at("segments")[0].at("data"), "00ff0aa0");
}

TEST_F(JsonTest, FromJsonAcceptsAnyFormattingAndUppercaseHex) {
  ordered_json doc = full_form();
  doc["tiles"][0]["segments"][0]["data"] = "0A0b0C0d";
  write_bytes(path("compact.json"), [&] {
    const std::string text = doc.dump();
    return std::vector<std::uint8_t>(text.begin(), text.end());
  }());
  const Result r = run({"from-json", "compact.json", "-o", "c.qpkg"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto app = Application::read(read_bytes(path("c.qpkg")));
  ASSERT_TRUE(app) << app.error();
  EXPECT_EQ(app->tiles[0].segments[0].data, (std::vector<std::uint8_t>{10, 11, 12, 13}));
}

TEST_F(JsonTest, WrongDocumentsNameTheFieldAndWriteNothing) {
  const ordered_json form = full_form();
  struct Case {
    std::string text;  // the document; empty: the spoilt form below
    void (*spoil)(ordered_json&);
    std::string err;
  };
  const Case cases[] = {
      {"", [](ordered_json& d) { d["tiles"][0]["segments"][0].erase("memory_size"); },
       "tiles[0].segments[0].memory_size: missing field"},
      {"", [](ordered_json& d) { d["tiles"][0]["segments"][0]["memory_size"] = "8"; },
       "tiles[0].segments[0].memory_size: expected an unsigned 32-bit integer, found a string"},
      {"", [](ordered_json& d) { d["tiles"][0]["entry_point"] = 0x100000000; },
       "tiles[0].entry_point: expected an unsigned 32-bit integer, found 4294967296"},
      {"", [](ordered_json& d) { d["host_exchange"]["command_offset"] = -1; },
       "host_exchange.command_offset: expected an unsigned 64-bit integer, found a negative "
       "integer"},
      {"", [](ordered_json& d) { d["debug_symbols"][0]["address"] = 1.5; },
       "debug_symbols[0].address: expected an unsigned 32-bit integer, found a floating-point "
       "number"},
      {"", [](ordered_json& d) { d["tiles"][0]["segments"][0]["data"] = "010"; },
       "tiles[0].segments[0].data: expected hexadecimal bytes, found an odd number of digits"},
      {"", [](ordered_json& d) { d["tiles"][0]["segments"][0]["data"] = "01zz"; },
       "tiles[0].segments[0].data: expected hexadecimal bytes, found a non-hex character at 2"},
      {"", [](ordered_json& d) { d["profile_tiles"][0]["steps"][0]["kind"] = "Nap"; },
       "profile_tiles[0].steps[0].kind: expected one of Exchange, Compute, Synchronization, "
       "Idle, found \"Nap\""},
      {"", [](ordered_json& d) { d["tiles"][0]["colour"] = "red"; },
       "tiles[0].colour: unknown field"},
      {"", [](ordered_json& d) { d["inputs"] = ordered_json::object(); },
       "inputs: expected an array, found an object"},
      {"", [](ordered_json& d) { d["tiles"] = ordered_json::array(); },
       "Invalid: application has no tiles"},
      {"[1, 2]", nullptr, "(document): expected an object, found an array"},
      {"{\"tiles\": [1, }", nullptr,
       "not JSON: parse error at line 1, column 15: syntax error while parsing value - "
       "unexpected '}'; expected '[', '{', or a literal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    std::string text = c.text;
    if (c.spoil) {
      ordered_json doc = form;
      c.spoil(doc);
      text = doc.dump(2);
    }
    write_bytes(path("bad.json"), std::vector<std::uint8_t>(text.begin(), text.end()));
    const Result r = run({"from-json", "bad.json", "-o", "out.qpkg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quarn-pkg: bad.json: " + c.err + "\n");
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"bad.json", "full.qpkg"}));
}

TEST_F(JsonTest, MissingInputAndUnwritableOutputAreIoErrors) {
  const Result missing = run({"from-json", "missing.json", "-o", "out.qpkg"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "quarn-pkg: missing.json: cannot read: No such file or directory\n");

  ordered_json doc = full_form();
  const std::string text = doc.dump();
  write_bytes(path("good.json"), std::vector<std::uint8_t>(text.begin(), text.end()));
  const Result unwritable = run({"from-json", "good.json", "-o", "no/such/folder/out.qpkg"});
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_EQ(unwritable.err,
            "quarn-pkg: no/such/folder/out.qpkg: cannot write: No such file or directory\n");
}

}  // namespace
}  // namespace quarn_pkg_test
