// Logic channels and logic data.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(GetLogicData(VexR7100_WaveformPoints, Variant*, Variant*))
VEX_CORE_NOT_YET(get_BitEnabled(VexR7100_LogicBits, VARIANT_BOOL*))
VEX_CORE_NOT_YET(put_BitEnabled(VexR7100_LogicBits, VARIANT_BOOL))
VEX_CORE_NOT_YET(put_PodEnabled(VexR7100_LogicPods, VARIANT_BOOL))
VEX_CORE_NOT_YET(get_EnableStatus(std::int16_t*))
VEX_CORE_NOT_YET(put_EnableStatus(std::int16_t))

}  // namespace vex::server
