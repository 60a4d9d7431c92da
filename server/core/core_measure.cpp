// Automatic measurements.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(AverageVoltage(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(DutyCycle(VexR7100_AllChannels, double*))
VEX_CORE_NOT_YET(FallTime(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(Frequency(VexR7100_AllChannels, double*))
VEX_CORE_NOT_YET(MaxVoltage(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(MinVoltage(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(NegativePulseWidth(VexR7100_AllChannels, double*))
VEX_CORE_NOT_YET(PeakToPeakVolts(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(Period(VexR7100_AllChannels, double*))
VEX_CORE_NOT_YET(PositivePulseWidth(VexR7100_AllChannels, double*))
VEX_CORE_NOT_YET(RiseTime(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(RMSVoltage(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(Amplitude(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(Preshoot(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(Overshoot(VexR7100_AnalogChannels, double*))

}  // namespace vex::server
