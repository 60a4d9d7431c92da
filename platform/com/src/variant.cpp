#include "vex/com/variant.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "vex/com/dispatch.h"
#include "vex/com/hot_path.h"
#include "vex/com/numeric_text.h"
#include "vex/com/safearray.h"

namespace vex::com {
namespace {

const Bstr kNullBstr;

const char* BaseTypeName(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
      return "VT_EMPTY";
    case VT_NULL:
      return "VT_NULL";
    case VT_I2:
      return "VT_I2";
    case VT_I4:
      return "VT_I4";
    case VT_R4:
      return "VT_R4";
    case VT_R8:
      return "VT_R8";
    case VT_BSTR:
      return "VT_BSTR";
    case VT_DISPATCH:
      return "VT_DISPATCH";
    case VT_ERROR:
      return "VT_ERROR";
    case VT_BOOL:
      return "VT_BOOL";
    case VT_VARIANT:
      return "VT_VARIANT";
    case VT_UNKNOWN:
      return "VT_UNKNOWN";
    case VT_I1:
      return "VT_I1";
    case VT_UI1:
      return "VT_UI1";
    case VT_UI2:
      return "VT_UI2";
    case VT_UI4:
      return "VT_UI4";
    case VT_I8:
      return "VT_I8";
    case VT_UI8:
      return "VT_UI8";
    case VT_INT:
      return "VT_INT";
    case VT_UINT:
      return "VT_UINT";
    default:
      return nullptr;
  }
}

bool IsNumericType(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_BOOL:
      return true;
    default:
      return false;
  }
}

// A scalar source value as a number: integers exactly, the rest as doubles.
struct Number {
  bool is_integer = true;
  std::int64_t integer = 0;
  double real = 0.0;
  double AsDouble() const { return is_integer ? static_cast<double>(integer) : real; }
};

