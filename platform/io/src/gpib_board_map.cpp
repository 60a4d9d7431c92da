#include "vex/io/gpib_board_map.h"

#include <strings.h>

#include <cstdlib>

#include "vex/io/address.h"

namespace vex::io {

GpibBoardMap GpibBoardMap::FromConfig(const ConfigText& text) {
  GpibBoardMap map;
  map.problems_ = text.problems;
  for (const auto& entry : text.entries) {
    std::string number = entry.key;
    if (number.size() > 4 && ::strncasecmp(number.c_str(), "GPIB", 4) == 0) number.erase(0, 4);
    char* end = nullptr;
    long board = std::strtol(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || board < 0 || board > kLastGpibBoard) {
      map.problems_.push_back({entry.origin, "GPIB board entry \"" + entry.key + "=" + entry.value +
                                                 "\" is not \"n=sim\" or \"n=host\" with n 0 to " +
                                                 std::to_string(kLastGpibBoard) +
                                                 "; the entry is skipped"});
      continue;
    }
    GpibBoard b;
    b.simulated = ::strcasecmp(entry.value.c_str(), "sim") == 0;
    if (!b.simulated) b.gateway_host = entry.value;
    b.origin = entry.origin;
    map.boards_[static_cast<int>(board)] = std::move(b);
  }
  if (!text.configured) map.boards_[0] = GpibBoard{true, {}, "default"};
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
