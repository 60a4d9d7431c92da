#include "vex/imaging/bmp.h"

#include <algorithm>
#include <new>
#include <utility>

#include "byte_order.h"
#include "dib.h"
#include "vex/imaging/status.h"

namespace vex::imaging {
namespace {

using detail::ReadI32;
using detail::ReadU16;
using detail::ReadU32;

constexpr std::uint64_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kV5HeaderSize = 124;

enum Compression : std::uint32_t {
  kBiRgb = 0,
  kBiRle8 = 1,
  kBiRle4 = 2,
  kBiBitfields = 3,
  kBiJpeg = 4,
  kBiPng = 5,
  kBiAlphaBitfields = 6,
  kBiCmyk = 11,
  kBiCmykRle8 = 12,
  kBiCmykRle4 = 13,
};

bool IsKnownCompression(std::uint32_t compression) {
  return compression <= kBiAlphaBitfields || (compression >= kBiCmyk && compression <= kBiCmykRle4);
}

// The header fields the loader uses, read and checked against the buffer.
struct BmpLayout {
  std::int32_t width = 0;
  std::int32_t height = 0;  // absolute value
  bool top_down = false;
  int bits_per_pixel = 0;
  std::uint64_t palette_offset = 0;
  std::uint64_t palette_count = 0;
  std::uint64_t pixel_offset = 0;
  std::uint64_t stride = 0;
};

int ReadLayout(std::span<const std::uint8_t> bytes, BmpLayout* layout) {
  const std::uint8_t* data = bytes.data();
  const std::uint64_t size = bytes.size();
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return ERROR_FILE_FORMAT;
  if (size < kFileHeaderSize + 4) return ERROR_FILE_READ;
  const std::uint64_t file_size = ReadU32(data + 2);
  const std::uint64_t pixel_offset = ReadU32(data + 10);
  const std::uint32_t header_size = ReadU32(data + 14);
  if (header_size == 12 || header_size == 64) return ERROR_IMAGE_TYPE;  // OS/2 headers
  if (header_size != kInfoHeaderSize && header_size != kV4HeaderSize &&
      header_size != kV5HeaderSize) {
    return ERROR_FILE_FORMAT;
  }
  if (size < kFileHeaderSize + header_size) return ERROR_FILE_READ;
  const std::uint8_t* info = data + kFileHeaderSize;
  const std::int32_t width = ReadI32(info + 4);
  const std::int32_t height = ReadI32(info + 8);
  const std::uint16_t planes = ReadU16(info + 12);
  const std::uint16_t bits = ReadU16(info + 14);
  const std::uint32_t compression = ReadU32(info + 16);
  const std::uint32_t colors_used = ReadU32(info + 32);

  if (planes != 1) return ERROR_FILE_FORMAT;
  if (bits == 16) return ERROR_IMAGE_TYPE;
  if (!IsSupportedBitsPerPixel(bits)) return ERROR_FILE_FORMAT;
  if (width <= 0 || height == 0 || width > kMaxBitmapDimension || height < -kMaxBitmapDimension ||
      height > kMaxBitmapDimension) {
    return ERROR_INV_RANGE;
  }

  // Bit-field masks follow a 40-byte header; V4 and V5 hold them inside.
  std::uint64_t palette_offset = kFileHeaderSize + header_size;
  if (compression == kBiBitfields) {
    if (bits != 32) return ERROR_IMAGE_TYPE;
    const std::uint8_t* masks = info + kInfoHeaderSize;
    if (header_size == kInfoHeaderSize) {
      if (size < palette_offset + 12) return ERROR_FILE_READ;
      masks = data + palette_offset;
      palette_offset += 12;
    }
    if (ReadU32(masks) != 0x00FF0000u || ReadU32(masks + 4) != 0x0000FF00u ||
        ReadU32(masks + 8) != 0x000000FFu) {
      return ERROR_IMAGE_TYPE;
    }
  } else if (compression != kBiRgb) {
    return IsKnownCompression(compression) ? ERROR_IMAGE_TYPE : ERROR_UNKNOWN_COMP;
  }

  std::uint64_t palette_count = 0;
  if (bits <= 8) {
    const std::uint64_t max_colors = std::uint64_t{1} << bits;
    palette_count = colors_used == 0 ? max_colors : colors_used;
    if (palette_count > max_colors) return ERROR_FILE_FORMAT;
  }
  const std::uint64_t palette_end = palette_offset + 4 * palette_count;
  if (palette_end > size) return ERROR_FILE_READ;
  if (pixel_offset < palette_end) return ERROR_FILE_FORMAT;
  if (pixel_offset > size) return ERROR_FILE_READ;

  const std::uint64_t stride = DibStride(width, bits);
  const std::uint64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  const std::uint64_t pixel_end = pixel_offset + stride * rows;
  if (file_size != 0 && file_size < pixel_end) return ERROR_FILE_FORMAT;
  if (file_size > size || pixel_end > size) return ERROR_FILE_READ;

  layout->width = width;
  layout->height = static_cast<std::int32_t>(rows);
  layout->top_down = height < 0;
  layout->bits_per_pixel = bits;
  layout->palette_offset = palette_offset;
  layout->palette_count = palette_count;
  layout->pixel_offset = pixel_offset;
  layout->stride = stride;
  return SUCCESS;
}

// Zeroes the bits of a row beyond the last pixel, so that padding never
// carries data from the file into comparisons or other formats.
void ClearRowPadding(std::span<std::uint8_t> row, int width, int bits_per_pixel) {
  const std::size_t used_bits = static_cast<std::size_t>(width) * bits_per_pixel;
  std::size_t first_free_byte = used_bits / 8;
  if (used_bits % 8 != 0) {
    row[first_free_byte] &= static_cast<std::uint8_t>(0xFF00u >> (used_bits % 8));
    ++first_free_byte;
  }
  for (std::size_t i = first_free_byte; i < row.size(); ++i) row[i] = 0;
}

}  // namespace

int LoadBitmapFromMemory(std::span<const std::uint8_t> bytes, Bitmap* out) {
  if (out == nullptr || bytes.empty()) return ERROR_INV_PARAMETER;
  BmpLayout layout;
  if (const int status = ReadLayout(bytes, &layout); status != SUCCESS) return status;

  Bitmap bitmap;
  if (const int status =
          Bitmap::Create(layout.width, layout.height, layout.bits_per_pixel, &bitmap);
      status != SUCCESS) {
    return status;
  }
  try {
    std::vector<Color> palette;
    palette.reserve(layout.palette_count);
    for (std::uint64_t i = 0; i < layout.palette_count; ++i) {
      const std::uint8_t* entry = bytes.data() + layout.palette_offset + 4 * i;
      palette.push_back(Color{entry[2], entry[1], entry[0]});
    }
    if (bitmap.indexed()) (void)bitmap.SetPalette(std::move(palette));
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
  for (int y = 0; y < layout.height; ++y) {
    const int file_row = layout.top_down ? y : layout.height - 1 - y;
    const std::uint8_t* src =
        bytes.data() + layout.pixel_offset + layout.stride * static_cast<std::uint64_t>(file_row);
    auto row = bitmap.Row(y);
    std::copy(src, src + layout.stride, row.begin());
    ClearRowPadding(row, layout.width, layout.bits_per_pixel);
  }
  *out = std::move(bitmap);
  return SUCCESS;
}

int EncodeBmp(const Bitmap& bitmap, std::vector<std::uint8_t>* out) {
  if (out == nullptr) return ERROR_INV_PARAMETER;
  if (bitmap.empty()) return ERROR_NO_BITMAP;
  const std::size_t info_size = detail::DibInfoSize(bitmap);
  const std::size_t total = kFileHeaderSize + info_size + detail::DibBitsSize(bitmap);
  if (total > 0xFFFFFFFFu) return ERROR_INV_RANGE;
  try {
    std::vector<std::uint8_t> file;
    file.reserve(total);
    file.push_back('B');
    file.push_back('M');
    detail::PutU32(file, static_cast<std::uint32_t>(total));
    detail::PutU32(file, 0);  // two reserved words
    detail::PutU32(file, static_cast<std::uint32_t>(kFileHeaderSize + info_size));
    detail::AppendDibInfo(bitmap, file);
    detail::AppendDibBits(bitmap, file);
    *out = std::move(file);
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
  return SUCCESS;
}

int MakeMonochromeBmp(int row_bytes, int rows, std::span<const std::uint8_t> data,
                      std::vector<std::uint8_t>* out) {
  if (out == nullptr || row_bytes <= 0 || rows <= 0 ||
      data.size() < static_cast<std::size_t>(row_bytes) * static_cast<std::size_t>(rows)) {
    return ERROR_INV_PARAMETER;
  }
  if (row_bytes > kMaxBitmapDimension / 8 || rows > kMaxBitmapDimension) return ERROR_INV_RANGE;
  const std::size_t stride = (static_cast<std::size_t>(row_bytes) + 3) / 4 * 4;
  const std::size_t total = 62 + stride * static_cast<std::size_t>(rows);
  try {
    std::vector<std::uint8_t> file;
    file.reserve(total);
    file.push_back('B');
    file.push_back('M');
    detail::PutU32(file, static_cast<std::uint32_t>(total));
    detail::PutU32(file, 0);
    detail::PutU32(file, 62);
    detail::PutU32(file, kInfoHeaderSize);
    detail::PutI32(file, row_bytes * 8);
    detail::PutI32(file, rows);
    detail::PutU16(file, 1);
    detail::PutU16(file, 1);
    for (int i = 0; i < 6; ++i) detail::PutU32(file, 0);  // compression .. colours important
    detail::PutU32(file, 0x00000000u);                    // black
    detail::PutU32(file, 0x00FFFFFFu);                    // white
    for (int y = rows - 1; y >= 0; --y) {
      const auto row = data.subspan(static_cast<std::size_t>(y) * row_bytes, row_bytes);
      file.insert(file.end(), row.begin(), row.end());
      file.resize(file.size() + stride - row_bytes, 0);
    }
    *out = std::move(file);
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
  return SUCCESS;
}

}  // namespace vex::imaging
