#include "waveform_plot.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <stdexcept>

namespace vex::scope {
namespace {

struct Rgb {
  double r, g, b;
};

Rgb ColourOf(const std::string& name, std::size_t index) {
  // The screen's colours, darkened where needed to show on white.
  static const Rgb kChannels[] = {
      {0.80, 0.65, 0.00}, {0.00, 0.60, 0.20}, {0.10, 0.30, 0.90}, {0.80, 0.00, 0.70}};
  int channel = 0;
  if (name.rfind("CHAN", 0) == 0) channel = std::atoi(name.c_str() + 4);
  if (channel >= 1 && channel <= 4) return kChannels[channel - 1];
  static const Rgb kOthers[] = {{0.4, 0.4, 0.4}, {0.9, 0.4, 0.1}, {0.5, 0.2, 0.6}};
  return kOthers[index % 3];
}

std::string TickLabel(double value, double step) {
  if (std::fabs(value) < step * 1e-6) value = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

struct Range {
  double low = INFINITY;
  double high = -INFINITY;
  void Add(double v) {
    if (!std::isfinite(v)) return;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  bool Empty() const { return !(low <= high); }
};

}  // namespace

std::uint32_t ColumnColour(const std::string& name, std::size_t index) {
  const Rgb rgb = ColourOf(name, index);
  const auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(v * 255)); };
  return byte(rgb.r) << 16 | byte(rgb.g) << 8 | byte(rgb.b);
}

void WritePlotPng(const std::string& path, const WaveformSet& set, const std::string& title,
                  int width, int height) {
  Range t, v;
  for (double x : set.time) t.Add(x);
  for (const auto& c : set.columns)
    for (double y : c.values) v.Add(y);
  if (set.columns.empty() || t.Empty() || v.Empty()) {
    throw std::runtime_error("no waveform data to plot into " + path);
  }
  if (v.high == v.low) v.low -= 0.5, v.high += 0.5;
  if (t.high == t.low) t.high = t.low + 1;
  // Some room above and below the traces.
  const double margin = (v.high - v.low) * 0.05;
  v.low -= margin;
  v.high += margin;

  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), cairo_surface_destroy);
  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> owner(cairo_create(surface.get()),
                                                           cairo_destroy);
  cairo_t* cr = owner.get();
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

  const double left = 90, right = width - 30.0, top = 50, bottom = height - 70.0;
  auto x_of = [&](double time) {
    return left + (time - t.low) / (t.high - t.low) * (right - left);
  };
  auto y_of = [&](double volts) {
    return bottom - (volts - v.low) / (v.high - v.low) * (bottom - top);
  };

  // Grid, ticks and numbers.
  cairo_set_font_size(cr, 12);
  cairo_text_extents_t extents;
  const AxisTicks xt = NiceTicks(t.low, t.high, 10);
  const AxisTicks yt = NiceTicks(v.low, v.high, 8);
  cairo_set_line_width(cr, 1);
  for (double x : xt.values) {
    const double px = std::round(x_of(x)) + 0.5;
    if (px < left - 0.5 || px > right + 0.5) continue;
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_move_to(cr, px, top);
    cairo_line_to(cr, px, bottom);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, px, bottom);
    cairo_line_to(cr, px, bottom + 5);
    cairo_stroke(cr);
    const std::string label = TickLabel(x, xt.step);
    cairo_text_extents(cr, label.c_str(), &extents);
    cairo_move_to(cr, px - extents.width / 2 - extents.x_bearing, bottom + 20);
    cairo_show_text(cr, label.c_str());
  }
  for (double y : yt.values) {
    const double py = std::round(y_of(y)) + 0.5;
    if (py < top - 0.5 || py > bottom + 0.5) continue;
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_move_to(cr, left, py);
    cairo_line_to(cr, right, py);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, left - 5, py);
    cairo_line_to(cr, left, py);
    cairo_stroke(cr);
    const std::string label = TickLabel(y, yt.step);
    cairo_text_extents(cr, label.c_str(), &extents);
    cairo_move_to(cr, left - 9 - extents.width - extents.x_bearing,
                  py - extents.height / 2 - extents.y_bearing);
    cairo_show_text(cr, label.c_str());
  }
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_rectangle(cr, left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
  cairo_stroke(cr);

  // Axis labels and title.
  cairo_set_font_size(cr, 14);
  cairo_text_extents(cr, "time (s)", &extents);
  cairo_move_to(cr, (left + right) / 2 - extents.width / 2, height - 22.0);
  cairo_show_text(cr, "time (s)");
  cairo_text_extents(cr, "volts (V)", &extents);
  cairo_save(cr);
  cairo_move_to(cr, 28, (top + bottom) / 2 + extents.width / 2);
  cairo_rotate(cr, -std::numbers::pi / 2);
  cairo_show_text(cr, "volts (V)");
  cairo_restore(cr);
  cairo_set_font_size(cr, 16);
  cairo_text_extents(cr, title.c_str(), &extents);
  cairo_move_to(cr, (left + right) / 2 - extents.width / 2, 30);
  cairo_show_text(cr, title.c_str());

  // The traces, clipped to the frame; a NaN breaks the line.
  cairo_save(cr);
  cairo_rectangle(cr, left, top, right - left, bottom - top);
  cairo_clip(cr);
  cairo_set_line_width(cr, 1.5);
  for (std::size_t c = 0; c < set.columns.size(); ++c) {
    const auto& values = set.columns[c].values;
    const Rgb colour = ColourOf(set.columns[c].name, c);
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
    bool pen_down = false;
    for (std::size_t i = 0; i < values.size() && i < set.time.size(); ++i) {
      if (!std::isfinite(values[i]) || !std::isfinite(set.time[i])) {
        pen_down = false;
        continue;
      }
      if (pen_down)
        cairo_line_to(cr, x_of(set.time[i]), y_of(values[i]));
      else
        cairo_move_to(cr, x_of(set.time[i]), y_of(values[i]));
      pen_down = true;
    }
    cairo_stroke(cr);
  }
  cairo_restore(cr);

  // Legend in the top right corner of the frame.
  cairo_set_font_size(cr, 12);
  double ly = top + 18;
  for (std::size_t c = 0; c < set.columns.size(); ++c) {
    const Rgb colour = ColourOf(set.columns[c].name, c);
    const std::string& name = set.columns[c].name;
    cairo_text_extents(cr, name.c_str(), &extents);
    const double lx = right - 12 - extents.x_advance;
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
    cairo_set_line_width(cr, 3);
    cairo_move_to(cr, lx - 28, ly - 4);
    cairo_line_to(cr, lx - 6, ly - 4);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, lx, ly);
    cairo_show_text(cr, name.c_str());
    ly += 18;
  }

  cairo_surface_flush(surface.get());
  const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot write " + path + ": " + cairo_status_to_string(status));
  }
}

}  // namespace vex::scope
