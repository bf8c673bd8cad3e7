// `quarn-pkg inspect`: the tables, their summaries, and the JSON document.
#include <nlohmann/json.hpp>

#include "cli_runner.hpp"
#include "support/examples.hpp"

namespace quarn_pkg_test {
namespace {

using nlohmann::json;
using quarn_package::testing::full_application;

class InspectTest : public CliTest {};

TEST_F(InspectTest, ShowsHeaderFactsAndATablePerKindOfRecord) {
  const auto app = full_application();
  write_package("full.qpkg", app);
  const Result r = run({"inspect", "full.qpkg"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string expected =
      "full.qpkg: application package, " + std::to_string(package_bytes(app).size()) +
      " bytes\n"
      "  compiler version  0.1.0\n"
      "  tiles             1\n"
      "  segment bytes     8 in tile memory, 4 stored\n"
      "  tile memory       0x4c000..0xe8000 (638976 bytes)\n"
      "\n"
      "Tiles (1)\n"
      "  tile  load base  image bytes  segments  entry point\n"
      "     0    0x4c000            8         1      0x4c000\n"
      "\n"
      "Bindings (0): none\n"
      "\n"
      "Host exchange\n"
      "  command word  page 0 offset 0; startup mark 1\n"
      "  attach order  0, 1\n"
      "\n"
      "  Pages (2)\n"
      "    index  size\n"
      "        0  4096\n"
      "        1  8192\n"
      "\n"
      "  Calls (1)\n"
      "    name     command  phases  invocations  inputs  input batches  outputs  output batches\n"
      "    batched        2       4            1       2              1        1               1\n"
      "\n"
      "Entry points (0): none\n"
      "\n"
      "Configuration writes (1)\n"
      "  offset       value\n"
      "  0x4018  0xc000000d\n"
      "\n"
      "Profile plans (1)\n"
      "  tile  steps\n"
      "     0      1\n"
      "\n"
      "Debug symbols (1)\n"
      "  name    address\n"
      "  kernel  0x4c000\n"
      "\n"
      "Debug regions (1)\n"
      "  tile  address  size  name\n"
      "  none  0x4c000     8  linked executable\n";
  EXPECT_EQ(r.out, expected);
}

TEST_F(InspectTest, ShowsBindingsWithTheirSizes) {
  auto app = full_application();
  app.inputs.push_back(
      {.name = "x",
       .dtype = "u8",
       .shape = {2, 8},
       .slices = {{.tile = 0, .tile_address = 0x4C000, .file_offset = 0, .size = 8},
                  {.tile = 0, .tile_address = 0x4C008, .file_offset = 8, .size = 8}}});
  app.weights.push_back({.name = "w", .dtype = "f32", .shape = {}, .slices = {}});
  write_package("bindings.qpkg", app);
  const Result r = run({"inspect", "bindings.qpkg"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Bindings (2)\n"
                       "  kind    name  dtype  shape   slices  size\n"
                       "  input   x     u8     [2, 8]       2    16\n"
                       "  weight  w     f32    []           0     0\n"),
            std::string::npos)
      << r.out;
}

TEST_F(InspectTest, SummarisesLongTablesUnlessFull) {
  auto app = full_application();
  for (int i = 1; i < 30; ++i)
    app.debug_symbols.push_back({.name = "symbol" + std::to_string(i), .address = 0x4C000u + i});
  write_package("long.qpkg", app);

  const Result summary = run({"inspect", "long.qpkg"});
  ASSERT_EQ(summary.status, 0) << summary.err;
  EXPECT_NE(summary.out.find("Debug symbols (30)\n"), std::string::npos);
  EXPECT_NE(summary.out.find("  symbol9  0x4c009\n  ... 20 more (--full shows all)\n"),
            std::string::npos)
      << summary.out;
  EXPECT_EQ(summary.out.find("symbol10"), std::string::npos);

  const Result full = run({"inspect", "long.qpkg", "--full"});
  ASSERT_EQ(full.status, 0) << full.err;
  EXPECT_NE(full.out.find("  symbol29  0x4c01d\n"), std::string::npos) << full.out;
  EXPECT_EQ(full.out.find("more (--full shows all)"), std::string::npos);
}

TEST_F(InspectTest, EscapesControlCharactersInNames) {
  auto app = full_application();
  app.debug_symbols[0].name = "two\nlines";
  write_package("names.qpkg", app);
  const Result r = run({"inspect", "names.qpkg"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  two\\x0alines  0x4c000\n"), std::string::npos) << r.out;
}

TEST_F(InspectTest, JsonHoldsTheSummaryAndEveryField) {
  const auto app = full_application();
  write_package("full.qpkg", app);
  const Result r = run({"inspect", "full.qpkg", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const json doc = json::parse(r.out);

  const json& summary = doc.at("summary");
  EXPECT_EQ(summary.at("file_bytes"), package_bytes(app).size());
  EXPECT_EQ(summary.at("tile_count"), 1);
  EXPECT_EQ(summary.at("segment_memory_bytes"), 8);
  EXPECT_EQ(summary.at("segment_data_bytes"), 4);
  EXPECT_EQ(summary.at("tile_memory_base"), 0x4C000);
  EXPECT_EQ(summary.at("tile_memory_size"), 0x9C000);
  EXPECT_EQ(summary.at("tiles"), json::parse(R"([{"physical_tile": 0, "load_base": 311296,
      "image_bytes": 8, "segment_count": 1, "entry_point": 311296}])"));

  const json& a = doc.at("application");
  EXPECT_EQ(a.at("compiler_version"), "0.1.0");
  EXPECT_EQ(
      a.at("tiles")[0].at("segments")[0],
      json::parse(R"({"address": 311296, "memory_size": 8, "data": "01020304", "flags": 5})"));
  EXPECT_EQ(a.at("host_exchange").at("calls")[0].at("inputs")[1],
            json::parse(R"({"page": 1, "page_offset": 4096, "file_offset": 16, "size": 16})"));
  EXPECT_EQ(a.at("host_exchange").at("calls")[0].at("input_batch_ends"), json::array({2}));
  const json& step = a.at("profile_tiles")[0].at("steps")[0];
  EXPECT_EQ(step.at("kind"), "Compute");
  EXPECT_EQ(step.at("exchange_activities")[1],
            json::parse(R"({"kind": "PartnerBusy", "start_cycle": 1, "end_cycle": 3})"));
  EXPECT_EQ(a.at("device_config_writes")[0],
            json::parse(R"({"offset": 16408, "value": 3221225485})"));
  EXPECT_EQ(a.at("debug_regions")[0].at("physical_tile"), 0xFFFFFFFFu);

  // Every field: the document's application is the JSON form that to-json prints.
  const Result to_json = run({"to-json", "full.qpkg"});
  ASSERT_EQ(to_json.status, 0) << to_json.err;
  EXPECT_EQ(a, json::parse(to_json.out));
}

TEST_F(InspectTest, NoDataLeavesOutTheBytesButKeepsTheirCount) {
  write_package("full.qpkg", full_application());
  const Result r = run({"inspect", "full.qpkg", "--json", "--no-data"});
  ASSERT_EQ(r.status, 0) << r.err;
  const json segment = json::parse(r.out).at("application").at("tiles")[0].at("segments")[0];
  EXPECT_FALSE(segment.contains("data"));
  EXPECT_EQ(segment.at("data_size"), 4);
}

}  // namespace
}  // namespace quarn_pkg_test
