// TIFF through libtiff, written into memory through libtiff's client I/O.
// Errors and warnings go to handlers bound to this one file (libtiff's
// per-open options), so the library neither prints nor changes the process's
// global handlers.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "encoders.h"
#include "vex/imaging/status.h"

namespace vex::imaging::detail {
namespace {

// A growable file in memory with a position, as libtiff's client I/O needs.
struct MemoryFile {
  std::vector<std::uint8_t> data;
  std::uint64_t position = 0;
};

tmsize_t OnTiffRead(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (size < 0 || file->position >= file->data.size()) return 0;
  const std::uint64_t count =
      std::min<std::uint64_t>(static_cast<std::uint64_t>(size), file->data.size() - file->position);
  std::memcpy(buffer, file->data.data() + file->position, count);
  file->position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t OnTiffWrite(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (size < 0) return -1;
  const std::uint64_t end = file->position + static_cast<std::uint64_t>(size);
  try {
    if (end > file->data.size()) file->data.resize(end);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (size > 0)
    std::memcpy(file->data.data() + file->position, buffer, static_cast<std::size_t>(size));
  file->position = end;
  return size;
}

toff_t OnTiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = file->position;
  if (whence == SEEK_END) base = file->data.size();
  file->position = base + offset;
  return file->position;
}

int OnTiffClose(thandle_t /*handle*/) {
  return 0;
}

toff_t OnTiffSize(thandle_t handle) {
  return static_cast<MemoryFile*>(handle)->data.size();
}

int OnTiffMap(thandle_t /*handle*/, void** /*base*/, toff_t* /*size*/) {
  return 0;
}

void OnTiffUnmap(thandle_t /*handle*/, void* /*base*/, toff_t /*size*/) {}

// Returning 1 tells libtiff the message is handled (nothing is printed).
int OnTiffMessage(TIFF* /*tif*/, void* /*user*/, const char* /*module*/, const char* /*format*/,
                  va_list /*args*/) {
  return 1;
}

// Closes the TIFF on every path.
struct TiffCloser {
  TIFF* tif;
  ~TiffCloser() {
    if (tif != nullptr) TIFFClose(tif);
  }
};

int WriteFields(TIFF* tif, const Bitmap& bitmap, std::vector<std::uint16_t>* colormap) {
  const bool indexed = bitmap.indexed();
  const auto bits = static_cast<std::uint16_t>(indexed ? bitmap.bits_per_pixel() : 8);
  bool ok =
      TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(bitmap.width())) &&
      TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(bitmap.height())) &&
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits) &&
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(indexed ? 1 : 3)) &&
      TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
      TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
      TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, indexed ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB) &&
      TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
      TIFFSetField(tif, TIFFTAG_XRESOLUTION, 96.0f) &&
      TIFFSetField(tif, TIFFTAG_YRESOLUTION, 96.0f) &&
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  if (ok && indexed) {
    // Colour map: all reds, then greens, then blues, 16 bits each.
    const std::size_t colors = std::size_t{1} << bits;
    colormap->assign(3 * colors, 0);
    for (std::size_t i = 0; i < colors; ++i) {
      const Color c = bitmap.PaletteColor(static_cast<unsigned>(i));
      (*colormap)[i] = static_cast<std::uint16_t>(c.red * 257);
      (*colormap)[colors + i] = static_cast<std::uint16_t>(c.green * 257);
      (*colormap)[2 * colors + i] = static_cast<std::uint16_t>(c.blue * 257);
    }
    ok = TIFFSetField(tif, TIFFTAG_COLORMAP, colormap->data(), colormap->data() + colors,
                      colormap->data() + 2 * colors);
  }
  return ok ? SUCCESS : ERROR_COMPRESSOR;
}

}  // namespace

int EncodeTiff(const Bitmap& bitmap, std::vector<std::uint8_t>* out) {
  try {
    MemoryFile file;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return ERROR_NO_MEMORY;
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffMessage, nullptr);
    TiffCloser closer{TIFFClientOpenExt("memory", "w", &file, OnTiffRead, OnTiffWrite, OnTiffSeek,
                                        OnTiffClose, OnTiffSize, OnTiffMap, OnTiffUnmap, options)};
    TIFFOpenOptionsFree(options);
    if (closer.tif == nullptr) return ERROR_COMPRESSOR;

    std::vector<std::uint16_t> colormap;
    if (const int status = WriteFields(closer.tif, bitmap, &colormap); status != SUCCESS) {
      return status;
    }
    const bool indexed = bitmap.indexed();
    const std::size_t row_bytes =
        indexed ? (static_cast<std::size_t>(bitmap.width()) * bitmap.bits_per_pixel() + 7) / 8
                : static_cast<std::size_t>(bitmap.width()) * 3;
    std::vector<std::uint8_t> scanline(row_bytes);
    for (int y = 0; y < bitmap.height(); ++y) {
      if (indexed) {
        // TIFF packs sub-byte samples from the most significant bit, as a DIB.
        const auto row = bitmap.Row(y);
        std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(row_bytes),
                  scanline.begin());
      } else {
        for (int x = 0; x < bitmap.width(); ++x) {
          const Color c = bitmap.PixelColor(x, y);
          scanline[3 * static_cast<std::size_t>(x)] = c.red;
          scanline[3 * static_cast<std::size_t>(x) + 1] = c.green;
          scanline[3 * static_cast<std::size_t>(x) + 2] = c.blue;
        }
      }
      if (TIFFWriteScanline(closer.tif, scanline.data(), static_cast<std::uint32_t>(y), 0) != 1) {
        return ERROR_COMPRESSOR;
      }
    }
    if (TIFFFlush(closer.tif) != 1) return ERROR_COMPRESSOR;
    TIFFClose(closer.tif);
    closer.tif = nullptr;
    *out = std::move(file.data);
    return SUCCESS;
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
}

}  // namespace vex::imaging::detail
