// Writing a bitmap in one of the supported file formats, to a file or to
// memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vex/imaging/bitmap.h"

namespace vex::imaging {

// File-format codes in the vendor numbering.
inline constexpr int kFormatGif = 2;    // GIF, LZW, one image
inline constexpr int kFormatTif = 3;    // TIFF, uncompressed, one strip set
inline constexpr int kFormatBmp = 6;    // Windows BMP, BI_RGB
inline constexpr int kFormatJpeg = 10;  // JPEG/JFIF, baseline
inline constexpr int kFormatWmf = 15;   // placeable Windows metafile around a DIB
inline constexpr int kFormatEmf = 116;  // enhanced metafile around a DIB
// PNG has no code among those the screen-image server passes; this component
// gives it 75, a number none of the codes above uses.
inline constexpr int kFormatPng = 75;

// The quality factor that keeps a format's default where the format has no
// quality setting (every format but JPEG ignores the factor).
inline constexpr int kDefaultQualityFactor = -1;

// Maps the vendor's JPEG quality factor, 2 (best quality, largest file) to 255
// (smallest file), linearly onto libjpeg's quality scale 100 down to 1:
//   quality = 100 - round((factor - 2) × 99 / 253)
// so 2 gives 100, 30 (what the screen-image server passes) gives 89 and 255
// gives 1. ERROR_QFACTOR for a factor outside 2..255.
[[nodiscard]] int JpegQualityFromFactor(int quality_factor);

// Encodes the bitmap in `file_format` at `bits_per_pixel`, converting the
// depth first where needed (see ConvertBitsPerPixel), into *out.
//
// Depths each format takes (0 means the bitmap's own depth, moved to the
// nearest one the format takes):
//   BMP, WMF, EMF  1, 4, 8, 24, 32;
//   GIF            1, 4, 8 (a 24 or 32-bit bitmap is reduced to a palette);
//   TIFF, PNG      1, 4, 8 as a palette image, 24 as RGB (32 is written as 24);
//   JPEG           8 as greyscale, 24 as colour (32 and 0 are written as 24).
// Returns SUCCESS; ERROR_NO_BITMAP (empty bitmap), ERROR_FEATURE_NOT_SUPPORTED
// (unknown format code), ERROR_BITPERPIXEL, ERROR_QFACTOR (JPEG only),
// ERROR_INV_RANGE (too large for the format), ERROR_COMPRESSOR (the codec
// library failed), ERROR_NO_MEMORY, ERROR_INV_PARAMETER (no output).
[[nodiscard]] int EncodeBitmap(const Bitmap& bitmap, int file_format, int bits_per_pixel,
                               int quality_factor, std::vector<std::uint8_t>* out);

// Encodes as EncodeBitmap does and writes the result to `path`, replacing a
// file of that name. Besides EncodeBitmap's codes: ERROR_INV_FILENAME (empty
// or too long a name), ERROR_FILENOTFOUND (a folder of the path does not
// exist), ERROR_FILE_OPEN (the file cannot be created), ERROR_FILE_WRITE (a
// write or the close failed; the partial file is removed).
[[nodiscard]] int SaveBitmap(const std::string& path, const Bitmap& bitmap, int file_format,
                             int bits_per_pixel, int quality_factor);

}  // namespace vex::imaging
