// Profile step records: shared by the profiling plans of a package and by profile reports.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace quarn_package {

// What a tile does in one step. The numbers are also the values stored in files.
enum class ProfileStepKind : std::uint16_t { Exchange, Compute, Synchronization, Idle };

// One kind of exchange activity within a step. Stored with these numbers.
enum class ExchangeActivityKind : std::uint16_t { Send, Receive, PartnerBusy };

// A free-form name/value annotation of a step; carried.
struct ProfileMetadata {
  std::string name;
  std::string value;
  bool operator==(const ProfileMetadata&) const = default;
};

// An exchange activity interval within a step, in raw counter readings; carried.
struct ProfileExchangeActivity {
  ExchangeActivityKind kind = ExchangeActivityKind::Send;
  std::uint32_t start_cycle = 0;
  std::uint32_t end_cycle = 0;
  bool operator==(const ProfileExchangeActivity&) const = default;
};

// One planned program step of one tile. Only `local_index` is checked (it must equal the
// step's position in its plan); every other field is carried.
struct ProfileStep {
  std::uint32_t local_index = 0;
  std::uint32_t phase = 0;
  std::uint32_t epoch = 0;
  std::string operation;
  ProfileStepKind kind = ProfileStepKind::Exchange;
  std::string kernel;
  std::vector<ProfileMetadata> metadata;
  std::vector<ProfileExchangeActivity> exchange_activities;
  std::uint32_t exchange_event_cycles = 0;
  bool operator==(const ProfileStep&) const = default;
};

std::ostream& operator<<(std::ostream& os, ProfileStepKind kind);
std::ostream& operator<<(std::ostream& os, ExchangeActivityKind kind);
std::ostream& operator<<(std::ostream& os, const ProfileMetadata& value);
std::ostream& operator<<(std::ostream& os, const ProfileExchangeActivity& value);
std::ostream& operator<<(std::ostream& os, const ProfileStep& value);

}  // namespace quarn_package
