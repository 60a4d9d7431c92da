// `vexscope ports`: the COM port map and the GPIB board map as the I/O
// component sees them, read by the component's own configuration reader at
// one moment. Nothing is opened: whether another program holds a port is
// probed from its advisory lock.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "vex/io/serial_ports.h"

namespace vex::scope {

struct PortRow {
  std::string name;      // "COM1"
  std::string device;    // what the component opens; empty when unassigned
  std::string kind;      // SerialKindName: "usb", "uart", "pty", "missing", ...
  std::string id;        // by-id name of a USB adapter
  std::string resolved;  // the device node behind a link
  std::string origin;    // where the port map pins it; empty when found
  bool held = false;
  int holder_pid = 0;
};

struct BoardRow {
  std::string name;    // "GPIB0"
  std::string target;  // "sim" or the gateway host
  std::string origin;  // where the board map names it, or "default"
};

struct PortListing {
  std::vector<PortRow> ports;         // COM1..COM4, every one
  std::vector<BoardRow> boards;       // the boards of the map, by number
  std::vector<std::string> problems;  // "file:line: message" of skipped entries
};

PortListing ListPorts(const io::DeviceRoot& root = {});

// One line a port and a board, then the problems; or one JSON object.
void PrintPortListing(const PortListing& listing, std::ostream& out, bool json);

}  // namespace vex::scope
