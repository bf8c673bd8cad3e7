// Profile files: write and read a ProfileReport as one message with root Profile.
#include "model/try.hpp"
#include "package/schema.hpp"
#include "package/step_codec.hpp"
#include "profile/schema.hpp"
#include "quarn_package/package.hpp"
#include "quarn_package/profile.hpp"
#include "wire/builder.hpp"
#include "wire/reader.hpp"

namespace quarn_package {
namespace {

using detail::wire::ListExpectation;
using detail::wire::MessageReader;
using detail::wire::StructReader;
namespace schema = detail::schema;

// Creation order: root, tiles list, then per tile its samples list followed by each
// sample's step and that step's contents.
void write_profile(auto root, const ProfileReport& report) {
  using P = schema::Profile;
  using T = schema::TileProfile;
  using C = schema::CycleSample;
  root.set(P::schema_version, schema::kProfileSchemaVersion);
  root.set(P::clock_hz, report.clock_hz);
  auto tiles = root.init_struct_list(P::tiles, T::size, report.tiles.size());
  for (std::uint32_t i = 0; i < tiles.size(); ++i) {
    const TileProfile& tile = report.tiles[i];
    tiles[i].set(T::physical_tile, tile.physical_tile);
    auto samples = tiles[i].init_struct_list(T::samples, C::size, tile.samples.size());
    for (std::uint32_t k = 0; k < samples.size(); ++k) {
      samples[k].set(C::start_cycle, tile.samples[k].start_cycle);
      samples[k].set(C::end_cycle, tile.samples[k].end_cycle);
      detail::write_profile_step(samples[k].init_struct(C::step, schema::Step::size),
                                 tile.samples[k].step);
    }
  }
}

Result<void> encode(const ProfileReport& report, std::vector<std::uint8_t>& output) {
  return detail::wire::build_message(output, schema::Profile::size,
                                     [&report](auto root) { write_profile(root, report); });
}

Result<void> read_tile(const MessageReader& m, const StructReader& t, TileProfile& tile) {
  using C = schema::CycleSample;
  QP_ASSIGN_OR_RETURN(const auto samples,
                      m.read_list(t, schema::TileProfile::samples, ListExpectation::Structs));
  tile.samples.reserve(samples.size());
  for (std::uint32_t k = 0; k < samples.size(); ++k) {
    const StructReader s = samples.struct_at(k);
    QP_ASSIGN_OR_RETURN(const StructReader step, m.read_struct(s, C::step));
    CycleSample& sample = tile.samples.emplace_back();
    QP_RETURN_IF_ERROR(detail::read_profile_step(m, step, sample.step));
    sample.start_cycle = s.get(C::start_cycle);
    sample.end_cycle = s.get(C::end_cycle);
  }
  tile.physical_tile = t.get(schema::TileProfile::physical_tile);
  return {};
}

Result<ProfileReport> decode(std::span<const std::uint8_t> input) {
  using P = schema::Profile;
  QP_ASSIGN_OR_RETURN(const MessageReader m, MessageReader::parse(input, capnp_reader_options()));
  QP_ASSIGN_OR_RETURN(const StructReader root, m.root());
  const std::uint32_t version = root.get(P::schema_version);
  if (version < schema::kOldestProfileSchemaVersion || version > schema::kProfileSchemaVersion) {
    return std::unexpected(
        PackageError::invalid("unsupported profile schema version " + std::to_string(version)));
  }
  QP_ASSIGN_OR_RETURN(const auto tiles, m.read_list(root, P::tiles, ListExpectation::Structs));
  ProfileReport report;
  report.tiles.reserve(tiles.size());
  for (std::uint32_t i = 0; i < tiles.size(); ++i) {
    QP_RETURN_IF_ERROR(read_tile(m, tiles.struct_at(i), report.tiles.emplace_back()));
  }
  report.clock_hz = root.get(P::clock_hz);
  return report;
}

}  // namespace

Result<void> ProfileReport::write(std::vector<std::uint8_t>& output) const {
  return encode(*this, output);
}

Result<void> ProfileReport::write(std::ostream& output) const {
  std::vector<std::uint8_t> bytes;
  QP_RETURN_IF_ERROR(encode(*this, bytes));
  return detail::wire::write_to_stream(output, bytes);
}

Result<ProfileReport> ProfileReport::read(std::span<const std::uint8_t> input) {
  return decode(input);
}

Result<ProfileReport> ProfileReport::read(std::istream& input) {
  QP_ASSIGN_OR_RETURN(const auto bytes, detail::wire::read_message_bytes(input));
  return decode(bytes);
}

}  // namespace quarn_package
