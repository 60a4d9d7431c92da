#include "bag_values.h"

#include <algorithm>

#include "vex/com/error_info.h"

namespace vex::control {

bool ReadTyped(com::IPropertyBag* bag, std::string_view key, com::VARTYPE vt, com::Variant* out) {
  com::Variant value;
  if (com::FAILED(bag->Read(com::Bstr(key), &value, nullptr))) {
    com::SetErrorInfo(0, nullptr);
    return false;
  }
  if (vt == com::VT_EMPTY) {
    *out = std::move(value);
    return true;
  }
  com::Variant converted;
  if (com::FAILED(value.ChangeType(vt, &converted))) {
    com::SetErrorInfo(0, nullptr);
    return false;
  }
  *out = std::move(converted);
  return true;
}

std::int32_t ReadI4(com::IPropertyBag* bag, std::string_view key, std::int32_t fallback) {
  com::Variant value;
  return ReadTyped(bag, key, com::VT_I4, &value) ? value.I4() : fallback;
}

std::int16_t ReadI2(com::IPropertyBag* bag, std::string_view key, std::int16_t fallback) {
  com::Variant value;
  return ReadTyped(bag, key, com::VT_I2, &value) ? value.I2() : fallback;
}

bool ReadBool(com::IPropertyBag* bag, std::string_view key, bool fallback) {
  com::Variant value;
  return ReadTyped(bag, key, com::VT_BOOL, &value) ? value.BoolVal() != 0 : fallback;
}

std::string ReadString(com::IPropertyBag* bag, std::string_view key, std::string_view fallback) {
  com::Variant value;
  return ReadTyped(bag, key, com::VT_BSTR, &value) ? value.BstrVal().Str() : std::string(fallback);
}

bool SameBagValue(const com::Variant& a, const com::Variant& b) {
  if (a.vt() != b.vt()) return false;
  switch (a.vt()) {
    case com::VT_EMPTY:
      return true;
    case com::VT_BOOL:
      return (a.BoolVal() != 0) == (b.BoolVal() != 0);
    case com::VT_I2:
      return a.I2() == b.I2();
    case com::VT_I4:
      return a.I4() == b.I4();
    case com::VT_R8:
      return a.R8() == b.R8();
    case com::VT_BSTR:
      return a.BstrVal().View() == b.BstrVal().View();
    default:
      break;
  }
  const com::SafeArray* x = a.Array();
  const com::SafeArray* y = b.Array();
  if (!x || !y) return false;
  const auto sx = x->Span<const std::uint8_t>();
  const auto sy = y->Span<const std::uint8_t>();
  return std::equal(sx.begin(), sx.end(), sy.begin(), sy.end());
}

com::HRESULT WriteUnlessDefault(com::IPropertyBag* bag, std::string_view key,
                                const com::Variant& value, const com::Variant& fallback) {
  if (SameBagValue(value, fallback)) return com::S_OK;
  return bag->Write(com::Bstr(key), value);
}

}  // namespace vex::control
