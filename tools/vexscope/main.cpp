// vexscope: drives the oscilloscope automation server from the shell, by
// member name only (late binding), so every member of the object model is
// reachable without a line of C++.
#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "control_state.h"
#include "demo.h"
#include "io_commands.h"
#include "pages_command.h"
#include "panel_command.h"
#include "port_listing.h"
#include "result_printer.h"
#include "scope_session.h"
#include "address_check.h"
#include "script_shell.h"
#include "server_registration.h"
#include "session_commands.h"
#include "setup_commands.h"
#include "sim_launcher.h"
#include "state_file.h"
#include "tool_errors.h"

namespace {

using namespace vex::scope;

constexpr const char* kUsage =
    "usage: vexscope [-a ADDRESS] [--timeout MS] [--detect-errors] [--no-range-checking] [--json]\n"
    "                COMMAND ...\n"
    "       vexscope --object PROGID [--json] get|set|call|shell ...\n"
    "commands: idn get set call waveform waveforms screen shell sim demo ports test search\n"
    "          setup list|show|get|send|save|open|remove  pages [--page setups|search|setio]\n"
    "          panel\n"
    "(vexscope --help, vexscope COMMAND --help)\n";

constexpr const char* kFooter =
    R"(Addresses are VISA-style: GPIB0::7::INSTR, COM1, TCPIP0::host::INSTR,
TCPIP0::host::5025::SOCKET. The default is $VEXSCOPE_ADDRESS, else
GPIB0::7::INSTR, which with no GPIB board map is the simulated instrument on
the embedded bus.

Every command but sim and ports connects (Connect ADDRESS), applies --timeout
(Utilities.Timeout), --detect-errors (Utilities.DetectDeviceErrors true) and
--no-range-checking (Utilities.RangeChecking false), runs, and closes.

Registration: the server is created as "VexR7100X.VexR7100EZ" from the class
registry ($VEXCOM_REGISTRY, else ~/.config/vexcom/registry.json). When that
ProgID does not resolve, or its registered library file no longer exists,
the libraries beside this program (../lib/libVex9100TB.so, libVexIOUtils.so,
libVexSimBus.so) are registered into that registry first.

--object PROGID drives any registered automation class by member name
instead of the server's top-level object: get, set, call and shell work on
that object, nothing connects to an instrument. For example the resource
library's texts: vexscope --object VexR7100ResLib.VexR7100Resources call
LoadResString 4606

Output: values as text (arrays as CSV lines), or JSON with --json.
Exit status: 0 success; 1 the server refused ("error 0xXXXXXXXX: description"
on standard error); 2 a usage error.

Examples:
  vexscope idn
  vexscope set Trigger.Slope VexR7100_TriggerSlope_Negative
  vexscope get AnalogChannels.Item(2).ProbeAttenuation
  vexscope call Measure.Frequency 1
  printf 'call Digitize\nwaveform 1 --csv ch1.csv\n' | vexscope shell
  vexscope demo --out /tmp/scope)";

