// Mnemonic tables of the instrument settings: acquisition, channels,
// timebase, trigger and measurement sources. Each table lists its words in
// the order the lookups walk them, so the first word of a value is the one
// sent and the later ones are only recognised in replies.
#pragma once

#include "mnemonic_table.h"

namespace vex::server {

// Acquisition count (16): each count with and without its leading "+".
const MnemonicTable& AcquisitionCountTable();
// Acquisition type (6).
const MnemonicTable& AcquisitionTypeTable();
// Probe attenuation (4), input coupling (3), probe sense mode (2), input
// impedance (2).
const MnemonicTable& ProbeAttenuationTable();
const MnemonicTable& ProbeCouplingTable();
const MnemonicTable& ProbeModeTable();
const MnemonicTable& InputImpedanceTable();
// Timebase mode (6) and reference (4).
const MnemonicTable& TimeModeTable();
const MnemonicTable& TimeReferenceTable();
// Trigger coupling (2), mode (20), slope (2), source (24).
const MnemonicTable& TriggerCouplingTable();
const MnemonicTable& TriggerModeTable();
const MnemonicTable& TriggerSlopeTable();
const MnemonicTable& TriggerSourceTable();
// Measurement sources over analog and logic channels (38).
const MnemonicTable& MeasureSourceTable();

}  // namespace vex::server
