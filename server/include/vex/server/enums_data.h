// Enumerations of the data transfers: channels, waveform points, logic bits
// and pods.
#pragma once

#include <cstdint>

namespace vex::server {

enum VexR7100_AnalogChannels : std::int32_t {};
enum VexR7100_WaveformPoints : std::int32_t {};
enum VexR7100_LogicBits : std::int32_t {};
enum VexR7100_LogicPods : std::int32_t {};

}  // namespace vex::server