int UsageFailure(const std::string& message) {
  std::cerr << "vexscope: " << message << '\n' << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::ios::sync_with_stdio(true);

  SessionOptions options;
  const char* env_address = std::getenv("VEXSCOPE_ADDRESS");
  options.address = env_address && *env_address ? env_address : "GPIB0::7::INSTR";
  bool json = false;
  std::int32_t timeout_ms = 0;
  SimOptions sim_options;
  std::string out_dir = "vexscope-demo";

  CLI::App app("vexscope: oscilloscope automation from the command line, by member name",
               "vexscope");
  app.fallthrough();
  // At most one command; none is reported after parsing, so that a word that
  // names no command is reported as such.
  app.require_subcommand(0, 1);
  app.footer(kFooter);
  CLI::Option* address_option =
      app.add_option("-a,--address", options.address, "Instrument address")->capture_default_str();
  std::string state_path;
  app.add_option("--state", state_path,
                 "Saved state: a property-bag file read before and written after a command");
  CLI::Option* timeout = app.add_option("--timeout", timeout_ms, "I/O timeout in milliseconds");
  app.add_flag("--detect-errors", options.detect_errors,
               "Check the instrument's error queue after each operation");
  app.add_flag("--no-range-checking", options.no_range_checking,
               "Send values without checking them against the model's ranges");
  app.add_flag("--json", json, "Print results as JSON");
  std::string object_prog_id;
  CLI::Option* object = app.add_option(
      "--object", object_prog_id,
      "Drive this registered class (ProgID) instead of the server; get, set, call, shell only");

  SessionCommands commands(app);

  CLI::App* shell =
      app.add_subcommand("shell", "Run commands from standard input on one connection");
  shell->footer(
      "One command a line, in the forms above without the global options; blank lines\n"
      "and lines starting with # are skipped, double quotes group words. Each result\n"
      "is printed as it comes; a failing line prints its error and the script goes on.\n"
      "Exit status 1 when any line failed.\n\n"
      "Example:\n"
      "  printf 'set Utilities.DetectDeviceErrors true\\ncall Output \":BOGUS\"\\n' | vexscope "
      "shell");

  CLI::App* sim = app.add_subcommand("sim", "Run the instrument simulator in the foreground");
  sim->add_option("--model", sim_options.model, "Model to simulate (default VDS3014A)");
  sim->add_option("--tcp", sim_options.tcp, "Serve raw TCP on HOST:PORT");
  sim->add_flag("--pty", sim_options.pty, "Serve a pty as a serial port");
  sim->add_option("--fault", sim_options.fault, "Fault every connection starts with");
  sim->footer(
      "Runs the vexsim program beside vexscope; it prints its endpoints and \"ready\".\n"
      "Connect with -a TCPIP0::HOST::PORT::SOCKET.\n\n"
      "Example:\n  vexscope sim --model VDS3004A --tcp 127.0.0.1:5025");

  CLI::App* demo = app.add_subcommand("demo", "Identify, autoscale, digitize, save data and plots");
  demo->add_option("--out", out_dir, "Folder for the files")->capture_default_str();
  demo->footer(
      "On the instrument at the address (by default the embedded simulator):\n"
      "identify it, autoscale, digitize, write every channel to waveforms.csv and\n"
      "waveforms.png, the screen to screen.png and a table of measurements to\n"
      "measurements.csv, print the table and the paths written.\n\n"
      "Example:\n  vexscope demo --out /tmp/scope-demo");

  CLI::App* ports =
      app.add_subcommand("ports", "List the COM port map and the GPIB board map; opens nothing");
  ports->footer(
      "One line a COM name (COM1 to COM4) and a GPIB board: the device the I/O\n"
      "component opens for it, what stands there (USB adapter with its by-id name,\n"
      "UART, pty, missing, no port), whether another program holds its lock, and\n"
      "whether the port map pins it (with file and line) or it was found. Entries\n"
      "of the maps that are malformed are listed as skipped. --json prints one object.\n\n"
      "Example:\n  VEX_COM_PORTS=COM2=/dev/pts/3 vexscope ports --json");

  std::string test_address;
  CLI::App* test = app.add_subcommand(
      "test", "Identify the instrument at ADDRESS by *IDN? as the control's Test button does");
  test->add_option("ADDRESS", test_address, "Address to test (default: the -a address)");
  test->footer(
      "The address goes through the I/O configuration of --state (so COM1::Baud=19200\n"
      "is probed at 19200); the probe waits the state's TXDelay (else 50 ms). Prints the\n"
      "code (0 found, 3 not IEEE 488.2, 4 no answer, 5 no such port), the verdict box's\n"
      "title and text. Exit status 0 when an instrument answered. Opens no server.\n\n"
      "Example:\n  vexscope --state scope.json test COM1::Baud=19200");
  CLI::App* search = app.add_subcommand(
      "search", "Find the instruments on the installed COM ports and GPIB interfaces");
  search->footer(
      "Probes the ports of the --state configuration (found first when none is installed),\n"
      "different ports at the same time. One row per instrument: model, X when supported,\n"
      "address, manufacturer; * marks the row of the active address. COM ports on which\n"
      "nothing answered are listed after the rows. Progress goes to standard error.\n\n"
      "Example:\n  VEX_SIM_BUS=7=VDS3004A,9=VDS3002A vexscope --state scope.json search");

  std::string pages_page;
  CLI::App* pages = app.add_subcommand("pages", "Show the scope control's property pages");
  pages->add_option("--page", pages_page, "setups, search (the two search pages) or setio");
  pages->footer(
      "Shows the control's property frame with the --state file's state: all four pages\n"
      "(Search Instruments, Search Criteria, Set I/O, Setups), or from the Setups or Set\n"
      "I/O page, or the two search pages only. The state is saved after OK or Apply.\n"
      "Without --state the file is ${XDG_CONFIG_HOME:-~/.config}/vexscope/control.json.\n\n"
      "Example:\n  vexscope pages --page search");

  CLI::App* panel = app.add_subcommand("panel", "Show the desktop panel hosting the scope control");
  panel->footer(
      "A window on the instrument of the --state file's control: status line, Run, Stop,\n"
      "Single, AutoScale, Digitize, a plot of the enabled channels (optionally refreshed\n"
      "every N seconds), their measurements, the setups (Get, Send, Open, Save As), Save\n"
      "as CSV, Screen, the property pages and About. The state is saved after the pages\n"
      "apply and on exit; without --state the file is\n"
      "${XDG_CONFIG_HOME:-~/.config}/vexscope/control.json. -a sets the control's address.\n\n"
      "Example:\n  vexscope -a TCPIP0::192.168.1.20::5025::SOCKET panel");

  SetupCommands setup_commands(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    return UsageFailure(e.what());
  }

  if (app.get_subcommands().empty()) return UsageFailure("a command is required");
  // The saved state: -a wins, else the file's address, else the environment.
  StateFile state;
  std::optional<int> pages_value;
  if (pages->parsed()) {
    pages_value = PagesValue(pages_page);
    if (!pages_value) return UsageFailure("--page takes setups, search or setio");
    if (state_path.empty()) state_path = DefaultControlStatePath();
  }
  if (panel->parsed() && state_path.empty()) state_path = DefaultControlStatePath();
  try {
    // The interactive commands do not keep others waiting while the user
    // works; every other command holds the file from reading to saving.
    const bool interactive = pages->parsed() || panel->parsed() || shell->parsed() || sim->parsed();
    state = StateFile::Open(state_path, !interactive, &std::cerr);
  } catch (const AutomationError& e) {
    std::cerr << ErrorLine(e) << std::endl;
    return 1;
  }
  options.address = state.Address(
      address_option->count() > 0 ? std::optional<std::string>(options.address) : std::nullopt);
  if (sim->parsed()) {
    // Only returns when the simulator could not be started.
    const std::string failure = ExecSimulator(ProgramFolder() + "/vexsim", sim_options);
    std::cerr << "vexscope: " << failure << '\n';
    return 1;
  }
  if (pages->parsed()) return RunPagesCommand(state, *pages_value, std::cerr);
  if (panel->parsed())
    return RunPanelCommand(
        state, address_option->count() > 0 ? std::optional(options.address) : std::nullopt,
        std::cerr);
  if (ports->parsed()) {
    PrintPortListing(ListPorts(), std::cout, json);
    return 0;
  }
  if (test->parsed() || search->parsed()) {
    IoCommandOptions io_options;
    io_options.json = json;
    io_options.address_given = address_option->count() > 0 || !test_address.empty();
    io_options.address = test_address.empty() ? options.address : test_address;
    return test->parsed() ? RunTestCommand(state, io_options, std::cout, std::cerr)
                          : RunSearchCommand(state, io_options, std::cout, std::cerr);
  }
  if (timeout->count() > 0) options.timeout_ms = timeout_ms;
  if (object->count() > 0) {
    const std::string command = app.get_subcommands().front()->get_name();
    if (command != "get" && command != "set" && command != "call" && command != "shell") {
      return UsageFailure("--object works with get, set, call and shell, not " + command);
    }
  }

  if (setup_commands.Parsed()) {
    return setup_commands.Run(state, options, address_option->count() > 0, json, std::cout,
                              std::cerr);
  }

  ResultPrinter printer(std::cout, json);
  try {
    ScopeSession session;
    // With a state file the scope control is the top-level object: it
    // keeps the whole state and connects only for instrument commands.
    const bool through_control = state.HasFile() && object->count() == 0;
    if (object->count() > 0) {
      session.OpenObject(object_prog_id);
    } else if (through_control) {
      const bool set_address = address_option->count() > 0 || (!state.Value(kStateAddressKey) &&
                                                               options.address != kDefaultAddress);
      session.OpenControl(options, state.IsSaved() ? state.Bag() : nullptr, set_address,
                          shell->parsed() || demo->parsed() || commands.TouchesInstrument(),
                          state.Warnings());
    } else {
      // A bad address fails here with the grammar's message, as test and
      // search do, before the server is created.
      CheckAddress(options.address);
      session.Open(options);
    }
    int status = 0;
    if (shell->parsed()) {
      status = RunScript(session, std::cin, printer, std::cerr);
    } else if (demo->parsed()) {
      RunDemo(session, printer, out_dir);
    } else {
      commands.Run(session, printer);
    }
    session.Close();
    if (through_control && status == 0) SaveControlState(state, session.Root());
    return status;
  } catch (const UsageError& e) {
    return UsageFailure(e.what());
  } catch (const AutomationError& e) {
    std::cerr << ErrorLine(e) << std::endl;
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "vexscope: " << e.what() << std::endl;
    return 1;
  }
}
