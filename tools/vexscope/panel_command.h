// vexscope panel: the desktop panel (PanelPresenter) on the Qt toolkit,
// hosting the scope control in running mode with the --state file's state;
// the state is saved after the property pages applied a change and when
// the panel closes.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "state_file.h"

namespace vex::scope {

// Shows the panel until it is closed; the exit status.
// `address`: the -a option, which the control takes before the panel shows
// (the state's address otherwise).
int RunPanelCommand(StateFile& state, const std::optional<std::string>& address, std::ostream& err);

}  // namespace vex::scope
