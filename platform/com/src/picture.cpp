#include "vex/com/picture.h"

#include <fstream>

#include "vex/com/error_info.h"

namespace vex::com {
namespace {

class MetafilePicture : public Object<IPictureDisp> {
 public:
  MetafilePicture(std::vector<std::uint8_t> bytes, std::int32_t width, std::int32_t height)
      : bytes_(std::move(bytes)), width_(width), height_(height) {}

  HRESULT get_Type(std::int16_t* type) override {
    if (!type) return E_POINTER;
    *type = PICTYPE_ENHMETAFILE;
    return S_OK;
  }
  HRESULT get_Width(std::int32_t* width) override {
    if (!width) return E_POINTER;
    *width = width_;
    return S_OK;
  }
  HRESULT get_Height(std::int32_t* height) override {
    if (!height) return E_POINTER;
    *height = height_;
    return S_OK;
  }
  HRESULT GetData(SafeArray* bytes) override {
    if (!bytes) return E_POINTER;
    *bytes = SafeArray::FromBytes(bytes_);
    return S_OK;
  }
  HRESULT SaveAsFile(const Bstr& path) override {
    if (path.IsEmpty()) return E_INVALIDARG;
    std::ofstream out(path.Str(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()),
              static_cast<std::streamsize>(bytes_.size()));
    if (!out)
      return ReportRichError(E_FAIL, "Cannot write the picture to " + path.Str() + ".",
                             "vexcom.Picture");
    return S_OK;
  }

  VEX_COM_IMPLEMENT_DISPATCH(MetafilePicture, Table())

 private:
  static const DispatchTable& Table() {
    static const DispatchTable table =
        DispatchTableBuilder<MetafilePicture>("IPictureDisp")
            .Get("Type", 5, &IPictureDisp::get_Type)
            .Get("Width", 3, &IPictureDisp::get_Width)
            .Get("Height", 4, &IPictureDisp::get_Height)
            .Method("GetData", 100, &IPictureDisp::GetData, {Retval("Bytes", VT_ARRAY | VT_UI1)})
            .Method("SaveAsFile", 101, &IPictureDisp::SaveAsFile, {In("Path")})
            .Build();
    return table;
  }

  std::vector<std::uint8_t> bytes_;
  std::int32_t width_, height_;
};

}  // namespace

HRESULT CreateMetafilePicture(std::vector<std::uint8_t> emf_bytes, std::int32_t width,
                              std::int32_t height, IPictureDisp** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (emf_bytes.empty() || width < 0 || height < 0) return E_INVALIDARG;
  *out = MakeObject<MetafilePicture>(std::move(emf_bytes), width, height).Detach();
  return S_OK;
}

}  // namespace vex::com
