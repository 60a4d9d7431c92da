// vexscope pages: shows the scope control's property frame (Qt) on the
// control hosted with the --state file's state, and saves the state back
// when OK or Apply changed it.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "state_file.h"
#include "vex/com/dispatch.h"

namespace vex::scope {

// The ShowPropertyPages value of a --page word (none: 0, "setups": 1,
// "search": 2, "setio": 3); nullopt for another word.
std::optional<int> PagesValue(const std::string& page);

// ${XDG_CONFIG_HOME:-~/.config}/vexscope/control.json.
std::string DefaultControlStatePath();

// Whether the property pages changed the control, from the names its
// site heard: any change but the pages' presence flags ("...Exists"),
// which every page sets while it is shown.
bool PagesApplied(const std::vector<std::string>& changes);

// Saves the hosted control's whole state into `state`, making the file's
// folder first. Throws AutomationError.
void SaveHostedControl(StateFile& state, com::IDispatch* control);

// Shows the frame and saves the state after an apply; the exit status.
int RunPagesCommand(StateFile& state, int pages, std::ostream& err);

}  // namespace vex::scope
