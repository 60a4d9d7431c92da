// Variant: the loosely typed automation value.
//
// A variant carries a type tag (VT_) and one value: numbers, booleans (-1 and
// 0), strings, object references, error codes, safe arrays, or a reference to
// a value held elsewhere (VT_BYREF, used for in/out and out parameters). It is
// 16 bytes, so tables of variants stay compact. Copies are deep (a copied
// array or string is a new one; a copied object reference adds a reference);
// a move hands the value over and leaves the source empty.
//
// Conversions (ChangeType, VariantChangeType) follow the automation rules:
// - text to number: surrounding blanks, tabs, carriage returns and line feeds
//   are ignored, an optional sign and a decimal number with "." as the
//   decimal point and an optional exponent are read whatever the process
//   locale ("+1.000E-03\n" is 0.001, "+32\n" is 32); any other text is
//   DISP_E_TYPEMISMATCH;
// - to an integer type, fractions round half to even, and a value outside the
//   type's range (or not a number) is DISP_E_OVERFLOW;
// - booleans are -1 (true) and 0 (false) as numbers; any non-zero number is
//   true; the texts "True" and "False" (any letter case) convert both ways;
// - a double becomes the shortest text that reads back as the same double,
//   with "." and a lower-case exponent where one is shorter ("0.001",
//   "5000", "1e-09", "1.5e+20");
// - VT_EMPTY reads as 0 or ""; VT_NULL converts to nothing but VT_NULL;
// - an object converts through its default member (dispatch id 0).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vex/com/bstr.h"
#include "vex/com/com_ptr.h"

namespace vex::com {

using VARTYPE = std::uint16_t;
enum VarEnum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_TYPEMASK = 0x0FFF,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

using VARIANT_BOOL = std::int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;
constexpr VARIANT_BOOL ToVariantBool(bool b) {
  return b ? VARIANT_TRUE : VARIANT_FALSE;
}

struct IDispatch;
class SafeArray;

// A readable name of a type tag: "VT_I4", "VT_ARRAY|VT_UI1", "VT_BYREF|VT_BSTR".
std::string VarTypeName(VARTYPE vt);

class Variant {
 public:
  Variant() : vt_(VT_EMPTY) { u_.i8 = 0; }
  Variant(std::int16_t v) : vt_(VT_I2) { u_.i8 = 0, u_.i2 = v; }
  Variant(std::int32_t v) : vt_(VT_I4) { u_.i8 = 0, u_.i4 = v; }
  Variant(std::uint8_t v) : vt_(VT_UI1) { u_.i8 = 0, u_.ui1 = v; }
  Variant(float v) : vt_(VT_R4) { u_.i8 = 0, u_.r4 = v; }
  Variant(double v) : vt_(VT_R8) { u_.r8 = v; }
  // A C++ bool becomes VT_BOOL (-1 or 0).
  Variant(bool v) : vt_(VT_BOOL) { u_.i8 = 0, u_.b = ToVariantBool(v); }
  Variant(Bstr v) : vt_(VT_BSTR) { new (&u_.bstr) Bstr(std::move(v)); }
  Variant(std::string_view v) : Variant(Bstr(v)) {}
  Variant(const char* v) : Variant(Bstr(v)) {}
  Variant(const std::string& v) : Variant(Bstr(v)) {}
  // Object references add a reference of their own.
  Variant(IDispatch* v);
  Variant(IUnknown* v);
  template <class T>
  Variant(const ComPtr<T>& v) : Variant(v.Get()) {}
  // Takes the array over: VT_ARRAY | its element type.
  Variant(SafeArray&& array);

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  // Only strings, objects and arrays own something; the rest go cheaply.
  ~Variant() {
    if (vt_ == VT_BSTR)
      u_.bstr.~Bstr();
    else if (vt_ != VT_EMPTY)
      Clear();
  }

  static Variant Null();
  static Variant Error(HRESULT code);
  // The marker of an omitted optional argument: VT_ERROR with DISP_E_PARAMNOTFOUND.
  static Variant Missing() { return Error(DISP_E_PARAMNOTFOUND); }
  static Variant Bool(VARIANT_BOOL b);
  static Variant UI4Value(std::uint32_t v);
  // References to caller storage for in/out and out parameters.
  static Variant ByRef(std::int16_t* p);
  static Variant ByRef(std::int32_t* p);
  static Variant ByRef(double* p);
  static Variant ByRefBool(VARIANT_BOOL* p);
  static Variant ByRef(Bstr* p);
  static Variant ByRef(Variant* p);

