// The row tables the instrument is built from, one per group of commands.
#pragma once

#include <span>

#include "engine/CommandRow.h"

namespace vex::sim {

// IEEE 488.2 common commands and the :SYSTem subsystem.
std::span<const CommandRow> CommonCommandRows();
// Channels, timebase, waveform transfer, run control, trace memories.
std::span<const CommandRow> ScopeCommandRows();
// The private :SIMulator subsystem: faults, test pattern, line settings.
std::span<const CommandRow> SimulatorCommandRows();

}  // namespace vex::sim