HRESULT ToNumber(const Variant& v, bool for_bool, Number* out) {
  switch (v.vt()) {
    case VT_EMPTY:
      out->integer = 0;
      return S_OK;
    case VT_I2:
      out->integer = v.I2();
      return S_OK;
    case VT_I4:
      out->integer = v.I4();
      return S_OK;
    case VT_UI1:
      out->integer = v.UI1();
      return S_OK;
    case VT_UI4:
      out->integer = v.UI4();
      return S_OK;
    case VT_BOOL:
      out->integer = v.BoolVal();
      return S_OK;
    case VT_R4:
      out->is_integer = false;
      out->real = v.R4();
      return S_OK;
    case VT_R8:
      out->is_integer = false;
      out->real = v.R8();
      return S_OK;
    case VT_BSTR: {
      std::string_view text = TrimBlanks(v.BstrVal().View());
      if (EqualsNoCase(text, "true") || EqualsNoCase(text, "#true#")) {
        out->integer = -1;
        return S_OK;
      }
      if (EqualsNoCase(text, "false") || EqualsNoCase(text, "#false#")) {
        out->integer = 0;
        return S_OK;
      }
      (void)for_bool;
      auto parsed = ParseDoubleStrict(text);
      if (!parsed) return DISP_E_TYPEMISMATCH;
      out->is_integer = false;
      out->real = *parsed;
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

// Rounds half to even, as the automation conversions do.
double RoundHalfEven(double x) {
  double r = std::nearbyint(x);  // the default rounding mode rounds half to even
  if (std::fegetround() != FE_TONEAREST) {
    double floor = std::floor(x), diff = x - floor;
    r = diff > 0.5   ? floor + 1
        : diff < 0.5 ? floor
                     : (std::fmod(floor, 2.0) == 0 ? floor : floor + 1);
  }
  return r;
}

HRESULT ToInteger(const Number& n, std::int64_t min, std::int64_t max, std::int64_t* out) {
  if (n.is_integer) {
    if (n.integer < min || n.integer > max) return DISP_E_OVERFLOW;
    *out = n.integer;
    return S_OK;
  }
  if (!std::isfinite(n.real)) return DISP_E_OVERFLOW;
  double r = RoundHalfEven(n.real);
  if (r < static_cast<double>(min) || r > static_cast<double>(max)) return DISP_E_OVERFLOW;
  *out = static_cast<std::int64_t>(r);
  return S_OK;
}

}  // namespace

std::string VarTypeName(VARTYPE vt) {
  std::string name;
  if (vt & VT_BYREF) name += "VT_BYREF|";
  if (vt & VT_ARRAY) name += "VT_ARRAY|";
  const char* base = BaseTypeName(vt & VT_TYPEMASK);
  name += base ? base : "VT_" + std::to_string(vt & VT_TYPEMASK);
  return name;
}

Variant::Variant(IDispatch* v) : vt_(VT_DISPATCH) {
  u_.pdisp = v;
  if (v) v->AddRef();
}

Variant::Variant(IUnknown* v) : vt_(VT_UNKNOWN) {
  u_.punk = v;
  if (v) v->AddRef();
}

Variant::Variant(SafeArray&& array) : vt_(VT_ARRAY | array.ElementType()) {
  u_.parray = new SafeArray(std::move(array));
}

Variant::Variant(const Variant& other) : vt_(VT_EMPTY) {
  *this = other;
}

VEX_HOT Variant::Variant(Variant&& other) noexcept : vt_(other.vt_) {
  if (vt_ == VT_BSTR) {
    new (&u_.bstr) Bstr(std::move(other.u_.bstr));
    other.u_.bstr.~Bstr();
  } else {
    u_.i8 = other.u_.i8;
  }
  other.vt_ = VT_EMPTY;
  other.u_.i8 = 0;
}

Variant& Variant::operator=(const Variant& other) {
  if (this == &other) return *this;
  Variant copy;
  copy.vt_ = other.vt_;
  if (other.vt_ == VT_BSTR) {
    new (&copy.u_.bstr) Bstr(other.u_.bstr);
  } else if (other.IsArray() && !other.IsByRef()) {
    copy.u_.parray = other.u_.parray ? new SafeArray(*other.u_.parray) : nullptr;
  } else {
    copy.u_.i8 = other.u_.i8;
    if (other.vt_ == VT_DISPATCH && copy.u_.pdisp) copy.u_.pdisp->AddRef();
    if (other.vt_ == VT_UNKNOWN && copy.u_.punk) copy.u_.punk->AddRef();
  }
  *this = std::move(copy);
  return *this;
}

VEX_HOT Variant& Variant::operator=(Variant&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  vt_ = other.vt_;
  if (vt_ == VT_BSTR) {
    new (&u_.bstr) Bstr(std::move(other.u_.bstr));
    other.u_.bstr.~Bstr();
  } else {
    u_.i8 = other.u_.i8;
  }
  other.vt_ = VT_EMPTY;
  other.u_.i8 = 0;
  return *this;
}

VEX_HOT void Variant::Clear() {
  VARTYPE vt = vt_;
  vt_ = VT_EMPTY;
  if (vt == VT_BSTR) {
    u_.bstr.~Bstr();
  } else if (vt == VT_DISPATCH) {
    if (u_.pdisp) u_.pdisp->Release();
  } else if (vt == VT_UNKNOWN) {
    if (u_.punk) u_.punk->Release();
  } else if ((vt & VT_ARRAY) && !(vt & VT_BYREF)) {
    delete u_.parray;
  }
  u_.i8 = 0;
}

SafeArray* Variant::DetachArray() {
  if (!IsArray() || IsByRef()) return nullptr;
  SafeArray* array = u_.parray;
  vt_ = VT_EMPTY;
  u_.i8 = 0;
  return array;
}

Variant Variant::Null() {
  Variant v;
  v.vt_ = VT_NULL;
  return v;
}

Variant Variant::Error(HRESULT code) {
  Variant v;
  v.vt_ = VT_ERROR;
  v.u_.scode = code;
  return v;
}

Variant Variant::Bool(VARIANT_BOOL b) {
  Variant v;
  v.vt_ = VT_BOOL;
  v.u_.b = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

Variant Variant::UI4Value(std::uint32_t value) {
  Variant v;
  v.vt_ = VT_UI4;
  v.u_.ui4 = value;
  return v;
}

#define VEX_BYREF(Type, tag)        \
  Variant Variant::ByRef(Type* p) { \
    Variant v;                      \
    v.vt_ = VT_BYREF | (tag);       \
    v.u_.byref = p;                 \
    return v;                       \
  }
VEX_BYREF(std::int16_t, VT_I2)
VEX_BYREF(std::int32_t, VT_I4)
VEX_BYREF(double, VT_R8)
VEX_BYREF(Bstr, VT_BSTR)
VEX_BYREF(Variant, VT_VARIANT)
#undef VEX_BYREF

Variant Variant::ByRefBool(VARIANT_BOOL* p) {
  Variant v;
  v.vt_ = VT_BYREF | VT_BOOL;
  v.u_.byref = p;
  return v;
}

const Bstr& Variant::BstrVal() const {
  return vt_ == VT_BSTR ? u_.bstr : kNullBstr;
}

IUnknown* Variant::Unknown() const {
  if (vt_ == VT_UNKNOWN) return u_.punk;
  if (vt_ == VT_DISPATCH) return u_.pdisp;
  return nullptr;
}

Variant Variant::Dereferenced() const {
  if (!IsByRef()) return *this;
  if (u_.byref == nullptr) return Variant();
  switch (vt_ & ~VT_BYREF) {
    case VT_I2:
      return Variant(*static_cast<std::int16_t*>(u_.byref));
    case VT_I4:
      return Variant(*static_cast<std::int32_t*>(u_.byref));
    case VT_R8:
      return Variant(*static_cast<double*>(u_.byref));
    case VT_BOOL:
      return Variant::Bool(*static_cast<VARIANT_BOOL*>(u_.byref));
    case VT_BSTR:
      return Variant(*static_cast<Bstr*>(u_.byref));
    case VT_VARIANT:
      return static_cast<Variant*>(u_.byref)->Dereferenced();
    default:
      return Variant();
  }
}

HRESULT Variant::AssignThrough(Variant&& value) {
  if (!IsByRef()) {
    *this = std::move(value);
    return S_OK;
  }
  if (u_.byref != nullptr && (vt_ & ~VT_BYREF) == VT_VARIANT) {
    *static_cast<Variant*>(u_.byref) = std::move(value);
    return S_OK;
  }
  return AssignThrough(static_cast<const Variant&>(value));
}

HRESULT Variant::AssignThrough(const Variant& value) {
  if (!IsByRef()) {
    *this = value;
    return S_OK;
  }
  if (u_.byref == nullptr) return E_POINTER;
  VARTYPE target = vt_ & ~VT_BYREF;
  if (target == VT_VARIANT) {
    *static_cast<Variant*>(u_.byref) = value;
    return S_OK;
  }
  Variant converted;
  HRESULT hr = value.ChangeType(target, &converted);
  if (FAILED(hr)) return hr;
  switch (target) {
    case VT_I2:
      *static_cast<std::int16_t*>(u_.byref) = converted.I2();
      break;
    case VT_I4:
      *static_cast<std::int32_t*>(u_.byref) = converted.I4();
      break;
    case VT_R8:
      *static_cast<double*>(u_.byref) = converted.R8();
      break;
    case VT_BOOL:
      *static_cast<VARIANT_BOOL*>(u_.byref) = converted.BoolVal();
      break;
    case VT_BSTR:
      *static_cast<Bstr*>(u_.byref) = converted.BstrVal();
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  return S_OK;
}

HRESULT Variant::ChangeType(VARTYPE vt, Variant* out) const {
  if (out == nullptr) return E_POINTER;
  if (IsByRef()) return Dereferenced().ChangeType(vt, out);
  // An object converts through its default member.
  if ((vt_ == VT_DISPATCH) && vt != VT_DISPATCH && vt != VT_UNKNOWN) {
    if (u_.pdisp == nullptr) return DISP_E_TYPEMISMATCH;
    Variant value;
    HRESULT hr =
        u_.pdisp->Invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &value, nullptr);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    return value.ChangeType(vt, out);
  }
  if (vt == vt_) {
    *out = *this;
    return S_OK;
  }
  Variant result;
  if (vt & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  if (vt_ & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  switch (vt) {
    case VT_EMPTY:
      break;
    case VT_NULL:
      return DISP_E_TYPEMISMATCH;
    case VT_ERROR:
      return DISP_E_TYPEMISMATCH;
    case VT_BSTR: {
      switch (vt_) {
        case VT_EMPTY:
          result = Variant(Bstr::Empty());
          break;
        case VT_BOOL:
          result = Variant(u_.b ? "True" : "False");
          break;
        case VT_R8:
          result = Variant(FormatDouble(u_.r8));
          break;
        case VT_R4:
          result = Variant(FormatDouble(static_cast<double>(u_.r4)));
          break;
        case VT_I2:
          result = Variant(std::to_string(u_.i2));
          break;
        case VT_I4:
          result = Variant(std::to_string(u_.i4));
          break;
        case VT_UI1:
          result = Variant(std::to_string(u_.ui1));
          break;
        case VT_UI4:
          result = Variant(std::to_string(u_.ui4));
          break;
        default:
          return DISP_E_TYPEMISMATCH;
      }
      break;
    }
    case VT_DISPATCH: {
      if (vt_ == VT_EMPTY) {
        result = Variant(static_cast<IDispatch*>(nullptr));
      } else if (vt_ == VT_UNKNOWN && u_.punk) {
        ComPtr<IDispatch> dispatch;
        if (FAILED(ComPtr<IUnknown>(u_.punk).As(&dispatch))) return DISP_E_TYPEMISMATCH;
        result = Variant(dispatch.Get());
      } else {
        return DISP_E_TYPEMISMATCH;
      }
      break;
    }
    case VT_UNKNOWN: {
      if (vt_ == VT_EMPTY) {
        result = Variant(static_cast<IUnknown*>(nullptr));
      } else if (vt_ == VT_DISPATCH) {
        result = Variant(static_cast<IUnknown*>(u_.pdisp));
      } else {
        return DISP_E_TYPEMISMATCH;
      }
      break;
    }
    default: {
      if (!IsNumericType(vt)) return DISP_E_BADVARTYPE;
      Number n;
      HRESULT hr = ToNumber(*this, vt == VT_BOOL, &n);
      if (FAILED(hr)) return hr;
      std::int64_t i = 0;
      switch (vt) {
        case VT_BOOL:
          result = Variant::Bool(n.AsDouble() != 0.0 ? VARIANT_TRUE : VARIANT_FALSE);
          break;
        case VT_R8:
          result = Variant(n.AsDouble());
          break;
        case VT_R4: {
          double d = n.AsDouble();
          if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
            return DISP_E_OVERFLOW;
          result = Variant(static_cast<float>(d));
          break;
        }
        case VT_I2:
          if (FAILED(hr = ToInteger(n, INT16_MIN, INT16_MAX, &i))) return hr;
          result = Variant(static_cast<std::int16_t>(i));
          break;
        case VT_I4:
        case VT_INT:
          if (FAILED(hr = ToInteger(n, INT32_MIN, INT32_MAX, &i))) return hr;
          result = Variant(static_cast<std::int32_t>(i));
          break;
        case VT_UI1:
          if (FAILED(hr = ToInteger(n, 0, UINT8_MAX, &i))) return hr;
          result = Variant(static_cast<std::uint8_t>(i));
          break;
        case VT_UI4:
        case VT_UINT:
          if (FAILED(hr = ToInteger(n, 0, UINT32_MAX, &i))) return hr;
          result = Variant::UI4Value(static_cast<std::uint32_t>(i));
          break;
        default:
          // I1, UI2, I8, UI8 are not used by this system.
          return DISP_E_BADVARTYPE;
      }
      break;
    }
  }
  *out = std::move(result);
  return S_OK;
}

HRESULT Variant::ToI4(std::int32_t* out) const {
  if (!out) return E_POINTER;
  Variant v;
  HRESULT hr = ChangeType(VT_I4, &v);
  if (SUCCEEDED(hr)) *out = v.I4();
  return hr;
}

HRESULT Variant::ToR8(double* out) const {
  if (!out) return E_POINTER;
  Variant v;
  HRESULT hr = ChangeType(VT_R8, &v);
  if (SUCCEEDED(hr)) *out = v.R8();
  return hr;
}

HRESULT Variant::ToBool(VARIANT_BOOL* out) const {
  if (!out) return E_POINTER;
  Variant v;
  HRESULT hr = ChangeType(VT_BOOL, &v);
  if (SUCCEEDED(hr)) *out = v.BoolVal();
  return hr;
}

HRESULT Variant::ToBstr(Bstr* out) const {
  if (!out) return E_POINTER;
  Variant v;
  HRESULT hr = ChangeType(VT_BSTR, &v);
  if (SUCCEEDED(hr)) *out = v.BstrVal();
  return hr;
}

std::string Variant::Describe() const {
  if (IsArray() && !IsByRef()) {
    std::string text = VarTypeName(vt_) + "[";
    if (u_.parray) {
      for (std::uint32_t d = 1; d <= u_.parray->Dims(); ++d) {
        if (d > 1) text += ",";
        text += std::to_string(u_.parray->Elements(d));
      }
    }
    return text + "]";
  }
  switch (vt_) {
    case VT_EMPTY:
      return "";
    case VT_NULL:
      return "Null";
    case VT_ERROR:
      return "Error " + HresultName(u_.scode);
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return Unknown() ? "<object>" : "Nothing";
    default:
      break;
  }
  Bstr text;
  if (FAILED(ToBstr(&text))) return "<" + VarTypeName(vt_) + ">";
  return text.Str();
}

HRESULT VariantChangeType(Variant* dest, const Variant* src, std::uint16_t, VARTYPE vt) {
  if (dest == nullptr || src == nullptr) return E_POINTER;
  Variant result;
  HRESULT hr = src->ChangeType(vt, &result);
  if (SUCCEEDED(hr)) *dest = std::move(result);
  return hr;
}

}  // namespace vex::com
