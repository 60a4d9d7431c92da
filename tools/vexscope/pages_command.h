// vexscope pages: shows the scope control's property frame (Qt) on the
// control hosted with the --state file's state, and saves the state back
// when OK or Apply changed it.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "state_file.h"

namespace vex::scope {

// The ShowPropertyPages value of a --page word (none: 0, "setups": 1,
// "search": 2, "setio": 3); nullopt for another word.
std::optional<int> PagesValue(const std::string& page);

// ${XDG_CONFIG_HOME:-~/.config}/vexscope/control.json.
std::string DefaultControlStatePath();

// Shows the frame and saves the state after an apply; the exit status.
int RunPagesCommand(StateFile& state, int pages, std::ostream& err);

}  // namespace vex::scope
