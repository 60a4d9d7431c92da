// Windows BMP files: loading a file image held in memory, and writing one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "vex/imaging/bitmap.h"

namespace vex::imaging {

// Loads a BMP file image (BITMAPFILEHEADER followed by a BITMAPINFOHEADER, or
// its V4 or V5 extension) into *out, keeping the depth as stored: 1, 4, 8, 24
// or 32 bits per pixel, uncompressed (BI_RGB; BI_BITFIELDS only with the
// standard 32-bit blue-green-red masks), bottom-up or top-down (negative
// height), with the colour table it carries, possibly shorter than 2^bpp.
//
// Every size the file states is checked against the buffer before it is used,
// so a damaged file is refused without reading outside `bytes`:
//   ERROR_INV_PARAMETER  no output bitmap or an empty buffer;
//   ERROR_FILE_FORMAT    not "BM", an unknown header size, planes other than 1,
//                        an unknown depth, a colour table larger than the depth
//                        allows or overlapping the pixels, a pixel offset inside
//                        the headers, a stated file size too small for the pixels;
//   ERROR_FILE_READ      the buffer ends before the headers, the colour table or
//                        the last pixel row, or before the stated file size;
//   ERROR_INV_RANGE      width or height zero, negative width, or beyond
//                        kMaxBitmapDimension;
//   ERROR_IMAGE_TYPE     a known variant this loader does not decode (OS/2
//                        headers, 16 bits per pixel, run-length, JPEG or PNG
//                        compression, other bit-field masks);
//   ERROR_UNKNOWN_COMP   a compression number that BMP does not define;
//   ERROR_NO_MEMORY.
// *out is only replaced on success.
[[nodiscard]] int LoadBitmapFromMemory(std::span<const std::uint8_t> bytes, Bitmap* out);

// Writes the bitmap as a BMP file image at its own depth (bottom-up, BI_RGB,
// full colour table for indexed depths). ERROR_NO_BITMAP for an empty bitmap.
[[nodiscard]] int EncodeBmp(const Bitmap& bitmap, std::vector<std::uint8_t>* out);

// Builds the BMP file image of a monochrome raster as printers deliver it:
// `rows` rows of `row_bytes` bytes each, top row first, bit 1 = white, in
// `data`. Width is row_bytes × 8 pixels; the colour table is black, white;
// the header is the classic 62-byte one with image size and resolution left 0.
// ERROR_INV_PARAMETER when data holds fewer than row_bytes × rows bytes or a
// count is not positive.
[[nodiscard]] int MakeMonochromeBmp(int row_bytes, int rows, std::span<const std::uint8_t> data,
                                    std::vector<std::uint8_t>* out);

}  // namespace vex::imaging
