#include "vex/imaging/save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <new>

#include "encoders.h"
#include "vex/imaging/bmp.h"
#include "vex/imaging/convert.h"
#include "vex/imaging/metafile.h"
#include "vex/imaging/status.h"

namespace vex::imaging {
namespace {

bool IsKnownFormat(int format) {
  return format == kFormatBmp || format == kFormatGif || format == kFormatTif ||
         format == kFormatJpeg || format == kFormatWmf || format == kFormatEmf ||
         format == kFormatPng;
}

// The depth a format is written at for a requested depth (0 = the bitmap's
// own), or 0 when the format cannot take the requested one.
int TargetDepth(int format, int requested, int own) {
  const int wanted = requested == 0 ? own : requested;
  if (!IsSupportedBitsPerPixel(wanted)) return 0;
  switch (format) {
    case kFormatGif:
      if (requested == 0 && wanted > 8) return 8;
      return wanted <= 8 ? wanted : 0;
    case kFormatTif:
    case kFormatPng:
      return wanted == 32 ? 24 : wanted;
    case kFormatJpeg:
      if (requested == 0) return 24;
      if (wanted == 8) return 8;
      return wanted >= 24 ? 24 : 0;
    default:
      return wanted;
  }
}

// Writes all of `data`, looping over short writes and interruptions.
bool WriteAll(int fd, const std::vector<std::uint8_t>& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

int JpegQualityFromFactor(int quality_factor) {
  if (quality_factor < 2 || quality_factor > 255) return ERROR_QFACTOR;
  return 100 - ((quality_factor - 2) * 99 * 2 + 253) / (2 * 253);
}

int EncodeBitmap(const Bitmap& bitmap, int file_format, int bits_per_pixel, int quality_factor,
                 std::vector<std::uint8_t>* out) {
  if (out == nullptr) return ERROR_INV_PARAMETER;
  if (bitmap.empty()) return ERROR_NO_BITMAP;
  if (!IsKnownFormat(file_format)) return ERROR_FEATURE_NOT_SUPPORTED;
  const int depth = TargetDepth(file_format, bits_per_pixel, bitmap.bits_per_pixel());
  if (depth == 0) return ERROR_BITPERPIXEL;
  int quality = 0;
  if (file_format == kFormatJpeg) {
    quality = JpegQualityFromFactor(quality_factor);
    if (quality < 0) return quality;
  }
  // JPEG takes its samples from each pixel's colour, so it needs no
  // conversion: 8 bits selects greyscale.
  if (file_format == kFormatJpeg) return detail::EncodeJpeg(bitmap, quality, depth == 8, out);
  Bitmap converted;
  const Bitmap* source = &bitmap;
  if (depth != bitmap.bits_per_pixel()) {
    if (const int status = ConvertBitsPerPixel(bitmap, depth, &converted); status != SUCCESS) {
      return status;
    }
    source = &converted;
  }
  switch (file_format) {
    case kFormatBmp:
      return EncodeBmp(*source, out);
    case kFormatGif:
      return detail::EncodeGif(*source, out);
    case kFormatTif:
      return detail::EncodeTiff(*source, out);
    case kFormatPng:
      return detail::EncodePng(*source, out);
    case kFormatWmf:
      return ConvertToWmf(*source, out);
    case kFormatEmf:
      return ConvertToEmf(*source, out);
    default:
      return ERROR_FEATURE_NOT_SUPPORTED;
  }
}

int SaveBitmap(const std::string& path, const Bitmap& bitmap, int file_format, int bits_per_pixel,
               int quality_factor) {
  if (path.empty() || path.size() >= PATH_MAX || path.find('\0') != std::string::npos) {
    return ERROR_INV_FILENAME;
  }
  std::vector<std::uint8_t> encoded;
  if (const int status =
          EncodeBitmap(bitmap, file_format, bits_per_pixel, quality_factor, &encoded);
      status != SUCCESS) {
    return status;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    switch (errno) {
      case ENOENT:
      case ENOTDIR:
        return ERROR_FILENOTFOUND;
      case ENAMETOOLONG:
        return ERROR_INV_FILENAME;
      case ENOMEM:
        return ERROR_NO_MEMORY;
      default:
        return ERROR_FILE_OPEN;
    }
  }
  // Only a regular file is removed after a failed write: the path may name a
  // device or a pipe that must stay.
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const bool written = WriteAll(fd, encoded);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    if (regular) ::unlink(path.c_str());
    return ERROR_FILE_WRITE;
  }
  return SUCCESS;
}

}  // namespace vex::imaging
