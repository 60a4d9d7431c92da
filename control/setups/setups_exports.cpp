// The setup entry points the control library exports to its clients.
#include <new>

#include "setups_vexr7100_scope.h"
#include "vex/control/setups.h"

extern "C" __attribute__((visibility("default"))) vex::com::HRESULT Vex9100CreateSetups(
    vex::control::ISetupsVexR7100Scope** setups) {
  if (!setups) return vex::com::E_POINTER;
  *setups = nullptr;
  try {
    auto created = vex::com::MakeObject<vex::control::CSetupsVexR7100Scope>();
    *setups = created.Detach();
    return vex::com::S_OK;
  } catch (const std::bad_alloc&) {
    return vex::com::E_OUTOFMEMORY;
  }
}
