#include "script_shell.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <string>

#include "session_commands.h"
#include "shell_words.h"
#include "tool_errors.h"

namespace vex::scope {

int RunScript(ScopeSession& session, std::istream& in, ResultPrinter& printer,
              std::ostream& errors) {
  int status = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (IsBlankOrComment(line)) continue;
    try {
      std::vector<std::string> words = SplitShellWords(line);
      // A fresh parser for each line, so no option of one line leaks into the next.
      CLI::App app("vexscope shell line", "");
      app.require_subcommand(1);
      SessionCommands commands(app);
      std::reverse(words.begin(), words.end());  // CLI11 takes them last first
      try {
        app.parse(words);
      } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
          std::cout << app.help() << std::flush;
          continue;
        }
        throw UsageError(e.what());
      }
      commands.Run(session, printer);
    } catch (const UsageError& e) {
      errors << "vexscope: " << e.what() << std::endl;
      status = 1;
    } catch (const AutomationError& e) {
      errors << ErrorLine(e) << std::endl;
      status = 1;
    } catch (const std::exception& e) {
      errors << "vexscope: " << e.what() << std::endl;
      status = 1;
    }
  }
  return status;
}

}  // namespace vex::scope
