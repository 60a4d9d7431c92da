// Analog channels.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(get_BandWidthLimit(VexR7100_AnalogChannels, ONOFFSTATE*))
VEX_CORE_NOT_YET(put_BandWidthLimit(VexR7100_AnalogChannels, ONOFFSTATE))
VEX_CORE_NOT_YET(get_Enabled(VexR7100_AnalogChannels, VARIANT_BOOL*))
VEX_CORE_NOT_YET(put_Enabled(VexR7100_AnalogChannels, VARIANT_BOOL))
VEX_CORE_NOT_YET(get_ProbeAttenuation(VexR7100_AnalogChannels, PROBEATTEN*))
VEX_CORE_NOT_YET(put_ProbeAttenuation(VexR7100_AnalogChannels, PROBEATTEN))
VEX_CORE_NOT_YET(get_ProbeCoupling(VexR7100_AnalogChannels, PROBECOUPLE*))
VEX_CORE_NOT_YET(put_ProbeCoupling(VexR7100_AnalogChannels, PROBECOUPLE))
VEX_CORE_NOT_YET(get_ProbeMode(VexR7100_AnalogChannels, PROBEMODES*))
VEX_CORE_NOT_YET(get_VerticalOffset(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(put_VerticalOffset(VexR7100_AnalogChannels, double))
VEX_CORE_NOT_YET(get_VerticalRange(VexR7100_AnalogChannels, double*))
VEX_CORE_NOT_YET(put_VerticalRange(VexR7100_AnalogChannels, double))
VEX_CORE_NOT_YET(get_INPUTIMPEDANCE(VexR7100_AnalogChannels, INPUTIMPEDANCE*))
VEX_CORE_NOT_YET(put_INPUTIMPEDANCE(VexR7100_AnalogChannels, INPUTIMPEDANCE))

}  // namespace vex::server
