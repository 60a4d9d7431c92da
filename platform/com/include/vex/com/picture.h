// IPictureDisp: a picture object holding an enhanced-metafile image, as a
// screen capture is handed to automation clients. The picture keeps the
// metafile's bytes and its size; SaveAsFile writes them out unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vex/com/dispatch.h"

namespace vex::com {

inline constexpr std::int16_t PICTYPE_NONE = 0;
inline constexpr std::int16_t PICTYPE_BITMAP = 1;
inline constexpr std::int16_t PICTYPE_METAFILE = 2;
inline constexpr std::int16_t PICTYPE_ENHMETAFILE = 4;

struct IPictureDisp : IDispatch {
  using Base = IDispatch;
  static constexpr IID kIid = MakeGuid("7BF80981-BF32-101A-8BBB-00AA00300CAB");
  virtual HRESULT get_Type(std::int16_t* type) = 0;
  // Size in pixels of the image inside the metafile.
  virtual HRESULT get_Width(std::int32_t* width) = 0;
  virtual HRESULT get_Height(std::int32_t* height) = 0;
  // The metafile's bytes.
  virtual HRESULT GetData(SafeArray* bytes) = 0;
  virtual HRESULT SaveAsFile(const Bstr& path) = 0;
};

// A picture over enhanced-metafile bytes; E_INVALIDARG for empty data.
[[nodiscard]] HRESULT CreateMetafilePicture(std::vector<std::uint8_t> emf_bytes, std::int32_t width,
                                            std::int32_t height, IPictureDisp** out);

}  // namespace vex::com
