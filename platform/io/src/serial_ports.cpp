#include "vex/io/serial_ports.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "vex/io/address.h"

namespace vex::io {
namespace {

namespace fs = std::filesystem;

enum class SysfsVerdict { kPresent, kAbsent, kUnknown };

SysfsVerdict FromSysfs(const std::string& name) {
  std::error_code ec;
  fs::path dir = fs::path("/sys/class/tty") / name;
  if (!fs::exists(dir, ec)) return SysfsVerdict::kUnknown;
  std::ifstream type_file(dir / "type");
  int type = 0;
  if (type_file >> type)
    return type != PORT_UNKNOWN ? SysfsVerdict::kPresent : SysfsVerdict::kAbsent;
  if (fs::exists(dir / "device", ec)) return SysfsVerdict::kPresent;
  return SysfsVerdict::kAbsent;
}

bool UartByIoctl(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct ss{};
  bool present = ::ioctl(fd, TIOCGSERIAL, &ss) == 0 && ss.type != PORT_UNKNOWN;
  ::close(fd);
  return present;
}

}  // namespace

bool IsSerialDevicePresent(const std::string& path, bool mapped) {
  std::error_code ec;
  fs::path real = fs::canonical(path, ec);
  if (ec) return false;
  struct stat st {};
  if (::stat(real.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  switch (FromSysfs(real.filename().string())) {
    case SysfsVerdict::kPresent:
      return true;
    case SysfsVerdict::kAbsent:
      return false;
    case SysfsVerdict::kUnknown:
      break;
  }
  // No sysfs entry: a pty or a node sysfs does not describe.
  if (real.string().rfind("/dev/pts/", 0) == 0) return mapped;
  return UartByIoctl(real.string()) || mapped;
}

std::vector<SerialPortInfo> ListComPorts(const PortMap& map) {
  std::vector<SerialPortInfo> out;
  for (int n = kFirstComPort; n <= kLastComPort; ++n) {
    std::string dev = map.DevicePath(n);
    bool mapped = map.IsMapped(n);
    if (IsSerialDevicePresent(dev, mapped)) out.push_back({"COM" + std::to_string(n), dev, mapped});
  }
  return out;
}

std::vector<std::string> ListSerialDevices() {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/class/tty", ec)) {
    std::string name = entry.path().filename().string();
    if (FromSysfs(name) != SysfsVerdict::kPresent) continue;
    // Virtual consoles and the like have no device link; keep real ports.
    if (!fs::exists(entry.path() / "device", ec)) continue;
    std::string dev = "/dev/" + name;
    if (fs::exists(dev, ec)) out.push_back(dev);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace vex::io
