// The control library's type library ("Vex9100CtrlLib").
#pragma once

#include "vex/com/type_library.h"

namespace vex::control {

const com::TypeLibrary& ControlTypeLibrary();

}  // namespace vex::control
