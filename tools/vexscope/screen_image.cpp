#include "screen_image.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "vex/com/numeric_text.h"
#include "vex/imaging/imaging.h"
#include "vex/system/system.h"

namespace vex::scope {

bool HasPngSuffix(const std::string& path) {
  return path.size() >= 4 &&
         com::EqualsNoCase(std::string_view(path).substr(path.size() - 4), ".png");
}

TempFile::TempFile(const std::string& suffix) {
  std::string pattern = system::TempFolder() + "vexscope-XXXXXX" + suffix;
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = mkstemps(buffer.data(), static_cast<int>(suffix.size()));
  if (fd < 0) {
    throw std::runtime_error("cannot create a temporary file in " + system::TempFolder() + ": " +
                             std::strerror(errno));
  }
  close(fd);
  path_ = buffer.data();
}

TempFile::~TempFile() {
  if (!path_.empty()) unlink(path_.c_str());
}

void ConvertBmpFileToPng(const std::string& bmp_path, const std::string& png_path) {
  std::ifstream file(bmp_path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + bmp_path + ": " + std::strerror(errno));
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  imaging::Bitmap bitmap;
  int status = imaging::LoadBitmapFromMemory(bytes, &bitmap);
  if (status != imaging::SUCCESS) {
    throw std::runtime_error("the screen image is not a readable BMP file: " +
                             imaging::ErrorText(status));
  }
  status =
      imaging::SaveBitmap(png_path, bitmap, imaging::kFormatPng, 0, imaging::kDefaultQualityFactor);
  if (status != imaging::SUCCESS) {
    throw std::runtime_error("cannot write " + png_path + ": " + imaging::ErrorText(status));
  }
}

}  // namespace vex::scope
