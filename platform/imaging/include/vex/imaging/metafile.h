// Windows metafiles that carry a bitmap: an enhanced metafile (EMF) and a
// placeable Windows metafile (WMF), each made of a header, one record that
// stretches a device-independent bitmap onto the picture at 1:1, and the end
// record. Hosts that paste a picture take the EMF; files may be either.
//
// Picture size: one logical unit per pixel at 96 dots per inch, so a W × H
// bitmap is a W × H picture of W × 2540 / 96 by H × 2540 / 96 hundredths of a
// millimetre.
#pragma once

#include <cstdint>
#include <vector>

#include "vex/imaging/bitmap.h"

namespace vex::imaging {

// The enhanced metafile of the bitmap at its own depth: EMR_HEADER (with the
// bounds in pixels and the frame in .01 mm), EMR_STRETCHDIBITS embedding the
// DIB, EMR_EOF. Returns SUCCESS, ERROR_NO_BITMAP, ERROR_INV_RANGE (a size a
// 32-bit record cannot hold), ERROR_NO_MEMORY or ERROR_INV_PARAMETER.
[[nodiscard]] int ConvertToEmf(const Bitmap& bitmap, std::vector<std::uint8_t>* emf);

// The placeable Windows metafile of the bitmap at its own depth: the
// placeable header (key 0x9AC6CDD7, bounding box, 96 units per inch,
// checksum), the METAHEADER, META_SETWINDOWORG, META_SETWINDOWEXT,
// META_STRETCHDIB with the DIB, META_EOF. WMF coordinates are 16-bit, so
// ERROR_INV_RANGE for a bitmap wider or higher than 32767 pixels; otherwise
// as ConvertToEmf.
[[nodiscard]] int ConvertToWmf(const Bitmap& bitmap, std::vector<std::uint8_t>* wmf);

}  // namespace vex::imaging
