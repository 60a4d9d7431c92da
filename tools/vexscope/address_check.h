// The address check of the commands that take an instrument address: the
// I/O library's grammar (vex/io/address.h), the one the control, the server
// and the I/O component parse with, applied before anything is created or
// probed, so that a bad address fails at once with that grammar's message.
#pragma once

#include <string>

#include "tool_errors.h"
#include "vex/com/hresult.h"
#include "vex/io/address.h"

namespace vex::scope {

// Throws AutomationError with the status the I/O component gives a refused
// address (E_INVALIDARG) and the grammar's message ("invalid address
// \"...\": ..."), as a connection to the address would fail.
inline void CheckAddress(const std::string& address) {
  auto parsed = io::ParseAddress(address);
  if (!parsed) throw AutomationError(com::E_INVALIDARG, parsed.status().message());
}

}  // namespace vex::scope
