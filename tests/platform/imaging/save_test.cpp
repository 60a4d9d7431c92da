// Every format is written to a file in the build tree and read back by
// ImageMagick, which is not this component: identify for format, size and
// JPEG quality, convert for the pixels.
#include "vex/imaging/save.h"

#include <gtest/gtest.h>

#include "test_support.h"
#include "vex/imaging/bmp.h"
#include "vex/imaging/convert.h"
#include "vex/imaging/status.h"

namespace vex::imaging {
namespace {

class SaveBitmapTest : public ::testing::Test {
 protected:
  std::string folder_ = test::TempFolder("save");
  Bitmap screen_ = test::PatternBitmap(8, 96, 64, 6);
  Bitmap gradient_ = test::GradientPicture(80, 60);
  Bitmap mono_ = test::MonochromePicture(8, 20);  // 64 × 20, 1 bit

  // Saves, checks what identify reports and returns the pixels ImageMagick decodes.
  Bitmap SaveAndRead(const Bitmap& bitmap, const std::string& name, int format, int bits,
                     const std::string& magick, int quality = kDefaultQualityFactor) {
    const std::string path = folder_ + "/" + name;
    EXPECT_EQ(SaveBitmap(path, bitmap, format, bits, quality), SUCCESS) << name;
    std::vector<std::uint8_t> in_memory;
    EXPECT_EQ(EncodeBitmap(bitmap, format, bits, quality, &in_memory), SUCCESS) << name;
    EXPECT_EQ(test::ReadFileBytes(path), in_memory) << name;
    EXPECT_EQ(test::Identify(path), magick + " " + std::to_string(bitmap.width()) + " " +
                                        std::to_string(bitmap.height()));
    return test::DecodeWithImageMagick(path);
  }
};

TEST_F(SaveBitmapTest, LosslessFormatsKeepEveryPixel) {
  // ImageMagick calls a BMP with a 40-byte header BMP3.
  const std::pair<int, const char*> formats[] = {
      {kFormatBmp, "BMP3"}, {kFormatPng, "PNG"}, {kFormatTif, "TIFF"}, {kFormatGif, "GIF"}};
  for (const auto& [format, magick] : formats) {
    for (const auto& [name, bitmap] : {std::pair{"screen", &screen_}, std::pair{"mono", &mono_}}) {
      // At the 8 bits the server asks for, and at the bitmap's own depth.
      for (const int bits : {8, 0}) {
        const std::string file = std::string(name) + std::to_string(bits) + "." + magick;
        test::ExpectSameColors(SaveAndRead(*bitmap, file, format, bits, magick), *bitmap, file);
        Bitmap loaded;  // and the component's own loader reads its BMP files
        if (format == kFormatBmp) {
          EXPECT_EQ(LoadBitmapFromMemory(test::ReadFileBytes(folder_ + "/" + file), &loaded),
                    SUCCESS);
          test::ExpectSameColors(loaded, *bitmap, file);
        }
      }
    }
    Bitmap gradient32;  // true colour from 24 and from 32-bit rows
    ASSERT_EQ(ConvertBitsPerPixel(gradient_, 32, &gradient32), SUCCESS);
    for (const Bitmap* source : {&gradient_, &gradient32}) {
      if (format == kFormatGif) break;
      const std::string file = "gradient" + std::to_string(source->bits_per_pixel()) + "." + magick;
      test::ExpectSameColors(SaveAndRead(*source, file, format, 0, magick), gradient_, file);
    }
  }
  // A true-colour picture becomes the colour cube in an 8-bit file.
  Bitmap cube;
  ASSERT_EQ(ConvertBitsPerPixel(gradient_, 8, &cube), SUCCESS);
  test::ExpectSameColors(SaveAndRead(gradient_, "gradient.gif", kFormatGif, 8, "GIF"), cube, "GIF");
  // The GIF colour map is as small as the colours allow: the screen
  // descriptor's low three bits give its size as 2^(n+1).
  EXPECT_EQ(test::Identify(folder_ + "/screen8.GIF", "%k"), "6");  // unique colours
  EXPECT_EQ(test::ReadFileBytes(folder_ + "/screen8.GIF").at(10) & 7, 2);
  EXPECT_EQ(test::ReadFileBytes(folder_ + "/mono8.GIF").at(10) & 7, 0);
}

TEST_F(SaveBitmapTest, JpegQualityFactorFromBestToSmallest) {
  EXPECT_EQ(JpegQualityFromFactor(1), ERROR_QFACTOR);
  EXPECT_EQ(JpegQualityFromFactor(256), ERROR_QFACTOR);
  // identify estimates the quality from the quantisation tables in the file.
  std::size_t previous_size = SIZE_MAX;
  for (const auto& [factor, quality] :
       {std::pair{2, "100"}, std::pair{30, "89"}, std::pair{255, "1"}}) {
    const std::string name = "q" + std::to_string(factor) + ".jpg";
    const Bitmap decoded = SaveAndRead(gradient_, name, kFormatJpeg, 24, "JPEG", factor);
    EXPECT_EQ(test::Identify(folder_ + "/" + name, "%Q %[colorspace]"),
              std::string(quality) + " sRGB");
    const std::size_t size = test::ReadFileBytes(folder_ + "/" + name).size();
    EXPECT_LT(size, previous_size) << name;
    previous_size = size;
    if (factor == 2) test::ExpectSameColors(decoded, gradient_, name, 8);  // nearly lossless
  }
  // 8 bits asks for greyscale; a bad factor is refused before a file exists.
  SaveAndRead(screen_, "grey.jpg", kFormatJpeg, 8, "JPEG", 30);
  SaveAndRead(mono_, "mono.jpg", kFormatJpeg, 24, "JPEG", 30);  // a printer dump too
  EXPECT_EQ(test::Identify(folder_ + "/grey.jpg", "%[colorspace]"), "Gray");
  EXPECT_EQ(SaveBitmap(folder_ + "/bad.jpg", gradient_, kFormatJpeg, 24, -1), ERROR_QFACTOR);
  EXPECT_TRUE(test::ReadFileBytes(folder_ + "/bad.jpg").empty());
}

TEST_F(SaveBitmapTest, FailuresReportTheirCodes) {
  const std::string path = folder_ + "/a.bmp";
  EXPECT_EQ(SaveBitmap(path, Bitmap(), kFormatBmp, 8, -1), ERROR_NO_BITMAP);
  EXPECT_EQ(SaveBitmap(path, screen_, 999, 8, -1), ERROR_FEATURE_NOT_SUPPORTED);
  EXPECT_EQ(SaveBitmap(path, screen_, kFormatBmp, 16, -1), ERROR_BITPERPIXEL);
  EXPECT_EQ(SaveBitmap(path, screen_, kFormatJpeg, 4, 30), ERROR_BITPERPIXEL);
  EXPECT_EQ(SaveBitmap(path, gradient_, kFormatGif, 24, -1), ERROR_BITPERPIXEL);
  EXPECT_EQ(SaveBitmap("", screen_, kFormatBmp, 8, -1), ERROR_INV_FILENAME);
  EXPECT_EQ(SaveBitmap(folder_ + "/no/such/a.bmp", screen_, kFormatBmp, 8, -1), ERROR_FILENOTFOUND);
  EXPECT_EQ(SaveBitmap(folder_, screen_, kFormatBmp, 8, -1), ERROR_FILE_OPEN);  // a folder
  EXPECT_EQ(SaveBitmap("/dev/full", screen_, kFormatBmp, 8, -1), ERROR_FILE_WRITE);
  EXPECT_EQ(test::RunTool("test", "-c /dev/full").exit_code, 0) << "the device stays";
  EXPECT_EQ(EncodeBitmap(screen_, kFormatPng, 8, -1, nullptr), ERROR_INV_PARAMETER);
}

}  // namespace
}  // namespace vex::imaging
