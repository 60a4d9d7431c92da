// The transport of the simulated GPIB bus of this process: the instrument
// simulator's class "VexSim.Bus", loaded through the class registry so that
// the I/O component does not depend on the simulator. Which board is the
// simulated bus is said by the GPIB board map (vex/io/gpib_board_map.h).
#pragma once

#include <memory>

#include "vex/io/gpib_board_map.h"
#include "vex/io/transport.h"

namespace vex::io {

// A transport to the instrument at `address` on the simulated bus `board`.
std::unique_ptr<Transport> MakeSimulatedBusTransport(int board, int address);

}  // namespace vex::io
