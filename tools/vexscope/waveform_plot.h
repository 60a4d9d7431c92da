// A PNG plot of waveforms drawn with cairo: one line per column over time,
// a frame with a grid, ticks and numbers at "nice" steps (1, 2 or 5 times a
// power of ten) on both axes, the axis labels "time (s)" and "volts (V)",
// a title and a legend. Channels keep the colours the instrument's screen
// gives them (1 yellow, 2 green, 3 blue, 4 magenta; others grey).
#pragma once

#include <string>
#include <vector>

#include "waveform_data.h"

namespace vex::scope {

struct AxisTicks {
  double first = 0;  // the first tick at or above the low end
  double step = 1;
  std::vector<double> values;
};

// Ticks for a range [low, high], about `target` of them. An empty or
// degenerate range is widened so that it still gets ticks.
AxisTicks NiceTicks(double low, double high, int target);

// Writes the plot; throws std::runtime_error when there is nothing to plot
// or the file cannot be written.
void WritePlotPng(const std::string& path, const WaveformSet& set, const std::string& title,
                  int width = 1000, int height = 600);

}  // namespace vex::scope
