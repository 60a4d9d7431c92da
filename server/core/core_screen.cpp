// Screen images: the raw screen as a BMP file image, a picture object for
// hosts that paste it, and image files.
#include <string>
#include <vector>

#include "command_table.h"
#include "data_tables.h"
#include "data_transfers.h"
#include "pcl_raster.h"
#include "vex/com/picture.h"
#include "vex/imaging/imaging.h"

namespace vex::server {
namespace {

constexpr std::uint32_t kHelpGetScreenImage = 10;
constexpr std::uint32_t kHelpSaveScreenImage = 15;
constexpr std::uint32_t kHelpUnknownFormat = 99;
constexpr const char* kScreenTransfer = "The screen image transfer";

// The screen's BMP bytes loaded into a bitmap.
imaging::Bitmap LoadScreen(CCoreVexR7100& core, const Variant& image) {
  const SafeArray* array = image.Array();
  if (image.vt() != (com::VT_ARRAY | com::VT_UI1) || !array || array->Dims() != 1)
    throw Refusal{core.ReportError(msg::kScreenDataCorrupt, com::E_UNEXPECTED)};
  imaging::Bitmap bitmap;
  if (imaging::LoadBitmapFromMemory(array->Span<const std::uint8_t>(), &bitmap) != imaging::SUCCESS)
    throw Refusal{core.ReportError(msg::kImageLoadFailed, com::E_FAIL)};
  return bitmap;
}

// Fetches the screen; a failure has been reported by the fetch itself and
// leaves the member with its status.
imaging::Bitmap FetchScreen(CCoreVexR7100& core, VexR7100_ImageFormat format) {
  Variant image;
  HRESULT hr = QueryScreenImage(core, format, &image);
  if (FAILED(hr)) throw Refusal{hr};
  return LoadScreen(core, image);
}

}  // namespace

HRESULT QueryScreenImage(CCoreVexR7100& core, VexR7100_ImageFormat format, Variant* image) {
  if (!image) return com::E_POINTER;
  return core.RunMember(msg::kQueryScreenImageFailed, msg::kHelpDefault, [&]() -> HRESULT {
    // The instrument renders the screen before the first byte comes.
    core.ExtendTimeoutForLongTransfer();
    auto query = core.CommandQuery(kCmdScreenImage);
    if (!query) throw Refusal{core.NotSupported()};
    auto argument = ScreenQueryTable().WordOf(format);
    if (!argument)
      throw Refusal{core.ReportErrorEx(msg::kEnumNotRecognized, com::E_FAIL, kHelpUnknownFormat)};
    HRESULT hr = core.SendWithNoArg(*query + " " + std::string(*argument));
    if (FAILED(hr)) return core.LongTransferFailure(kScreenTransfer, hr);
    const bool bitmap_reply = core.Model().CommandSet() == 4;
    Variant reply;
    hr = ReadReply(core, bitmap_reply ? io::kFormatBlockData : io::kFormatBlockWithHeader, true,
                   &reply);
    if (FAILED(hr)) return core.LongTransferFailure(kScreenTransfer, hr);
    if (bitmap_reply) {
      *image = std::move(reply);
      return com::S_OK;
    }
    // A print dump: its raster becomes a monochrome BMP.
    const SafeArray* dump = reply.Array();
    std::vector<std::uint8_t> bmp;
    if (reply.vt() != (com::VT_ARRAY | com::VT_UI1) || !dump || dump->Dims() != 1 ||
        !DecodePclRaster(dump->Span<const std::uint8_t>(), &bmp))
      throw Refusal{core.ReportError(msg::kScreenConversionFailed, com::E_UNEXPECTED)};
    *image = Variant(SafeArray::FromBytes(bmp));
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::GetScreenImage(VexR7100_ImageFormat format, com::IPictureDisp** image) {
  if (!image) return com::E_POINTER;
  *image = nullptr;
  return RunComposite(*this, msg::kGetScreenImageFailed, kHelpGetScreenImage, [&]() -> HRESULT {
    imaging::Bitmap bitmap = FetchScreen(*this, format);
    std::vector<std::uint8_t> emf;
    if (imaging::ConvertToEmf(bitmap, &emf) != imaging::SUCCESS)
      throw Refusal{ReportError(msg::kImageToEmfFailed, com::E_FAIL)};
    return com::CreateMetafilePicture(std::move(emf), bitmap.width(), bitmap.height(), image);
  });
}

HRESULT CCoreVexR7100::SaveScreenImage(const Bstr& filename, VexR7100_ImageFormat format) {
  return RunComposite(*this, msg::kSaveScreenImageFailed, kHelpSaveScreenImage, [&]() -> HRESULT {
    // The instrument is asked with the caller's format, UseSuffix included.
    imaging::Bitmap bitmap = FetchScreen(*this, format);
    const std::string path = filename.Str();
    int file_format = format == VexR7100_ImageFormat_UseSuffix ? ImageFormatOfFileName(path)
                                                               : static_cast<int>(format);
    auto save = SaveParametersOf(file_format);
    if (!save) throw Refusal{ReportError(msg::kUnrecognizedImageFormat, com::E_UNEXPECTED)};
    int status = imaging::SaveBitmap(path, bitmap, save->file_format, save->bits_per_pixel,
                                     save->quality_factor);
    if (status != imaging::SUCCESS)
      throw Refusal{ReportError(imaging::ErrorText(status), com::E_FAIL)};
    return com::S_OK;
  });
}

}  // namespace vex::server
