// A PNG plot of waveforms drawn with cairo: one line per column over time,
// a frame with a grid, ticks and numbers at "nice" steps (1, 2 or 5 times a
// power of ten) on both axes, the axis labels "time (s)" and "volts (V)",
// a title and a legend. Channels keep the colours the instrument's screen
// gives them (1 yellow, 2 green, 3 blue, 4 magenta; others grey).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vex/ui/plot_range.h"
#include "waveform_data.h"

namespace vex::scope {

// Ticks at "nice" steps (1, 2 or 5 times a power of ten), shared with the
// UI layer's plots.
using ui::AxisTicks;
using ui::NiceTicks;

// The colour of a column as 0xRRGGBB: the instrument screen's colour of
// channel n for "CHANn" (darkened to show on white), else one of a few
// greys and tints by the column's index.
std::uint32_t ColumnColour(const std::string& name, std::size_t index);

// Writes the plot; throws std::runtime_error when there is nothing to plot
// or the file cannot be written.
void WritePlotPng(const std::string& path, const WaveformSet& set, const std::string& title,
                  int width = 1000, int height = 600);

}  // namespace vex::scope
