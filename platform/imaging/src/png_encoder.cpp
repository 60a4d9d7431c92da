// PNG through libpng. libpng reports errors by longjmp, so the function that
// calls setjmp (WritePng) holds no object with a destructor: the row table
// and the output vector live in the caller's frame.
#include <png.h>

#include <csetjmp>
#include <new>

#include "encoders.h"
#include "vex/imaging/status.h"

namespace vex::imaging::detail {
namespace {

struct PngJob {
  const Bitmap* bitmap;
  png_bytep* rows;
  std::vector<std::uint8_t>* out;
  bool out_of_memory;
};

void OnPngError(png_structp png, png_const_charp /*message*/) {
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void OnPngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  try {
    job->out->insert(job->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    job->out_of_memory = true;
  }
  if (job->out_of_memory) png_error(png, "out of memory");
}

void OnPngFlush(png_structp /*png*/) {}

int WritePng(PngJob* job) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png == nullptr) return ERROR_NO_MEMORY;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return ERROR_NO_MEMORY;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return job->out_of_memory ? ERROR_NO_MEMORY : ERROR_COMPRESSOR;
  }
  const Bitmap& bitmap = *job->bitmap;
  png_set_write_fn(png, job, OnPngWrite, OnPngFlush);
  const int bits = bitmap.bits_per_pixel();
  if (bitmap.indexed()) {
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width()),
                 static_cast<png_uint_32>(bitmap.height()), bits, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    const int colors = 1 << bits;
    for (int i = 0; i < colors; ++i) {
      const Color c = bitmap.PaletteColor(static_cast<unsigned>(i));
      palette[i] = png_color{c.red, c.green, c.blue};
    }
    png_set_PLTE(png, info, palette, colors);
  } else {
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width()),
                 static_cast<png_uint_32>(bitmap.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  }
  png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);  // 96 dpi
  png_write_info(png, info);
  if (!bitmap.indexed()) {
    // Rows are blue-green-red (and an unused fourth byte at 32 bits).
    png_set_bgr(png);
    if (bits == 32) png_set_filler(png, 0, PNG_FILLER_AFTER);
  }
  png_write_image(png, job->rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return SUCCESS;
}

}  // namespace

int EncodePng(const Bitmap& bitmap, std::vector<std::uint8_t>* out) {
  try {
    std::vector<png_bytep> rows(static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) {
      // libpng copies each row before transforming it; it never writes here.
      rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(bitmap.Row(y).data());
    }
    std::vector<std::uint8_t> encoded;
    PngJob job{&bitmap, rows.data(), &encoded, false};
    const int status = WritePng(&job);
    if (status == SUCCESS) *out = std::move(encoded);
    return status;
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
}

}  // namespace vex::imaging::detail
