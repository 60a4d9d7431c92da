// Helpers of the imaging tests: BMP files built field by field (independently
// of the component's writer), test pictures, and the external programs that
// read the files back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "outside_program.h"
#include "vex/imaging/bitmap.h"

namespace vex::imaging::test {

// The fields of a BMP file; -1 in a size field means "the correct value".
struct BmpFields {
  std::uint32_t header_size = 40;
  std::int32_t width = 13;
  std::int32_t height = 5;  // negative: top-down
  std::uint16_t planes = 1;
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t colors_used = 0;
  std::vector<Color> palette;
  std::vector<std::uint32_t> masks;  // written after a 40-byte header
  std::vector<std::uint8_t> pixels;  // rows in file order, padded
  std::int64_t file_size = -1;
  std::int64_t pixel_offset = -1;
};
std::vector<std::uint8_t> BuildBmp(const BmpFields& fields);

// A test pattern with `colors` palette entries (0 for true colour), as a
// file (padding bits and bytes set to `padding`) and as the bitmap the file
// must load as.
BmpFields PatternFields(int bits, int width, int height, unsigned colors, std::uint8_t padding = 0);
Bitmap PatternBitmap(int bits, int width, int rows, unsigned colors);

// A smooth 24-bit gradient with thousands of colours, and a monochrome
// printer dump (PatternBitmap(8, w, h, 6) stands for a screen capture).
Bitmap GradientPicture(int width, int height);
Bitmap MonochromePicture(int width_bytes, int rows);

// Fails the test unless both have the same size and, at every pixel, colours
// that differ by at most `tolerance` in each channel.
void ExpectSameColors(const Bitmap& actual, const Bitmap& expected, const std::string& what,
                      int tolerance = 0);

std::string TempFolder(const std::string& name);  // fresh, under the build tree
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

using ToolResult = vex::test::ProgramResult;
// Runs an outside program (see tests/support/outside_program.h): one whose
// prerequisites are missing fails the test with the Debian package to install.
inline ToolResult RunTool(const std::string& program, const std::string& arguments,
                          bool merge_stderr = true) {
  return vex::test::RunProgram(program, arguments, merge_stderr);
}
ToolResult RunTool(const std::string&, const std::string&, const char*) = delete;

// ImageMagick's view of a file: identify's "%m %w %h" and more, and the
// pixels its convert program decodes, as a 24-bit bitmap.
std::string Identify(const std::string& path, const std::string& format = "%m %w %h");
Bitmap DecodeWithImageMagick(const std::string& path);

}  // namespace vex::imaging::test
