// Where each GPIB board of the addresses "GPIBn::a::INSTR" leads.
//
// No GPIB driver exists for this platform, so a board is either
//   - the simulated bus of this process (the instrument simulator's class
//     "VexSim.Bus", loaded through the class registry), or
//   - a LAN/GPIB gateway reached over VXI-11, whose device "gpib0,a" is the
//     instrument at address a behind it.
// The map comes from $VEX_GPIB_BOARDS, e.g. "0=sim,1=192.168.1.40", or, when
// that is unset, from the file $VEX_GPIB_BOARDS_FILE or
// ~/.config/vex/gpib-boards.conf (one "n=target" a line, '#' comments).
// With no map configured at all, board 0 is the simulated bus, which holds a
// VDS3004A at address 7: "GPIB0::7::INSTR" works out of the box. A
// configured map replaces that default.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "vex/io/status.h"
#include "vex/io/transport.h"

namespace vex::io {

struct GpibBoard {
  bool simulated = false;
  std::string gateway_host;  // for a VXI-11 gateway
};

class GpibBoardMap {
 public:
  static GpibBoardMap FromEnvironment();
  // Parses "n=sim,m=host"; kBadAddress naming the faulty entry.
  static Result<GpibBoardMap> Parse(std::string_view text);

  const GpibBoard* Find(int board) const;
  const std::map<int, GpibBoard>& Boards() const { return boards_; }

 private:
  std::map<int, GpibBoard> boards_;
};

// A transport to the instrument at `address` on the simulated bus `board`.
std::unique_ptr<Transport> MakeSimulatedBusTransport(int board, int address);

}  // namespace vex::io
