// CKordaleFile: the setup file of an older instrument-link product ("stp"),
// read only.
//
// Lines end in a single line feed (a carriage return before it stays part
// of the line):
//   1 "stp" and a 3- or 4-character ROM code (at most 8 characters)
//   2 a number (not used)
//   3 the comments
//   4 a 3-character manufacturer code and the model code ("VEXR7152D")
// then the command ":SYSTEM:SETUP " (any letter case) and the setup block as
// the instrument sent it, up to the end of the file. The format carries no
// firmware version: Version reads "X.XX.XX", which matches every version of
// the model.
#pragma once

#include <cstdint>
#include <span>

#include "setup_file_fields.h"

namespace vex::control {

class CKordaleFile final : public SetupFileProperties<com::Object<ISetupFile>> {
 public:
  static constexpr const char* kAnyVersion = "X.XX.XX";
  static constexpr const char* kCommand = ":SYSTEM:SETUP ";

  HRESULT IsACompatibleFile(const Bstr& file_name, VARIANT_BOOL* compatible) override;
  // Always fails: the format is never written.
  HRESULT WriteFile(const Bstr& file_name) override;
  HRESULT ReadFile(const Bstr& file_name) override;

  static bool Parse(std::span<const std::uint8_t> bytes, SetupFileFields* fields,
                    SetupFileFailure* failure);
  static bool HasTypeAndRomCode(std::span<const std::uint8_t> bytes);

  VEX_COM_IMPLEMENT_DISPATCH(CKordaleFile, Table())
  static const com::DispatchTable& Table();
};

}  // namespace vex::control
