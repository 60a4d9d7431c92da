// Turns the raster graphics of a PCL print dump, as instruments of the print
// command sets deliver their screen, into a monochrome Windows BMP file image.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vex::server {

// Scans `pcl` for the start of raster graphics (ESC*rA, ESC*r1A or ESC*r0A),
// then for the first row command (ESC*b64W, *b68W, *b192W, *b204W or *b68V),
// which fixes the row width W in bytes; each later command of the same width
// (*b68W and *b68V count as one) adds a row of W bytes, until ESC*rB or ESC*rC
// or the end of the input. Other escapes are skipped. A row cut short by the
// end of the input ends the image without it.
//
// The BMP is W × R + 62 bytes for R rows: a 54-byte header, a black and white
// palette, and the rows bit-inverted (PCL marks ink with 1, the palette's
// entry 1 is white) and bottom row first. Returns false, leaving *bmp empty,
// when there is no start of raster graphics or no complete first row.
bool DecodePclRaster(std::span<const std::uint8_t> pcl, std::vector<std::uint8_t>* bmp);

}  // namespace vex::server
