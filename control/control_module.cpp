// The classes the control library registers and serves. Its other entry
// points (factories for the command line, which creates library objects
// that have no ProgID) are declared in the published headers under
// include/vex/control/.
#include "vex/com/class_registry.h"

namespace vex::control {
namespace {

const com::ServerModule& Module() {
  static const com::ServerModule module{};
  return module;
}

}  // namespace
}  // namespace vex::control

VEX_COM_EXPORT_SERVER(vex::control::Module())
