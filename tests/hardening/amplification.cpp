#include "amplification.hpp"

#include "crafted.hpp"
#include "package/schema.hpp"
#include "profile/schema.hpp"
#include "support/examples.hpp"

namespace quarn_package::testing {
namespace {

namespace schema = detail::schema;
constexpr std::uint8_t kVoid = 0, kByte = 2, kComposite = 7;

template <class Record>
std::vector<std::uint8_t> written(const Record& record) {
  std::vector<std::uint8_t> out;
  (void)record.write(out);
  return out;
}

// How the crafted struct lists are encoded.
enum class Elements {
  ZeroSized,  // composite, elements of no size, room in the budget for every one
  Void,       // a void list, likewise with room in the budget
  Bytes,      // a byte list read as structs: one byte per record, and no room to spare
};

std::string name_of(Elements kind) {
  switch (kind) {
    case Elements::ZeroSized:
      return "zero-sized";
    case Elements::Void:
      return "void";
    case Elements::Bytes:
      return "byte";
  }
  return "";
}

// A struct list of `count` elements at the pointer `at`.
void empty_elements(Crafted& m, std::size_t at, std::uint32_t count, Elements kind) {
  switch (kind) {
    case Elements::ZeroSized:
      m.point(at, m.append({tag_word(count, 0, 0)}), list_ptr(0, kComposite, 0));
      m.pad(count);
      break;
    case Elements::Void:
      m.point(at, at + 1, list_ptr(0, kVoid, count));
      m.pad(count);
      break;
    case Elements::Bytes:
      m.point(at, m.append(std::vector<std::uint64_t>((count + 7) / 8, 0)),
              list_ptr(0, kByte, count));
      break;
  }
}

// Root field `field` points to one struct of `size` whose pointer `inner` holds the
// empty elements.
std::vector<std::uint8_t> nested_empty_elements(std::span<const std::uint8_t> base,
                                                std::uint16_t field, bool list_of_one,
                                                detail::wire::StructSize size, std::uint16_t inner,
                                                std::uint32_t count, Elements kind) {
  Crafted m(base);
  std::size_t start;
  if (list_of_one) {
    const std::size_t tag = m.append({tag_word(1, size.data_words, size.pointers)});
    m.pad(size.total_words());
    m.point(m.root_field(field), tag, list_ptr(0, kComposite, size.total_words()));
    start = tag + 1;
  } else {
    start = m.append(std::vector<std::uint64_t>(size.total_words(), 0));
    m.point(m.root_field(field), start, struct_ptr(0, size.data_words, size.pointers));
  }
  empty_elements(m, Crafted::field(start, size.data_words, inner), count, kind);
  return m.bytes();
}

std::vector<std::uint8_t> root_empty_elements(std::span<const std::uint8_t> base,
                                              std::uint16_t field, std::uint32_t count,
                                              Elements kind) {
  Crafted m(base);
  empty_elements(m, m.root_field(field), count, kind);
  return m.bytes();
}

// `count` segments of one tile whose data all point at one blob of `blob_words`.
std::vector<std::uint8_t> aliased_segment_data(std::span<const std::uint8_t> base,
                                               std::uint32_t count, std::uint32_t blob_words) {
  using T = schema::TileImage;
  using S = schema::Segment;
  Crafted m(base);
  const std::size_t tile_tag = m.append({tag_word(1, T::size.data_words, T::size.pointers)});
  m.pad(T::size.total_words());
  m.point(m.root_field(schema::Application::tiles.index), tile_tag,
          list_ptr(0, kComposite, T::size.total_words()));
  const std::size_t tag = m.append({tag_word(count, S::size.data_words, S::size.pointers)});
  m.pad(std::size_t{count} * S::size.total_words());
  m.point(Crafted::field(tile_tag + 1, T::size.data_words, T::segments.index), tag,
          list_ptr(0, kComposite, count * S::size.total_words()));
  const std::size_t blob = m.append(std::vector<std::uint64_t>(blob_words, 0x0101010101010101));
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t element = tag + 1 + std::size_t{i} * S::size.total_words();
    m.point(Crafted::field(element, S::size.data_words, S::data.index), blob,
            list_ptr(0, kByte, blob_words * 8));
  }
  return m.bytes();
}

// `count` debug symbols whose names all point at one text of `text_words`.
std::vector<std::uint8_t> aliased_names(std::span<const std::uint8_t> base, std::uint32_t count,
                                        std::uint32_t text_words) {
  using D = schema::DebugSymbol;
  Crafted m(base);
  const std::size_t tag = m.append({tag_word(count, D::size.data_words, D::size.pointers)});
  m.pad(std::size_t{count} * D::size.total_words());
  m.point(m.root_field(schema::Application::debug_symbols.index), tag,
          list_ptr(0, kComposite, count * D::size.total_words()));
  std::vector<std::uint64_t> text(text_words, 0x6161616161616161);
  text.back() = 0x0061616161616161;  // NUL-terminated
  const std::size_t blob = m.append(text);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t element = tag + 1 + std::size_t{i} * D::size.total_words();
    m.point(Crafted::field(element, D::size.data_words, D::name.index), blob,
            list_ptr(0, kByte, text_words * 8));
  }
  return m.bytes();
}

