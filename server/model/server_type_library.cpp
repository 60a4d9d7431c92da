#include "server_type_library.h"

#include "acquisition_vexr7100.h"
#include "analog_channels_vexr7100.h"
#include "logic_channel_vexr7100.h"
#include "measure_vexr7100.h"
#include "timebase_vexr7100.h"
#include "trace_vexr7100.h"
#include "trigger_vexr7100.h"
#include "utilities_vexr7100.h"
#include "vexr7100_ez.h"

namespace vex::server {

// Each constant is written by its C++ name, so the published names and
// values cannot drift from the headers.
#define VEX_CONSTANT(name) \
  { #name, name }

const com::TypeLibrary& ServerTypeLibrary() {
  static const com::TypeLibrary library{
      kTypeLibraryName,
      {
          {"VexR7100_ImageFormat",
           {VEX_CONSTANT(VexR7100_ImageFormat_BMP), VEX_CONSTANT(VexR7100_ImageFormat_HiResBMP),
            VEX_CONSTANT(VexR7100_ImageFormat_GIF), VEX_CONSTANT(VexR7100_ImageFormat_WMF),
            VEX_CONSTANT(VexR7100_ImageFormat_EMF), VEX_CONSTANT(VexR7100_ImageFormat_TIF),
            VEX_CONSTANT(VexR7100_ImageFormat_JPG), VEX_CONSTANT(VexR7100_ImageFormat_UseSuffix)}},
          {"VexR7100_AnalogChannels",
           {VEX_CONSTANT(VexR7100_Channel_1), VEX_CONSTANT(VexR7100_Channel_2),
            VEX_CONSTANT(VexR7100_Channel_3), VEX_CONSTANT(VexR7100_Channel_4)}},
          {"VexR7100_WaveformPoints",
           {VEX_CONSTANT(VexR7100_DataPoints_ALL), VEX_CONSTANT(VexR7100_DataPoints_100),
            VEX_CONSTANT(VexR7100_DataPoints_250), VEX_CONSTANT(VexR7100_DataPoints_500),
            VEX_CONSTANT(VexR7100_DataPoints_1000), VEX_CONSTANT(VexR7100_DataPoints_2000)}},
          {"VexR7100_LogicBits",
           {VEX_CONSTANT(VexR7100_Logic_D0), VEX_CONSTANT(VexR7100_Logic_D1),
            VEX_CONSTANT(VexR7100_Logic_D2), VEX_CONSTANT(VexR7100_Logic_D3),
            VEX_CONSTANT(VexR7100_Logic_D4), VEX_CONSTANT(VexR7100_Logic_D5),
            VEX_CONSTANT(VexR7100_Logic_D6), VEX_CONSTANT(VexR7100_Logic_D7),
            VEX_CONSTANT(VexR7100_Logic_D8), VEX_CONSTANT(VexR7100_Logic_D9),
            VEX_CONSTANT(VexR7100_Logic_D10), VEX_CONSTANT(VexR7100_Logic_D11),
            VEX_CONSTANT(VexR7100_Logic_D12), VEX_CONSTANT(VexR7100_Logic_D13),
            VEX_CONSTANT(VexR7100_Logic_D14), VEX_CONSTANT(VexR7100_Logic_D15)}},
          {"VexR7100_LogicPods",
           {VEX_CONSTANT(VexR7100_Logic_POD1), VEX_CONSTANT(VexR7100_Logic_POD2)}},
          {"VexR7100_AllChannels",
           {VEX_CONSTANT(VexR7100_Channel_A1),  VEX_CONSTANT(VexR7100_Channel_A2),
            VEX_CONSTANT(VexR7100_Channel_A3),  VEX_CONSTANT(VexR7100_Channel_A4),
            VEX_CONSTANT(VexR7100_Channel_D0),  VEX_CONSTANT(VexR7100_Channel_D1),
            VEX_CONSTANT(VexR7100_Channel_D2),  VEX_CONSTANT(VexR7100_Channel_D3),
            VEX_CONSTANT(VexR7100_Channel_D4),  VEX_CONSTANT(VexR7100_Channel_D5),
            VEX_CONSTANT(VexR7100_Channel_D6),  VEX_CONSTANT(VexR7100_Channel_D7),
            VEX_CONSTANT(VexR7100_Channel_D8),  VEX_CONSTANT(VexR7100_Channel_D9),
            VEX_CONSTANT(VexR7100_Channel_D10), VEX_CONSTANT(VexR7100_Channel_D11),
            VEX_CONSTANT(VexR7100_Channel_D12), VEX_CONSTANT(VexR7100_Channel_D13),
            VEX_CONSTANT(VexR7100_Channel_D14), VEX_CONSTANT(VexR7100_Channel_D15)}},
          {"VexR7100_AcquisitionCount",
           {VEX_CONSTANT(VexR7100_AcquisitionCount_1), VEX_CONSTANT(VexR7100_AcquisitionCount_4),
            VEX_CONSTANT(VexR7100_AcquisitionCount_8), VEX_CONSTANT(VexR7100_AcquisitionCount_16),
            VEX_CONSTANT(VexR7100_AcquisitionCount_32), VEX_CONSTANT(VexR7100_AcquisitionCount_64),
            VEX_CONSTANT(VexR7100_AcquisitionCount_128),
            VEX_CONSTANT(VexR7100_AcquisitionCount_256)}},
          {"VexR7100_AcquisitionType",
           {VEX_CONSTANT(VexR7100_AcquisitionType_Normal),
            VEX_CONSTANT(VexR7100_AcquisitionType_Average),
            VEX_CONSTANT(VexR7100_AcquisitionType_Peak),
            VEX_CONSTANT(VexR7100_AcquisitionType_Glitch),
            VEX_CONSTANT(VexR7100_AcquisitionType_Real),
            VEX_CONSTANT(VexR7100_AcquisitionType_Auto)}},
          {"VexR7100_OnOffState", {VEX_CONSTANT(VexR7100_Off), VEX_CONSTANT(VexR7100_On)}},
          {"VexR7100_ProbeAttenuation",
           {VEX_CONSTANT(VexR7100_ProbeAttenuation_X1), VEX_CONSTANT(VexR7100_ProbeAttenuation_X10),
            VEX_CONSTANT(VexR7100_ProbeAttenuation_X20),
            VEX_CONSTANT(VexR7100_ProbeAttenuation_X100)}},
          {"VexR7100_ProbeCoupling",
           {VEX_CONSTANT(VexR7100_ProbeCoupling_AC), VEX_CONSTANT(VexR7100_ProbeCoupling_DC),
            VEX_CONSTANT(VexR7100_ProbeCoupling_GND)}},
          {"VexR7100_ProbeMode",
           {VEX_CONSTANT(VexR7100_ProbeMode_Auto), VEX_CONSTANT(VexR7100_ProbeMode_Manual)}},
          {"VexR7100_InputImpedance",
           {VEX_CONSTANT(VexR7100_InputImpedance_50_Ohms),
            VEX_CONSTANT(VexR7100_InputImpedance_1Meg_Ohms)}},
          {"VexR7100_TimeMode",
           {VEX_CONSTANT(VexR7100_TimeMode_Normal), VEX_CONSTANT(VexR7100_TimeMode_Delayed),
            VEX_CONSTANT(VexR7100_TimeMode_XY), VEX_CONSTANT(VexR7100_TimeMode_Roll)}},
          {"VexR7100_TimeReference",
           {VEX_CONSTANT(VexR7100_TimeReference_Left), VEX_CONSTANT(VexR7100_TimeReference_Center),
            VEX_CONSTANT(VexR7100_TimeReference_Right)}},
          {"VexR7100_TriggerCoupling",
           {VEX_CONSTANT(VexR7100_TriggerCoupling_AC), VEX_CONSTANT(VexR7100_TriggerCoupling_DC)}},
          {"VexR7100_TriggerMode",
           {VEX_CONSTANT(VexR7100_TriggerMode_AutoLevel), VEX_CONSTANT(VexR7100_TriggerMode_Auto),
            VEX_CONSTANT(VexR7100_TriggerMode_Normal)}},
          {"VexR7100_TriggerSlope",
           {VEX_CONSTANT(VexR7100_TriggerSlope_Negative),
            VEX_CONSTANT(VexR7100_TriggerSlope_Positive)}},
          {"VexR7100_TriggerSource", {VEX_CONSTANT(VexR7100_TriggerSource_Channel1),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Channel2),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Channel3),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Channel4),
                                      VEX_CONSTANT(VexR7100_TriggerSource_External),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Line),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D0),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D1),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D2),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D3),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D4),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D5),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D6),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D7),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D8),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D9),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D10),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D11),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D12),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D13),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D14),
                                      VEX_CONSTANT(VexR7100_TriggerSource_Logic_D15)}},
      },
      {&CVexR7100EZ::Table(), &CAcquisitionVexR7100::Table(), &CAnalogChannelsVexR7100::Table(),
       &CAnalogChannelVexR7100::Table(), &CLogicChannelVexR7100::Table(),
       &CMeasureVexR7100::Table(), &CTimebaseVexR7100::Table(), &CTraceVexR7100::Table(),
       &CTriggerVexR7100::Table(), &CUtilitiesVexR7100::Table()},
  };
  return library;
}

#undef VEX_CONSTANT

}  // namespace vex::server
