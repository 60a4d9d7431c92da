#include "dib.h"

#include "byte_order.h"

namespace vex::imaging::detail {

namespace {
// 96 dots per inch in pixels per metre, the resolution written into headers.
constexpr std::int32_t kPixelsPerMetre = 3780;
}  // namespace

std::size_t DibColorCount(const Bitmap& bitmap) {
  return bitmap.indexed() ? std::size_t{1} << bitmap.bits_per_pixel() : 0;
}

std::size_t DibInfoSize(const Bitmap& bitmap) {
  return kBitmapInfoHeaderSize + 4 * DibColorCount(bitmap);
}

std::size_t DibBitsSize(const Bitmap& bitmap) {
  return bitmap.stride() * static_cast<std::size_t>(bitmap.height());
}

void AppendDibInfo(const Bitmap& bitmap, std::vector<std::uint8_t>& out) {
  const std::size_t colors = DibColorCount(bitmap);
  PutU32(out, kBitmapInfoHeaderSize);
  PutI32(out, bitmap.width());
  PutI32(out, bitmap.height());  // positive: rows follow bottom-up
  PutU16(out, 1);                // planes
  PutU16(out, static_cast<std::uint32_t>(bitmap.bits_per_pixel()));
  PutU32(out, 0);  // BI_RGB
  PutU32(out, static_cast<std::uint32_t>(DibBitsSize(bitmap)));
  PutI32(out, kPixelsPerMetre);
  PutI32(out, kPixelsPerMetre);
  PutU32(out, static_cast<std::uint32_t>(colors));  // colours used
  PutU32(out, 0);                                   // all colours important
  for (std::size_t i = 0; i < colors; ++i) {
    const Color c = bitmap.PaletteColor(static_cast<unsigned>(i));
    out.push_back(c.blue);
    out.push_back(c.green);
    out.push_back(c.red);
    out.push_back(0);
  }
}

void AppendDibBits(const Bitmap& bitmap, std::vector<std::uint8_t>& out) {
  for (int y = bitmap.height() - 1; y >= 0; --y) {
    const auto row = bitmap.Row(y);
    out.insert(out.end(), row.begin(), row.end());
  }
}

}  // namespace vex::imaging::detail
