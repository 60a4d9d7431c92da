// The server's type library "VexR7100ServerLib": its enumerations with the
// names and values clients use, and the dispatch tables of its classes.
#pragma once

#include "vex/com/type_library.h"

namespace vex::server {

const com::TypeLibrary& ServerTypeLibrary();

}  // namespace vex::server
