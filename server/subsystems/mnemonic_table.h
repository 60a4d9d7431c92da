// Mnemonic tables: SCPI words and the enumeration values they stand for.
// Several words may carry one value (the first is the one sent, the others
// are recognised in replies); -1 marks a word an instrument may report that
// has no enumeration value.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

namespace vex::server {

struct Mnemonic {
  std::string_view word;
  std::int16_t value;
};

class MnemonicTable {
 public:
  constexpr MnemonicTable(std::initializer_list<Mnemonic> entries) : entries_(entries) {}

  // The first word carrying `value`; nothing when the value is unknown.
  std::optional<std::string_view> WordOf(std::int32_t value) const;
  // The reply's first word (leading blanks, line feeds and carriage returns
  // skipped; cut at the next one), compared exactly with each word in order.
  std::optional<std::int16_t> ValueOfReply(std::string_view reply) const;
  bool Contains(std::int32_t value) const;
  std::size_t Size() const { return entries_.size(); }

 private:
  std::vector<Mnemonic> entries_;
};

// Shared tables.
const MnemonicTable& OnOffTable();
// "CHAN1" to "CHAN4" for channels 1 to 4; nothing for another number.
std::optional<std::string_view> ChannelName(int channel);

}  // namespace vex::server
