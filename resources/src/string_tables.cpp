#include "string_tables.h"

#include <charconv>

namespace vex::resources {
namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Whether `text` is well-formed UTF-8 (no stray continuation bytes, no
// truncated sequences, no overlong two-byte forms).
bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80   ? 1
                         : lead < 0xC2 ? 0
                         : lead < 0xE0 ? 2
                         : lead < 0xF0 ? 3
                         : lead < 0xF5 ? 4
                                       : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += !IsContinuation(static_cast<unsigned char>(c));
  return count;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t max_characters) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsContinuation(static_cast<unsigned char>(text[i]))) continue;
    if (characters == max_characters) return text.substr(0, i);
    ++characters;
  }
  return text;
}

StringTables::StringTables(const std::vector<LanguageTable>& tables) {
  for (const auto& table : tables) Parse(table);
}

const StringTables& StringTables::Compiled() {
  static const StringTables tables(CompiledTables());
  return tables;
}

void StringTables::Parse(const LanguageTable& table) {
  std::string_view rest = table.text;
  int line_number = 0;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    auto fail = [&](const char* why) {
      errors_.push_back(std::string(table.code) + ".txt:" + std::to_string(line_number) + ": " +
                        why);
    };
    std::int32_t base_id = 0;
    auto [id_end, ec] = std::from_chars(line.data(), line.data() + line.size(), base_id);
    std::size_t tab = static_cast<std::size_t>(id_end - line.data());
    if (ec != std::errc() || base_id < 0 || base_id >= 1000 || tab >= line.size() ||
        line[tab] != '\t') {
      fail("expected a base id from 0 to 999 and a tab");
      continue;
    }
    std::string_view quoted = line.substr(tab + 1);
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
      fail("expected the text between double quotes");
      continue;
    }
    std::string_view text = quoted.substr(1, quoted.size() - 2);
    if (!IsValidUtf8(text)) {
      fail("the text is not valid UTF-8");
      continue;
    }
    if (!texts_.emplace(table.offset + base_id, std::string(text)).second) {
      fail("the id is already in the table");
    }
  }
}

std::string StringTables::Load(std::int32_t id, std::size_t max_characters) const {
  auto found = texts_.find(id);
  if (found == texts_.end()) return {};
  return std::string(Utf8Prefix(found->second, max_characters));
}

}  // namespace vex::resources
