// Application::read on arbitrary bytes. Besides the sanitizers' findings, every input
// checks: the allocation bound; that the stream reader agrees with the span reader; and
// that whatever reads successfully writes back to bytes that read as the same record.
#include <quarn_package/package.hpp>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_support.hpp"

using quarn_package::Application;

namespace {

// A loader's use of what it read: every tile image (a few at most, since an image can be
// far larger than the input) and the debug text.
void use(const Application& app) {
  const std::size_t tiles = std::min<std::size_t>(app.tiles.size(), 4);
  for (std::size_t i = 0; i < tiles; ++i) {
    QF_CHECK(app.tile_image(app.tiles[i].physical_tile).has_value() ||
             app.tiles[i].segments.empty());
  }
  std::ostringstream text;
  text << app;
}

void round_trip(const Application& app) {
  std::vector<std::uint8_t> bytes;
  QF_CHECK(app.write(bytes).has_value());
  const auto again = Application::read(bytes);
  QF_CHECK(again.has_value() && *again == app);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const auto app = quarn_package::fuzz::metered_read(
      input, [](std::span<const std::uint8_t> in) { return Application::read(in); });

  std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
  const auto streamed = quarn_package::fuzz::metered_read(
      input, [&stream](std::span<const std::uint8_t>) { return Application::read(stream); });
  QF_CHECK(app.has_value() == streamed.has_value());
  if (!app) return 0;
  QF_CHECK(*app == *streamed);
  use(*app);
  round_trip(*app);
  return 0;
}
