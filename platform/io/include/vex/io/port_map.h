// Which device stands behind each COM port name.
//
// The port map (read by ConfigReader as VEX_COM_PORTS / com-ports.conf, one
// "COMn=<device path>" an entry) pins COM names to devices. A malformed
// entry - one that names no COM1 to COM4, or a port the same file (or the
// variable) already maps - is reported with its file and line (or the
// variable and the entry number) and skipped; an entry of the variable
// replaces the file's entry for the same port. COM names that the
// map leaves free take the serial ports found on this computer
// (DetectSerialPorts: USB adapters in /dev/serial/by-id order, then UARTs)
// that the map does not already name, in order. So with no map, a plugged-in
// USB adapter is COM1; adding a second adapter may shift the COM numbers of
// the found ports, which a map pins.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "vex/io/config_reader.h"
#include "vex/io/serial_ports.h"
#include "vex/io/status.h"

namespace vex::io {

class PortMap {
 public:
  struct Entry {
    std::string device;
    bool pinned = false;  // named by the port map, not found by detection
    std::string origin;   // where the port map named it ("file:3"), when pinned
  };

  PortMap() = default;

  // The map of this process as configured now, with the free COM names
  // filled from the ports found under `root`.
  static PortMap Load(const DeviceRoot& root = {});
  // The same from configuration text already read (no detection).
  static PortMap FromConfig(const ConfigText& text);
  // Pinned entries from "COMn=path" items separated by commas or new lines;
  // the first malformed entry fails the whole parse.
  static Result<PortMap> Parse(std::string_view text);

  // Pins COMn (n = kFirstComPort..kLastComPort) to a device path.
  Status Set(int port, std::string device_path, std::string origin = {});
  // Gives each free COM name the next found port that no entry names.
  void FillFree(const std::vector<SerialDevice>& found);

  // The device for COMn; empty when the name stands for nothing.
  std::string DevicePath(int port) const;
  bool IsMapped(int port) const;
  const std::map<int, Entry>& entries() const { return entries_; }
  // Malformed entries that were skipped.
  const std::vector<ConfigProblem>& problems() const { return problems_; }

 private:
  std::map<int, Entry> entries_;
  std::vector<ConfigProblem> problems_;
};

}  // namespace vex::io
