#include "vex/imaging/bitmap.h"

#include <new>
#include <utility>

#include "vex/imaging/status.h"

namespace vex::imaging {

int Bitmap::Create(int width, int height, int bits_per_pixel, Bitmap* out) {
  if (out == nullptr) return ERROR_INV_PARAMETER;
  if (!IsSupportedBitsPerPixel(bits_per_pixel)) return ERROR_BITPERPIXEL;
  if (width <= 0 || height <= 0 || width > kMaxBitmapDimension || height > kMaxBitmapDimension) {
    return ERROR_INV_RANGE;
  }
  const std::size_t stride = DibStride(width, bits_per_pixel);
  const std::size_t bytes = stride * static_cast<std::size_t>(height);
  if (bytes > kMaxBitmapBytes) return ERROR_NO_MEMORY;
  Bitmap bitmap;
  try {
    bitmap.pixels_.assign(bytes, 0);
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
  bitmap.width_ = width;
  bitmap.height_ = height;
  bitmap.bits_per_pixel_ = bits_per_pixel;
  bitmap.stride_ = stride;
  *out = std::move(bitmap);
  return SUCCESS;
}

std::span<std::uint8_t> Bitmap::Row(int y) {
  return std::span<std::uint8_t>(pixels_).subspan(static_cast<std::size_t>(y) * stride_, stride_);
}

std::span<const std::uint8_t> Bitmap::Row(int y) const {
  return std::span<const std::uint8_t>(pixels_).subspan(static_cast<std::size_t>(y) * stride_,
                                                        stride_);
}

int Bitmap::SetPalette(std::vector<Color> palette) {
  if (!indexed() || palette.size() > (std::size_t{1} << bits_per_pixel_)) {
    return ERROR_INV_PARAMETER;
  }
  palette_ = std::move(palette);
  return SUCCESS;
}

unsigned Bitmap::Index(int x, int y) const {
  const std::uint8_t* row = pixels_.data() + static_cast<std::size_t>(y) * stride_;
  switch (bits_per_pixel_) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 4:
      return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0Fu;
    case 8:
      return row[x];
    default:
      return 0;
  }
}

void Bitmap::SetIndex(int x, int y, unsigned index) {
  std::uint8_t* row = pixels_.data() + static_cast<std::size_t>(y) * stride_;
  switch (bits_per_pixel_) {
    case 1: {
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      row[x / 8] =
          static_cast<std::uint8_t>((index & 1u) ? (row[x / 8] | bit) : (row[x / 8] & ~bit));
      break;
    }
    case 4: {
      const int shift = x % 2 == 0 ? 4 : 0;
      row[x / 2] =
          static_cast<std::uint8_t>((row[x / 2] & ~(0x0F << shift)) | ((index & 0x0Fu) << shift));
      break;
    }
    case 8:
      row[x] = static_cast<std::uint8_t>(index);
      break;
    default:
      break;
  }
}

Color Bitmap::PaletteColor(unsigned index) const {
  return index < palette_.size() ? palette_[index] : Color{};
}

Color Bitmap::PixelColor(int x, int y) const {
  if (bits_per_pixel_ <= 8) return PaletteColor(Index(x, y));
  const std::size_t bytes_per_pixel = static_cast<std::size_t>(bits_per_pixel_) / 8;
  const std::uint8_t* p = pixels_.data() + static_cast<std::size_t>(y) * stride_ +
                          static_cast<std::size_t>(x) * bytes_per_pixel;
  return Color{p[2], p[1], p[0]};
}

void Bitmap::SetPixelColor(int x, int y, Color color) {
  if (bits_per_pixel_ <= 8) return;
  const std::size_t bytes_per_pixel = static_cast<std::size_t>(bits_per_pixel_) / 8;
  std::uint8_t* p = pixels_.data() + static_cast<std::size_t>(y) * stride_ +
                    static_cast<std::size_t>(x) * bytes_per_pixel;
  p[0] = color.blue;
  p[1] = color.green;
  p[2] = color.red;
}

}  // namespace vex::imaging
