// Acquisition.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(get_CompletionMinimum(std::int32_t*))
VEX_CORE_NOT_YET(put_CompletionMinimum(std::int32_t))
VEX_CORE_NOT_YET(get_Count(VexR7100_AcquisitionCount*))
VEX_CORE_NOT_YET(put_Count(VexR7100_AcquisitionCount))
VEX_CORE_NOT_YET(get_DitherEnabled(VARIANT_BOOL*))
VEX_CORE_NOT_YET(put_DitherEnabled(VARIANT_BOOL))
VEX_CORE_NOT_YET(get_Type(VexR7100_AcquisitionType*))
VEX_CORE_NOT_YET(put_Type(VexR7100_AcquisitionType))
VEX_CORE_NOT_YET(get_Points(std::int32_t*))

}  // namespace vex::server
