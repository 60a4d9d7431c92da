#include "vex/io/port_map.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "vex/io/address.h"

namespace vex::io {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Parses every item; good items go into *out, the first bad one is reported.
Status ParseInto(std::string_view text, PortMap* out) {
  Status first_error;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find_first_of(",\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (item.empty() || item.front() == '#') continue;
    std::size_t eq = item.find('=');
    Status st;
    if (eq == std::string_view::npos) {
      st = Status(Errc::kInvalidArgument,
                  "port map entry \"" + std::string(item) + "\" is not COMn=<device path>");
    } else {
      std::string_view name = Trim(item.substr(0, eq));
      std::string_view path = Trim(item.substr(eq + 1));
      auto parsed = ParseAddress(name);
      if (!parsed || parsed->kind != Address::Kind::kSerial || name.find("::") != name.npos) {
        st = Status(Errc::kInvalidArgument,
                    "port map entry \"" + std::string(item) + "\" does not name COM" +
                        std::to_string(kFirstComPort) + " to COM" + std::to_string(kLastComPort));
      } else if (path.empty()) {
        st = Status(Errc::kInvalidArgument,
                    "port map entry \"" + std::string(item) + "\" has an empty device path");
      } else {
        st = out->Set(parsed->board, std::string(path));
      }
    }
    if (!st.ok() && first_error.ok()) first_error = st;
  }
  return first_error;
}

std::string ConfigFilePath() {
  if (const char* f = std::getenv("VEX_COM_PORTS_FILE"); f && *f) return f;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
    return std::string(x) + "/vex/com-ports.conf";
  if (const char* h = std::getenv("HOME"); h && *h)
    return std::string(h) + "/.config/vex/com-ports.conf";
  return {};
}

}  // namespace

Result<PortMap> PortMap::Parse(std::string_view text) {
  PortMap map;
  Status st = ParseInto(text, &map);
  if (!st.ok()) return st;
  return map;
}

PortMap PortMap::FromEnvironment() {
  PortMap map;
  if (std::string file = ConfigFilePath(); !file.empty()) {
    std::ifstream in(file);
    if (in) {
      std::stringstream ss;
      ss << in.rdbuf();
      (void)ParseInto(ss.str(), &map);
    }
  }
  if (const char* env = std::getenv("VEX_COM_PORTS"); env && *env) {
    PortMap from_env;
    (void)ParseInto(env, &from_env);
    map.Merge(from_env);
  }
  return map;
}

Status PortMap::Set(int port, std::string device_path) {
  if (port < kFirstComPort || port > kLastComPort)
    return Status(Errc::kInvalidArgument, "COM" + std::to_string(port) + " is not a COM port");
  if (device_path.empty())
    return Status(Errc::kInvalidArgument,
                  "COM" + std::to_string(port) + " is mapped to an empty device path");
  entries_[port] = std::move(device_path);
  return {};
}

void PortMap::Merge(const PortMap& other) {
  for (const auto& [port, path] : other.entries_) entries_[port] = path;
}

std::string PortMap::DevicePath(int port) const {
  auto it = entries_.find(port);
  if (it != entries_.end()) return it->second;
  return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace vex::io
