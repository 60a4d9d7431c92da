#include "vex/imaging/metafile.h"

#include <initializer_list>
#include <new>
#include <utility>

#include "byte_order.h"
#include "dib.h"
#include "vex/imaging/status.h"

namespace vex::imaging {
namespace {

using detail::PutI32;
using detail::PutU16;
using detail::PutU32;

constexpr std::uint32_t kSrcCopy = 0x00CC0020u;  // raster operation: copy the source
constexpr std::uint32_t kDibRgbColors = 0;       // the colour table holds RGB values
constexpr int kUnitsPerInch = 96;

// Hundredths of a millimetre for a length in pixels at 96 dots per inch.
std::int32_t PixelsToHimetric(int pixels) {
  return static_cast<std::int32_t>((static_cast<std::int64_t>(pixels) * 2540 + 48) / 96);
}

// EMF record types and sizes.
constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;
constexpr std::uint32_t kEmrStretchDiBits = 81;
constexpr std::uint32_t kEmfSignature = 0x464D4520u;  // " EMF"
constexpr std::uint32_t kEmfVersion = 0x00010000u;
constexpr std::uint32_t kEmrHeaderSize = 108;  // the header with both extensions
constexpr std::uint32_t kEmrStretchDiBitsFixedSize = 80;
constexpr std::uint32_t kEmrEofSize = 20;

// The reference device the header describes: a 1920 × 1080 screen at 96 dpi.
constexpr std::int32_t kDeviceWidthPixels = 1920;
constexpr std::int32_t kDeviceHeightPixels = 1080;

void PutRect(std::vector<std::uint8_t>& out, std::int32_t left, std::int32_t top,
             std::int32_t right, std::int32_t bottom) {
  PutI32(out, left);
  PutI32(out, top);
  PutI32(out, right);
  PutI32(out, bottom);
}

// WMF record functions.
constexpr std::uint16_t kMetaEof = 0x0000;
constexpr std::uint16_t kMetaSetWindowOrg = 0x020B;
constexpr std::uint16_t kMetaSetWindowExt = 0x020C;
constexpr std::uint16_t kMetaStretchDib = 0x0F43;
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::size_t kPlaceableHeaderSize = 22;
constexpr std::uint32_t kMetaHeaderWords = 9;
constexpr std::uint32_t kStretchDibFixedWords = 14;  // size, function and ten parameter words
constexpr int kMaxWmfCoordinate = 32767;

// Appends a WMF record: its size in 16-bit words, its function, then the
// parameter words.
void PutWmfRecord(std::vector<std::uint8_t>& out, std::uint16_t function,
                  std::initializer_list<std::int32_t> words) {
  PutU32(out, static_cast<std::uint32_t>(3 + words.size()));
  PutU16(out, function);
  for (const std::int32_t word : words) PutU16(out, static_cast<std::uint32_t>(word));
}

}  // namespace

int ConvertToEmf(const Bitmap& bitmap, std::vector<std::uint8_t>* emf) {
  if (emf == nullptr) return ERROR_INV_PARAMETER;
  if (bitmap.empty()) return ERROR_NO_BITMAP;
  const std::uint64_t info_size = detail::DibInfoSize(bitmap);
  const std::uint64_t bits_size = detail::DibBitsSize(bitmap);
  const std::uint64_t stretch_size = kEmrStretchDiBitsFixedSize + info_size + bits_size;
  const std::uint64_t total = kEmrHeaderSize + stretch_size + kEmrEofSize;
  if (total > 0xFFFFFFFFu) return ERROR_INV_RANGE;
  const std::int32_t w = bitmap.width();
  const std::int32_t h = bitmap.height();
  try {
    std::vector<std::uint8_t> out;
    out.reserve(total);

    // EMR_HEADER. Bounds are inclusive device pixels, the frame inclusive
    // hundredths of a millimetre.
    PutU32(out, kEmrHeader);
    PutU32(out, kEmrHeaderSize);
    PutRect(out, 0, 0, w - 1, h - 1);
    PutRect(out, 0, 0, PixelsToHimetric(w) - 1, PixelsToHimetric(h) - 1);
    PutU32(out, kEmfSignature);
    PutU32(out, kEmfVersion);
    PutU32(out, static_cast<std::uint32_t>(total));
    PutU32(out, 3);  // records
    PutU16(out, 1);  // handles: only the reserved index 0
    PutU16(out, 0);  // reserved
    PutU32(out, 0);  // no description
    PutU32(out, 0);
    PutU32(out, 0);  // no palette entries in the EOF record
    PutI32(out, kDeviceWidthPixels);
    PutI32(out, kDeviceHeightPixels);
    PutI32(out, (kDeviceWidthPixels * 254 + kUnitsPerInch * 5) / (kUnitsPerInch * 10));
    PutI32(out, (kDeviceHeightPixels * 254 + kUnitsPerInch * 5) / (kUnitsPerInch * 10));
    PutU32(out, 0);  // no pixel format
    PutU32(out, 0);
    PutU32(out, 0);                                           // not OpenGL
    PutI32(out, kDeviceWidthPixels * 25400 / kUnitsPerInch);  // device size in micrometres
    PutI32(out, kDeviceHeightPixels * 25400 / kUnitsPerInch);

    // EMR_STRETCHDIBITS: the whole bitmap onto (0, 0)-(w, h).
    PutU32(out, kEmrStretchDiBits);
    PutU32(out, static_cast<std::uint32_t>(stretch_size));
    PutRect(out, 0, 0, w - 1, h - 1);
    PutI32(out, 0);  // destination x, y
    PutI32(out, 0);
    PutI32(out, 0);  // source x, y, width, height
    PutI32(out, 0);
    PutI32(out, w);
    PutI32(out, h);
    PutU32(out, kEmrStretchDiBitsFixedSize);  // BITMAPINFO offset and size
    PutU32(out, static_cast<std::uint32_t>(info_size));
    PutU32(out, static_cast<std::uint32_t>(kEmrStretchDiBitsFixedSize + info_size));  // bits
    PutU32(out, static_cast<std::uint32_t>(bits_size));
    PutU32(out, kDibRgbColors);
    PutU32(out, kSrcCopy);
    PutI32(out, w);  // destination width, height
    PutI32(out, h);
    detail::AppendDibInfo(bitmap, out);
    detail::AppendDibBits(bitmap, out);

    // EMR_EOF without a palette.
    PutU32(out, kEmrEof);
    PutU32(out, kEmrEofSize);
    PutU32(out, 0);   // palette entries
    PutU32(out, 16);  // offset of the (empty) palette
    PutU32(out, kEmrEofSize);
    *emf = std::move(out);
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
  return SUCCESS;
}

int ConvertToWmf(const Bitmap& bitmap, std::vector<std::uint8_t>* wmf) {
  if (wmf == nullptr) return ERROR_INV_PARAMETER;
  if (bitmap.empty()) return ERROR_NO_BITMAP;
  const std::int32_t w = bitmap.width();
  const std::int32_t h = bitmap.height();
  if (w > kMaxWmfCoordinate || h > kMaxWmfCoordinate) return ERROR_INV_RANGE;
  const std::uint64_t dib_size = detail::DibInfoSize(bitmap) + detail::DibBitsSize(bitmap);
  const std::uint64_t stretch_words = kStretchDibFixedWords + dib_size / 2;  // DIBs are 4-aligned
  const std::uint64_t metafile_words = kMetaHeaderWords + 5 + 5 + stretch_words + 3;
  if (metafile_words > 0xFFFFFFFFu) return ERROR_INV_RANGE;
  try {
    std::vector<std::uint8_t> out;
    out.reserve(kPlaceableHeaderSize + 2 * metafile_words);

    // Placeable header; the checksum is the XOR of its first ten words.
    PutU32(out, kPlaceableKey);
    PutU16(out, 0);  // no metafile handle
    PutU16(out, 0);  // bounding box left, top, right, bottom
    PutU16(out, 0);
    PutU16(out, static_cast<std::uint32_t>(w));
    PutU16(out, static_cast<std::uint32_t>(h));
    PutU16(out, kUnitsPerInch);
    PutU32(out, 0);  // reserved
    std::uint16_t checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) checksum ^= detail::ReadU16(out.data() + i);
    PutU16(out, checksum);

    // METAHEADER: a memory metafile of version 3.0, no objects.
    PutU16(out, 1);
    PutU16(out, kMetaHeaderWords);
    PutU16(out, 0x0300);
    PutU32(out, static_cast<std::uint32_t>(metafile_words));
    PutU16(out, 0);
    PutU32(out, static_cast<std::uint32_t>(stretch_words));  // the largest record
    PutU16(out, 0);

    // Parameters of WMF records are stored in reverse order: y before x.
    PutWmfRecord(out, kMetaSetWindowOrg, {0, 0});
    PutWmfRecord(out, kMetaSetWindowExt, {h, w});

    PutU32(out, static_cast<std::uint32_t>(stretch_words));
    PutU16(out, kMetaStretchDib);
    PutU32(out, kSrcCopy);
    PutU16(out, kDibRgbColors);
    for (const std::int32_t word : {h, w, 0, 0, h, w, 0, 0}) {
      // source height, width, y, x; destination height, width, y, x
      PutU16(out, static_cast<std::uint32_t>(word));
    }
    detail::AppendDibInfo(bitmap, out);
    detail::AppendDibBits(bitmap, out);

    PutWmfRecord(out, kMetaEof, {});
    *wmf = std::move(out);
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
  return SUCCESS;
}

}  // namespace vex::imaging
