// The fields every setup file carries, and the ISetupFile property members
// over them, shared by both file formats.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "vex/control/setups.h"

namespace vex::control {

inline constexpr const char* kVexanTechnologies = "Vexan Technologies";

struct SetupFileFields {
  std::string model;
  std::string manufacturer = kVexanTechnologies;
  std::string serial_number;
  std::string version;
  std::string user_comments;
  std::string reserved1;
  std::string reserved2;
  std::string reserved3;
  // The setup data; empty reads as an empty LearnString.
  std::vector<std::uint8_t> learn_string;
};

// Where a read or a write failed: the procedure and the condition text of
// the assertion entry it logs, and what is wrong in words for the user.
struct SetupFileFailure {
  const char* procedure = "";
  const char* condition = "";
  const char* reason = "";
};

// A learn string as the automation value: a byte array, or empty.
Variant LearnStringVariant(const std::vector<std::uint8_t>& bytes);
// The bytes of a learn-string value: empty, or a one-dimensional byte array
// (by reference too). DISP_E_TYPEMISMATCH for anything else.
[[nodiscard]] HRESULT LearnStringBytes(const Variant& value, std::vector<std::uint8_t>* bytes);

// What both formats do to read a file: take it whole and hand its bytes to
// the format's parser or recogniser.
using SetupFileParser = bool (*)(std::span<const std::uint8_t> bytes, SetupFileFields* fields,
                                 SetupFileFailure* failure);
using SetupFileRecogniser = bool (*)(std::span<const std::uint8_t> bytes);

// IsACompatibleFile: true when `recognise` accepts the file's bytes, and
// when the file cannot be read at all (then ReadFile, which the caller
// takes next, fails naming the file and why, where "not a setup file"
// would be wrong).
[[nodiscard]] HRESULT IsCompatibleSetupFile(const Bstr& file_name, SetupFileRecogniser recognise,
                                            VARIANT_BOOL* compatible);
// ReadFile: the file parsed into `fields`; an unreadable file or a failed
// parse raises the load error naming the file and why, with `module`'s
// assertion entry, and leaves `fields` as the parser left it.
[[nodiscard]] HRESULT ReadSetupFile(const Bstr& file_name, SetupFileParser parse,
                                    SetupFileFields* fields, const char* module);

// The property members of ISetupFile over SetupFileFields.
template <class Base>
class SetupFileProperties : public Base {
 public:
  HRESULT get_Model(Bstr* v) override { return Get(fields_.model, v); }
  HRESULT put_Model(const Bstr& v) override { return Put(&fields_.model, v); }
  HRESULT get_LearnString(Variant* v) override {
    if (!v) return com::E_POINTER;
    *v = LearnStringVariant(fields_.learn_string);
    return com::S_OK;
  }
  HRESULT put_LearnString(const Variant& v) override {
    return LearnStringBytes(v, &fields_.learn_string);
  }
  HRESULT get_UserComments(Bstr* v) override { return Get(fields_.user_comments, v); }
  HRESULT put_UserComments(const Bstr& v) override { return Put(&fields_.user_comments, v); }
  HRESULT get_Version(Bstr* v) override { return Get(fields_.version, v); }
  HRESULT put_Version(const Bstr& v) override { return Put(&fields_.version, v); }
  HRESULT get_SerialNumber(Bstr* v) override { return Get(fields_.serial_number, v); }
  HRESULT put_SerialNumber(const Bstr& v) override { return Put(&fields_.serial_number, v); }
  HRESULT get_ReservedField1(Bstr* v) override { return Get(fields_.reserved1, v); }
  HRESULT put_ReservedField1(const Bstr& v) override { return Put(&fields_.reserved1, v); }
  HRESULT get_ReservedField2(Bstr* v) override { return Get(fields_.reserved2, v); }
  HRESULT put_ReservedField2(const Bstr& v) override { return Put(&fields_.reserved2, v); }
  HRESULT get_ReservedField3(Bstr* v) override { return Get(fields_.reserved3, v); }
  HRESULT put_ReservedField3(const Bstr& v) override { return Put(&fields_.reserved3, v); }
  HRESULT get_Manufacturer(Bstr* v) override { return Get(fields_.manufacturer, v); }
  HRESULT put_Manufacturer(const Bstr& v) override { return Put(&fields_.manufacturer, v); }

  const SetupFileFields& Fields() const { return fields_; }

 protected:
  SetupFileFields fields_;

 private:
  static HRESULT Get(const std::string& field, Bstr* out) {
    if (!out) return com::E_POINTER;
    *out = Bstr(field);
    return com::S_OK;
  }
  static HRESULT Put(std::string* field, const Bstr& value) {
    *field = value.Str();
    return com::S_OK;
  }
};

}  // namespace vex::control
