// Seeded generators of valid applications and of profile reports, for tests that compare
// many random records. The same seed and sizes give the same record on every platform:
// only the raw output of std::mt19937_64 is used, never a standard distribution.
#pragma once

#include <quarn_package/package.hpp>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quarn_package::testing {

// How large the generated records get. The defaults keep a package well inside one
// message segment; raising the data size or the number of debug symbols spreads a
// package over several.
struct GeneratorSizes {
  std::uint32_t max_tiles = 4;
  std::uint32_t max_segments = 3;     // per tile
  std::uint32_t max_data_bytes = 40;  // per segment
  std::uint32_t max_list = 3;         // elements of every other list
  std::uint32_t max_text = 8;         // code points per text
  std::uint32_t extra_debug_symbols = 0;
};

class Generator {
 public:
  explicit Generator(std::uint64_t seed, GeneratorSizes sizes = {}) : rng_(seed), sizes_(sizes) {}

  // An application that passes validate().
  Application application() {
    Application app;
    app.compiler_version = chance(20) ? "0.1.0" : text();
    app.tiles = tiles();
    std::vector<std::uint32_t> ids;
    for (const TileImage& t : app.tiles) ids.push_back(t.physical_tile);
    app.inputs = bindings(ids);
    app.outputs = bindings(ids);
    app.weights = bindings(ids);
    app.host_exchange = host_exchange();
    app.entry_points = entry_points();
    app.device_config_writes = config_writes();
    app.profile_tiles = profile_plans(ids);
    app.debug_symbols = debug_symbols();
    app.debug_regions = debug_regions(ids);
    return app;
  }

  // A report; reports have no rules, so every field is random.
  ProfileReport report() {
    ProfileReport report{.clock_hz = u64()};
    report.tiles.resize(count(sizes_.max_list + 1));
    for (TileProfile& tile : report.tiles) {
      tile.physical_tile = u32();
      tile.samples.resize(count(sizes_.max_list + 1));
      for (CycleSample& sample : tile.samples) sample = {step(u32()), u32(), u32()};
    }
    return report;
  }

 private:
  static constexpr std::uint32_t kWindowBytes = kTileMemoryEnd - kTileMemoryBase;

