// vexscope panel: the desktop panel (PanelPresenter) on the Qt toolkit,
// hosting the scope control in running mode with the --state file's state;
// the state is saved after the property pages applied a change and when
// the panel closes.
#pragma once

#include <iosfwd>

#include "state_file.h"

namespace vex::scope {

// Shows the panel until it is closed; the exit status.
int RunPanelCommand(StateFile& state, std::ostream& err);

}  // namespace vex::scope
