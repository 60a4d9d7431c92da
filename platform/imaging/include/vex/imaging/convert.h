// Changing the depth of a bitmap, as the writers need it.
#pragma once

#include "vex/imaging/bitmap.h"

namespace vex::imaging {

// Makes *out a copy of `in` at `bits_per_pixel` (1, 4, 8, 24 or 32).
//
// To 24 or 32 bits: every pixel takes its colour (through the palette).
// To an indexed depth: when the image uses no more colours than the depth
// holds, the palette is exact (an indexed source whose palette fits keeps its
// palette and indices unchanged; otherwise colours are numbered in order of
// first appearance, top row first). Screen captures have few colours, so this
// is the usual case. Otherwise the image is reduced:
//   8 bits  to the 6 × 6 × 6 colour cube (levels 0, 51, ..., 255), nearest level;
//   4 bits  to the 16 colours of the standard VGA palette, nearest colour;
//   1 bit   to black and white, by luminance (white from 128 up).
// Returns SUCCESS, ERROR_NO_BITMAP, ERROR_BITPERPIXEL or ERROR_NO_MEMORY.
[[nodiscard]] int ConvertBitsPerPixel(const Bitmap& in, int bits_per_pixel, Bitmap* out);

}  // namespace vex::imaging
