#include "package/step_codec.hpp"

#include "model/try.hpp"
#include "package/schema.hpp"
#include "wire/utf8.hpp"

namespace quarn_package::detail {

void write_profile_step(wire::StructBuilder out, const ProfileStep& step) {
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

Result<std::string> read_text(const wire::MessageReader& message, const wire::StructReader& in,
                              wire::PointerField field) {
  QP_ASSIGN_OR_RETURN(auto bytes, message.read_text(in, field));
  return utf8_text(bytes);
}

namespace {

Result<std::vector<ProfileMetadata>> read_metadata(const wire::MessageReader& message,
                                                   const wire::StructReader& step) {
  QP_ASSIGN_OR_RETURN(const auto list, message.read_list(step, schema::Step::metadata,
                                                         wire::ListExpectation::Structs));
  std::vector<ProfileMetadata> out;
  out.reserve(list.size());
  for (std::uint32_t i = 0; i < list.size(); ++i) {
    const wire::StructReader entry = list.struct_at(i);
    QP_ASSIGN_OR_RETURN(auto name, read_text(message, entry, schema::Metadata::name));
    QP_ASSIGN_OR_RETURN(auto value, read_text(message, entry, schema::Metadata::value));
    out.push_back({std::move(name), std::move(value)});
  }
  return out;
}

Result<std::vector<ProfileExchangeActivity>> read_activities(const wire::MessageReader& message,
                                                             const wire::StructReader& step) {
  using A = schema::ExchangeActivity;
  QP_ASSIGN_OR_RETURN(const auto list, message.read_list(step, schema::Step::exchange_activities,
                                                         wire::ListExpectation::Structs));
  std::vector<ProfileExchangeActivity> out;
  out.reserve(list.size());
  for (std::uint32_t i = 0; i < list.size(); ++i) {
    const wire::StructReader a = list.struct_at(i);
    const std::uint16_t kind = a.get(A::kind);
    if (kind >= schema::kExchangeActivityKinds) {
      return std::unexpected(PackageError::schema_enum(kind));
    }
    out.push_back(
        {static_cast<ExchangeActivityKind>(kind), a.get(A::start_cycle), a.get(A::end_cycle)});
  }
  return out;
}

}  // namespace

Result<ProfileStep> read_profile_step(const wire::MessageReader& message,
                                      const wire::StructReader& in) {
  using S = schema::Step;
  ProfileStep step;
  step.local_index = in.get(S::local_index);
  step.phase = in.get(S::phase);
  step.epoch = in.get(S::epoch);
  QP_ASSIGN_OR_RETURN(step.operation, read_text(message, in, S::operation));
  const std::uint16_t kind = in.get(S::kind);
  if (kind >= schema::kStepKinds) return std::unexpected(PackageError::schema_enum(kind));
  step.kind = static_cast<ProfileStepKind>(kind);
  QP_ASSIGN_OR_RETURN(step.kernel, read_text(message, in, S::kernel));
  QP_ASSIGN_OR_RETURN(step.metadata, read_metadata(message, in));
  QP_ASSIGN_OR_RETURN(step.exchange_activities, read_activities(message, in));
  step.exchange_event_cycles = in.get(S::exchange_event_cycles);
  return step;
}

}  // namespace quarn_package::detail
