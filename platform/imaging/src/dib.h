// The device-independent bitmap (BITMAPINFOHEADER, colour table, bottom-up
// rows) shared by the BMP file writer and the two metafile writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vex/imaging/bitmap.h"

namespace vex::imaging::detail {

inline constexpr std::size_t kBitmapInfoHeaderSize = 40;

// Entries of the colour table written for a bitmap: its palette padded to
// 2^bpp for indexed depths (so that every index has a colour), none above.
std::size_t DibColorCount(const Bitmap& bitmap);
// Bytes of the header and colour table.
std::size_t DibInfoSize(const Bitmap& bitmap);
// Bytes of the pixel rows.
std::size_t DibBitsSize(const Bitmap& bitmap);

// Appends the header and colour table, then the rows bottom-up.
void AppendDibInfo(const Bitmap& bitmap, std::vector<std::uint8_t>& out);
void AppendDibBits(const Bitmap& bitmap, std::vector<std::uint8_t>& out);

}  // namespace vex::imaging::detail
