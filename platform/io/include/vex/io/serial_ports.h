// Which serial ports this computer has, what a device path is, and whether
// another program holds a port.
//
// Ports found without any configuration, in this order:
//   1. USB serial adapters, by their /dev/serial/by-id names sorted (the
//      names hold maker, product and serial number, so the order stays the
//      same across reboots and re-plugging; adding an adapter can shift the
//      later ones);
//   2. USB adapters that udev gave no by-id name (ttyUSBn, ttyACMn), by number;
//   3. ttySn ports with a real UART behind them (/sys/class/tty/ttySn/type
//      not 0, PORT_UNKNOWN), by number: most ttyS nodes have none.
// Every path is taken under a device root (/dev and /sys by default), so
// that tests can lay out a fake tree.
#pragma once

#include <string>
#include <vector>

namespace vex::io {

class PortMap;

struct DeviceRoot {
  std::string dev = "/dev";
  std::string sys = "/sys";
};

enum class SerialKind {
  kUsbAdapter,  // a USB serial adapter; `id` is its by-id name when it has one
  kUart,        // a ttyS port with a UART
  kPty,         // a pseudo-terminal (a simulator, a test)
  kNoUart,      // a ttyS node without hardware behind it
  kOther,       // another character device
  kMissing,     // nothing at that path
  kUnassigned,  // the COM name names no device
};

// "usb", "uart", "pty", "no-uart", "other", "missing", "none".
const char* SerialKindName(SerialKind kind);

struct SerialDevice {
  std::string path;  // what is opened: a by-id link, "/dev/ttyS0", a mapped path
  SerialKind kind = SerialKind::kMissing;
  std::string id;        // by-id name of a USB adapter ("usb-FTDI_..."), else empty
  std::string resolved;  // the device node behind the path, symbolic links followed
};

// The ports found, in the order above.
std::vector<SerialDevice> DetectSerialPorts(const DeviceRoot& root = {});

// What stands at a device path now.
SerialDevice DescribeSerialDevice(const std::string& path, const DeviceRoot& root = {});

// Whether another open file holds the advisory lock (flock) of a device, and
// which process, from /proc/locks, without opening the device: opening a real
// port would raise its DTR and RTS lines. Where /proc/locks cannot be read,
// the lock is probed by opening the device without blocking.
struct PortHolder {
  bool held = false;
  int pid = 0;  // 0 when unknown
};
PortHolder ProbePortHolder(const std::string& path);

struct SerialPortInfo {
  std::string name;     // "COM1"
  std::string device;   // "/dev/ttyS0", "/dev/pts/3"
  bool mapped = false;  // pinned by the port map, not found by detection
};

// COM names (COM1..COM4, in order) whose device is present: anything but
// missing, unassigned, or a ttyS node without a UART.
std::vector<SerialPortInfo> ListComPorts(const PortMap& map, const DeviceRoot& root = {});

}  // namespace vex::io
