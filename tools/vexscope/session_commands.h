// The commands that act on one connection: idn, get, set, call, waveform,
// waveforms and screen. The same definitions serve the program's own
// command line and each line of a shell script, so both accept exactly the
// same words.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "result_printer.h"
#include "scope_session.h"

namespace vex::scope {

class SessionCommands {
 public:
  // Adds the commands to `app` as subcommands; the object must outlive the
  // parse (the options write into it).
  explicit SessionCommands(CLI::App& app);
  SessionCommands(const SessionCommands&) = delete;
  SessionCommands& operator=(const SessionCommands&) = delete;

  // Whether the last parse chose one of these commands.
  bool Chosen() const;
  // Whether the chosen command reaches the instrument (not only the scope
  // control's own properties, which need no connection).
  bool TouchesInstrument() const;
  // Runs the chosen command. Throws UsageError, AutomationError, or
  // std::runtime_error for a file that cannot be written.
  void Run(ScopeSession& session, ResultPrinter& printer) const;

 private:
  void RunIdn(ScopeSession& session, ResultPrinter& printer) const;
  void RunWaveform(ScopeSession& session, ResultPrinter& printer) const;
  void RunWaveforms(ScopeSession& session, ResultPrinter& printer) const;
  void RunScreen(ScopeSession& session, ResultPrinter& printer) const;

  CLI::App* idn_ = nullptr;
  CLI::App* get_ = nullptr;
  CLI::App* set_ = nullptr;
  CLI::App* call_ = nullptr;
  CLI::App* waveform_ = nullptr;
  CLI::App* waveforms_ = nullptr;
  CLI::App* screen_ = nullptr;

  std::string path_;
  std::string value_;
  std::vector<std::string> args_;
  std::string channel_;
  std::string points_ = "0";
  std::string csv_;
  std::string plot_;
  std::string file_;
  std::string format_;
};

// The identity of the connected instrument, as `idn` prints it.
std::vector<NamedValue> ReadIdentity(ScopeSession& session);

// Saves the screen to `file`: a name ending in .png (or format "PNG") goes
// through a temporary BMP and the imaging layer; other names go to the
// server with the format given (a constant's short name such as JPG, a
// full constant name or a number), by default the file's suffix.
void SaveScreen(ScopeSession& session, const std::string& file, const std::string& format);

}  // namespace vex::scope
