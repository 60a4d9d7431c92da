#include "vex/imaging/convert.h"

#include <gtest/gtest.h>

#include "test_support.h"
#include "vex/imaging/status.h"

namespace vex::imaging {
namespace {

TEST(ConvertBitsPerPixel, FewColoursConvertExactlyBetweenEveryDepth) {
  const Bitmap mono = test::MonochromePicture(5, 9);
  const Bitmap screen = test::PatternBitmap(8, 40, 30, 6);
  for (const Bitmap* source : {&mono, &screen}) {
    for (const int bits : {1, 4, 8, 24, 32}) {
      if (source == &screen && bits == 1) continue;  // six colours
      Bitmap converted;
      Bitmap back;  // from true colour the palette is rebuilt from the pixels
      ASSERT_EQ(ConvertBitsPerPixel(*source, bits, &converted), SUCCESS);
      ASSERT_EQ(ConvertBitsPerPixel(converted, source->bits_per_pixel(), &back), SUCCESS);
      EXPECT_EQ(converted.bits_per_pixel(), bits);
      test::ExpectSameColors(converted, *source, "to " + std::to_string(bits));
      test::ExpectSameColors(back, *source, "back from " + std::to_string(bits));
    }
  }
  Bitmap four;  // an indexed image whose palette fits keeps palette and indices
  ASSERT_EQ(ConvertBitsPerPixel(screen, 4, &four), SUCCESS);
  EXPECT_EQ(four.palette(), screen.palette());
  EXPECT_EQ(four.Index(3, 3), screen.Index(3, 3));
}

TEST(ConvertBitsPerPixel, ManyColoursAreReducedToTheFixedPalettes) {
  const Bitmap gradient = test::GradientPicture(64, 48);
  Bitmap eight;
  ASSERT_EQ(ConvertBitsPerPixel(gradient, 8, &eight), SUCCESS);
  EXPECT_EQ(eight.palette().size(), 216u);
  test::ExpectSameColors(eight, gradient, "cube", 26);  // half a cube step
  for (const int bits : {1, 4}) {
    Bitmap reduced;
    ASSERT_EQ(ConvertBitsPerPixel(gradient, bits, &reduced), SUCCESS);
    EXPECT_EQ(reduced.palette().size(), 1u << bits);
    EXPECT_EQ(reduced.PixelColor(0, 0), (Color{0, 0, 0}));
    EXPECT_EQ(reduced.PixelColor(63, 47), (Color{255, 255, 255}));
  }
  Bitmap out;  // 65535 × 65535 × 4 bytes is beyond the allocation limit: refused, not tried
  EXPECT_EQ(Bitmap::Create(kMaxBitmapDimension, kMaxBitmapDimension, 32, &out), ERROR_NO_MEMORY);
  EXPECT_EQ(ConvertBitsPerPixel(gradient, 16, &out), ERROR_BITPERPIXEL);
  EXPECT_EQ(ConvertBitsPerPixel(Bitmap(), 8, &out), ERROR_NO_BITMAP);
}

}  // namespace
}  // namespace vex::imaging
