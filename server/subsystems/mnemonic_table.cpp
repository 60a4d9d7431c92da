#include "mnemonic_table.h"

#include <array>

namespace vex::server {
namespace {
bool IsDelimiter(char c) {
  return c == ' ' || c == '\n' || c == '\r';
}
}  // namespace

std::optional<std::string_view> MnemonicTable::WordOf(std::int32_t value) const {
  for (const auto& e : entries_) {
    if (e.value == value) return e.word;
  }
  return std::nullopt;
}

std::optional<std::int16_t> MnemonicTable::ValueOfReply(std::string_view reply) const {
  std::size_t start = 0;
  while (start < reply.size() && IsDelimiter(reply[start])) ++start;
  std::size_t end = start;
  while (end < reply.size() && !IsDelimiter(reply[end])) ++end;
  std::string_view word = reply.substr(start, end - start);
  for (const auto& e : entries_) {
    if (e.word == word) return e.value;
  }
  return std::nullopt;
}

bool MnemonicTable::Contains(std::int32_t value) const {
  return WordOf(value).has_value();
}

const MnemonicTable& OnOffTable() {
  static const MnemonicTable table{{"OFF", 0}, {"ON", 1}, {"0", 0}, {"1", 1}};
  return table;
}

std::optional<std::string_view> ChannelName(int channel) {
  static constexpr std::array<std::string_view, 4> kNames{"CHAN1", "CHAN2", "CHAN3", "CHAN4"};
  if (channel < 1 || channel > 4) return std::nullopt;
  return kNames[channel - 1];
}

}  // namespace vex::server
