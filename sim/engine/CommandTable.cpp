#include "engine/CommandTable.h"

namespace vex::sim {

void CommandTable::Add(std::span<const CommandRow> rows) {
  for (const CommandRow& r : rows) {
    // A common header keeps its '*' out of the pattern; Find tells the two apart.
    const std::string_view text = r.header.starts_with('*') ? r.header.substr(1) : r.header;
    entries_.push_back({&r, HeaderPattern(text)});
  }
}

std::optional<CommandTable::Found> CommandTable::Find(const ProgramUnit& unit,
                                                      const std::vector<std::string>& nodes) const {
  for (const Entry& e : entries_) {
    if (e.row->header.starts_with('*') != unit.common) continue;
    if (auto suffix = e.pattern.Match(nodes)) return Found{e.row, &e.pattern, *suffix};
  }
  return std::nullopt;
}

}  // namespace vex::sim