// Struct pointers nested `depth` deep from the root's first pointer.
std::vector<std::uint8_t> deep_chain(std::uint32_t depth) {
  Words s;
  for (std::uint32_t i = 0; i < depth; ++i) s.push_back(struct_ptr(0, 0, 1));
  s.push_back(0);
  return frame({s});
}

// The base message's segment followed by empty segments, `segments` in all.
std::vector<std::uint8_t> many_segments(std::span<const std::uint8_t> base,
                                        std::uint32_t segments) {
  const FramedMessage framed(base);
  std::vector<Words> all(segments);
  for (std::size_t i = 0; i < framed.segment_words(0); ++i) all[0].push_back(framed.word(0, i));
  return frame(all);
}

// A table claiming a segment of 2^28 words, followed by one word: a stream reader that
// trusted the size would allocate gigabytes.
std::vector<std::uint8_t> huge_claim() {
  return {0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0};
}

}  // namespace

std::vector<NamedInput> package_amplifications(std::uint32_t n) {
  using A = schema::Application;
  using E = schema::HostExchange;
  using P = schema::TileProfilePlan;
  const std::vector<std::uint8_t> base = written(minimal_application());
  std::vector<NamedInput> out;
  for (const Elements elements : {Elements::ZeroSized, Elements::Void, Elements::Bytes}) {
    const std::string kind = name_of(elements);
    for (const auto field : {A::tiles, A::inputs, A::entry_points, A::device_config_writes,
                             A::debug_symbols, A::debug_regions}) {
      out.push_back({kind + " elements in root field " + std::to_string(field.index),
                     root_empty_elements(base, field.index, n, elements)});
    }
    out.push_back(
        {kind + " host calls", nested_empty_elements(base, A::host_exchange.index, false, E::size,
                                                     E::calls.index, n, elements)});
    out.push_back(
        {kind + " host pages", nested_empty_elements(base, A::host_exchange.index, false, E::size,
                                                     E::pages.index, n, elements)});
    out.push_back(
        {kind + " profile steps", nested_empty_elements(base, A::profile_tiles.index, true, P::size,
                                                        P::steps.index, n, elements)});
  }
  out.push_back({"aliased segment data", aliased_segment_data(base, 64, n / 64 + 1)});
  out.push_back({"aliased names", aliased_names(base, n / 2, n / 2)});
  out.push_back({"deep nesting", deep_chain(n)});
  out.push_back({"511 segments", many_segments(base, 511)});
  out.push_back({"512 segments", many_segments(base, 512)});
  out.push_back({"table claiming 2 GiB", huge_claim()});
  return out;
}

std::vector<NamedInput> profile_amplifications(std::uint32_t n) {
  using P = schema::Profile;
  using T = schema::TileProfile;
  const std::vector<std::uint8_t> base = written(worked_report());
  std::vector<NamedInput> out;
  for (const Elements elements : {Elements::ZeroSized, Elements::Void, Elements::Bytes}) {
    const std::string kind = name_of(elements);
    out.push_back({kind + " tiles", root_empty_elements(base, P::tiles.index, n, elements)});
    out.push_back({kind + " samples", nested_empty_elements(base, P::tiles.index, true, T::size,
                                                            T::samples.index, n, elements)});
  }
  out.push_back({"deep nesting", deep_chain(n)});
  out.push_back({"511 segments", many_segments(base, 511)});
  out.push_back({"table claiming 2 GiB", huge_claim()});
  return out;
}

}  // namespace quarn_package::testing
