#include "vex/imaging/metafile.h"

#include <gtest/gtest.h>

#include "test_support.h"
#include "vex/imaging/convert.h"
#include "vex/imaging/save.h"
#include "vex/imaging/status.h"

namespace vex::imaging {
namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16)) |
         (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

// Converts a .wmf or .emf file to `path`.svg with the converter of another project.
test::ToolResult ToSvg(const std::string& path) {
  if (path.ends_with(".wmf"))
    return test::RunTool("wmf2svg", "-o '" + path + ".svg' '" + path + "'");
  return test::RunTool("emf2svg-conv", "-i '" + path + "' -o '" + path + ".svg'");
}

class MetafileTest : public ::testing::Test {
 protected:
  std::string folder_ = test::TempFolder("metafile");
  Bitmap screen_ = test::PatternBitmap(8, 50, 30, 6);
  Bitmap mono_ = test::MonochromePicture(4, 9);  // 32 × 9
  Bitmap rgb_ = test::GradientPicture(21, 13);   // 24 bits, rows padded
};

TEST_F(MetafileTest, RecordSizesBoundsAndChecksum) {
  for (const Bitmap* bitmap : {&screen_, &mono_, &rgb_}) {
    std::vector<std::uint8_t> emf;
    ASSERT_EQ(ConvertToEmf(*bitmap, &emf), SUCCESS);
    EXPECT_EQ(U32(emf, 48), emf.size());
    // Frame in inclusive hundredths of a millimetre at 96 dpi.
    EXPECT_EQ(U32(emf, 36) + 1, static_cast<std::uint32_t>((bitmap->height() * 2540 + 48) / 96));
    std::vector<std::uint32_t> emf_types;
    for (std::size_t at = 0; at < emf.size(); at += U32(emf, at + 4)) {
      ASSERT_TRUE(U32(emf, at + 4) % 4 == 0 && U32(emf, at + 4) >= 8) << at;
      emf_types.push_back(U32(emf, at));
    }
    EXPECT_EQ(emf_types, (std::vector<std::uint32_t>{1, 81, 14}));

    std::vector<std::uint8_t> wmf;
    ASSERT_EQ(ConvertToWmf(*bitmap, &wmf), SUCCESS);
    std::uint16_t checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) checksum ^= U16(wmf, i);
    EXPECT_EQ(U16(wmf, 20), checksum);
    EXPECT_EQ(U32(wmf, 28), (wmf.size() - 22) / 2);  // words after the placeable header
    std::vector<std::uint16_t> functions;
    std::uint32_t largest = 0;
    for (std::size_t at = 40; at < wmf.size(); at += 2 * U32(wmf, at)) {
      ASSERT_GE(U32(wmf, at), 3u);
      largest = std::max(largest, U32(wmf, at));
      functions.push_back(U16(wmf, at + 4));
    }
    EXPECT_EQ(functions, (std::vector<std::uint16_t>{0x020B, 0x020C, 0x0F43, 0x0000}));
    EXPECT_EQ(U32(wmf, 34), largest);
  }
  Bitmap wide;
  ASSERT_EQ(Bitmap::Create(40000, 1, 1, &wide), SUCCESS);
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(ConvertToWmf(wide, &bytes), ERROR_INV_RANGE);  // beyond 16-bit coordinates
  EXPECT_EQ(ConvertToEmf(Bitmap(), &bytes), ERROR_NO_BITMAP);
}

TEST_F(MetafileTest, ConvertersOfOtherProjectsShowTheSamePixels) {
  // 8 bits as the server saves metafiles, 0 for the bitmap's own depth.
  const std::tuple<const char*, const Bitmap*, int> cases[] = {{"screen", &screen_, 8},
                                                               {"mono8", &mono_, 8},
                                                               {"mono1", &mono_, 0},
                                                               {"rgb8", &rgb_, 8},
                                                               {"rgb24", &rgb_, 0}};
  for (const auto& [name, bitmap, bits] : cases) {
    Bitmap expected = *bitmap;
    if (bits != 0) {
      ASSERT_EQ(ConvertBitsPerPixel(*bitmap, bits, &expected), SUCCESS);
    }
    for (const auto& [format, suffix] :
         {std::pair{kFormatWmf, ".wmf"}, std::pair{kFormatEmf, ".emf"}}) {
      const std::string path = folder_ + "/" + name + suffix;
      ASSERT_EQ(SaveBitmap(path, *bitmap, format, bits, -1), SUCCESS);
      const test::ToolResult result = ToSvg(path);
      // A converter that could not run (its prerequisites missing) has said so.
      ASSERT_NE(result.exit_code, -1);
      EXPECT_EQ(result.exit_code, 0) << path << " refused:\n" << result.output;
      // The SVG shows the DIB as a PNG: a file it names, or a data URI.
      const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path + ".svg");
      const std::string svg(bytes.begin(), bytes.end());
      const std::size_t href = svg.find("xlink:href=\"");
      ASSERT_NE(href, std::string::npos) << "no bitmap in " << path << ".svg:\n" << svg;
      std::string png = svg.substr(href + 12, svg.find('"', href + 12) - href - 12);
      if (png.starts_with("data:image/png;base64,")) {
        test::WriteFileBytes(path + ".b64", {png.begin() + 22, png.end()});
        test::RunTool("base64", "-d '" + path + ".b64' > '" + path + ".png'");
        png = path + ".png";
      }
      test::ExpectSameColors(test::DecodeWithImageMagick(png), expected, path);
    }
  }
}

TEST_F(MetafileTest, TheConvertersDoRefuseDamagedFiles) {
  // Otherwise a converter that accepts anything would make the test above worthless.
  std::vector<std::uint8_t> wmf;
  std::vector<std::uint8_t> emf;
  ASSERT_EQ(ConvertToWmf(screen_, &wmf), SUCCESS);
  ASSERT_EQ(ConvertToEmf(screen_, &emf), SUCCESS);
  wmf[0] ^= 0xFF;  // placeable key
  wmf[22] = 7;     // metafile type
  emf[112] = 3;    // size of the record after the header: not a multiple of 4
  emf[113] = 0;
  test::WriteFileBytes(folder_ + "/bad.wmf", wmf);
  test::WriteFileBytes(folder_ + "/bad.emf", emf);
  EXPECT_NE(ToSvg(folder_ + "/bad.wmf").exit_code, 0);
  EXPECT_NE(ToSvg(folder_ + "/bad.emf").exit_code, 0);
}

}  // namespace
}  // namespace vex::imaging
