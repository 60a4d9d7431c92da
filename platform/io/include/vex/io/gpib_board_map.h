// Where each GPIB board of the addresses "GPIBn::a::INSTR" leads.
//
// No GPIB driver exists for this platform, so a board is either
//   - the simulated bus of this process ("sim"), or
//   - a LAN/GPIB gateway reached over VXI-11, "host" or "host:port" (the port
//     of its port mapper, 111 when left out; an IPv6 address in brackets
//     before a port, "[fe80::5]:111"), whose device "gpib0,a" is the
//     instrument at address a behind it. The host follows host_name.h: a
//     numeric address or a well-formed name, which is only looked up when
//     the board is used.
// The map is read by ConfigReader as VEX_GPIB_BOARDS / gpib-boards.conf, one
// "n=target" (or "GPIBn=target") an entry, n 0 to 15. An entry that is
// malformed - a board number out of range, a bad host, a port that is not 1
// to 65535, a board the same file (or the variable) already maps - is
// reported with its file and line (or the variable and the entry number) and
// what is wrong, and skipped; the others still count. An entry of the
// variable replaces the file's entry for the same board. With no map
// configured at all, board 0 is the simulated bus, which holds a VDS3004A at
// address 7: "GPIB0::7::INSTR" works out of the box. A configured map
// replaces that default.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "vex/io/config_reader.h"
#include "vex/io/status.h"

namespace vex::io {

inline constexpr int kPortMapperPort = 111;

struct GpibBoard {
  bool simulated = false;
  std::string gateway_host;            // for a VXI-11 gateway, brackets removed
  int gateway_port = kPortMapperPort;  // the gateway's port mapper
  std::string origin;                  // where the map named it; "default" for the default
};

class GpibBoardMap {
 public:
  // The map as configured now.
  static GpibBoardMap Load();
  static GpibBoardMap FromConfig(const ConfigText& text);
  // Parses "n=sim,m=host[:port]"; kBadAddress naming the first faulty entry.
  static Result<GpibBoardMap> Parse(std::string_view text);

  const GpibBoard* Find(int board) const;
  const std::map<int, GpibBoard>& Boards() const { return boards_; }
  const std::vector<ConfigProblem>& problems() const { return problems_; }

 private:
  std::map<int, GpibBoard> boards_;
  std::vector<ConfigProblem> problems_;
};

}  // namespace vex::io
