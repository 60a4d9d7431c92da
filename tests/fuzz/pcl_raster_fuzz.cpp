// The PCL raster decoder of the print command sets' screen dumps. Whatever
// it makes of a dump must be a BMP file image the imaging loader accepts,
// of the size the rows found give.
#include <span>
#include <vector>

#include "fuzz_support.h"
#include "pcl_raster.h"
#include "vex/imaging/bmp.h"
#include "vex/imaging/status.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bmp{0x55};
  const bool decoded = vex::server::DecodePclRaster({data, size}, &bmp);
  if (!decoded) {
    VEX_FUZZ_CHECK(bmp.empty());
    return 0;
  }
  VEX_FUZZ_CHECK(bmp.size() > 62);
  vex::imaging::Bitmap image;
  VEX_FUZZ_CHECK(vex::imaging::LoadBitmapFromMemory(bmp, &image) == vex::imaging::SUCCESS);
  VEX_FUZZ_CHECK(image.bits_per_pixel() == 1);
  // W bytes a row, R rows: W × 8 pixels wide and W × R + 62 bytes in all.
  const std::size_t row_bytes = static_cast<std::size_t>(image.width()) / 8;
  VEX_FUZZ_CHECK(image.width() % 8 == 0);
  VEX_FUZZ_CHECK(row_bytes * static_cast<std::size_t>(image.height()) + 62 == bmp.size());
  // Every row came out of the input.
  VEX_FUZZ_CHECK(bmp.size() - 62 <= size);
  return 0;
}
