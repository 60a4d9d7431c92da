#include "shell_words.h"

#include <cctype>

#include "tool_errors.h"

namespace vex::scope {

std::vector<std::string> SplitShellWords(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  enum class Quote { kNone, kSingle, kDouble } quote = Quote::kNone;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    switch (quote) {
      case Quote::kSingle:
        if (c == '\'')
          quote = Quote::kNone;
        else
          word += c;
        continue;
      case Quote::kDouble:
        if (c == '"') {
          quote = Quote::kNone;
        } else if (c == '\\' && i + 1 < line.size() &&
                   (line[i + 1] == '"' || line[i + 1] == '\\')) {
          word += line[++i];
        } else {
          word += c;
        }
        continue;
      case Quote::kNone:
        break;
    }
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\'') {
      quote = Quote::kSingle;
    } else if (c == '"') {
      quote = Quote::kDouble;
    } else if (c == '\\') {
      if (i + 1 == line.size()) throw UsageError("line ends with a backslash");
      word += line[++i];
    } else {
      word += c;
    }
  }
  if (quote != Quote::kNone) throw UsageError("unterminated quote in: " + std::string(line));
  if (in_word) words.push_back(std::move(word));
  return words;
}

bool IsBlankOrComment(std::string_view line) {
  for (char c : line) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    return c == '#';
  }
  return true;
}

}  // namespace vex::scope
