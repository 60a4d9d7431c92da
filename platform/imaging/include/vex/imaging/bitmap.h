// A bitmap in memory: the image that the imaging functions load, convert and
// save.
//
// Layout. Rows are kept top-down (row 0 is the top of the picture), each
// padded to a multiple of 4 bytes (stride), with pixels laid out as in a
// Windows device-independent bitmap: 1 and 4 bits per pixel pack from the
// most significant bit, 8 bits per pixel is one palette index, 24 is blue,
// green, red and 32 is blue, green, red and an unused byte. Keeping the DIB
// row format lets the BMP, EMF and WMF writers copy rows unchanged (in reverse
// order, since a DIB is stored bottom-up). Padding bits and bytes are zero.
//
// Palette. Images of 1, 4 and 8 bits per pixel carry a palette of at most
// 2^bpp colours; it may be shorter (a BMP may list fewer colours), and an
// index beyond it reads as black. Images of 24 and 32 bits have none.
//
// A Bitmap is a value: copying copies the pixels, moving leaves the source
// empty, and the memory is released by its destructor on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vex::imaging {

struct Color {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

// The largest width or height a bitmap may have.
inline constexpr int kMaxBitmapDimension = 65535;
// The largest pixel buffer a bitmap may allocate (1 GiB).
inline constexpr std::size_t kMaxBitmapBytes = std::size_t{1} << 30;

// Bytes of one DIB row: width × bpp bits rounded up to 32 bits.
[[nodiscard]] constexpr std::size_t DibStride(int width, int bits_per_pixel) {
  return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits_per_pixel) + 31) / 32) *
         4;
}

[[nodiscard]] constexpr bool IsSupportedBitsPerPixel(int bits_per_pixel) {
  return bits_per_pixel == 1 || bits_per_pixel == 4 || bits_per_pixel == 8 ||
         bits_per_pixel == 24 || bits_per_pixel == 32;
}

class Bitmap {
 public:
  // An empty bitmap (no pixels); the functions that take a bitmap refuse it
  // with ERROR_NO_BITMAP.
  Bitmap() = default;

  // Makes a width × height bitmap of the given depth, all pixels zero (index 0
  // or black) and, for indexed depths, an empty palette. Returns SUCCESS,
  // ERROR_INV_RANGE (a size of zero or beyond the limits), ERROR_BITPERPIXEL or
  // ERROR_NO_MEMORY; *out is left unchanged on failure.
  [[nodiscard]] static int Create(int width, int height, int bits_per_pixel, Bitmap* out);

  [[nodiscard]] bool empty() const { return width_ == 0; }
  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }
  [[nodiscard]] int bits_per_pixel() const { return bits_per_pixel_; }
  [[nodiscard]] std::size_t stride() const { return stride_; }
  [[nodiscard]] bool indexed() const { return bits_per_pixel_ <= 8 && !empty(); }

  // Row y (0 = top), stride() bytes.
  [[nodiscard]] std::span<std::uint8_t> Row(int y);
  [[nodiscard]] std::span<const std::uint8_t> Row(int y) const;
  [[nodiscard]] std::span<const std::uint8_t> pixels() const { return pixels_; }

  [[nodiscard]] const std::vector<Color>& palette() const { return palette_; }
  // Sets the palette of an indexed bitmap: ERROR_INV_PARAMETER when the bitmap
  // is not indexed or the palette has more than 2^bpp colours.
  [[nodiscard]] int SetPalette(std::vector<Color> palette);

  // The palette index at (x, y) of an indexed bitmap (0 for other depths).
  [[nodiscard]] unsigned Index(int x, int y) const;
  void SetIndex(int x, int y, unsigned index);
  // The colour at (x, y), through the palette for indexed depths.
  [[nodiscard]] Color PixelColor(int x, int y) const;
  // Sets the colour of a 24 or 32-bit pixel (does nothing for other depths).
  void SetPixelColor(int x, int y, Color color);
  // The colour of a palette entry, black beyond the palette.
  [[nodiscard]] Color PaletteColor(unsigned index) const;

  friend bool operator==(const Bitmap&, const Bitmap&) = default;

 private:
  int width_ = 0;
  int height_ = 0;
  int bits_per_pixel_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> pixels_;
  std::vector<Color> palette_;
};

}  // namespace vex::imaging
