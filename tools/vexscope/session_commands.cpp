#include "session_commands.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <optional>

#include "progress.h"
#include "screen_image.h"
#include "server_registration.h"
#include "tool_errors.h"
#include "vex/com/error_info.h"
#include "vex/com/numeric_text.h"
#include "vex/com/type_library.h"
#include "vex/com/utf8_text.h"
#include "waveform_data.h"
#include "waveform_plot.h"

namespace vex::scope {
namespace {

constexpr const char* kImageFormatPrefix = "VexR7100_ImageFormat_";

com::Variant ValueOf(const CallResult& result) {
  return result.retval ? result.retval->value : com::Variant();
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// The out value at `index` of a data transfer, with a clear failure when the
// server gave fewer than it declares.
const com::Variant& OutAt(const CallResult& result, std::size_t index, const char* member) {
  if (index >= result.outs.size()) {
    throw AutomationError(com::E_UNEXPECTED,
                          std::string(member) + " has fewer out parameters than expected");
  }
  return result.outs[index].value;
}

// "CHAN2" for channel 2 (given as a number or a constant), for legends.
std::string ChannelName(ScopeSession& session, const std::string& channel) {
  const com::Variant value = ParseValue(channel, &session.Constants());
  if (value.vt() == com::VT_I4) return "CHAN" + std::to_string(value.I4());
  return channel;
}

void PrintWritten(ResultPrinter& printer,
                  const std::vector<std::pair<std::string, std::string>>& files) {
  nlohmann::ordered_json json = nlohmann::ordered_json::object();
  std::string text;
  for (const auto& [kind, path] : files) {
    json[kind] = path;
    text += path + "\n";
  }
  printer.PrintJsonOrText(json, text);
}

}  // namespace

SessionCommands::SessionCommands(CLI::App& app) {
  idn_ = app.add_subcommand("idn", "Connect and print the instrument's identity");
  idn_->footer(
      "Prints manufacturer, model, serial number, firmware version and whether the\n"
      "model is one the server supports, as name=value lines (an object with --json).\n\n"
      "Example:\n  vexscope idn\n  vexscope -a TCPIP0::192.168.1.20::5025::SOCKET --json idn");

  get_ = app.add_subcommand("get", "Read a property (or a method's value) by its path");
  get_->add_option("PATH", path_, "Member path, e.g. Timebase.HorizontalRange")->required();
  get_->footer(
      "PATH is Name('.'Name)*, each name optionally with arguments in parentheses.\n"
      "Intermediate names are objects; the last one is read.\n\n"
      "Examples:\n  vexscope get Timebase.HorizontalRange\n"
      "  vexscope get AnalogChannels.Item(2).ProbeAttenuation\n"
      "  vexscope get Trace.Enabled(3)\n  vexscope get Utilities.Options");

  set_ = app.add_subcommand("set", "Write a property by its path");
  set_->add_option("PATH", path_, "Member path, e.g. Trigger.Slope")->required();
  set_->add_option("VALUE", value_, "New value")->required();
  set_->footer(
      "VALUE is true/false, an integer, a decimal number, an enumeration constant of\n"
      "the server's type library, \"quoted text\" or any other text.\n\n"
      "Examples:\n  vexscope set Timebase.HorizontalRange 0.002\n"
      "  vexscope set Trigger.Slope VexR7100_TriggerSlope_Negative\n"
      "  vexscope set AnalogChannels.Item(1).Enabled true");

  call_ = app.add_subcommand("call", "Call a method by its path");
  call_->add_option("PATH", path_, "Member path, e.g. Measure.Frequency")->required();
  call_->add_option("ARG", args_, "Arguments (values as for set)");
  call_->footer(
      "Prints the method's value; a method with out parameters prints each of them as\n"
      "name=value (an object with --json). Out parameters are not given.\n\n"
      "Examples:\n  vexscope call Measure.Frequency 1\n"
      "  vexscope call Utilities.QueryInstrumentError\n"
      "  vexscope call Digitize\n  vexscope call Output \"*CLS\"");

  waveform_ = app.add_subcommand("waveform", "Read one channel's waveform (time, volts)");
  waveform_->add_option("CH", channel_, "Channel: 1 to 4 or VexR7100_Channel_n")->required();
  waveform_->add_option(
      "--points", points_,
      "The Points argument (a VexR7100_DataPoints_ constant or number; default 0)");
  waveform_->add_option("--csv", csv_, "Write the CSV (columns time,volts) to this file");
  waveform_->add_option("--plot", plot_, "Write a PNG plot to this file");
  waveform_->footer(
      "Reads the channel's last acquisition as it stands: it does not digitize first\n"
      "(run `call Digitize` before, or use the shell to do both on one connection).\n"
      "The number of points is the record length the instrument reports; --points is\n"
      "passed on as the Points argument. Without --csv or --plot the CSV goes to\n"
      "standard output.\n\n"
      "Examples:\n  vexscope waveform 1 --csv ch1.csv --plot ch1.png\n"
      "  vexscope waveform VexR7100_Channel_2 > ch2.csv");

  waveforms_ = app.add_subcommand("waveforms", "Read every displayed channel (GetAllWaveformData)");
  waveforms_->add_option(
      "--points", points_,
      "The Points argument (a VexR7100_DataPoints_ constant or number; default 0)");
  waveforms_->add_option("--csv", csv_, "Write the table (time and one column a channel)");
  waveforms_->add_option("--plot", plot_, "Write a PNG plot of the analog channels");
  waveforms_->footer(
      "Like waveform, it reads what the last acquisition left; without --csv or --plot\n"
      "the table goes to standard output.\n\n"
      "Example:\n  vexscope waveforms --csv all.csv --plot all.png");

  screen_ = app.add_subcommand("screen", "Save the instrument's screen to a file");
  screen_->add_option("FILE", file_, "Image file; a name ending in .png is written as PNG")
      ->required();
  screen_->add_option("--format", format_,
                      "BMP, HiResBMP, GIF, WMF, EMF, TIF, JPG, UseSuffix (default) or PNG");
  screen_->footer(
      "The server writes BMP, GIF, WMF, EMF, TIF and JPG itself (by default chosen by\n"
      "the file's suffix); PNG is made here from the server's BMP.\n\n"
      "Examples:\n  vexscope screen screen.png\n  vexscope screen shot.bmp --format BMP");
}

bool SessionCommands::Chosen() const {
  for (const CLI::App* sub : {idn_, get_, set_, call_, waveform_, waveforms_, screen_}) {
    if (sub->parsed()) return true;
  }
  return false;
}

bool SessionCommands::TouchesInstrument() const {
  if (!get_->parsed() && !set_->parsed() && !call_->parsed()) return true;
  // The control's own members; everything else is forwarded to the instrument.
  static const char* const kControlMembers[] = {"Address",
                                                "AddressInstrumentID",
                                                "AutomationServerAddress",
                                                "CheckIDOnInitialize",
                                                "CloseConnection",
                                                "ConnectionName",
                                                "CountryCode",
                                                "FontName",
                                                "FontSize",
                                                "InstrumentConnected",
                                                "IOManager",
                                                "ResetOnInitialize",
                                                "SearchCriteria",
                                                "Setups",
                                                "SupportMessageMode",
                                                "TXDelay",
                                                "DTROnly",
                                                "InitialSearchMode",
                                                "LastIOHandshakeAddress",
                                                "CenterPropertyPages",
                                                "NotifyIOConfigurationChanged"};
  std::string first = path_.substr(0, path_.find_first_of(".("));
  for (const char* member : kControlMembers) {
    if (first.size() == std::string_view(member).size() &&
        std::equal(first.begin(), first.end(), member, [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        }))
      return false;
  }
  return true;
}

void SessionCommands::Run(ScopeSession& session, ResultPrinter& printer) const {
  if (idn_->parsed()) {
    RunIdn(session, printer);
  } else if (get_->parsed()) {
    printer.Print(session.Get(path_));
  } else if (set_->parsed()) {
    session.Set(path_, value_);
  } else if (call_->parsed()) {
    printer.Print(session.Call(path_, args_));
  } else if (waveform_->parsed()) {
    RunWaveform(session, printer);
  } else if (waveforms_->parsed()) {
    RunWaveforms(session, printer);
  } else if (screen_->parsed()) {
    RunScreen(session, printer);
  }
}

std::vector<NamedValue> ReadIdentity(ScopeSession& session) {
  return {
      {"manufacturer", ValueOf(session.Get("Utilities.InstrumentManufacturer"))},
      {"model", ValueOf(session.Get("Utilities.InstrumentModel"))},
      {"serial_number", ValueOf(session.Get("Utilities.InstrumentSerialNumber"))},
      {"firmware", ValueOf(session.Get("Utilities.InstrumentFirmwareVersion"))},
      // Without arguments, VerifyDevice tells whether the model is supported.
      {"supported", ValueOf(session.Call("Utilities.VerifyDevice", {}))},
  };
}

void SessionCommands::RunIdn(ScopeSession& session, ResultPrinter& printer) const {
  std::vector<NamedValue> identity = ReadIdentity(session);
  // The texts are the instrument's bytes: on a terminal, ESC, CSI (0x9B) and
  // other controls or bytes that are not UTF-8 are shown as \xNN rather than
  // sent to it. JSON escapes controls itself.
  if (!printer.json()) {
    for (auto& value : identity) {
      if (value.value.vt() == com::VT_BSTR)
        value.value = com::Variant(com::EscapeForTerminal(value.value.BstrVal().View()));
    }
  }
  printer.PrintNamed(identity);
}

void SessionCommands::RunWaveform(ScopeSession& session, ResultPrinter& printer) const {
  Progress progress;
  progress.Step("reading the waveform of channel " + channel_);
  const CallResult result = session.Call("GetWaveformData", {channel_, points_});
  const std::string name = ChannelName(session, channel_);
  const WaveformSet set = FromChannelArrays(OutAt(result, 0, "GetWaveformData"),
                                            OutAt(result, 1, "GetWaveformData"), name);
  progress.Done();
  if (csv_.empty() && plot_.empty()) {
    if (printer.json()) {
      nlohmann::ordered_json json;
      json["time"] = set.time;
      json["volts"] = set.columns[0].values;
      printer.PrintJsonOrText(json, "");
    } else {
      WriteWaveformCsv(std::cout, set, true);
      std::cout.flush();
    }
    return;
  }
  std::vector<std::pair<std::string, std::string>> written;
  if (!csv_.empty()) {
    WriteWaveformCsvFile(csv_, set, true);
    written.emplace_back("csv", csv_);
  }
  if (!plot_.empty()) {
    progress.Step("drawing " + plot_);
    WritePlotPng(plot_, set, name + " (" + std::to_string(set.time.size()) + " points)");
    progress.Done();
    written.emplace_back("plot", plot_);
  }
  PrintWritten(printer, written);
}

void SessionCommands::RunWaveforms(ScopeSession& session, ResultPrinter& printer) const {
  Progress progress;
  progress.Step("reading every displayed channel");
  const CallResult result = session.Call("GetAllWaveformData", {points_});
  const com::Variant& table = OutAt(result, 0, "GetAllWaveformData");
  const WaveformSet set = FromTable(table);
  progress.Done();
  if (csv_.empty() && plot_.empty()) {
    if (printer.json()) {
      printer.PrintValue(table);
    } else {
      WriteWaveformCsv(std::cout, set, false);
      std::cout.flush();
    }
    return;
  }
  std::vector<std::pair<std::string, std::string>> written;
  if (!csv_.empty()) {
    WriteWaveformCsvFile(csv_, set, false);
    written.emplace_back("csv", csv_);
  }
  if (!plot_.empty()) {
    progress.Step("drawing " + plot_);
    WaveformSet analog = AnalogOnly(set);
    WritePlotPng(plot_, analog.columns.empty() ? set : analog,
                 "All channels (" + std::to_string(set.time.size()) + " points)");
    progress.Done();
    written.emplace_back("plot", plot_);
  }
  PrintWritten(printer, written);
}

namespace {

// The value of a constant named in full ("VexR7100_ImageFormat_JPG"). The
// server's type library has every image format; the scope control's, which
// a session through the control reads names with, lists only some (not
// HiResBMP or UseSuffix) and passes any value on to the server.
std::optional<std::int32_t> ImageFormatValue(ScopeSession& session, const std::string& name) {
  if (auto value = session.Constants().Find(name)) return value;
  const com::TypeLibrary* library = nullptr;
  if (FAILED(com::LoadTypeLibrary(kTypeLibraryName, &library)) || !library) {
    com::SetErrorInfo(0, nullptr);
    return std::nullopt;
  }
  return LibraryConstants(library).Find(name);
}

}  // namespace

void SaveScreen(ScopeSession& session, const std::string& file, const std::string& format) {
  Progress progress;
  progress.Step("reading the screen");
  if (com::EqualsNoCase(format, "PNG") || (format.empty() && HasPngSuffix(file))) {
    TempFile bmp(".bmp");
    session.Call("SaveScreenImage", {Quoted(bmp.path()), "VexR7100_ImageFormat_BMP"});
    progress.Step("writing " + file);
    ConvertBmpFileToPng(bmp.path(), file);
    return;
  }
  std::string word = format.empty() ? std::string(kImageFormatPrefix) + "UseSuffix" : format;
  // A name stands for its value; a short name ("JPG") for its constant.
  if (IsIdentifier(word)) {
    auto value = ImageFormatValue(session, word);
    if (!value) value = ImageFormatValue(session, kImageFormatPrefix + word);
    if (!value) {
      throw UsageError("unknown image format '" + format +
                       "'; formats: BMP, HiResBMP, GIF, WMF, EMF, TIF, JPG, UseSuffix, PNG");
    }
    word = std::to_string(*value);
  }
  session.Call("SaveScreenImage", {Quoted(file), word});
}

void SessionCommands::RunScreen(ScopeSession& session, ResultPrinter& printer) const {
  SaveScreen(session, file_, format_);
  PrintWritten(printer, {{"screen", file_}});
}

}  // namespace vex::scope
