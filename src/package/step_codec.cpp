#include "package/step_codec.hpp"

#include "model/try.hpp"
#include "package/schema.hpp"
#include "wire/utf8.hpp"

namespace quarn_package::detail {

namespace {

Result<void> read_metadata(const wire::MessageReader& message, const wire::StructReader& step,
                           std::vector<ProfileMetadata>& out) {
  QP_ASSIGN_OR_RETURN(const auto list, message.read_list(step, schema::Step::metadata,
                                                         wire::ListExpectation::Structs));
  out.reserve(list.size());
  for (std::uint32_t i = 0; i < list.size(); ++i) {
    const wire::StructReader entry = list.struct_at(i);
    ProfileMetadata& metadata = out.emplace_back();
    QP_RETURN_IF_ERROR(read_text(message, entry, schema::Metadata::name, metadata.name));
    QP_RETURN_IF_ERROR(read_text(message, entry, schema::Metadata::value, metadata.value));
  }
  return {};
}

Result<void> read_activities(const wire::MessageReader& message, const wire::StructReader& step,
                             std::vector<ProfileExchangeActivity>& out) {
  using A = schema::ExchangeActivity;
  QP_ASSIGN_OR_RETURN(const auto list, message.read_list(step, schema::Step::exchange_activities,
                                                         wire::ListExpectation::Structs));
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
  return {};
}

}  // namespace

Result<void> read_profile_step(const wire::MessageReader& message, const wire::StructReader& in,
                               ProfileStep& out) {
  using S = schema::Step;
  out.local_index = in.get(S::local_index);
  out.phase = in.get(S::phase);
  out.epoch = in.get(S::epoch);
  QP_RETURN_IF_ERROR(read_text(message, in, S::operation, out.operation));
  const std::uint16_t kind = in.get(S::kind);
  if (kind >= schema::kStepKinds) return std::unexpected(PackageError::schema_enum(kind));
  out.kind = static_cast<ProfileStepKind>(kind);
  QP_RETURN_IF_ERROR(read_text(message, in, S::kernel, out.kernel));
  QP_RETURN_IF_ERROR(read_metadata(message, in, out.metadata));
  QP_RETURN_IF_ERROR(read_activities(message, in, out.exchange_activities));
  out.exchange_event_cycles = in.get(S::exchange_event_cycles);
  return {};
}

}  // namespace quarn_package::detail
