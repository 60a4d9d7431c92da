// Screen captures in PNG, a format the server does not write: the server
// saves a BMP file to a temporary name, the imaging layer loads it and
// writes it as PNG, and the temporary file is removed.
#pragma once

#include <string>

namespace vex::scope {

// Whether the file name ends in ".png" (any letter case).
bool HasPngSuffix(const std::string& path);

// A new, empty file in the temporary folder ending in `suffix`, removed
// when the object goes (whatever happened to it meanwhile).
class TempFile {
 public:
  explicit TempFile(const std::string& suffix);
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Loads a BMP file and writes it as PNG; throws std::runtime_error with the
// imaging layer's text.
void ConvertBmpFileToPng(const std::string& bmp_path, const std::string& png_path);

}  // namespace vex::scope
