// The classes the control library registers and serves, and its type
// library. Its other entry points (factories for the command line, which
// creates library objects that have no ProgID, and the host's toolkit) are
// declared in the published headers under include/vex/control/.
#include "control_support.h"
#include "control_type_library.h"
#include "vex/com/class_registry.h"
#include "vex/control/scope_control.h"
#include "vexr7100_scope.h"

namespace vex::control {
namespace {

const com::ServerModule& Module() {
  static const com::ServerModule module{{
      {com::ClassRegistration{kScopeControlClsid, kScopeControlProgIDVersion, kScopeControlProgID,
                              "VexR7100Scope Control", "Apartment", "", kControlTypeLibraryName,
                              true},
       [](const com::IID& iid, void** out) {
         auto control = com::MakeObject<VexR7100Scope>();
         return control->QueryInterface(iid, out);
       }},
  }};
  return module;
}

}  // namespace
}  // namespace vex::control

extern "C" __attribute__((visibility("default"))) void Vex9100SetToolkit(
    vex::ui::Toolkit* toolkit) {
  vex::control::SetControlToolkit(toolkit);
}

extern "C" __attribute__((visibility("default"))) void Vex9100SetHelpFolder(const char* folder) {
  vex::control::SetHelpFolder(folder ? folder : "");
}

VEX_COM_EXPORT_SERVER(vex::control::Module())
VEX_COM_EXPORT_TYPE_LIBRARY(vex::control::ControlTypeLibrary())
