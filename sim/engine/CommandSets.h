// The row tables the instrument is built from, one per group of commands.
#pragma once

#include <span>

#include "engine/CommandRow.h"

namespace vex::sim {

// IEEE 488.2 common commands and the :SYSTem subsystem.
std::span<const CommandRow> CommonCommandRows();
// Channel display, waveform transfer, run control, trace data transfer.
std::span<const CommandRow> ScopeCommandRows();
// Acquisition, analog channel, timebase and trigger settings.
std::span<const CommandRow> SettingsCommandRows();
// Automatic measurements on the synthetic waveforms.
std::span<const CommandRow> MeasureCommandRows();
// The screen image and the trace (pixel) memories.
std::span<const CommandRow> DisplayCommandRows();
// The private :SIMulator subsystem: faults, test pattern, line settings.
std::span<const CommandRow> SimulatorCommandRows();

}  // namespace vex::sim
