#include "vex/io/serial_ports.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "vex/io/address.h"
#include "vex/io/port_map.h"

namespace vex::io {
namespace {

namespace fs = std::filesystem;

std::string Canonical(const std::string& path) {
  std::error_code ec;
  auto real = fs::canonical(path, ec);
  return ec ? std::string() : real.string();
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The number after `prefix` in names like "ttyS12"; -1 when the name is not
// the prefix followed by digits.
long NumberAfter(std::string_view name, std::string_view prefix) {
  if (!StartsWith(name, prefix) || name.size() == prefix.size()) return -1;
  long n = 0;
  for (char c : name.substr(prefix.size())) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

bool IsUsbTtyName(std::string_view name) {
  return NumberAfter(name, "ttyUSB") >= 0 || NumberAfter(name, "ttyACM") >= 0;
}

// The UART type the kernel reports for a ttyS port: from sysfs, or where
// sysfs does not say, from TIOCGSERIAL. -1 when neither tells.
int UartType(const DeviceRoot& root, const std::string& name, const std::string& node) {
  std::ifstream type_file(root.sys + "/class/tty/" + name + "/type");
  int type = 0;
  if (type_file >> type) return type;
  int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  serial_struct ss{};
  int result = ::ioctl(fd, TIOCGSERIAL, &ss) == 0 ? ss.type : -1;
  ::close(fd);
  return result;
}

// by-id names and the device each resolves to, sorted by name.
std::vector<std::pair<std::string, std::string>> ByIdLinks(const DeviceRoot& root) {
  std::vector<std::pair<std::string, std::string>> links;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root.dev + "/serial/by-id", ec)) {
    std::string resolved = Canonical(entry.path().string());
    if (!resolved.empty()) links.emplace_back(entry.path().filename().string(), resolved);
  }
  std::sort(links.begin(), links.end());
  return links;
}

// Names under /sys/class/tty that start with one of the prefixes and end in
// digits, sorted by prefix order, then number.
std::vector<std::string> TtyNames(const DeviceRoot& root,
                                  std::initializer_list<std::string_view> prefixes) {
  std::vector<std::pair<std::pair<std::size_t, long>, std::string>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root.sys + "/class/tty", ec)) {
    std::string name = entry.path().filename().string();
    std::size_t rank = 0;
    for (std::string_view prefix : prefixes) {
      if (long n = NumberAfter(name, prefix); n >= 0) found.push_back({{rank, n}, name});
      ++rank;
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(std::move(f.second));
  return names;
}

}  // namespace

const char* SerialKindName(SerialKind kind) {
  switch (kind) {
    case SerialKind::kUsbAdapter:
      return "usb";
    case SerialKind::kUart:
      return "uart";
    case SerialKind::kPty:
      return "pty";
    case SerialKind::kNoUart:
      return "no-uart";
    case SerialKind::kOther:
      return "other";
    case SerialKind::kMissing:
      return "missing";
    case SerialKind::kUnassigned:
      return "none";
  }
  return "?";
}

std::vector<SerialDevice> DetectSerialPorts(const DeviceRoot& root) {
  std::vector<SerialDevice> out;
  std::set<std::string> seen;
  for (const auto& [id, resolved] : ByIdLinks(root)) {
    if (!seen.insert(resolved).second) continue;  // one adapter, several names
    out.push_back({root.dev + "/serial/by-id/" + id, SerialKind::kUsbAdapter, id, resolved});
  }
  for (const auto& name : TtyNames(root, {"ttyUSB", "ttyACM"})) {
    std::string resolved = Canonical(root.dev + "/" + name);
    if (resolved.empty() || !seen.insert(resolved).second) continue;
    out.push_back({root.dev + "/" + name, SerialKind::kUsbAdapter, {}, resolved});
  }
  for (const auto& name : TtyNames(root, {"ttyS"})) {
    std::string node = root.dev + "/" + name;
    std::string resolved = Canonical(node);
    if (resolved.empty() || seen.count(resolved)) continue;
    int type = UartType(root, name, node);
    if (type <= PORT_UNKNOWN) continue;
    seen.insert(resolved);
    out.push_back({node, SerialKind::kUart, {}, resolved});
  }
  return out;
}

SerialDevice DescribeSerialDevice(const std::string& path, const DeviceRoot& root) {
  SerialDevice d;
  d.path = path;
  d.resolved = Canonical(path);
  if (d.resolved.empty()) {
    d.kind = SerialKind::kMissing;
    return d;
  }
  const std::string name = fs::path(d.resolved).filename().string();
  const std::string dev = Canonical(root.dev);
  if (!dev.empty() && StartsWith(d.resolved, dev + "/pts/")) {
    d.kind = SerialKind::kPty;
    return d;
  }
  for (const auto& [id, resolved] : ByIdLinks(root)) {
    if (resolved == d.resolved) {
      d.kind = SerialKind::kUsbAdapter;
      d.id = id;
      return d;
    }
  }
  if (IsUsbTtyName(name)) {
    d.kind = SerialKind::kUsbAdapter;
  } else if (NumberAfter(name, "ttyS") >= 0) {
    d.kind =
        UartType(root, name, d.resolved) > PORT_UNKNOWN ? SerialKind::kUart : SerialKind::kNoUart;
  } else {
    d.kind = SerialKind::kOther;
  }
  return d;
}

PortHolder ProbePortHolder(const std::string& path) {
  PortHolder holder;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return holder;
  std::ifstream locks("/proc/locks");
  if (locks) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:3 0 EOF"; waiters carry "->".
    std::string line;
    while (std::getline(locks, line)) {
      std::istringstream fields(line);
      std::string number, kind, mode, access, pid, node;
      if (!(fields >> number >> kind) || kind == "->") continue;
      if (!(fields >> mode >> access >> pid >> node)) continue;
      unsigned maj = 0, min = 0;
      unsigned long ino = 0;
      if (std::sscanf(node.c_str(), "%x:%x:%lu", &maj, &min, &ino) != 3) continue;
      if (maj == major(st.st_dev) && min == minor(st.st_dev) && ino == st.st_ino) {
        holder.held = true;
        holder.pid = std::atoi(pid.c_str());
        return holder;
      }
    }
    return holder;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    holder.held = errno == EBUSY;
    return holder;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    holder.held = errno == EWOULDBLOCK;
  else
    ::flock(fd, LOCK_UN);
  ::close(fd);
  return holder;
}

std::vector<SerialPortInfo> ListComPorts(const PortMap& map, const DeviceRoot& root) {
  std::vector<SerialPortInfo> out;
  for (const auto& [port, entry] : map.entries()) {
    SerialDevice d = DescribeSerialDevice(entry.device, root);
    bool present = d.kind != SerialKind::kMissing && d.kind != SerialKind::kNoUart &&
                   (entry.pinned || d.kind != SerialKind::kOther);
    if (present) out.push_back({"COM" + std::to_string(port), entry.device, entry.pinned});
  }
  return out;
}

}  // namespace vex::io
