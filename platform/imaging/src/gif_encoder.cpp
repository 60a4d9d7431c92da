// GIF through giflib: one image, no transparency, and as the global colour
// map the bitmap's palette padded with black to the smallest power of two
// that covers it and every index used (a screen capture of six colours gets
// a map of 8 and codes of 3 bits, which keeps the file small).
#include <gif_lib.h>

#include <algorithm>
#include <new>

#include "encoders.h"
#include "vex/imaging/status.h"

namespace vex::imaging::detail {
namespace {

struct GifSink {
  std::vector<std::uint8_t>* out;
};

int OnGifWrite(GifFileType* gif, const GifByteType* data, int length) {
  auto* sink = static_cast<GifSink*>(gif->UserData);
  try {
    sink->out->insert(sink->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    return 0;  // giflib treats a short write as a write error
  }
  return length;
}

// Closes the GIF writer (which frees it) and the colour map on every path.
struct GifResources {
  GifFileType* gif = nullptr;
  ColorMapObject* colors = nullptr;
  ~GifResources() {
    if (gif != nullptr) {
      int error = 0;
      EGifCloseFile(gif, &error);
    }
    if (colors != nullptr) GifFreeMapObject(colors);
  }
};

}  // namespace

int EncodeGif(const Bitmap& bitmap, std::vector<std::uint8_t>* out) {
  if (!bitmap.indexed()) return ERROR_BITPERPIXEL;
  try {
    std::vector<std::uint8_t> encoded;
    GifSink sink{&encoded};
    GifResources gif;
    unsigned needed = std::max<unsigned>(2, static_cast<unsigned>(bitmap.palette().size()));
    for (int y = 0; y < bitmap.height(); ++y) {
      for (int x = 0; x < bitmap.width(); ++x) needed = std::max(needed, bitmap.Index(x, y) + 1);
    }
    int bits = 1;
    while ((1u << bits) < needed) ++bits;
    const int count = 1 << bits;
    gif.colors = GifMakeMapObject(count, nullptr);
    if (gif.colors == nullptr) return ERROR_NO_MEMORY;
    for (int i = 0; i < count; ++i) {
      const Color c = bitmap.PaletteColor(static_cast<unsigned>(i));
      gif.colors->Colors[i] = GifColorType{c.red, c.green, c.blue};
    }
    int error = 0;
    gif.gif = EGifOpen(&sink, OnGifWrite, &error);
    if (gif.gif == nullptr) return ERROR_NO_MEMORY;
    if (EGifPutScreenDesc(gif.gif, bitmap.width(), bitmap.height(), bits, 0, gif.colors) ==
            GIF_ERROR ||
        EGifPutImageDesc(gif.gif, 0, 0, bitmap.width(), bitmap.height(), false, nullptr) ==
            GIF_ERROR) {
      return ERROR_COMPRESSOR;
    }
    std::vector<GifPixelType> line(static_cast<std::size_t>(bitmap.width()));
    for (int y = 0; y < bitmap.height(); ++y) {
      for (int x = 0; x < bitmap.width(); ++x) {
        line[static_cast<std::size_t>(x)] = static_cast<GifPixelType>(bitmap.Index(x, y));
      }
      if (EGifPutLine(gif.gif, line.data(), bitmap.width()) == GIF_ERROR) return ERROR_COMPRESSOR;
    }
    GifFileType* finished = gif.gif;
    gif.gif = nullptr;
    if (EGifCloseFile(finished, &error) == GIF_ERROR) return ERROR_COMPRESSOR;
    *out = std::move(encoded);
    return SUCCESS;
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
}

}  // namespace vex::imaging::detail
