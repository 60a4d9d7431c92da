#include "waveform_data.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "tool_errors.h"
#include "vex/com/numeric_text.h"
#include "vex/com/safearray.h"

namespace vex::scope {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double NumberOf(const com::Variant& cell) {
  double value = 0;
  if (cell.IsEmpty() || FAILED(cell.ToR8(&value))) return kNaN;
  return value;
}

std::vector<double> NumbersOf(const com::Variant& in, const char* what) {
  const com::Variant value = in.Dereferenced();
  const com::SafeArray* array = value.Array();
  if (!array || array->Dims() != 1) {
    throw AutomationError(com::E_UNEXPECTED, std::string("the server returned no array of ") +
                                                 what + " (" + com::VarTypeName(value.vt()) + ")");
  }
  std::vector<double> numbers;
  numbers.reserve(array->ElementCount());
  if (auto doubles = array->Span<const double>(); !doubles.empty()) {
    numbers.assign(doubles.begin(), doubles.end());
  } else {
    for (std::size_t i = 0; i < array->ElementCount(); ++i)
      numbers.push_back(NumberOf(array->At(i)));
  }
  return numbers;
}

std::string Number(double value) {
  return std::isnan(value) ? std::string() : com::FormatDouble(value);
}

}  // namespace

WaveformSet FromChannelArrays(const com::Variant& time, const com::Variant& volts,
                              const std::string& name) {
  WaveformSet set;
  set.time = NumbersOf(time, "times");
  set.columns.push_back({name, NumbersOf(volts, "volts")});
  if (set.columns[0].values.size() != set.time.size()) {
    throw AutomationError(com::E_UNEXPECTED,
                          "the server returned " + std::to_string(set.time.size()) + " times but " +
                              std::to_string(set.columns[0].values.size()) + " volts");
  }
  return set;
}

void AddChannel(WaveformSet& set, const WaveformSet& channel) {
  if (set.columns.empty()) set.time = channel.time;
  for (const WaveformColumn& column : channel.columns) {
    WaveformColumn added{column.name, column.values};
    added.values.resize(set.time.size(), std::numeric_limits<double>::quiet_NaN());
    set.columns.push_back(std::move(added));
  }
}

WaveformSet FromTable(const com::Variant& in) {
  const com::Variant value = in.Dereferenced();
  const com::SafeArray* table = value.Array();
  if (!table || table->Dims() != 2 || table->Elements(1) == 0 || table->Elements(2) == 0) {
    throw AutomationError(com::E_UNEXPECTED, "the server returned no waveform table (" +
                                                 com::VarTypeName(value.vt()) + ")");
  }
  const std::uint32_t rows = table->Elements(1);
  const std::uint32_t columns = table->Elements(2);
  auto cell = [&](std::uint32_t r, std::uint32_t c) {
    return table->At(static_cast<std::size_t>(c) * rows + r);
  };
  WaveformSet set;
  for (std::uint32_t r = 1; r < rows; ++r) set.time.push_back(NumberOf(cell(r, 0)));
  for (std::uint32_t c = 1; c < columns; ++c) {
    WaveformColumn column;
    com::Bstr name;
    column.name = SUCCEEDED(cell(0, c).ToBstr(&name)) ? name.Str() : "column" + std::to_string(c);
    for (std::uint32_t r = 1; r < rows; ++r) column.values.push_back(NumberOf(cell(r, c)));
    set.columns.push_back(std::move(column));
  }
  return set;
}

WaveformSet AnalogOnly(const WaveformSet& set) {
  WaveformSet analog;
  analog.time = set.time;
  for (const auto& c : set.columns) {
    if (c.name.rfind("CHAN", 0) == 0) analog.columns.push_back(c);
  }
  return analog;
}

void WriteWaveformCsv(std::ostream& out, const WaveformSet& set, bool single_channel) {
  out << "time";
  if (single_channel) {
    out << ",volts";
  } else {
    for (const auto& c : set.columns) out << ',' << c.name;
  }
  out << '\n';
  for (std::size_t i = 0; i < set.time.size(); ++i) {
    out << Number(set.time[i]);
    for (const auto& c : set.columns)
      out << ',' << (i < c.values.size() ? Number(c.values[i]) : "");
    out << '\n';
  }
}

void WriteWaveformCsvFile(const std::string& path, const WaveformSet& set, bool single_channel) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
  WriteWaveformCsv(file, set, single_channel);
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace vex::scope
