// `vexscope test ADDRESS` and `vexscope search`: the control's instrument
// identification and instrument search, run without a window and without
// the automation server (no command here opens a connection through it, so
// a port the server would hold stays free for the probe).
//
// With a state file both load the scope control from it (never connecting
// it) and probe with the control's own I/O configuration, I/O manager and
// "TXDelay"; an address on the command line becomes the control's Address,
// and after success the control's whole state is saved back. Without one a
// bare configuration at the address is used (50 ms wait) and nothing is kept.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "state_file.h"

namespace vex::scope {

struct IoCommandOptions {
  std::string address;         // as resolved from -a, the state, the environment
  bool address_given = false;  // -a or the test's ADDRESS was on the command line
  bool json = false;
};

// Exit status 0 when an instrument answered (codes 0 to 3), else 1. Prints
// the code, the verdict box's title and its text.
int RunTestCommand(StateFile& state, const IoCommandOptions& options, std::ostream& out,
                   std::ostream& err);

// Exit status 0 after a complete search, 1 on an error. One row per
// instrument, "*" before the row of the active address, then the COM ports
// on which nothing answered. Progress and port messages go to `err`.
int RunSearchCommand(StateFile& state, const IoCommandOptions& options, std::ostream& out,
                     std::ostream& err);

}  // namespace vex::scope
