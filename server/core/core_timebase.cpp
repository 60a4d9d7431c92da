// Timebase.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(get_HorizontalDelay(double*))
VEX_CORE_NOT_YET(put_HorizontalDelay(double))
VEX_CORE_NOT_YET(get_HorizontalRange(double*))
VEX_CORE_NOT_YET(put_HorizontalRange(double))
VEX_CORE_NOT_YET(get_Mode(VexR7100_TimeMode*))
VEX_CORE_NOT_YET(put_Mode(VexR7100_TimeMode))
VEX_CORE_NOT_YET(get_Reference(VexR7100_TimeReference*))
VEX_CORE_NOT_YET(put_Reference(VexR7100_TimeReference))
VEX_CORE_NOT_YET(get_TimebaseMode(VexR7100_TimeMode*))
VEX_CORE_NOT_YET(put_TimebaseMode(VexR7100_TimeMode))
VEX_CORE_NOT_YET(get_SampleRate(double*))
VEX_CORE_NOT_YET(get_Delay(double*))
VEX_CORE_NOT_YET(put_Delay(double))

}  // namespace vex::server
