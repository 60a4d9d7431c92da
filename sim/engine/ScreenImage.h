// The instrument's screen as a Windows bitmap, drawn from its own state.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vex::sim {

class Instrument;

// An 8-bit indexed raster with the few drawing operations the screen needs.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), pixels_(width * height, 0) {}

  int width() const { return width_; }
  int height() const { return height_; }
  uint8_t At(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }

  // Points outside the canvas are left out.
  void Plot(int x, int y, uint8_t colour);
  // A straight line from (x0, y0) to (x1, y1), both ends included.
  void Line(int x0, int y0, int x1, int y1, uint8_t colour);
  // Text in the 5x7 font, 6 pixels per character, (x, y) its top left.
  // Letters other than m, u, n, k and s are drawn in upper case; characters
  // without a glyph are drawn as blanks. Returns the x after the text.
  int Text(int x, int y, std::string_view text, uint8_t colour);

  // The canvas as a BMP file: 8 bits per pixel, a 256-entry palette given
  // as 0x00RRGGBB, rows bottom up.
  std::vector<uint8_t> Bmp(const uint32_t (&palette)[256]) const;

 private:
  int width_;
  int height_;
  std::vector<uint8_t> pixels_;
};

// Screen layout of the simulated instrument.
inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 480;

// Renders the screen: the status line (run state, acquisition type, time per
// division, delay, trigger), the 10 x 8 division graticule, each displayed
// channel's trace from the same synthetic waveform the data commands
// return, the shown trace memories, a trigger level marker, and each
// channel's volts per division and coupling. `gray` gives a grey palette.
std::vector<uint8_t> RenderScreen(const Instrument& instrument, bool gray);

}  // namespace vex::sim
