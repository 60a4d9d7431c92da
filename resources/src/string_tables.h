// The string tables of every language, parsed from the UTF-8 table files
// compiled into the library.
//
// A table file holds one text a line: the base id, a tab, then the text
// between double quotes, which runs from the first to the last double quote
// of the line (so a text may hold quotes and keeps its leading, trailing and
// double spaces). Blank lines and lines starting with '#' are comments. A
// language's texts are stored under offset + base id.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vex::resources {

struct LanguageTable {
  const char* code;       // "en", "fr", ... (the table file's name)
  std::int32_t offset;    // added to every base id of the file
  std::string_view text;  // the file's contents
};

// The table files compiled into the library, English first.
const std::vector<LanguageTable>& CompiledTables();

class StringTables {
 public:
  // Parses `tables`; a malformed line is skipped and described in errors().
  explicit StringTables(const std::vector<LanguageTable>& tables);

  // The tables compiled into the library, parsed once.
  static const StringTables& Compiled();

  // The text of `id` cut to at most `max_characters` UTF-8 characters (never
  // inside one), or an empty string when no table holds `id`.
  std::string Load(std::int32_t id, std::size_t max_characters) const;
  bool Contains(std::int32_t id) const { return texts_.count(id) != 0; }

  const std::map<std::int32_t, std::string>& texts() const { return texts_; }
  const std::vector<std::string>& errors() const { return errors_; }

 private:
  void Parse(const LanguageTable& table);

  std::map<std::int32_t, std::string> texts_;
  std::vector<std::string> errors_;
};

// The number of UTF-8 characters of `text` (bytes that do not continue one).
std::size_t Utf8Length(std::string_view text);
// The first `max_characters` characters of `text`.
std::string_view Utf8Prefix(std::string_view text, std::size_t max_characters);

}  // namespace vex::resources
