// Conversions between our records and libcapnp's generated readers and builders, one
// pair per schema struct. `to_record` reads what libcapnp sees in a message; `fill`
// builds a message with libcapnp, creating objects in the same order as our writers do,
// so that a libcapnp message built with the default allocation has our exact bytes.
#pragma once

#include <quarn_package/package.hpp>

#include <string>

#include "application.capnp.h"
#include "profile.capnp.h"
#include "profile_common.capnp.h"

namespace quarn_package::oracle {

namespace cs = quarn_package::capnp_schema;

std::string to_record(capnp::Text::Reader in);
ProfileMetadata to_record(cs::Metadata::Reader in);
ProfileExchangeActivity to_record(cs::ExchangeActivity::Reader in);
ProfileStep to_record(cs::Step::Reader in);
Segment to_record(cs::Segment::Reader in);
TileImage to_record(cs::TileImage::Reader in);
RegionSlice to_record(cs::RegionSlice::Reader in);
Binding to_record(cs::Binding::Reader in);
HostPage to_record(cs::HostPage::Reader in);
HostSlice to_record(cs::HostSlice::Reader in);
HostCall to_record(cs::HostCall::Reader in);
HostExchange to_record(cs::HostExchange::Reader in);
EntryPoint to_record(cs::EntryPoint::Reader in);
DeviceConfigWrite to_record(cs::DeviceConfigWrite::Reader in);
TileProfilePlan to_record(cs::TileProfilePlan::Reader in);
DebugSymbol to_record(cs::DebugSymbol::Reader in);
DebugRegion to_record(cs::DebugRegion::Reader in);
// The record fields only; the header is checked by the tests that need it.
Application to_record(cs::Application::Reader in);
CycleSample to_record(cs::CycleSample::Reader in);
TileProfile to_record(cs::TileProfile::Reader in);
ProfileReport to_record(cs::Profile::Reader in);

capnp::Text::Reader to_capnp(const std::string& text);
void fill(cs::Metadata::Builder out, const ProfileMetadata& in);
void fill(cs::ExchangeActivity::Builder out, const ProfileExchangeActivity& in);
void fill(cs::Step::Builder out, const ProfileStep& in);
void fill(cs::Segment::Builder out, const Segment& in);
void fill(cs::TileImage::Builder out, const TileImage& in);
void fill(cs::RegionSlice::Builder out, const RegionSlice& in);
void fill(cs::Binding::Builder out, const Binding& in);
void fill(cs::HostPage::Builder out, const HostPage& in);
void fill(cs::HostSlice::Builder out, const HostSlice& in);
void fill(cs::HostCall::Builder out, const HostCall& in);
void fill(cs::HostExchange::Builder out, const HostExchange& in);
void fill(cs::EntryPoint::Builder out, const EntryPoint& in);
void fill(cs::DeviceConfigWrite::Builder out, const DeviceConfigWrite& in);
void fill(cs::TileProfilePlan::Builder out, const TileProfilePlan& in);
void fill(cs::DebugSymbol::Builder out, const DebugSymbol& in);
void fill(cs::DebugRegion::Builder out, const DebugRegion& in);
// Also stores the header every package carries.
void fill(cs::Application::Builder out, const Application& in);
void fill(cs::CycleSample::Builder out, const CycleSample& in);
void fill(cs::TileProfile::Builder out, const TileProfile& in);
// Also stores profile schema version 5.
void fill(cs::Profile::Builder out, const ProfileReport& in);

}  // namespace quarn_package::oracle
