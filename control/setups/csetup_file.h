// CSetupFile: the native setup file ("scp"), read and written.
//
// One run of text fields, each followed by "|", then the raw setup bytes:
//
//   91|scp|1|R7152D|Vexan Technologies||1.20|bench A|KLR Standard Setup File, Version: 1||||10|<10
//   bytes>
//
// Field 1 counts the characters from the start of the file up to and
// including the "|" after field 13 (itself included); then come the type
// "scp", the format version "1", model, manufacturer, serial number,
// firmware version, comments, a fixed description, three reserved fields and
// the number of data bytes. Counts are in characters of the thread's
// locale; the data starts at the byte after the last "|".
//
// Beyond the letter of the format, a read refuses a data length larger than
// what the file holds (rather than loading fewer bytes, or allocating what
// the field claims), and a write refuses any field holding "|" (which would
// make the file unreadable) and replaces an existing file only once the new
// one is complete.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "setup_file_fields.h"
#include "setup_file_text.h"

namespace vex::control {

class CSetupFile final : public SetupFileProperties<com::Object<ISetupFile>> {
 public:
  static constexpr const char* kFileType = "scp";
  static constexpr const char* kFormatVersion = "1";
  static constexpr const char* kDescription = "KLR Standard Setup File, Version: 1";

  HRESULT IsACompatibleFile(const Bstr& file_name, VARIANT_BOOL* compatible) override;
  HRESULT WriteFile(const Bstr& file_name) override;
  HRESULT ReadFile(const Bstr& file_name) override;

  // The format on bytes, for the file members and the fuzz targets. A failed
  // parse leaves *fields partly filled.
  static bool Parse(std::span<const std::uint8_t> bytes, SetupFileFields* fields,
                    SetupFileFailure* failure);
  static bool HasTypeAndVersion(std::span<const std::uint8_t> bytes);
  static bool Format(const SetupFileFields& fields, std::string* bytes, SetupFileFailure* failure);
  // The header length for `rest` characters after the length field's "|".
  static std::size_t HeaderLength(std::size_t rest);

  VEX_COM_IMPLEMENT_DISPATCH(CSetupFile, Table())
  static const com::DispatchTable& Table();

 private:
  static bool ReadTypeAndVersion(SetupFileText& text, std::size_t* header_length,
                                 SetupFileFailure* failure);
};

}  // namespace vex::control
