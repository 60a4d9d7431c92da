#include "vex/io/config_reader.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "vex/io/host_name.h"

namespace vex::io {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The text before a comment: '#' at the start or after a blank.
std::string_view StripComment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1]))))
      return line.substr(0, i);
  }
  return line;
}

}  // namespace

std::string ConfigReader::FilePath(const ConfigSpec& spec) {
  const std::string file_variable = std::string(spec.variable) + "_FILE";
  if (const char* f = std::getenv(file_variable.c_str()); f && *f) return f;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
    return std::string(x) + "/vex/" + spec.file_name;
  if (const char* h = std::getenv("HOME"); h && *h)
    return std::string(h) + "/.config/vex/" + spec.file_name;
  return {};
}

void ConfigReader::Split(std::string_view text, const std::string& origin, bool by_line,
                         ConfigText* out) {
  std::size_t line_no = 0, entry_no = 0, pos = 0;
  while (pos <= text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = StripComment(text.substr(pos, eol - pos));
    pos = eol + 1;
    ++line_no;
    std::size_t item_pos = 0;
    while (item_pos <= line.size()) {
      std::size_t comma = line.find(',', item_pos);
      if (comma == std::string_view::npos) comma = line.size();
      std::string_view item = Trim(line.substr(item_pos, comma - item_pos));
      item_pos = comma + 1;
      if (item.empty()) continue;
      ++entry_no;
      std::string where = by_line ? origin + ":" + std::to_string(line_no)
                                  : origin + " entry " + std::to_string(entry_no);
      std::size_t eq = item.find('=');
      std::string_view key = eq == item.npos ? item : Trim(item.substr(0, eq));
      std::string_view value = eq == item.npos ? std::string_view() : Trim(item.substr(eq + 1));
      if (eq == item.npos || key.empty() || value.empty()) {
        out->problems.push_back(
            {where, QuotedForMessage(item) + " is not key=value; the entry is skipped"});
        continue;
      }
      out->entries.push_back({std::string(key), std::string(value), std::move(where), origin});
    }
  }
}

ConfigText ConfigReader::Read(const ConfigSpec& spec) {
  ConfigText out;
  out.file = FilePath(spec);
  if (!out.file.empty()) {
    std::ifstream in(out.file);
    if (in) {
      out.configured = true;
      std::stringstream text;
      text << in.rdbuf();
      Split(text.str(), out.file, true, &out);
    }
  }
  if (const char* env = std::getenv(spec.variable)) {
    out.configured = true;
    Split(env, spec.variable, false, &out);
  }
  return out;
}

void ConfigReader::ReportOnce(const std::vector<ConfigProblem>& problems) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  std::lock_guard lock(mutex);
  for (const auto& p : problems) {
    std::string text = p.ToString();
    if (reported.insert(text).second) std::fprintf(stderr, "vexio: %s\n", text.c_str());
  }
}

}  // namespace vex::io
