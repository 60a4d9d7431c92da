// Which serial ports exist on this computer.
//
// Most /dev/ttyS nodes have no UART behind them, so a node's existence says
// nothing. A port counts as present when the kernel knows hardware for it:
// /sys/class/tty/<name>/type is not 0 (PORT_UNKNOWN) for UART ports, the
// node has a /sys/class/tty/<name>/device link for USB and other adapters, or,
// where sysfs does not say, TIOCGSERIAL reports a type other than
// PORT_UNKNOWN. A device that the port map names explicitly and that has no
// sysfs entry (a pty) is present when it is a character device.
#pragma once

#include <string>
#include <vector>

#include "vex/io/port_map.h"

namespace vex::io {

struct SerialPortInfo {
  std::string name;     // "COM1"
  std::string device;   // "/dev/ttyS0", "/dev/pts/3"
  bool mapped = false;  // named by the port map, not the default
};

// COM names (COM1..COM4, in order) whose device is present.
std::vector<SerialPortInfo> ListComPorts(const PortMap& map);

// Device paths of the real serial ports present ("/dev/ttyS0",
// "/dev/ttyUSB0", ...), sorted, whether mapped to a COM name or not.
std::vector<std::string> ListSerialDevices();

// Whether a device path is a serial port that is present (rules above);
// `mapped` selects the rule for explicitly mapped devices.
bool IsSerialDevicePresent(const std::string& path, bool mapped);

}  // namespace vex::io
