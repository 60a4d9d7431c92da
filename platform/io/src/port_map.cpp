#include "vex/io/port_map.h"

#include <filesystem>
#include <set>

#include "vex/io/address.h"
#include "vex/io/host_name.h"

namespace vex::io {
namespace {

// The COM number an entry's key names, or 0.
int ComNumber(std::string_view key) {
  auto parsed = ParseAddress(key);
  if (!parsed || parsed->kind != Address::Kind::kSerial || key.find("::") != key.npos) return 0;
  return parsed->board;
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  auto real = std::filesystem::canonical(path, ec);
  return ec ? path : real.string();
}

}  // namespace

PortMap PortMap::FromConfig(const ConfigText& text) {
  PortMap map;
  map.problems_ = text.problems;
  std::map<int, std::string> source_of;  // the file or variable of each port's entry
  for (const auto& entry : text.entries) {
    int port = ComNumber(entry.key);
    if (port == 0) {
      map.problems_.push_back({entry.origin, QuotedForMessage(entry.key) + " does not name COM" +
                                                 std::to_string(kFirstComPort) + " to COM" +
                                                 std::to_string(kLastComPort) +
                                                 "; the entry is skipped"});
      continue;
    }
    // One source names a port once; the variable's entry replaces the file's.
    auto earlier = map.entries_.find(port);
    if (earlier != map.entries_.end() && source_of[port] == entry.source) {
      map.problems_.push_back({entry.origin, "COM" + std::to_string(port) +
                                                 " is already mapped by " + earlier->second.origin +
                                                 "; the entry is skipped"});
      continue;
    }
    source_of[port] = entry.source;
    (void)map.Set(port, entry.value, entry.origin);
  }
  return map;
}

PortMap PortMap::Load(const DeviceRoot& root) {
  PortMap map = FromConfig(ConfigReader::Read(kPortMapConfig));
  map.FillFree(DetectSerialPorts(root));
  return map;
}

Result<PortMap> PortMap::Parse(std::string_view text) {
  ConfigText config;
  ConfigReader::Split(text, "port map", false, &config);
  PortMap map = FromConfig(config);
  if (!map.problems_.empty())
    return Status(Errc::kInvalidArgument, "port map entry: " + map.problems_.front().ToString());
  return map;
}

Status PortMap::Set(int port, std::string device_path, std::string origin) {
  if (port < kFirstComPort || port > kLastComPort)
    return Status(Errc::kInvalidArgument, "COM" + std::to_string(port) + " is not a COM port");
  if (device_path.empty())
    return Status(Errc::kInvalidArgument,
                  "COM" + std::to_string(port) + " is mapped to an empty device path");
  entries_[port] = Entry{std::move(device_path), true, std::move(origin)};
  return {};
}

void PortMap::FillFree(const std::vector<SerialDevice>& found) {
  std::set<std::string> taken;
  for (const auto& [port, entry] : entries_) taken.insert(Canonical(entry.device));
  auto next = found.begin();
  for (int port = kFirstComPort; port <= kLastComPort; ++port) {
    if (entries_.count(port)) continue;
    while (next != found.end() &&
           taken.count(next->resolved.empty() ? Canonical(next->path) : next->resolved))
      ++next;
    if (next == found.end()) return;
    entries_[port] = Entry{next->path, false, {}};
    ++next;
  }
}

std::string PortMap::DevicePath(int port) const {
  auto it = entries_.find(port);
  return it == entries_.end() ? std::string() : it->second.device;
}

bool PortMap::IsMapped(int port) const {
  auto it = entries_.find(port);
  return it != entries_.end() && it->second.pinned;
}

}  // namespace vex::io
