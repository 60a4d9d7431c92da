#include "setup_file_fields.h"

#include "setup_errors.h"
#include "setup_file_io.h"

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

HRESULT IsCompatibleSetupFile(const Bstr& file_name, SetupFileRecogniser recognise,
                              VARIANT_BOOL* compatible) {
  if (!compatible) return com::E_POINTER;
  std::vector<std::uint8_t> bytes;
  *compatible =
      com::ToVariantBool(!ReadWholeFile(file_name.Str(), &bytes, nullptr) || recognise(bytes));
  return com::S_OK;
}

HRESULT ReadSetupFile(const Bstr& file_name, SetupFileParser parse, SetupFileFields* fields,
                      const char* module) {
  std::vector<std::uint8_t> bytes;
  std::string reason;
  if (!ReadWholeFile(file_name.Str(), &bytes, &reason)) {
    return RaiseSetupFileError(kTextLoadFromFileFailed, file_name.View(), reason,
                               "(file opened for reading)", module, "ReadFile");
  }
  SetupFileFailure failure;
  if (!parse(bytes, fields, &failure)) {
    return RaiseSetupFileError(kTextLoadFromFileFailed, file_name.View(), failure.reason,
                               failure.condition, module, failure.procedure);
  }
  return com::S_OK;
}

}  // namespace vex::control
