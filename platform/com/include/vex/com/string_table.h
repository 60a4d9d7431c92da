// String resources of a module: texts compiled into a library and loaded by
// number, as error texts and the localised tables are.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vex::com {

class StringTable {
 public:
  StringTable() = default;
  StringTable(std::initializer_list<std::pair<const std::uint32_t, std::string_view>> entries)
      : entries_(entries) {}

  void Add(std::uint32_t id, std::string_view text) { entries_[id] = text; }
  // The text of `id`, or nothing when the module has none.
  std::optional<std::string_view> Find(std::uint32_t id) const;
  // The text cut to at most `max_bytes` bytes (at a character boundary), or
  // `fallback` when missing.
  std::string Load(std::uint32_t id, std::size_t max_bytes, std::string_view fallback) const;
  std::size_t Size() const { return entries_.size(); }

 private:
  std::map<std::uint32_t, std::string_view> entries_;
};

}  // namespace vex::com
