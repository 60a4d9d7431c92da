#include "vex/ui/file_dialog.h"

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
  std::string line = filter.description + " (";
  for (std::size_t i = 0; i < filter.patterns.size(); ++i) {
    if (i) line += ' ';
    line += filter.patterns[i];
  }
  return line + ")";
}

}  // namespace vex::ui
