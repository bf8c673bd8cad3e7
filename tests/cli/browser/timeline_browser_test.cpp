// Timelines as a person sees them: headless Chromium renders the SVG to a PNG, and the
// picture must show bars of every kind and dark text on the white page, not a blank one.
#include <png.h>

#include <array>
#include <cstdlib>
#include <cstring>

#include "cli_runner.hpp"

namespace quarn_pkg_test {
namespace {

using quarn_package::CycleSample;
using quarn_package::ProfileReport;
using quarn_package::ProfileStepKind;

constexpr const char* kChromium = "/usr/bin/chromium";

struct Rgb {
  int r, g, b;
};

// The timeline's fill for each kind, in ProfileStepKind order.
constexpr std::array<Rgb, 4> kKindFills = {Rgb{0x4e, 0x79, 0xa7}, Rgb{0x59, 0xa1, 0x4f},
                                           Rgb{0xf2, 0x8e, 0x2b}, Rgb{0xba, 0xb0, 0xac}};

struct Picture {
  unsigned width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // 3 bytes a pixel, rows top to bottom

  // Pixels within `tolerance` of `colour` in every channel.
  std::size_t count(Rgb colour, int tolerance = 2) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
      n += std::abs(rgb[i] - colour.r) <= tolerance &&
           std::abs(rgb[i + 1] - colour.g) <= tolerance &&
           std::abs(rgb[i + 2] - colour.b) <= tolerance;
    return n;
  }
  std::size_t pixels() const { return rgb.size() / 3; }
};

Picture read_png(const fs::path& file) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  Picture picture;
  if (!png_image_begin_read_from_file(&image, file.c_str())) {
    ADD_FAILURE() << file << ": " << image.message;
    return picture;
  }
  image.format = PNG_FORMAT_RGB;
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
    ADD_FAILURE() << file << ": " << image.message;
    picture.rgb.clear();
    return picture;
  }
  picture.width = image.width;
  picture.height = image.height;
  return picture;
}

class BrowserTest : public CliTest {
 protected:
  // Renders `svg` as Chromium shows it in a 1200x800 window.
  Picture screenshot(const fs::path& svg) {
    if (!fs::exists(kChromium)) {
      ADD_FAILURE() << kChromium << " is missing: `make test-browser` installs chromium";
      return {};
    }
    const fs::path png = path("shot.png");
    const std::string command =
        std::string("timeout 120 ") + kChromium +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --user-data-dir='" +
        path("profile").string() + "' --screenshot='" + png.string() +
        "' --window-size=1200,800 'file://" + fs::absolute(svg).string() + "' >'" +
        path("chromium.log").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << read_text(path("chromium.log"));
    if (!fs::exists(png)) {
      ADD_FAILURE() << "no screenshot: " << read_text(path("chromium.log"));
      return {};
    }
    return read_png(png);
  }

  void expect_timeline_drawn(const Picture& picture) {
    ASSERT_EQ(picture.width, 1200u);
    ASSERT_EQ(picture.height, 800u);
    for (std::size_t k = 0; k < kKindFills.size(); ++k) {
      SCOPED_TRACE("kind " + std::to_string(k));
      EXPECT_GE(picture.count(kKindFills[k]), 200u);
    }
    // Labels, title and axis: dark pixels, neither none nor a dark page.
    const std::size_t dark = picture.count({0x10, 0x10, 0x10}, 0x30);
    EXPECT_GE(dark, 500u);
    EXPECT_LT(dark, picture.pixels() / 10);
    // The white page shows around the rows, however many bars there are.
    EXPECT_GE(picture.count({0xff, 0xff, 0xff}, 0), picture.pixels() / 20);
  }
};

TEST_F(BrowserTest, TheDemosTimelineShowsEveryKindAndItsText) {
  const Result demo = run({"demo", "tour"});
  ASSERT_EQ(demo.status, 0) << demo.err;
  expect_timeline_drawn(screenshot(path("tour/timeline.svg")));
}

TEST_F(BrowserTest, ATimelineOf1500TilesShowsEveryKind) {
  ProfileReport report{.clock_hz = 1'000'000'000};
  for (std::uint32_t tile = 0; tile < 1500; ++tile) {
    std::uint32_t counter = 4294960000u + 37 * tile;  // many tiles wrap partway
    report.tiles.push_back({.physical_tile = tile});
    for (std::uint32_t k = 0; k < 4; ++k) {
      const std::uint32_t end = counter + 1000 + 500 * ((tile + k) % 3);
      report.tiles.back().samples.push_back(
          CycleSample{.step = {.local_index = k, .kind = static_cast<ProfileStepKind>(k)},
                      .start_cycle = counter,
                      .end_cycle = end});
      counter = end;
    }
  }
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(report.write(bytes));
  write_bytes(path("big.qprof"), bytes);
  const Result timeline = run({"timeline", "big.qprof", "-o", "big.svg"});
  ASSERT_EQ(timeline.status, 0) << timeline.err;
  expect_timeline_drawn(screenshot(path("big.svg")));
}

}  // namespace
}  // namespace quarn_pkg_test
