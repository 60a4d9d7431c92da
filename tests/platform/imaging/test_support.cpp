#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "vex/imaging/bmp.h"

namespace vex::imaging::test {
namespace {

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> BuildBmp(const BmpFields& f) {
  const std::size_t offset = 14 + f.header_size + 4 * f.masks.size() + 4 * f.palette.size();
  std::vector<std::uint8_t> out = {'B', 'M'};
  Put(out, static_cast<std::uint32_t>(f.file_size < 0 ? offset + f.pixels.size() : f.file_size), 4);
  Put(out, 0, 4);
  Put(out, static_cast<std::uint32_t>(f.pixel_offset < 0 ? offset : f.pixel_offset), 4);
  for (const auto v :
       {f.header_size, static_cast<std::uint32_t>(f.width), static_cast<std::uint32_t>(f.height)}) {
    Put(out, v, 4);
  }
  Put(out, f.planes, 2);
  Put(out, f.bits, 2);
  for (const auto v : {f.compression, static_cast<std::uint32_t>(f.pixels.size()), 2835u, 2835u,
                       f.colors_used, 0u}) {
    Put(out, v, 4);
  }
  // V4/V5 part: the standard blue-green-red masks, then zeros.
  const std::array<std::uint32_t, 3> masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
  for (std::uint32_t at = 40; at < f.header_size; at += 4)
    Put(out, at < 52 ? masks[(at - 40) / 4] : 0, 4);
  for (const std::uint32_t mask : f.masks) Put(out, mask, 4);
  for (const Color& c : f.palette) Put(out, c.blue | (c.green << 8) | (c.red << 16), 4);
  out.insert(out.end(), f.pixels.begin(), f.pixels.end());
  return out;
}

Bitmap PatternBitmap(int bits, int width, int rows, unsigned colors) {
  Bitmap bitmap;
  EXPECT_EQ(Bitmap::Create(width, rows, bits, &bitmap), 1);
  std::vector<Color> palette;
  for (unsigned i = 0; i < colors; ++i) {
    palette.push_back({static_cast<std::uint8_t>(i * 7 + 1), static_cast<std::uint8_t>(255 - i),
                       static_cast<std::uint8_t>(i * 13)});
  }
  EXPECT_EQ(bits <= 8 ? bitmap.SetPalette(palette) : 1, 1);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      bits <= 8 ? bitmap.SetIndex(x, y, static_cast<unsigned>(x * 3 + y * 5) % colors)
                : bitmap.SetPixelColor(
                      x, y,
                      {static_cast<std::uint8_t>(x * 17 + y), static_cast<std::uint8_t>(y * 29),
                       static_cast<std::uint8_t>((x * y) ^ 0x5A)});
    }
  }
  return bitmap;
}

BmpFields PatternFields(int bits, int width, int height, unsigned colors, std::uint8_t padding) {
  // The bitmap's rows are DIB rows already; the file stores them bottom-up
  // unless the height is negative, with `padding` in the unused bits.
  const Bitmap bitmap = PatternBitmap(bits, width, std::abs(height), colors);
  BmpFields f;
  f.width = width;
  f.height = height;
  f.bits = static_cast<std::uint16_t>(bits);
  f.palette = bitmap.palette();
  f.colors_used = bits <= 8 && colors != (1u << bits) ? colors : 0;
  const std::size_t used_bits = static_cast<std::size_t>(width) * bits;
  for (int i = 0; i < bitmap.height(); ++i) {
    auto row = bitmap.Row(height < 0 ? i : bitmap.height() - 1 - i);
    std::vector<std::uint8_t> file_row(row.begin(), row.end());
    std::fill(file_row.begin() + static_cast<std::ptrdiff_t>((used_bits + 7) / 8), file_row.end(),
              padding);
    if (used_bits % 8 != 0) file_row[used_bits / 8] |= padding & (0xFF >> (used_bits % 8));
    f.pixels.insert(f.pixels.end(), file_row.begin(), file_row.end());
  }
  return f;
}

Bitmap GradientPicture(int width, int height) {
  Bitmap bitmap;
  EXPECT_EQ(Bitmap::Create(width, height, 24, &bitmap), 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bitmap.SetPixelColor(x, y,
                           Color{static_cast<std::uint8_t>(x * 255 / (width - 1)),
                                 static_cast<std::uint8_t>(y * 255 / (height - 1)),
                                 static_cast<std::uint8_t>((x + y) * 255 / (width + height - 2))});
    }
  }
  return bitmap;
}

Bitmap MonochromePicture(int width_bytes, int rows) {
  std::vector<std::uint8_t> raster(static_cast<std::size_t>(width_bytes) * rows);
  for (std::size_t i = 0; i < raster.size(); ++i)
    raster[i] = static_cast<std::uint8_t>(i * 37 + i / 7);
  std::vector<std::uint8_t> bmp;
  Bitmap bitmap;
  EXPECT_EQ(MakeMonochromeBmp(width_bytes, rows, raster, &bmp), 1);
  EXPECT_EQ(LoadBitmapFromMemory(bmp, &bitmap), 1);
  return bitmap;
}

void ExpectSameColors(const Bitmap& actual, const Bitmap& expected, const std::string& what,
                      int tolerance) {
  ASSERT_EQ(actual.width(), expected.width()) << what;
  ASSERT_EQ(actual.height(), expected.height()) << what;
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      const Color a = actual.PixelColor(x, y);
      const Color e = expected.PixelColor(x, y);
      ASSERT_LE(std::max({std::abs(a.red - e.red), std::abs(a.green - e.green),
                          std::abs(a.blue - e.blue)}),
                tolerance)
          << what << " at " << x << "," << y;
    }
  }
}

std::string TempFolder(const std::string& name) {
  const auto folder = std::filesystem::path(VEX_TEST_TMP) / "imaging-tmp" / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder.string();
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::string Identify(const std::string& path, const std::string& format) {
  const ToolResult result = RunTool("identify", "-format '" + format + "\\n' '" + path + "'");
  EXPECT_EQ(result.exit_code, 0) << result.output;
  return result.output.substr(0, result.output.find('\n'));
}

Bitmap DecodeWithImageMagick(const std::string& path) {
  int width = 0;
  int height = 0;
  std::sscanf(Identify(path, "%w %h").c_str(), "%d %d", &width, &height);
  // The program itself, by its full path, as the decoder of the test.
  const ToolResult raw = RunTool("/usr/bin/convert", "'" + path + "' -depth 8 rgb:-", false);
  Bitmap bitmap;
  if (Bitmap::Create(width, height, 24, &bitmap) != 1 ||
      raw.output.size() != std::size_t{3} * width * height) {
    ADD_FAILURE() << "ImageMagick could not decode " << path;
    return {};
  }
  for (int i = 0; i < width * height; ++i) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(raw.output.data()) + 3 * i;
    bitmap.SetPixelColor(i % width, i / width, Color{p[0], p[1], p[2]});
  }
  return bitmap;
}

}  // namespace vex::imaging::test
