// Encoding and decoding of one profile step; packages and profile files share them.
#pragma once

#include "model/try.hpp"
#include "package/schema.hpp"
#include "quarn_package/step.hpp"
#include "wire/builder.hpp"
#include "wire/reader.hpp"
#include "wire/utf8.hpp"

namespace quarn_package::detail {

// Fills a Step struct from `step`, creating its texts and lists in a fixed order; in the
// header, as it runs with both the planning and the writing builders.
template <bool kWriting>
void write_profile_step(wire::StructBuilder<kWriting> out, const ProfileStep& step) {
  using S = schema::Step;
  out.set(S::local_index, step.local_index);
  out.set(S::phase, step.phase);
  out.set(S::epoch, step.epoch);
  out.set_text(S::operation, step.operation);
  out.set(S::kind, static_cast<std::uint16_t>(step.kind));
  out.set_text(S::kernel, step.kernel);
  out.set(S::exchange_event_cycles, step.exchange_event_cycles);
  auto metadata = out.init_struct_list(S::metadata, schema::Metadata::size, step.metadata.size());
  for (std::uint32_t i = 0; i < metadata.size(); ++i) {
    metadata[i].set_text(schema::Metadata::name, step.metadata[i].name);
    metadata[i].set_text(schema::Metadata::value, step.metadata[i].value);
  }
  using A = schema::ExchangeActivity;
  auto activities =
      out.init_struct_list(S::exchange_activities, A::size, step.exchange_activities.size());
  for (std::uint32_t i = 0; i < activities.size(); ++i) {
    const ProfileExchangeActivity& a = step.exchange_activities[i];
    activities[i].set(A::kind, static_cast<std::uint16_t>(a.kind));
    activities[i].set(A::start_cycle, a.start_cycle);
    activities[i].set(A::end_cycle, a.end_cycle);
  }
}

// Fills `out`, a default step, from a Step struct: Capnp for structural faults, Utf8 for
// bad text, SchemaEnum for an unknown kind. Records are filled in place, so that no
// step or text is built elsewhere and moved.
Result<void> read_profile_step(const wire::MessageReader& message, const wire::StructReader& in,
                               ProfileStep& out);

// Reads a text field into `out`, checking that it is UTF-8. Inline: texts are the most
// frequent field of a package.
inline Result<void> read_text(const wire::MessageReader& message, const wire::StructReader& in,
                              wire::PointerField field, std::string& out) {
  QP_ASSIGN_OR_RETURN(const auto bytes, message.read_text(in, field));
  return assign_utf8(bytes, out);
}

}  // namespace quarn_package::detail