  std::uint64_t u64() { return rng_(); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(rng_() >> 32); }
  // Uniform enough in [0, n); 0 when n is 0.
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : rng_() % n; }
  bool chance(std::uint32_t percent) { return below(100) < percent; }
  std::size_t count(std::uint32_t max) { return static_cast<std::size_t>(below(max + 1)); }

  // `n` distinct values below `bound`.
  std::vector<std::uint32_t> distinct(std::size_t n, std::uint64_t bound) {
    std::set<std::uint32_t> seen;
    std::vector<std::uint32_t> out;
    while (out.size() < n) {
      const auto v = static_cast<std::uint32_t>(below(bound));
      if (seen.insert(v).second) out.push_back(v);
    }
    return out;
  }

  template <class T>
  void shuffle(std::vector<T>& v) {
    for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[below(i)]);
  }

  // One code point of 1 to 4 UTF-8 bytes, never NUL and never a surrogate.
  void append_code_point(std::string& out) {
    std::uint32_t cp = 0;
    switch (below(4)) {
      case 0:
        cp = 0x20 + static_cast<std::uint32_t>(below(0x5F));
        break;
      case 1:
        cp = 0x80 + static_cast<std::uint32_t>(below(0x780));
        break;
      case 2:
        cp = 0x800 + static_cast<std::uint32_t>(below(0xF800));
        if (cp >= 0xD800 && cp <= 0xDFFF) cp -= 0x800;
        break;
      default:
        cp = 0x10000 + static_cast<std::uint32_t>(below(0x100000));
        break;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string text(std::uint32_t min_code_points = 0) {
    std::string out;
    const std::uint64_t n = min_code_points + below(sizes_.max_text + 1);
    for (std::uint64_t i = 0; i < n; ++i) append_code_point(out);
    return out;
  }

  // A name no other generated name has: random text plus a serial number.
  std::string unique_name() { return text() + "#" + std::to_string(serial_++); }

  std::vector<std::uint8_t> bytes(std::uint64_t n) {
    std::vector<std::uint8_t> out(n);
    for (std::uint8_t& b : out) b = static_cast<std::uint8_t>(rng_());
    return out;
  }

  // Segments laid out one after another from a random start, so they never overlap,
  // then shuffled; some occupy nothing.
  std::vector<Segment> segments() {
    std::vector<Segment> out(count(sizes_.max_segments));
    std::uint64_t cursor = kTileMemoryBase + below(kWindowBytes / 4);
    for (Segment& s : out) {
      const std::uint64_t room = kTileMemoryEnd - cursor;
      const std::uint64_t data = std::min<std::uint64_t>(below(sizes_.max_data_bytes + 1), room);
      const bool empty = chance(10);
      s.address = static_cast<std::uint32_t>(cursor);
      s.memory_size = empty ? 0
                            : static_cast<std::uint32_t>(
                                  data + below(std::min<std::uint64_t>(room - data, 64) + 1));
      s.data = bytes(empty ? 0 : data);
      s.flags = u32();
      cursor += s.memory_size +
                below(std::min<std::uint64_t>(kTileMemoryEnd - cursor - s.memory_size, 256) + 1);
    }
    shuffle(out);
    return out;
  }

  std::vector<TileImage> tiles() {
    std::vector<std::uint32_t> ids = distinct(1 + below(sizes_.max_tiles), chance(20) ? ~0ull : 64);
    std::vector<TileImage> out;
    for (std::uint32_t id : ids) out.push_back({id, u32(), u32(), u32(), segments()});
    return out;
  }

  RegionSlice region_slice(const std::vector<std::uint32_t>& tile_ids) {
    const std::uint64_t size = chance(5) ? kWindowBytes : below(0x1000);
    const auto address =
        static_cast<std::uint32_t>(kTileMemoryBase + below(kWindowBytes - size + 1));
    return {tile_ids[below(tile_ids.size())], address, u64(), size};
  }

  std::vector<Binding> bindings(const std::vector<std::uint32_t>& tile_ids) {
    std::vector<Binding> out(count(sizes_.max_list));
    for (Binding& b : out) {
      b.name = unique_name();
      b.dtype = text();
      b.shape.resize(count(sizes_.max_list));
      for (std::uint32_t& d : b.shape) d = u32();
      b.slices.resize(count(sizes_.max_list));
      for (RegionSlice& s : b.slices) s = region_slice(tile_ids);
    }
    return out;
  }

  // Strictly increasing batch ends whose last is `n`; empty when there is nothing to cut.
  std::vector<std::uint32_t> batch_ends(std::size_t n) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 1; i < n; ++i) {
      if (chance(40)) out.push_back(i);
    }
    if (n > 0) out.push_back(static_cast<std::uint32_t>(n));
    return out;
  }

  std::vector<HostSlice> host_slices(const std::vector<HostPage>& pages) {
    std::vector<HostSlice> out(count(sizes_.max_list));
    for (HostSlice& s : out) {
      const HostPage& page = pages[below(pages.size())];
      s.page = page.index;
      s.size = below(std::min<std::uint64_t>(page.size, 1u << 16) + 1);
      s.page_offset = below(page.size - s.size + 1);
      s.file_offset = u64();
    }
    return out;
  }

  HostCall host_call(const std::vector<HostPage>& pages) {
    HostCall call{.name = text(), .command = u32(), .phases = u32()};
    call.inputs = host_slices(pages);
    call.outputs = host_slices(pages);
    call.invocations = chance(50) ? 1 : std::max<std::uint32_t>(1, u32());
    call.input_batch_ends = batch_ends(call.inputs.size());
    call.output_batch_ends = batch_ends(call.outputs.size());
    return call;
  }

  HostExchange host_exchange() {
    HostExchange e{.startup_mark = u32(), .command_page = u32(), .command_offset = u64()};
    for (std::uint32_t index : distinct(count(sizes_.max_list), chance(50) ? 8 : ~0ull)) {
      e.pages.push_back({index, chance(20) ? u64() | 4 : 4 + below(1u << 20)});
    }
    if (e.pages.empty()) return e;
    e.attach_order.resize(count(sizes_.max_list));
    for (std::uint32_t& a : e.attach_order) a = e.pages[below(e.pages.size())].index;
    e.calls.resize(count(sizes_.max_list));
    for (HostCall& c : e.calls) c = host_call(e.pages);
    if (!e.calls.empty()) {
      const HostPage& page = e.pages[below(e.pages.size())];
      e.command_page = page.index;
      e.command_offset = below(page.size - 4 + 1);
    }
    return e;
  }

  std::vector<EntryPoint> entry_points() {
    std::vector<EntryPoint> out(count(sizes_.max_list));
    for (EntryPoint& e : out) e = {text(), u32(), u32()};
    return out;
  }

  std::vector<DeviceConfigWrite> config_writes() {
    std::vector<DeviceConfigWrite> out;
    for (std::uint32_t slot : distinct(count(sizes_.max_list), 1ull << 30)) {
      out.push_back({slot * 4, u32()});
    }
    return out;
  }

  ProfileStep step(std::uint32_t local_index) {
    ProfileStep s{.local_index = local_index, .phase = u32(), .epoch = u32()};
    s.operation = text();
    s.kind = static_cast<ProfileStepKind>(below(4));
    s.kernel = text();
    s.metadata.resize(count(2));
    for (ProfileMetadata& m : s.metadata) m = {text(), text()};
    s.exchange_activities.resize(count(2));
    for (ProfileExchangeActivity& a : s.exchange_activities) {
      a = {static_cast<ExchangeActivityKind>(below(3)), u32(), u32()};
    }
    s.exchange_event_cycles = u32();
    return s;
  }

  // Plans for a random subset of the tiles, in random order.
  std::vector<TileProfilePlan> profile_plans(std::vector<std::uint32_t> tile_ids) {
    shuffle(tile_ids);
    std::vector<TileProfilePlan> out(below(tile_ids.size() + 1));
    for (std::size_t i = 0; i < out.size(); ++i) {
      out[i].physical_tile = tile_ids[i];
      out[i].steps.resize(count(sizes_.max_list));
      for (std::uint32_t k = 0; k < out[i].steps.size(); ++k) out[i].steps[k] = step(k);
    }
    return out;
  }

  std::vector<DebugSymbol> debug_symbols() {
    std::vector<DebugSymbol> out(count(sizes_.max_list) + sizes_.extra_debug_symbols);
    for (DebugSymbol& s : out) s = {text(1), u32()};
    return out;
  }

  std::vector<DebugRegion> debug_regions(const std::vector<std::uint32_t>& tile_ids) {
    std::vector<DebugRegion> out(count(sizes_.max_list));
    for (DebugRegion& r : out) {
      r.physical_tile = chance(30) ? kNoTile : tile_ids[below(tile_ids.size())];
      r.size = 1 + static_cast<std::uint32_t>(below(chance(10) ? 0xFFFFFFFFull : 0x10000));
      r.address = static_cast<std::uint32_t>(below(0x100000000ull - r.size));  // sum fits
      r.name = text(1);
    }
    return out;
  }

  std::mt19937_64 rng_;
  GeneratorSizes sizes_;
  std::uint64_t serial_ = 0;
};

}  // namespace quarn_package::testing
