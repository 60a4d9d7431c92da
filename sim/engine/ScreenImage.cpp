#include "engine/ScreenImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/Instrument.h"
#include "engine/WaveformSynth.h"

namespace vex::sim {

namespace {

struct Glyph {
  char c;
  std::array<uint8_t, 7> rows;  // bit 4 is the leftmost column
};

constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}},
    {'u', {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0D}},
    {'n', {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'k', {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
    {'=', {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
};

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kFont) {
    if (g.c == c) return &g;
  }
  if (c >= 'a' && c <= 'z') return FindGlyph(static_cast<char>(c - 'a' + 'A'));
  return nullptr;
}

void PutLe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, static_cast<uint16_t>(v));
  PutLe16(out, static_cast<uint16_t>(v >> 16));
}

// Palette indices of the screen.
enum Colour : uint8_t {
  kBackground = 0,
  kGrid = 1,
  kAxis = 2,
  kText = 3,
  kChannel1 = 4,  // channels 1..4 are kChannel1 + n - 1
  kMemory = 8,
  kMarker = 9,
};

constexpr uint32_t kColours[] = {
    0x000000,  // background
    0x404040,  // graticule
    0x808080,  // axes and ticks
    0xFFFFFF,  // text
    0xFFFF00,  // channel 1 yellow
    0x00FF00,  // channel 2 green
    0x4080FF,  // channel 3 blue
    0xFF40FF,  // channel 4 magenta
    0xFF8000,  // trace memories orange
    0xFF0000,  // trigger marker red
};

// Graticule: 10 divisions of 60 pixels across, 8 of 50 down.
constexpr int kLeft = 20;
constexpr int kTop = 24;
constexpr int kDivX = 60;
constexpr int kDivY = 50;
constexpr int kGridW = 10 * kDivX;
constexpr int kGridH = 8 * kDivY;

// "500mV", "1.00ms": three significant digits and an SI prefix.
std::string Engineering(double value, const char* unit) {
  static constexpr struct {
    double scale;
    const char* prefix;
  } kPrefixes[] = {{1e3, "k"}, {1.0, ""}, {1e-3, "m"}, {1e-6, "u"}, {1e-9, "n"}};
  const double mag = std::fabs(value);
  double scale = 1e-9;
  const char* prefix = "n";
  for (const auto& p : kPrefixes) {
    if (mag >= p.scale * 0.9995) {
      scale = p.scale;
      prefix = p.prefix;
      break;
    }
  }
  if (mag == 0.0) {
    scale = 1.0;
    prefix = "";
  }
  const double v = value / scale;
  const double av = std::fabs(v);
  char buf[32];
  std::snprintf(buf, sizeof buf,
                av >= 99.95   ? "%.0f%s%s"
                : av >= 9.995 ? "%.1f%s%s"
                              : "%.2f%s%s",
                v, prefix, unit);
  return buf;
}

const char* RunStateText(Instrument::RunState s) {
  switch (s) {
    case Instrument::RunState::kRunning:
      return "RUN";
    case Instrument::RunState::kStopped:
      return "STOP";
    case Instrument::RunState::kSingle:
      return "SINGLE";
  }
  return "";
}

int CodeToY(int code) {
  return kTop + code * (kGridH - 1) / 255;
}

void DrawGraticule(Canvas& c) {
  for (int i = 0; i <= 10; ++i) {
    const int x = kLeft + i * kDivX;
    for (int y = kTop; y <= kTop + kGridH; y += (i == 0 || i == 10) ? 1 : 5) c.Plot(x, y, kGrid);
  }
  for (int j = 0; j <= 8; ++j) {
    const int y = kTop + j * kDivY;
    for (int x = kLeft; x <= kLeft + kGridW; x += (j == 0 || j == 8) ? 1 : 5) c.Plot(x, y, kGrid);
  }
  // Centre axes with a tick every fifth of a division.
  const int cx = kLeft + kGridW / 2;
  const int cy = kTop + kGridH / 2;
  for (int y = kTop; y <= kTop + kGridH; ++y) c.Plot(cx, y, kAxis);
  for (int x = kLeft; x <= kLeft + kGridW; ++x) c.Plot(x, cy, kAxis);
  for (int x = kLeft; x <= kLeft + kGridW; x += kDivX / 5) c.Line(x, cy - 2, x, cy + 2, kAxis);
  for (int y = kTop; y <= kTop + kGridH; y += kDivY / 5) c.Line(cx - 2, y, cx + 2, y, kAxis);
}

void DrawCodes(Canvas& c, const std::vector<uint8_t>& codes, uint8_t colour) {
  if (codes.empty()) return;
  int px = -1;
  int py = 0;
  for (int x = 0; x < kGridW; ++x) {
    const std::size_t i = codes.size() * static_cast<std::size_t>(x) / kGridW;
    const int y = CodeToY(codes[i]);
    if (px >= 0) {
      c.Line(px, py, kLeft + x, y, colour);
    } else {
      c.Plot(kLeft + x, y, colour);
    }
    px = kLeft + x;
    py = y;
  }
}

}  // namespace

void Canvas::Plot(int x, int y, uint8_t colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y * width_ + x)] = colour;
}

