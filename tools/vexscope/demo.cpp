#include "demo.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "progress.h"
#include "session_commands.h"
#include "tool_errors.h"
#include "waveform_data.h"
#include "waveform_plot.h"

namespace vex::scope {
namespace {

struct Measurement {
  std::string name;
  std::vector<std::string> cells;  // one a channel; "n/a" where the server refused
  std::vector<nlohmann::ordered_json> values;
};

std::string Pad(const std::string& text, std::size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

}  // namespace

const std::vector<std::string>& MeasurementNames() {
  static const std::vector<std::string> kNames = {
      "Frequency",      "Period",     "PeakToPeakVolts",    "RMSVoltage",
      "AverageVoltage", "MaxVoltage", "MinVoltage",         "DutyCycle",
      "RiseTime",       "FallTime",   "PositivePulseWidth", "NegativePulseWidth",
  };
  return kNames;
}

void RunDemo(ScopeSession& session, ResultPrinter& printer, const std::string& out_dir) {
  std::error_code error;
  std::filesystem::create_directories(out_dir, error);
  if (error) throw std::runtime_error("cannot make the folder " + out_dir + ": " + error.message());
  const std::string csv_path = out_dir + "/waveforms.csv";
  const std::string plot_path = out_dir + "/waveforms.png";
  const std::string screen_path = out_dir + "/screen.png";
  const std::string table_path = out_dir + "/measurements.csv";

  nlohmann::ordered_json report;
  std::ostringstream text;

  const std::vector<NamedValue> identity = ReadIdentity(session);
  for (const auto& v : identity) {
    report["identity"][v.name] = ToJson(v.value);
    text << v.name << '=' << ScalarText(v.value) << '\n';
  }
  // The identity shows at once; the rest follows when the files are written.
  if (!printer.json()) {
    printer.PrintJsonOrText({}, text.str());
    text.str("");
  }

  Progress progress;
  progress.Step("autoscaling");
  session.Call("AutoScale", {});
  progress.Step("digitizing");
  session.Call("Digitize", {});

  progress.Step("reading every displayed channel");
  const CallResult all = session.Call("GetAllWaveformData", {"VexR7100_DataPoints_ALL"});
  if (all.outs.empty()) throw AutomationError(com::E_UNEXPECTED, "GetAllWaveformData gave no data");
  const WaveformSet set = FromTable(all.outs[0].value);
  WriteWaveformCsvFile(csv_path, set, false);
  progress.Step("drawing the plot");
  const WaveformSet analog = AnalogOnly(set);
  WritePlotPng(plot_path, analog.columns.empty() ? set : analog,
               ScalarText(identity[1].value) + ": all channels after autoscale");

  SaveScreen(session, screen_path, "");

  // Measurements: one row a measurement, one column a displayed channel.
  std::vector<std::string> channels;
  for (const auto& c : analog.columns) channels.push_back(c.name);
  std::vector<Measurement> rows;
  for (const std::string& name : MeasurementNames()) {
    progress.Step("measuring " + name);
    Measurement row{name, {}, {}};
    for (const auto& channel : channels) {
      const std::string number = channel.substr(4);
      try {
        const CallResult r = session.Call("Measure." + name, {number});
        const com::Variant value = r.retval ? r.retval->value : com::Variant();
        row.cells.push_back(ScalarText(value));
        row.values.push_back(ToJson(value));
      } catch (const AutomationError&) {
        row.cells.push_back("n/a");
        row.values.push_back(nullptr);
      }
    }
    rows.push_back(std::move(row));
  }
  progress.Done();

  std::ofstream table(table_path, std::ios::trunc);
  if (!table) throw std::runtime_error("cannot create " + table_path + ": " + std::strerror(errno));
  table << "measurement";
  for (const auto& c : channels) table << ',' << c;
  table << '\n';
  for (const auto& row : rows) {
    table << row.name;
    for (const auto& cell : row.cells) table << ',' << cell;
    table << '\n';
  }
  table.close();
  if (!table) throw std::runtime_error("cannot write " + table_path);

  std::size_t width = 20;
  for (const auto& row : rows) width = std::max(width, row.name.size() + 2);
  text << '\n' << Pad("measurement", width);
  for (const auto& c : channels) text << Pad(c, 16);
  text << '\n';
  for (const auto& row : rows) {
    text << Pad(row.name, width);
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      text << Pad(row.cells[i], 16);
      report["measurements"][channels[i]][row.name] = row.values[i];
    }
    text << '\n';
  }
  text << '\n';
  for (const auto& path : {csv_path, plot_path, screen_path, table_path}) {
    text << "wrote " << path << '\n';
    report["files"].push_back(path);
  }
  printer.PrintJsonOrText(report, text.str());
}

}  // namespace vex::scope
