// Screen images.
#include "core_not_yet.h"

namespace vex::server {

VEX_CORE_NOT_YET(GetScreenImage(VexR7100_ImageFormat, com::IPictureDisp**))
VEX_CORE_NOT_YET(SaveScreenImage(const Bstr&, VexR7100_ImageFormat))

}  // namespace vex::server
