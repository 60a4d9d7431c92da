// The BMP loader. A file it accepts must give a bitmap that keeps the
// bitmap's own rules (row stride, zero padding, palette no larger than the
// depth allows) and that survives writing and loading again unchanged.
#include <algorithm>
#include <vector>

#include "fuzz_support.h"
#include "vex/imaging/bmp.h"
#include "vex/imaging/status.h"

namespace {

using vex::imaging::Bitmap;

// The bits after the last pixel of each row, and the bytes after them, are
// zero.
bool PaddingIsZero(const Bitmap& image) {
  const std::size_t bits = static_cast<std::size_t>(image.width()) * image.bits_per_pixel();
  for (int y = 0; y < image.height(); ++y) {
    auto row = image.Row(y);
    for (std::size_t bit = bits; bit < row.size() * 8; ++bit)
      if (row[bit / 8] & (0x80u >> (bit % 8))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bitmap image;
  if (vex::imaging::LoadBitmapFromMemory({data, size}, &image) != vex::imaging::SUCCESS) {
    VEX_FUZZ_CHECK(image.empty());
    return 0;
  }
  VEX_FUZZ_CHECK(!image.empty() && image.width() > 0 && image.height() > 0);
  VEX_FUZZ_CHECK(image.width() <= vex::imaging::kMaxBitmapDimension &&
                 image.height() <= vex::imaging::kMaxBitmapDimension);
  VEX_FUZZ_CHECK(image.stride() == vex::imaging::DibStride(image.width(), image.bits_per_pixel()));
  VEX_FUZZ_CHECK(image.pixels().size() ==
                 image.stride() * static_cast<std::size_t>(image.height()));
  VEX_FUZZ_CHECK(PaddingIsZero(image));
  if (image.indexed())
    VEX_FUZZ_CHECK(image.palette().size() <= (std::size_t{1} << image.bits_per_pixel()));
  else
    VEX_FUZZ_CHECK(image.palette().empty());

  std::vector<std::uint8_t> written;
  VEX_FUZZ_CHECK(vex::imaging::EncodeBmp(image, &written) == vex::imaging::SUCCESS);
  Bitmap again;
  VEX_FUZZ_CHECK(vex::imaging::LoadBitmapFromMemory(written, &again) == vex::imaging::SUCCESS);
  VEX_FUZZ_CHECK(again.width() == image.width() && again.height() == image.height());
  VEX_FUZZ_CHECK(again.bits_per_pixel() == image.bits_per_pixel());
  VEX_FUZZ_CHECK(again.pixels().size() == image.pixels().size());
  VEX_FUZZ_CHECK(std::equal(again.pixels().begin(), again.pixels().end(), image.pixels().begin()));
  // The written colour table is full; the colours the file had come first.
  for (std::size_t i = 0; i < image.palette().size(); ++i)
    VEX_FUZZ_CHECK(again.PaletteColor(static_cast<unsigned>(i)) == image.palette()[i]);
  return 0;
}
