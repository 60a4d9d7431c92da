#include "setup_file_fields.h"

namespace vex::control {

Variant LearnStringVariant(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return Variant();
  return Variant(com::SafeArray::FromBytes(bytes));
}

HRESULT LearnStringBytes(const Variant& value, std::vector<std::uint8_t>* bytes) {
  const Variant plain = value.Dereferenced();
  if (plain.IsEmpty() || plain.IsMissing()) {
    bytes->clear();
    return com::S_OK;
  }
  const com::SafeArray* array = plain.Array();
  if (!array || array->ElementType() != com::VT_UI1 || array->Dims() != 1) {
    return com::DISP_E_TYPEMISMATCH;
  }
  const auto data = array->Span<const std::uint8_t>();
  bytes->assign(data.begin(), data.end());
  return com::S_OK;
}

}  // namespace vex::control
