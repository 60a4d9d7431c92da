// The codec-library encoders behind EncodeBitmap. Each takes a bitmap already
// at a depth its format takes and appends nothing on failure.
#pragma once

#include <cstdint>
#include <vector>

#include "vex/imaging/bitmap.h"

namespace vex::imaging::detail {

// 1, 4, 8 bits: palette PNG; 24, 32: RGB.
int EncodePng(const Bitmap& bitmap, std::vector<std::uint8_t>* out);
// Any depth: greyscale (luma of each pixel's colour) when `grey`, else YCbCr
// colour. `quality` is libjpeg's 1..100.
int EncodeJpeg(const Bitmap& bitmap, int quality, bool grey, std::vector<std::uint8_t>* out);
// 1, 4, 8 bits: palette TIFF; 24, 32: RGB. Uncompressed.
int EncodeTiff(const Bitmap& bitmap, std::vector<std::uint8_t>* out);
// 1, 4, 8 bits only.
int EncodeGif(const Bitmap& bitmap, std::vector<std::uint8_t>* out);

}  // namespace vex::imaging::detail
