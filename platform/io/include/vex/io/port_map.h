// Which device stands behind each COM port name.
//
// COMn is looked up in this order:
//   1. the environment variable VEX_COM_PORTS, a comma-separated list of
//      "COMn=<device path>" (for example "COM1=/dev/pts/3,COM2=/dev/ttyUSB0");
//   2. the file named by VEX_COM_PORTS_FILE, or else
//      $XDG_CONFIG_HOME/vex/com-ports.conf (~/.config/vex/com-ports.conf when
//      XDG_CONFIG_HOME is unset): one "COMn=<device path>" per line, blank
//      lines and lines starting with '#' ignored;
//   3. the default /dev/ttyS<n-1>, the first UARTs as Linux names them.
// The environment wins over the file so that a test or a single run can
// point a COM name at a pty without editing the user's configuration. A
// malformed entry is skipped; Parse reports it for callers that want to know.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "vex/io/status.h"

namespace vex::io {

class PortMap {
 public:
  PortMap() = default;

  // The map of this process: file entries overlaid by the environment's.
  static PortMap FromEnvironment();
  // Entries from "COMn=path" items separated by commas or new lines.
  static Result<PortMap> Parse(std::string_view text);

  // Maps COMn (n = kFirstComPort..kLastComPort) to a device path.
  Status Set(int port, std::string device_path);
  // Entries of `other` replace those of this map.
  void Merge(const PortMap& other);

  // The device for COMn: the mapped path or /dev/ttyS<n-1>.
  std::string DevicePath(int port) const;
  bool IsMapped(int port) const { return entries_.count(port) != 0; }
  const std::map<int, std::string>& entries() const { return entries_; }

 private:
  std::map<int, std::string> entries_;
};

}  // namespace vex::io
