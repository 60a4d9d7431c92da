// Utilities: status, reset, self-test, saved states, setup data, display text, options.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(ClearDevice())
VEX_CORE_NOT_YET(ClearStatus())
VEX_CORE_NOT_YET(DisplayMessage(const Bstr&))
VEX_CORE_NOT_YET(Options(Variant*))
VEX_CORE_NOT_YET(get_PanelLock(VARIANT_BOOL*))
VEX_CORE_NOT_YET(put_PanelLock(VARIANT_BOOL))
VEX_CORE_NOT_YET(Preset())
VEX_CORE_NOT_YET(ReadStateData(Variant*))
VEX_CORE_NOT_YET(RecallState(std::int32_t))
VEX_CORE_NOT_YET(Reset())
VEX_CORE_NOT_YET(SaveState(std::int32_t))
VEX_CORE_NOT_YET(SelfTest(std::int32_t*, Bstr*))
VEX_CORE_NOT_YET(WriteStateData(const Variant&))
VEX_CORE_NOT_YET(StatusBits(std::int32_t*))
VEX_CORE_NOT_YET(VerifyDevice(const Bstr&, const Bstr&, const Bstr&, VARIANT_BOOL*))

}  // namespace vex::server
