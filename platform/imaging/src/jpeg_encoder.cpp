// JPEG through libjpeg. libjpeg reports errors through error_exit, which here
// longjmps back to WriteJpeg; that function holds no object with a
// destructor, and the memory destination's buffer pointer lives in the job
// in the caller's frame so that it is still known after the jump.
#include <cstdio>  // jpeglib.h needs FILE and size_t
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <cstdlib>
#include <new>

#include "encoders.h"
#include "vex/imaging/status.h"

namespace vex::imaging::detail {
namespace {

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

struct JpegJob {
  int width;
  int height;
  int components;
  int quality;
  const std::uint8_t* samples;  // rows of width × components bytes
  unsigned char* buffer;        // allocated by libjpeg's memory destination
  unsigned long size;
};

void OnJpegError(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::longjmp(manager->jump, 1);
}

void OnJpegMessage(j_common_ptr /*cinfo*/, int /*level*/) {}

int WriteJpeg(JpegJob* job) {
  jpeg_compress_struct cinfo;
  JpegErrorManager errors;
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnJpegError;
  errors.base.emit_message = OnJpegMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    return ERROR_COMPRESSOR;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &job->buffer, &job->size);
  cinfo.image_width = static_cast<JDIMENSION>(job->width);
  cinfo.image_height = static_cast<JDIMENSION>(job->height);
  cinfo.input_components = job->components;
  cinfo.in_color_space = job->components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, job->quality, TRUE);
  cinfo.density_unit = 1;  // dots per inch
  cinfo.X_density = 96;
  cinfo.Y_density = 96;
  jpeg_start_compress(&cinfo, TRUE);
  const std::size_t row_bytes = static_cast<std::size_t>(job->width) * job->components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(job->samples + row_bytes * cinfo.next_scanline);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return SUCCESS;
}

}  // namespace

int EncodeJpeg(const Bitmap& bitmap, int quality, bool grey, std::vector<std::uint8_t>* out) {
  const int components = grey ? 1 : 3;
  JpegJob job{bitmap.width(), bitmap.height(), components, quality, nullptr, nullptr, 0};
  int status = SUCCESS;
  try {
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(bitmap.width()) *
                                      static_cast<std::size_t>(bitmap.height()) * components);
    std::size_t at = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
      for (int x = 0; x < bitmap.width(); ++x) {
        const Color c = bitmap.PixelColor(x, y);
        if (grey) {
          samples[at++] =
              static_cast<std::uint8_t>((299 * c.red + 587 * c.green + 114 * c.blue + 500) / 1000);
        } else {
          samples[at++] = c.red;
          samples[at++] = c.green;
          samples[at++] = c.blue;
        }
      }
    }
    job.samples = samples.data();
    status = WriteJpeg(&job);
    if (status == SUCCESS) out->assign(job.buffer, job.buffer + job.size);
  } catch (const std::bad_alloc&) {
    status = ERROR_NO_MEMORY;
  }
  std::free(job.buffer);
  return status;
}

}  // namespace vex::imaging::detail