void Canvas::Line(int x0, int y0, int x1, int y1, uint8_t colour) {
  // Bresenham over all octants.
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    Plot(x0, y0, colour);
    if (x0 == x1 && y0 == y1) return;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

int Canvas::Text(int x, int y, std::string_view text, uint8_t colour) {
  for (char ch : text) {
    if (const Glyph* g = FindGlyph(ch)) {
      for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
          if ((g->rows[static_cast<std::size_t>(row)] >> (4 - col)) & 1) {
            Plot(x + col, y + row, colour);
          }
        }
      }
    }
    x += 6;
  }
  return x;
}

std::vector<uint8_t> Canvas::Bmp(const uint32_t (&palette)[256]) const {
  constexpr uint32_t kHeaders = 14 + 40 + 256 * 4;
  const uint32_t stride = (static_cast<uint32_t>(width_) + 3) & ~3u;
  const uint32_t image = stride * static_cast<uint32_t>(height_);
  std::vector<uint8_t> out;
  out.reserve(kHeaders + image);
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, kHeaders + image);
  PutLe32(out, 0);  // two reserved words
  PutLe32(out, kHeaders);
  PutLe32(out, 40);
  PutLe32(out, static_cast<uint32_t>(width_));
  PutLe32(out, static_cast<uint32_t>(height_));  // positive: bottom row first
  PutLe16(out, 1);                               // planes
  PutLe16(out, 8);                               // bits per pixel
  PutLe32(out, 0);                               // no compression
  PutLe32(out, image);
  PutLe32(out, 2835);  // 72 dots per inch
  PutLe32(out, 2835);
  PutLe32(out, 256);  // colours used
  PutLe32(out, 0);
  for (uint32_t rgb : palette) {
    out.push_back(static_cast<uint8_t>(rgb));
    out.push_back(static_cast<uint8_t>(rgb >> 8));
    out.push_back(static_cast<uint8_t>(rgb >> 16));
    out.push_back(0);
  }
  for (int y = height_ - 1; y >= 0; --y) {
    const auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_;
    out.insert(out.end(), row, row + width_);
    out.insert(out.end(), stride - static_cast<uint32_t>(width_), 0);
  }
  return out;
}

std::vector<uint8_t> RenderScreen(const Instrument& inst, bool gray) {
  const Settings& s = inst.settings();
  Canvas c(kScreenWidth, kScreenHeight);
  DrawGraticule(c);

  const WaveformSynth synth(s, inst.test_pattern);
  for (const long long m : inst.shown_memories) {
    if (auto it = inst.traces().find(m); it != inst.traces().end()) {
      DrawCodes(c, it->second, kMemory);
    }
  }
  for (int n = inst.AnalogChannels(); n >= 1; --n) {  // channel 1 on top
    DrawCodes(c, synth.Codes(n, kGridW), static_cast<uint8_t>(kChannel1 + n - 1));
  }

  // Status line.
  std::string status = inst.options().model;
  status += "  ";
  status += RunStateText(inst.run_state);
  status += "  " + s.Text("ACQ:TYPE", "NORM");
  status += "  " + Engineering(s.Number("TIM:RANG", 1e-3) / 10.0, "s") + "/";
  status += "  DLY " + Engineering(s.Number("TIM:DEL", 0.0), "s");
  const std::string source = s.Text("TRIG:EDGE:SOUR", "CHAN1");
  status += "  TRIG " + s.Text("TRIG:MODE", "AUTO") + " " + source + " " +
            s.Text("TRIG:EDGE:SLOP", "POS") + " " + Engineering(s.Number("TRIG:EDGE:LEV"), "V");
  c.Text(kLeft, 8, status, kText);

  // Trigger level marker at the left edge, on the source channel's scale.
  if (source.size() == 5 && source.starts_with("CHAN")) {
    const std::string chan = source.substr(0, 5);
    const double range = s.Number(chan + ":RANG", 8.0);
    const double offset = s.Number(chan + ":OFFS", 0.0);
    const double code = 128.0 - (s.Number("TRIG:EDGE:LEV") - offset) / (range / 256.0);
    const int y = CodeToY(static_cast<int>(std::clamp(code, 0.0, 255.0)));
    for (int i = 0; i < 5; ++i)
      c.Line(kLeft - 8 + i, y - (4 - i), kLeft - 8 + i, y + (4 - i), kMarker);
  }

  // Channel settings, one column each.
  for (int n = 1; n <= inst.AnalogChannels(); ++n) {
    const std::string chan = "CHAN" + std::to_string(n);
    std::string text = std::to_string(n) + " ";
    if (s.Flag(chan + ":DISP")) {
      text += Engineering(s.Number(chan + ":RANG", 8.0) / 8.0, "V") + "/ " +
              s.Text(chan + ":PROB:EC", "DC");
      if (s.Flag(chan + ":BWL")) text += " BW";
    } else {
      text += "OFF";
    }
    c.Text(kLeft + (n - 1) * 150, kTop + kGridH + 12, text,
           static_cast<uint8_t>(kChannel1 + n - 1));
  }
  std::string memories;
  for (const long long m : inst.shown_memories) memories += "M" + std::to_string(m) + " ";
  if (!memories.empty()) c.Text(kLeft, kTop + kGridH + 28, memories, kMemory);

  uint32_t palette[256] = {};
  for (std::size_t i = 0; i < std::size(kColours); ++i) {
    uint32_t rgb = kColours[i];
    if (gray) {
      const double r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
      const auto l = static_cast<uint32_t>(std::lround(0.299 * r + 0.587 * g + 0.114 * b));
      rgb = (l << 16) | (l << 8) | l;
    }
    palette[i] = rgb;
  }
  return c.Bmp(palette);
}

}  // namespace vex::sim
