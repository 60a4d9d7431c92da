// Trace memories.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(Clear(std::int32_t))
VEX_CORE_NOT_YET(get_Enabled(std::int32_t, VARIANT_BOOL*))
VEX_CORE_NOT_YET(put_Enabled(std::int32_t, VARIANT_BOOL))
VEX_CORE_NOT_YET(GetData(std::int32_t, Variant*))
VEX_CORE_NOT_YET(PutData(std::int32_t, const Variant&))
VEX_CORE_NOT_YET(Save(std::int32_t))
VEX_CORE_NOT_YET(get_TotalMemories(std::int32_t*))

}  // namespace vex::server
