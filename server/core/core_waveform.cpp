// Analog waveform transfers.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(GetWaveformData(VexR7100_AnalogChannels, VexR7100_WaveformPoints, Variant*,
                                 Variant*))
VEX_CORE_NOT_YET(GetAllWaveformData(VexR7100_WaveformPoints, SafeArray*))

}  // namespace vex::server
