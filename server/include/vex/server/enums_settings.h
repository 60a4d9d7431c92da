// Enumerations of the instrument settings: acquisition, channels, timebase,
// trigger and measurement sources. Names join the family tag, the type and
// the value; the values are the codes of the mnemonic tables that send and
// recognise them.
#pragma once

#include <cstdint>

namespace vex::server {

enum VexR7100_AllChannels : std::int32_t {
  VexR7100_Channel_A1 = 1,
  VexR7100_Channel_A2 = 2,
  VexR7100_Channel_A3 = 3,
  VexR7100_Channel_A4 = 4,
  VexR7100_Channel_D0 = 10,
  VexR7100_Channel_D1 = 11,
  VexR7100_Channel_D2 = 12,
  VexR7100_Channel_D3 = 13,
  VexR7100_Channel_D4 = 14,
  VexR7100_Channel_D5 = 15,
  VexR7100_Channel_D6 = 16,
  VexR7100_Channel_D7 = 17,
  VexR7100_Channel_D8 = 18,
  VexR7100_Channel_D9 = 19,
  VexR7100_Channel_D10 = 20,
  VexR7100_Channel_D11 = 21,
  VexR7100_Channel_D12 = 22,
  VexR7100_Channel_D13 = 23,
  VexR7100_Channel_D14 = 24,
  VexR7100_Channel_D15 = 25,
};

enum VexR7100_AcquisitionCount : std::int32_t {
  VexR7100_AcquisitionCount_1 = 1,
  VexR7100_AcquisitionCount_4 = 4,
  VexR7100_AcquisitionCount_8 = 8,
  VexR7100_AcquisitionCount_16 = 16,
  VexR7100_AcquisitionCount_32 = 32,
  VexR7100_AcquisitionCount_64 = 64,
  VexR7100_AcquisitionCount_128 = 128,
  VexR7100_AcquisitionCount_256 = 256,
};

// Normal is 6, not 0.
enum VexR7100_AcquisitionType : std::int32_t {
  VexR7100_AcquisitionType_Normal = 6,
  VexR7100_AcquisitionType_Average = 1,
  VexR7100_AcquisitionType_Peak = 2,
  VexR7100_AcquisitionType_Glitch = 3,
  VexR7100_AcquisitionType_Real = 4,
  VexR7100_AcquisitionType_Auto = 5,
};

enum VexR7100_OnOffState : std::int32_t {
  VexR7100_Off = 0,
  VexR7100_On = 1,
};

enum VexR7100_ProbeAttenuation : std::int32_t {
  VexR7100_ProbeAttenuation_X1 = 1,
  VexR7100_ProbeAttenuation_X10 = 10,
  VexR7100_ProbeAttenuation_X20 = 20,
  VexR7100_ProbeAttenuation_X100 = 100,
};

enum VexR7100_ProbeCoupling : std::int32_t {
  VexR7100_ProbeCoupling_AC = 3,
  VexR7100_ProbeCoupling_DC = 1,
  VexR7100_ProbeCoupling_GND = 2,
};

enum VexR7100_ProbeMode : std::int32_t {
  VexR7100_ProbeMode_Auto = 2,
  VexR7100_ProbeMode_Manual = 1,
};

enum VexR7100_InputImpedance : std::int32_t {
  VexR7100_InputImpedance_50_Ohms = 50,
  VexR7100_InputImpedance_1Meg_Ohms = 1,
};

enum VexR7100_TimeMode : std::int32_t {
  VexR7100_TimeMode_Normal = 4,
  VexR7100_TimeMode_Delayed = 1,
  VexR7100_TimeMode_XY = 2,
  VexR7100_TimeMode_Roll = 3,
};

enum VexR7100_TimeReference : std::int32_t {
  VexR7100_TimeReference_Left = 3,
  VexR7100_TimeReference_Center = 1,
  VexR7100_TimeReference_Right = 2,
};

enum VexR7100_TriggerCoupling : std::int32_t {
  VexR7100_TriggerCoupling_AC = 2,
  VexR7100_TriggerCoupling_DC = 1,
};

enum VexR7100_TriggerMode : std::int32_t {
  VexR7100_TriggerMode_AutoLevel = 3,
  VexR7100_TriggerMode_Auto = 1,
  VexR7100_TriggerMode_Normal = 2,
};

enum VexR7100_TriggerSlope : std::int32_t {
  VexR7100_TriggerSlope_Negative = 2,
  VexR7100_TriggerSlope_Positive = 1,
};

enum VexR7100_TriggerSource : std::int32_t {
  VexR7100_TriggerSource_Channel1 = 1,
  VexR7100_TriggerSource_Channel2 = 2,
  VexR7100_TriggerSource_Channel3 = 3,
  VexR7100_TriggerSource_Channel4 = 4,
  VexR7100_TriggerSource_External = 5,
  VexR7100_TriggerSource_Line = 6,
  VexR7100_TriggerSource_Logic_D0 = 10,
  VexR7100_TriggerSource_Logic_D1 = 11,
  VexR7100_TriggerSource_Logic_D2 = 12,
  VexR7100_TriggerSource_Logic_D3 = 13,
  VexR7100_TriggerSource_Logic_D4 = 14,
  VexR7100_TriggerSource_Logic_D5 = 15,
  VexR7100_TriggerSource_Logic_D6 = 16,
  VexR7100_TriggerSource_Logic_D7 = 17,
  VexR7100_TriggerSource_Logic_D8 = 18,
  VexR7100_TriggerSource_Logic_D9 = 19,
  VexR7100_TriggerSource_Logic_D10 = 20,
  VexR7100_TriggerSource_Logic_D11 = 21,
  VexR7100_TriggerSource_Logic_D12 = 22,
  VexR7100_TriggerSource_Logic_D13 = 23,
  VexR7100_TriggerSource_Logic_D14 = 24,
  VexR7100_TriggerSource_Logic_D15 = 25,
};

}  // namespace vex::server
