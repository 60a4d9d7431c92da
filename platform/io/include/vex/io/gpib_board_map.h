// Where each GPIB board of the addresses "GPIBn::a::INSTR" leads.
//
// No GPIB driver exists for this platform, so a board is either
//   - the simulated bus of this process ("sim"), or
//   - a LAN/GPIB gateway reached over VXI-11 (a host name or address), whose
//     device "gpib0,a" is the instrument at address a behind it.
// The map is read by ConfigReader as VEX_GPIB_BOARDS / gpib-boards.conf, one
// "n=target" (or "GPIBn=target") an entry, n 0 to 15; a malformed entry is
// reported with its file and line and skipped, the others still count. With
// no map configured at all, board 0 is the simulated bus, which holds a
// VDS3004A at address 7: "GPIB0::7::INSTR" works out of the box. A
// configured map replaces that default.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "vex/io/config_reader.h"
#include "vex/io/status.h"

namespace vex::io {

struct GpibBoard {
  bool simulated = false;
  std::string gateway_host;  // for a VXI-11 gateway
  std::string origin;        // where the map named it; "default" for the default
};

class GpibBoardMap {
 public:
  // The map as configured now.
  static GpibBoardMap Load();
  static GpibBoardMap FromConfig(const ConfigText& text);
  // Parses "n=sim,m=host"; kBadAddress naming the first faulty entry.
  static Result<GpibBoardMap> Parse(std::string_view text);

  const GpibBoard* Find(int board) const;
  const std::map<int, GpibBoard>& Boards() const { return boards_; }
  const std::vector<ConfigProblem>& problems() const { return problems_; }

 private:
  std::map<int, GpibBoard> boards_;
  std::vector<ConfigProblem> problems_;
};

}  // namespace vex::io
