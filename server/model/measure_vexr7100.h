// CMeasureVexR7100 ("VexR7100X.MeasureVexR7100"): the automatic
// measurements as clients see them. It implements IMeasureExVexR7100, so
// amplitude, preshoot and overshoot are reached on the same object
// (QueryInterface for the Ex interface, or by member name).
#pragma once

#include "subsystem_wrapper.h"

namespace vex::server {

class CMeasureVexR7100 final : public SubsystemWrapper<IMeasureExVexR7100, IMeasureExVexR7100> {
 public:
  CMeasureVexR7100() : SubsystemWrapper("CMeasureVexR7100", "Measurements Subsystem Wrapper") {}

#define VEX_MEASURE(member, Channel, result, message, help_id) \
  VEX_FORWARD(member, (Channel channel, double* result), (channel, result), message, help_id)
  VEX_MEASURE(AverageVoltage, VexR7100_AnalogChannels, volts,
              "IMeasureVexR7100::AverageVoltage method failed.", 42)
  VEX_MEASURE(DutyCycle, VexR7100_AllChannels, ratio, "IMeasureVexR7100::DutyCycle method failed.",
              43)
  VEX_MEASURE(FallTime, VexR7100_AnalogChannels, seconds,
              "IMeasureVexR7100::FallTime method failed.", 44)
  VEX_MEASURE(Frequency, VexR7100_AllChannels, hertz, "IMeasureVexR7100::Frequency method failed.",
              45)
  VEX_MEASURE(MaxVoltage, VexR7100_AnalogChannels, volts,
              "IMeasureVexR7100::MaxVoltage method failed.", 46)
  VEX_MEASURE(MinVoltage, VexR7100_AnalogChannels, volts,
              "IMeasureVexR7100::MinVoltage method failed.", 47)
  VEX_MEASURE(NegativePulseWidth, VexR7100_AllChannels, seconds,
              "IMeasureVexR7100::NegativePulseWidth method failed.", 48)
  VEX_MEASURE(PeakToPeakVolts, VexR7100_AnalogChannels, volts,
              "IMeasureVexR7100::PeakToPeakVolts method failed.", 49)
  VEX_MEASURE(Period, VexR7100_AllChannels, seconds, "IMeasureVexR7100::Period method failed.", 50)
  VEX_MEASURE(PositivePulseWidth, VexR7100_AllChannels, seconds,
              "IMeasureVexR7100::PositivePulseWidth method failed.", 1)
  VEX_MEASURE(RiseTime, VexR7100_AnalogChannels, seconds,
              "IMeasureVexR7100::RiseTime method failed.", 52)
  VEX_MEASURE(RMSVoltage, VexR7100_AnalogChannels, volts,
              "IMeasureVexR7100::RMSVoltage method failed.", 53)
  VEX_MEASURE(Amplitude, VexR7100_AnalogChannels, volts, "Amplitude measurement method failed.", 0)
  VEX_MEASURE(Preshoot, VexR7100_AnalogChannels, volts, "Preshoot measurement method failed.", 0)
  VEX_MEASURE(Overshoot, VexR7100_AnalogChannels, volts, "Overshoot measurement method failed.", 0)
#undef VEX_MEASURE

  VEX_COM_IMPLEMENT_DISPATCH(CMeasureVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CMeasureVexR7100>("MeasureVexR7100", [](auto& b) {
      members::AddMeasure(b);
      members::AddMeasureEx(b);
    });
  }
};

}  // namespace vex::server
