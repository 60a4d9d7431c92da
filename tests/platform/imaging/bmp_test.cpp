#include "vex/imaging/bmp.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "test_support.h"
#include "vex/imaging/status.h"

namespace vex::imaging {
namespace {

using test::BmpFields;
using test::BuildBmp;
using test::PatternFields;

// Loads from a heap copy that ends exactly where the bytes end, so that
// AddressSanitizer reports any read beyond them.
int Load(const std::vector<std::uint8_t>& bytes, Bitmap* out) {
  const std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
  return LoadBitmapFromMemory(std::span(exact.data(), bytes.size()), out);
}

TEST(LoadBitmapFromMemory, EveryDepthBothRowOrdersAndHeaderVersions) {
  // Width 13 gives every depth padding, which must not reach the bitmap;
  // palettes may be shorter than 2^bpp.
  const std::pair<int, unsigned> depths[] = {{1, 2},  {4, 16}, {4, 5}, {8, 256},
                                             {8, 20}, {24, 0}, {32, 0}};
  for (const auto& [bits, colors] : depths) {
    for (const int height : {7, -7}) {
      for (const std::uint32_t header : {40u, 108u, 124u}) {
        BmpFields fields = PatternFields(bits, 13, height, colors, 0xA5);
        fields.header_size = header;
        Bitmap bitmap;
        EXPECT_EQ(Load(BuildBmp(fields), &bitmap), SUCCESS);
        EXPECT_EQ(bitmap, test::PatternBitmap(bits, 13, 7, colors))
            << bits << " bits, " << colors << " colours, height " << height << ", header "
            << header;
      }
    }
  }
  // 32 bits with the standard bit-field masks after a 40-byte header, and a
  // zero file size, which some writers leave.
  BmpFields fields = PatternFields(32, 9, 4, 0);
  fields.compression = 3;
  fields.masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
  fields.file_size = 0;
  Bitmap bitmap;
  EXPECT_EQ(Load(BuildBmp(fields), &bitmap), SUCCESS);
  EXPECT_EQ(bitmap, test::PatternBitmap(32, 9, 4, 0));
}

struct BadCase {
  const char* what;
  int expected;
  std::function<void(BmpFields&)> change_fields;
  std::function<void(std::vector<std::uint8_t>&)> change_bytes = [](auto&) {};
};

TEST(LoadBitmapFromMemory, RefusesDamagedFilesAndLeavesTheOutputAlone) {
  auto keep = [](BmpFields&) {};
  // Each case changes an 8-bit 13 × 5 file with a 10-colour palette: 54
  // header bytes, 40 palette bytes, 5 rows of 16 bytes.
  const std::vector<BadCase> cases = {
      {"empty buffer", ERROR_INV_PARAMETER, keep, [](auto& b) { b.clear(); }},
      {"one byte", ERROR_FILE_FORMAT, keep, [](auto& b) { b.resize(1); }},
      {"not BM", ERROR_FILE_FORMAT, keep, [](auto& b) { b[1] = 'A'; }},
      {"cut in the file header", ERROR_FILE_READ, keep, [](auto& b) { b.resize(10); }},
      {"cut in the info header", ERROR_FILE_READ, keep, [](auto& b) { b.resize(30); }},
      {"cut in the palette", ERROR_FILE_READ, keep, [](auto& b) { b.resize(74); }},
      {"cut in the pixels", ERROR_FILE_READ, keep, [](auto& b) { b.pop_back(); }},
      {"OS/2 header", ERROR_IMAGE_TYPE, [](auto& f) { f.header_size = 12; }},
      {"unknown header size", ERROR_FILE_FORMAT, [](auto& f) { f.header_size = 52; }},
      {"two planes", ERROR_FILE_FORMAT, [](auto& f) { f.planes = 2; }},
      {"16 bits", ERROR_IMAGE_TYPE, [](auto& f) { f.bits = 16; }},
      {"3 bits", ERROR_FILE_FORMAT, [](auto& f) { f.bits = 3; }},
      {"zero width", ERROR_INV_RANGE, [](auto& f) { f.width = 0; }},
      {"negative width", ERROR_INV_RANGE, [](auto& f) { f.width = -13; }},
      {"zero height", ERROR_INV_RANGE, [](auto& f) { f.height = 0; }},
      {"lowest height", ERROR_INV_RANGE, [](auto& f) { f.height = INT_MIN; }},
      {"huge width", ERROR_INV_RANGE, [](auto& f) { f.width = 70000; }},
      {"huge height", ERROR_INV_RANGE, [](auto& f) { f.height = INT_MAX; }},
      {"rows beyond the buffer", ERROR_FILE_READ,
       [](auto& f) { f.height = -65535, f.file_size = 0; }},
      {"run-length compression", ERROR_IMAGE_TYPE, [](auto& f) { f.compression = 1; }},
      {"undefined compression", ERROR_UNKNOWN_COMP, [](auto& f) { f.compression = 99; }},
      {"bit fields at 8 bits", ERROR_IMAGE_TYPE, [](auto& f) { f.compression = 3; }},
      {"more colours than 8 bits hold", ERROR_FILE_FORMAT, [](auto& f) { f.colors_used = 257; }},
      {"palette beyond the data", ERROR_FILE_READ,
       [](auto& f) { f.colors_used = 200, f.file_size = 0; }},
      {"palette overlapping the pixels", ERROR_FILE_FORMAT, [](auto& f) { f.pixel_offset = 90; }},
      {"pixel offset inside the header", ERROR_FILE_FORMAT, [](auto& f) { f.pixel_offset = 20; }},
      {"pixel offset beyond the buffer", ERROR_FILE_READ,
       [](auto& f) { f.pixel_offset = 1 << 20, f.file_size = 0; }},
      {"file size beyond the buffer", ERROR_FILE_READ, [](auto& f) { f.file_size = 1 << 20; }},
      {"file size smaller than the pixels", ERROR_FILE_FORMAT, [](auto& f) { f.file_size = 100; }},
  };
  Bitmap sentinel = test::PatternBitmap(24, 3, 2, 0);
  for (const BadCase& c : cases) {
    BmpFields fields = PatternFields(8, 13, 5, 10);
    c.change_fields(fields);
    std::vector<std::uint8_t> bytes = BuildBmp(fields);
    c.change_bytes(bytes);
    Bitmap out = sentinel;
    EXPECT_EQ(Load(bytes, &out), c.expected) << c.what;
    EXPECT_EQ(out, sentinel) << c.what;
  }
}

TEST(LoadBitmapFromMemory, EveryTruncationFailsAndNoHeaderByteMakesItReadOutside) {
  const std::vector<std::uint8_t> good = BuildBmp(PatternFields(4, 11, -6, 7));
  Bitmap bitmap;
  ASSERT_EQ(Load(good, &bitmap), SUCCESS);
  for (std::size_t size = 0; size < good.size(); ++size) {
    EXPECT_LT(Load({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)}, &bitmap), 0)
        << size;
  }
  for (std::size_t at = 0; at < 54 + 4 * 7; ++at) {
    for (const std::uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
      std::vector<std::uint8_t> bad = good;
      bad[at] = value;
      (void)Load(bad, &bitmap);  // any verdict; AddressSanitizer watches the reads
    }
  }
}

TEST(MonochromeBmp, PrinterRasterBecomesABottomUpOneBitFile) {
  // Three rows of 64 bytes: 512 × 3 pixels in 3 × 64 + 62 bytes, last row first.
  std::vector<std::uint8_t> raster(3 * 64);
  for (std::size_t i = 0; i < raster.size(); ++i) raster[i] = static_cast<std::uint8_t>(i);
  std::vector<std::uint8_t> bmp;
  ASSERT_EQ(MakeMonochromeBmp(64, 3, raster, &bmp), SUCCESS);
  ASSERT_EQ(bmp.size(), 254u);
  EXPECT_TRUE(bmp[2] == 254 && bmp[3] == 0 && bmp[10] == 62);  // file size, pixel offset
  EXPECT_TRUE(std::equal(raster.begin() + 128, raster.end(), bmp.begin() + 62));
  Bitmap bitmap;
  ASSERT_EQ(LoadBitmapFromMemory(bmp, &bitmap), SUCCESS);
  EXPECT_EQ(bitmap.width(), 512);
  EXPECT_EQ(bitmap.palette(), (std::vector<Color>{{0, 0, 0}, {255, 255, 255}}));
  EXPECT_EQ(MakeMonochromeBmp(64, 3, std::span(raster).first(100), &bmp), ERROR_INV_PARAMETER);
}

}  // namespace
}  // namespace vex::imaging
