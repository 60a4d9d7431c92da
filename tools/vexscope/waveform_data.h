// Waveforms as the server returns them, turned into columns of doubles for
// CSV files and plots.
//
// GetWaveformData gives two arrays (seconds, volts) for one channel;
// GetAllWaveformData gives a two-dimensional array of variants whose first
// row names the columns ("Time", "CHAN1", ..., "Dig0", ...) and whose first
// index is the row. Cells a shorter record leaves empty read as NaN.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "vex/com/variant.h"

namespace vex::scope {

struct WaveformColumn {
  std::string name;
  std::vector<double> values;
};

struct WaveformSet {
  std::vector<double> time;
  std::vector<WaveformColumn> columns;
};

// Throws AutomationError (E_UNEXPECTED) when the arrays are not what the
// server promises (no arrays, or lengths that differ).
WaveformSet FromChannelArrays(const com::Variant& time, const com::Variant& volts,
                              const std::string& name);
WaveformSet FromTable(const com::Variant& table);

// Adds one channel's set (FromChannelArrays) as a column of `set`: the
// first channel gives the time axis; a later one shorter than it is filled
// with NaN, a longer one is cut to it.
void AddChannel(WaveformSet& set, const WaveformSet& channel);

// The analog columns only (those named CHANn); logic bits are 0/1 columns.
WaveformSet AnalogOnly(const WaveformSet& set);

// CSV with a header row: "time,<column names>" (a one-channel set as
// "time,volts"); doubles in their shortest form, NaN as an empty field.
void WriteWaveformCsv(std::ostream& out, const WaveformSet& set, bool single_channel);
// The same, written to a file; throws std::runtime_error naming the file.
void WriteWaveformCsvFile(const std::string& path, const WaveformSet& set, bool single_channel);

}  // namespace vex::scope
