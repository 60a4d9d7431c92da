// Enumerations of the instrument settings: acquisition, channels, timebase,
// trigger and measurement sources.
#pragma once

#include <cstdint>

namespace vex::server {

enum VexR7100_AllChannels : std::int32_t {};
enum VexR7100_AcquisitionCount : std::int32_t {};
enum VexR7100_AcquisitionType : std::int32_t {};
enum VexR7100_OnOffState : std::int32_t {};
enum VexR7100_ProbeAttenuation : std::int32_t {};
enum VexR7100_ProbeCoupling : std::int32_t {};
enum VexR7100_ProbeMode : std::int32_t {};
enum VexR7100_InputImpedance : std::int32_t {};
enum VexR7100_TimeMode : std::int32_t {};
enum VexR7100_TimeReference : std::int32_t {};
enum VexR7100_TriggerCoupling : std::int32_t {};
enum VexR7100_TriggerMode : std::int32_t {};
enum VexR7100_TriggerSlope : std::int32_t {};
enum VexR7100_TriggerSource : std::int32_t {};

}  // namespace vex::server
