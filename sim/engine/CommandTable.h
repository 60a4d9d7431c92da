// The rows the instrument knows, and header lookup over them.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "engine/CommandRow.h"
#include "engine/HeaderPattern.h"

namespace vex::sim {

class CommandTable {
 public:
  struct Found {
    const CommandRow* row = nullptr;
    const HeaderPattern* pattern = nullptr;
    int suffix = 1;
  };

  // Rows are kept by reference; they live in static tables.
  void Add(std::span<const CommandRow> rows);

  // The row a parsed header names; common headers ("*IDN") by their name.
  std::optional<Found> Find(const ProgramUnit& unit, const std::vector<std::string>& nodes) const;

  struct Entry {
    const CommandRow* row;
    HeaderPattern pattern;
  };
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

}  // namespace vex::sim
