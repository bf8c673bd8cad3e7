#include "record_bytes.hpp"

#include <string>
#include <vector>

namespace quarn_bench {
namespace {

using namespace quarn_package;

// Heap bytes of the containers; the value's own size is counted by its parent.
std::uint64_t heap(const std::string& s) {
  // A string that fits its inline buffer owns no heap block.
  return s.capacity() > std::string().capacity() ? s.capacity() + 1 : 0;
}

template <class T>
std::uint64_t heap(const std::vector<T>& v);

std::uint64_t heap(const Segment& s) { return heap(s.data); }
std::uint64_t heap(const TileImage& t) { return heap(t.segments); }
std::uint64_t heap(const Binding& b) {
  return heap(b.name) + heap(b.dtype) + heap(b.shape) + heap(b.slices);
}
std::uint64_t heap(const HostCall& c) {
  return heap(c.name) + heap(c.inputs) + heap(c.outputs) + heap(c.input_batch_ends) +
         heap(c.output_batch_ends);
}
std::uint64_t heap(const ProfileMetadata& m) { return heap(m.name) + heap(m.value); }
std::uint64_t heap(const ProfileStep& s) {
  return heap(s.operation) + heap(s.kernel) + heap(s.metadata) + heap(s.exchange_activities);
}
std::uint64_t heap(const TileProfilePlan& p) { return heap(p.steps); }
std::uint64_t heap(const EntryPoint& e) { return heap(e.name); }
std::uint64_t heap(const DebugSymbol& s) { return heap(s.name); }
std::uint64_t heap(const DebugRegion& r) { return heap(r.name); }
// Records without heap blocks of their own.
template <class T>
std::uint64_t heap(const T&) {
  return 0;
}

template <class T>
std::uint64_t heap(const std::vector<T>& v) {
  std::uint64_t bytes = v.capacity() * sizeof(T);
  for (const T& element : v) bytes += heap(element);
  return bytes;
}

}  // namespace

std::uint64_t record_bytes(const Application& app) {
  const HostExchange& e = app.host_exchange;
  return sizeof(Application) + heap(app.compiler_version) + heap(app.tiles) + heap(app.inputs) +
         heap(app.outputs) + heap(app.weights) + heap(e.pages) + heap(e.attach_order) +
         heap(e.calls) + heap(app.entry_points) + heap(app.device_config_writes) +
         heap(app.profile_tiles) + heap(app.debug_symbols) + heap(app.debug_regions);
}

}  // namespace quarn_bench