  VARTYPE vt() const { return vt_; }
  bool IsEmpty() const { return vt_ == VT_EMPTY; }
  bool IsMissing() const { return vt_ == VT_ERROR && u_.scode == DISP_E_PARAMNOTFOUND; }
  bool IsArray() const { return (vt_ & VT_ARRAY) != 0; }
  bool IsByRef() const { return (vt_ & VT_BYREF) != 0; }

  // Typed access; the caller checks vt() first (a wrong tag gives a zero value).
  std::int16_t I2() const { return vt_ == VT_I2 ? u_.i2 : 0; }
  std::int32_t I4() const { return vt_ == VT_I4 ? u_.i4 : 0; }
  std::uint8_t UI1() const { return vt_ == VT_UI1 ? u_.ui1 : 0; }
  std::uint32_t UI4() const { return vt_ == VT_UI4 ? u_.ui4 : 0; }
  float R4() const { return vt_ == VT_R4 ? u_.r4 : 0.0f; }
  double R8() const { return vt_ == VT_R8 ? u_.r8 : 0.0; }
  VARIANT_BOOL BoolVal() const { return vt_ == VT_BOOL ? u_.b : VARIANT_FALSE; }
  HRESULT ErrorCode() const { return vt_ == VT_ERROR ? u_.scode : S_OK; }
  // The string, or a null string when the variant holds no string.
  const Bstr& BstrVal() const;
  IDispatch* Dispatch() const { return vt_ == VT_DISPATCH ? u_.pdisp : nullptr; }
  IUnknown* Unknown() const;
  SafeArray* Array() const { return IsArray() && !IsByRef() ? u_.parray : nullptr; }
  // The referenced variant of VT_BYREF | VT_VARIANT.
  Variant* VariantRef() const { return vt_ == (VT_BYREF | VT_VARIANT) ? u_.pvar : nullptr; }
  void* ByRefPointer() const { return IsByRef() ? u_.byref : nullptr; }

  // Follows VT_BYREF (and VT_BYREF | VT_VARIANT) to a copy of the value.
  Variant Dereferenced() const;
  // Stores `value` where this VT_BYREF variant points, converting it to the
  // referenced type; a variant that is not a reference is replaced by value.
  HRESULT AssignThrough(const Variant& value);
  // The same, taking the value over where no conversion is needed (a large
  // array is then handed on, not copied).
  HRESULT AssignThrough(Variant&& value);

  // Releases the value: VT_EMPTY afterwards.
  void Clear();
  // Takes the array out (the variant becomes VT_EMPTY); null when none.
  SafeArray* DetachArray();

  [[nodiscard]] HRESULT ChangeType(VARTYPE vt, Variant* out) const;

  // Convenience conversions through ChangeType.
  [[nodiscard]] HRESULT ToI4(std::int32_t* out) const;
  [[nodiscard]] HRESULT ToR8(double* out) const;
  [[nodiscard]] HRESULT ToBool(VARIANT_BOOL* out) const;
  [[nodiscard]] HRESULT ToBstr(Bstr* out) const;

  // Text for diagnostics and tools: the value converted to a string, arrays
  // summarised as "VT_ARRAY|VT_UI1[1000]".
  std::string Describe() const;

 private:
  VARTYPE vt_;
  union Storage {
    Storage() : i8(0) {}
    ~Storage() {}
    std::int8_t i1;
    std::uint8_t ui1;
    std::int16_t i2;
    std::uint16_t ui2;
    std::int32_t i4;
    std::uint32_t ui4;
    std::int64_t i8;
    std::uint64_t ui8;
    float r4;
    double r8;
    VARIANT_BOOL b;
    HRESULT scode;
    Bstr bstr;
    IDispatch* pdisp;
    IUnknown* punk;
    SafeArray* parray;
    Variant* pvar;
    void* byref;
  } u_;
};

static_assert(sizeof(Variant) == 16, "a variant is as compact as the automation VARIANT");

// The automation entry point with the same effect as Variant::ChangeType;
// `dest` may equal `src`. Flags are accepted for compatibility and ignored.
[[nodiscard]] HRESULT VariantChangeType(Variant* dest, const Variant* src, std::uint16_t flags,
                                        VARTYPE vt);

}  // namespace vex::com
