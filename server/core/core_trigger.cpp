// Trigger.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(get_Coupling(VexR7100_TriggerCoupling*))
VEX_CORE_NOT_YET(put_Coupling(VexR7100_TriggerCoupling))
VEX_CORE_NOT_YET(get_Mode(VexR7100_TriggerMode*))
VEX_CORE_NOT_YET(put_Mode(VexR7100_TriggerMode))
VEX_CORE_NOT_YET(get_Source(VexR7100_TriggerSource*))
VEX_CORE_NOT_YET(put_Source(VexR7100_TriggerSource))
VEX_CORE_NOT_YET(get_Slope(VexR7100_TriggerSlope*))
VEX_CORE_NOT_YET(put_Slope(VexR7100_TriggerSlope))
VEX_CORE_NOT_YET(get_TriggerLevel(double*))
VEX_CORE_NOT_YET(put_TriggerLevel(double))
VEX_CORE_NOT_YET(get_TRIGGERMODE(VexR7100_TriggerMode*))
VEX_CORE_NOT_YET(put_TRIGGERMODE(VexR7100_TriggerMode))
VEX_CORE_NOT_YET(get_Holdoff(double*))
VEX_CORE_NOT_YET(put_Holdoff(double))

}  // namespace vex::server
