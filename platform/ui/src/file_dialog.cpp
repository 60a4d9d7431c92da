#include "vex/ui/file_dialog.h"

#include <algorithm>
#include <cctype>

namespace vex::ui {

std::vector<FileFilter> ParseFileFilter(std::string_view text) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    const auto nul = text.find('\0');
    parts.push_back(text.substr(0, nul));
    if (nul == std::string_view::npos) break;
    text.remove_prefix(nul + 1);
  }
  std::vector<FileFilter> filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty() && parts[i + 1].empty()) break;  // the closing double NUL
    FileFilter filter{std::string(parts[i]), {}};
    std::string_view patterns = parts[i + 1];
    while (!patterns.empty()) {
      const auto semi = patterns.find(';');
      std::string_view one = patterns.substr(0, semi);
      while (!one.empty() && one.front() == ' ') one.remove_prefix(1);
      while (!one.empty() && one.back() == ' ') one.remove_suffix(1);
      if (!one.empty()) filter.patterns.emplace_back(one);
      if (semi == std::string_view::npos) break;
      patterns.remove_prefix(semi + 1);
    }
    if (!filter.patterns.empty()) filters.push_back(std::move(filter));
  }
  return filters;
}

std::string ToolkitFilterLine(const FileFilter& filter) {
  std::string patterns;
  for (std::size_t i = 0; i < filter.patterns.size(); ++i) {
    if (i) patterns += ' ';
    patterns += filter.patterns[i];
  }
  // A description that ends in its own list of the patterns ("All Scope
  // Files (*.scp; *.stp)") gets the toolkit's list in its place, so that the
  // patterns show once.
  std::string description = filter.description;
  if (!description.empty() && description.back() == ')') {
    const auto open = description.rfind('(');
    if (open != std::string::npos) {
      const auto listed = ParseFileFilter(
          std::string("x\0", 2) + description.substr(open + 1, description.size() - open - 2));
      if (!listed.empty() && listed.front().patterns == filter.patterns) {
        description.erase(open);
        while (!description.empty() && description.back() == ' ') description.pop_back();
      }
    }
  }
  return description + " (" + patterns + ")";
}

std::string FilterExtension(const FileFilter& filter) {
  for (const std::string& pattern : filter.patterns) {
    if (pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0 &&
        pattern.find_first_of("*?[", 2) == std::string::npos)
      return pattern.substr(2);
  }
  return {};
}

namespace {

bool Lower(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// Whether the file name's suffix is the one a "*.ext" pattern names; a
// pattern that matches every name ("*", "*.*") takes any.
bool SuffixMatches(std::string_view suffix, std::string_view pattern) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (pattern.size() < 2 || pattern.compare(0, 2, "*.") != 0) return false;
  const std::string_view wanted = pattern.substr(2);
  return suffix.size() == wanted.size() &&
         std::equal(suffix.begin(), suffix.end(), wanted.begin(), Lower);
}

}  // namespace

std::optional<std::string> PathForFilter(std::string path, const FileFilter& filter) {
  const auto slash = path.rfind('/');
  const std::string_view name =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) {
    const std::string extension = FilterExtension(filter);
    if (!extension.empty()) path += "." + extension;
    return path;
  }
  const std::string_view suffix = name.substr(dot + 1);
  for (const std::string& pattern : filter.patterns)
    if (SuffixMatches(suffix, pattern)) return path;
  return std::nullopt;
}

}  // namespace vex::ui
