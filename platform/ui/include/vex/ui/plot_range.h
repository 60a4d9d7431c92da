// The arithmetic behind plots, free of any toolkit: the series a plot
// shows, the visible range, fitting it to the data, zooming around a point,
// mapping between data and pixels, and axis ticks at "nice" steps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vex/ui/types.h"

namespace vex::ui {

// One line of a plot: points (x[i], y[i]) joined in order; a point with a
// value that is not finite breaks the line.
struct PlotSeries {
  std::string name;
  std::uint32_t colour = 0x808080;  // 0xRRGGBB
  std::vector<double> x;
  std::vector<double> y;
  bool operator==(const PlotSeries&) const = default;
};

// A visible area in data units.
struct PlotRange {
  double x_low = 0;
  double x_high = 1;
  double y_low = 0;
  double y_high = 1;
  bool operator==(const PlotRange&) const = default;
};

// The extent of every finite point; y gets a margin of 5 % of its span on
// each side. An axis without data, or with a single value, is widened so
// that it still has a span.
PlotRange FitRange(const std::vector<PlotSeries>& series);

// One zoom per wheel step: positive steps zoom in, negative ones out, each
// scaling the width and height by 0.8 (or 1 / 0.8) about (x, y), which
// stays where it is. Zooming out stops at `full`: an axis that would grow
// past its span in `full` takes that span.
PlotRange ZoomRange(const PlotRange& view, const PlotRange& full, double x, double y, int steps);

// Between data units and pixels of a plot area whose top row shows
// y_high and whose left column shows x_low.
double DataX(const PlotRange& view, const Rect& area, double pixel_x);
double DataY(const PlotRange& view, const Rect& area, double pixel_y);
double PixelX(const PlotRange& view, const Rect& area, double x);
double PixelY(const PlotRange& view, const Rect& area, double y);

struct AxisTicks {
  double first = 0;  // the first tick at or above the low end
  double step = 1;
  std::vector<double> values;
};

// Ticks for a range [low, high] at 1, 2 or 5 times a power of ten, about
// `target` of them. An empty or degenerate range is widened so that it
// still gets ticks.
AxisTicks NiceTicks(double low, double high, int target);

}  // namespace vex::ui
