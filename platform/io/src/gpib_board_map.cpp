#include "vex/io/gpib_board_map.h"

#include <strings.h>

#include <cstdlib>

#include "vex/io/address.h"
#include "vex/io/host_name.h"

namespace vex::io {
namespace {

// The board number an entry's key names ("3" or "GPIB3"), or -1.
int BoardNumber(std::string_view key) {
  if (key.size() > 4 && ::strncasecmp(key.data(), "GPIB", 4) == 0) key.remove_prefix(4);
  if (key.empty() || key.size() > 2) return -1;
  int board = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return -1;
    board = board * 10 + (c - '0');
  }
  return board <= kLastGpibBoard ? board : -1;
}

}  // namespace

GpibBoardMap GpibBoardMap::FromConfig(const ConfigText& text) {
  GpibBoardMap map;
  map.problems_ = text.problems;
  auto skip = [&](const ConfigEntry& entry, const std::string& why) {
    map.problems_.push_back({entry.origin, "GPIB board entry " +
                                               QuotedForMessage(entry.key + "=" + entry.value) +
                                               ": " + why + "; the entry is skipped"});
  };
  std::map<int, std::string> source_of;  // the file or variable of each board's entry
  for (const auto& entry : text.entries) {
    const int board = BoardNumber(entry.key);
    if (board < 0) {
      skip(entry,
           "the board is not \"n\" or \"GPIBn\" with n 0 to " + std::to_string(kLastGpibBoard));
      continue;
    }
    GpibBoard b;
    b.simulated = ::strcasecmp(entry.value.c_str(), "sim") == 0;
    if (!b.simulated) {
      auto target = ParseHostPort(entry.value, kPortMapperPort);
      if (!target) {
        skip(entry, "the gateway " + target.status().message() +
                        " (expected \"sim\", \"host\" or \"host:port\")");
        continue;
      }
      b.gateway_host = std::move(target->host);
      b.gateway_port = target->port;
    }
    // One source names a board once; the variable's entry replaces the file's.
    auto earlier = map.boards_.find(board);
    if (earlier != map.boards_.end() && source_of[board] == entry.source) {
      skip(entry,
           "board " + std::to_string(board) + " is already mapped by " + earlier->second.origin);
      continue;
    }
    b.origin = entry.origin;
    source_of[board] = entry.source;
    map.boards_[board] = std::move(b);
  }
  if (!text.configured) map.boards_[0] = GpibBoard{true, {}, kPortMapperPort, "default"};
  return map;
}

GpibBoardMap GpibBoardMap::Load() {
  return FromConfig(ConfigReader::Read(kGpibBoardConfig));
}

Result<GpibBoardMap> GpibBoardMap::Parse(std::string_view text) {
  ConfigText config;
  config.configured = true;
  ConfigReader::Split(text, "GPIB board map", false, &config);
  GpibBoardMap map = FromConfig(config);
  if (!map.problems_.empty()) return Status(Errc::kBadAddress, map.problems_.front().ToString());
  return map;
}

const GpibBoard* GpibBoardMap::Find(int board) const {
  auto found = boards_.find(board);
  return found == boards_.end() ? nullptr : &found->second;
}

}  // namespace vex::io
