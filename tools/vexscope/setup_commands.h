// `vexscope setup ...`: the control's setups collection from the command
// line. With a state file (`--state`) the collection is the scope control's
// own (its Setups property): the control is loaded from the file, connects
// through Initialize for get and send, and after a command that changes the
// collection its whole state is written back. Without one the collection is
// created empty through the control library's exported factory and nothing
// is kept. Either way it is used only through its published interface.
//
//   list                          one line per setup, "*" on the setup last
//                                 sent to or taken from the instrument
//   show NAME                     model, version, comments, data length
//   get NAME [--comments TEXT]    adds the setup if missing and takes its
//                                 data from the instrument (overwriting)
//   send NAME                     sends the setup to the instrument
//   save NAME FILE                writes a native setup file
//   open FILE [--replace]         loads a setup file (either format) into
//                                 the setup named after the file (a space
//                                 or "|" there, which a setup name cannot
//                                 hold, becomes "_")
//   remove NAME
//
// Only get and send connect to the instrument. Nothing ever prompts.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "scope_session.h"
#include "state_file.h"

namespace vex::scope {

class SetupCommands {
 public:
  // Adds the "setup" command and its subcommands to `app`.
  explicit SetupCommands(CLI::App& app);

  bool Parsed() const { return setup_->parsed(); }

  // Runs the parsed subcommand; `options` connect get and send, and the
  // address becomes the control's when `address_given` (-a). Errors are
  // printed to `err` as every command prints them. Returns the exit status.
  int Run(StateFile& state, const SessionOptions& options, bool address_given, bool json,
          std::ostream& out, std::ostream& err);

  // The setup name a file gives: its name without folder, cut at the first
  // "." (bench.cfg.scp gives bench), with "_" for each space and "|" ("Lab
  // 1.scp" gives Lab_1).
  static std::string NameFromFile(const std::string& path);

 private:
  CLI::App* setup_;
  CLI::App* list_;
  CLI::App* show_;
  CLI::App* get_;
  CLI::App* send_;
  CLI::App* save_;
  CLI::App* open_;
  CLI::App* remove_;
  std::string name_;
  std::string file_;
  std::string comments_;
  bool replace_ = false;
};

}  // namespace vex::scope
