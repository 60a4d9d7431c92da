// Enumerations of the data transfers: channels, waveform points, logic bits
// and pods.
#pragma once

#include <cstdint>

namespace vex::server {

enum VexR7100_AnalogChannels : std::int32_t {
  VexR7100_Channel_1 = 1,
  VexR7100_Channel_2 = 2,
  VexR7100_Channel_3 = 3,
  VexR7100_Channel_4 = 4,
};

// 0 asks for the whole record.
enum VexR7100_WaveformPoints : std::int32_t {
  VexR7100_DataPoints_ALL = 0,
  VexR7100_DataPoints_100 = 100,
  VexR7100_DataPoints_250 = 250,
  VexR7100_DataPoints_500 = 500,
  VexR7100_DataPoints_1000 = 1000,
  VexR7100_DataPoints_2000 = 2000,
};

enum VexR7100_LogicBits : std::int32_t {
  VexR7100_Logic_D0 = 0,
  VexR7100_Logic_D1 = 1,
  VexR7100_Logic_D2 = 2,
  VexR7100_Logic_D3 = 3,
  VexR7100_Logic_D4 = 4,
  VexR7100_Logic_D5 = 5,
  VexR7100_Logic_D6 = 6,
  VexR7100_Logic_D7 = 7,
  VexR7100_Logic_D8 = 8,
  VexR7100_Logic_D9 = 9,
  VexR7100_Logic_D10 = 10,
  VexR7100_Logic_D11 = 11,
  VexR7100_Logic_D12 = 12,
  VexR7100_Logic_D13 = 13,
  VexR7100_Logic_D14 = 14,
  VexR7100_Logic_D15 = 15,
};

// Pod 1 holds D0 to D7, pod 2 D8 to D15.
enum VexR7100_LogicPods : std::int32_t {
  VexR7100_Logic_POD1 = 1,
  VexR7100_Logic_POD2 = 2,
};

}  // namespace vex::server
