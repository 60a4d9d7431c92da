// vexscope pages: shows the scope control's property frame (Qt) on the
// control hosted with the --state file's state, and saves the state back
// when OK or Apply changed it.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "state_file.h"
#include "vex/com/dispatch.h"

namespace vex::ui {
class Toolkit;
}
namespace vex::com {
class ControlSite;
}

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

// Runs `run` with the scope control hosted in running mode on the Qt
// toolkit (the --state file's state loaded), for the commands that show
// windows; `command` names the command in the messages when there is no
// display or no Qt. Returns run's status, or 1 when the control could not
// be hosted (the error printed to `err`).
using HostedRun =
    std::function<int(ui::Toolkit& toolkit, com::ControlSite& site, com::IDispatch* control)>;
int RunHostedOnQt(StateFile& state, const char* command, std::ostream& err, const HostedRun& run);

// Shows the frame and saves the state after an apply; the exit status.
int RunPagesCommand(StateFile& state, int pages, std::ostream& err);

}  // namespace vex::scope
