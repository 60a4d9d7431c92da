#include "vex/com/string_table.h"

namespace vex::com {

std::optional<std::string_view> StringTable::Find(std::uint32_t id) const {
  auto found = entries_.find(id);
  if (found == entries_.end()) return std::nullopt;
  return found->second;
}

std::string StringTable::Load(std::uint32_t id, std::size_t max_bytes,
                              std::string_view fallback) const {
  auto text = Find(id);
  std::string_view chosen = text ? *text : fallback;
  if (chosen.size() > max_bytes) {
    std::size_t cut = max_bytes;
    // Do not split a UTF-8 sequence: back up over continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(chosen[cut]) & 0xC0) == 0x80) --cut;
    chosen = chosen.substr(0, cut);
  }
  return std::string(chosen);
}

}  // namespace vex::com
