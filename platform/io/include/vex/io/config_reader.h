// The one reader of the I/O component's configuration maps (the COM port
// map and the GPIB board map), with one set of rules for both.
//
// A map named NAME with file FILE (for example VEX_COM_PORTS and
// com-ports.conf) is read from
//   1. the file named by NAME_FILE (VEX_COM_PORTS_FILE), or else
//      $XDG_CONFIG_HOME/vex/FILE, or ~/.config/vex/FILE when XDG_CONFIG_HOME
//      is unset or empty;
//   2. the environment variable NAME, whose entries replace the file's
//      entries of the same key, so that a test or a single run can change
//      one entry without editing the user's configuration.
// Entries are "key=value", separated by new lines or commas; blanks around
// keys, values and entries are ignored, and a '#' at the start of an entry
// or after a blank begins a comment that runs to the end of the line. An
// entry that is malformed is reported as a problem that names the file and
// line (or the variable and the entry's position) and what is wrong, and is
// skipped; the other entries still count. The maps add their own checks of
// keys and values on the same terms, among them that one file (or the
// variable) names each key only once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vex::io {

// Where an entry came from, for messages: "/home/u/.config/vex/x.conf:3" or
// "VEX_COM_PORTS entry 2".
struct ConfigEntry {
  std::string key;
  std::string value;
  std::string origin;
  std::string source;  // the file or the variable the entry is in
};

struct ConfigProblem {
  std::string origin;
  std::string message;
  std::string ToString() const { return origin + ": " + message; }
};

struct ConfigText {
  std::vector<ConfigEntry> entries;  // file entries first, then the variable's
  std::vector<ConfigProblem> problems;
  // The variable is set (even to nothing) or the file exists.
  bool configured = false;
  std::string file;  // the file that was looked for; empty when none can be named
};

struct ConfigSpec {
  const char* variable;   // "VEX_COM_PORTS"
  const char* file_name;  // "com-ports.conf"
};

class ConfigReader {
 public:
  // Reads the file and the environment as they are now.
  static ConfigText Read(const ConfigSpec& spec);
  // The file that Read looks at.
  static std::string FilePath(const ConfigSpec& spec);
  // Splits text into entries; `origin_of(n)` names the n-th line (1-based)
  // or entry, depending on `by_line`.
  static void Split(std::string_view text, const std::string& origin, bool by_line,
                    ConfigText* out);
  // Reports each problem on standard error once per process (the same text
  // is not repeated when the maps are read again).
  static void ReportOnce(const std::vector<ConfigProblem>& problems);
};

inline constexpr ConfigSpec kPortMapConfig{"VEX_COM_PORTS", "com-ports.conf"};
inline constexpr ConfigSpec kGpibBoardConfig{"VEX_GPIB_BOARDS", "gpib-boards.conf"};

}  // namespace vex::io
