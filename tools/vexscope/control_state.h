// The scope control's whole state in the --state file: every key the
// control owns (its own, the connection settings, the I/O configuration,
// the setups and the debug flags) written back after a command through the
// control, other keys of the file kept (StateFile's rules).
#pragma once

#include "state_file.h"
#include "vex/com/dispatch.h"

namespace vex::scope {

// Saves `control`'s state into `state` (nothing without a file).
void SaveControlState(StateFile& state, com::IDispatch* control);

}  // namespace vex::scope
