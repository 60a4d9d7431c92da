#include "vex/ui/plot_range.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vex::ui {
namespace {

constexpr double kZoomStep = 0.8;

// Widens [low, high] when it holds no value or a single one.
void Widen(double* low, double* high) {
  if (!(*low <= *high)) {
    *low = 0;
    *high = 1;
    return;
  }
  if (*high - *low <= std::fabs(*high) * 1e-12) {
    const double pad = *high == 0 ? 1 : std::fabs(*high) * 0.1;
    *low -= pad;
    *high += pad;
  }
}

// Scales [low, high] about `at` by `factor`; past the span of
// [full_low, full_high] it becomes that span.
void ScaleAxis(double* low, double* high, double full_low, double full_high, double at,
               double factor) {
  const double new_low = at + (*low - at) * factor;
  const double new_high = at + (*high - at) * factor;
  if (factor > 1 && new_high - new_low >= full_high - full_low) {
    *low = full_low;
    *high = full_high;
    return;
  }
  // Stop before the span is too small for doubles to tell its ends apart.
  const double scale = std::max({std::fabs(new_low), std::fabs(new_high), 1e-300});
  if (new_high - new_low <= scale * 1e-9) return;
  *low = new_low;
  *high = new_high;
}

double Span(double low, double high) {
  return high - low == 0 ? 1 : high - low;
}

}  // namespace

PlotRange FitRange(const std::vector<PlotSeries>& series) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double x_low = kInf, x_high = -kInf, y_low = kInf, y_high = -kInf;
  for (const PlotSeries& s : series) {
    const std::size_t n = std::min(s.x.size(), s.y.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (!std::isfinite(s.x[i]) || !std::isfinite(s.y[i])) continue;
      x_low = std::min(x_low, s.x[i]);
      x_high = std::max(x_high, s.x[i]);
      y_low = std::min(y_low, s.y[i]);
      y_high = std::max(y_high, s.y[i]);
    }
  }
  Widen(&x_low, &x_high);
  Widen(&y_low, &y_high);
  const double margin = (y_high - y_low) * 0.05;
  return {x_low, x_high, y_low - margin, y_high + margin};
}

PlotRange ZoomRange(const PlotRange& view, const PlotRange& full, double x, double y, int steps) {
  if (steps == 0) return view;
  const double factor = std::pow(kZoomStep, steps);
  PlotRange zoomed = view;
  ScaleAxis(&zoomed.x_low, &zoomed.x_high, full.x_low, full.x_high, x, factor);
  ScaleAxis(&zoomed.y_low, &zoomed.y_high, full.y_low, full.y_high, y, factor);
  return zoomed;
}

double DataX(const PlotRange& view, const Rect& area, double pixel_x) {
  const double width = std::max(area.width, 1);
  return view.x_low + (pixel_x - area.left) / width * (view.x_high - view.x_low);
}

double DataY(const PlotRange& view, const Rect& area, double pixel_y) {
  const double height = std::max(area.height, 1);
  return view.y_high - (pixel_y - area.top) / height * (view.y_high - view.y_low);
}

double PixelX(const PlotRange& view, const Rect& area, double x) {
  return area.left + (x - view.x_low) / Span(view.x_low, view.x_high) * area.width;
}

double PixelY(const PlotRange& view, const Rect& area, double y) {
  return area.top + (view.y_high - y) / Span(view.y_low, view.y_high) * area.height;
}

AxisTicks NiceTicks(double low, double high, int target) {
  if (!std::isfinite(low) || !std::isfinite(high)) low = 0, high = 1;
  if (high < low) std::swap(low, high);
  if (high - low <= std::fabs(high) * 1e-12 || high == low) {
    const double pad = high == 0 ? 1 : std::fabs(high) * 0.1;
    low -= pad;
    high += pad;
  }
  const double raw = (high - low) / std::max(target, 1);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (step >= raw) break;
  }
  AxisTicks ticks;
  ticks.step = step;
  ticks.first = std::ceil(low / step - 1e-9) * step;
  for (double v = ticks.first; v <= high + step * 1e-9; v += step) ticks.values.push_back(v);
  return ticks;
}

}  // namespace vex::ui
