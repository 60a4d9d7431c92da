#include "vex/com/dispatch.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "vex/com/error_info.h"
#include "vex/com/numeric_text.h"

namespace vex::com {

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                  std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

namespace {

ParamInfo MakeParam(std::string name, VARTYPE vt, std::uint8_t flags) {
  ParamInfo p;
  p.name = std::move(name);
  p.vt = vt;
  p.flags = flags;
  return p;
}

// Converts an argument to its parameter's declared type.
HRESULT ConvertArgument(const Variant& value, VARTYPE vt, Variant* out) {
  if (vt == VT_VARIANT) {
    *out = value;
    return S_OK;
  }
  if (vt & VT_ARRAY) {
    // A VARIANT-element array parameter takes any array; others want their type.
    if (!value.IsArray()) return value.IsEmpty() ? (*out = Variant(), S_OK) : DISP_E_TYPEMISMATCH;
    if ((vt & VT_TYPEMASK) != VT_VARIANT && value.vt() != vt) return DISP_E_TYPEMISMATCH;
    *out = value;
    return S_OK;
  }
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (value.vt() == VT_EMPTY) {
      *out = Variant(static_cast<IUnknown*>(nullptr));
      return S_OK;
    }
    if (value.vt() != VT_UNKNOWN && value.vt() != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    *out = value;
    return S_OK;
  }
  return value.ChangeType(vt, out);
}

// A zero value of a type, for an omitted optional parameter without default.
Variant ZeroOf(VARTYPE vt) {
  if (vt == VT_BSTR) return Variant(Bstr::Null());
  if (vt == VT_VARIANT) return Variant::Missing();
  Variant zero, out;
  if (SUCCEEDED(zero.ChangeType(vt, &out))) return out;
  return Variant();
}

}  // namespace

ParamInfo In(std::string name, VARTYPE vt) {
  return MakeParam(std::move(name), vt, kParamIn);
}
ParamInfo Opt(std::string name, VARTYPE vt) {
  return MakeParam(std::move(name), vt, kParamIn | kParamOptional);
}
ParamInfo OptDefault(std::string name, Variant default_value, VARTYPE vt) {
  ParamInfo p = MakeParam(std::move(name), vt, kParamIn | kParamOptional);
  p.has_default = true;
  p.default_value = std::move(default_value);
  return p;
}
ParamInfo Out(std::string name, VARTYPE vt) {
  return MakeParam(std::move(name), vt, kParamOut);
}
ParamInfo InOut(std::string name, VARTYPE vt) {
  return MakeParam(std::move(name), vt, kParamIn | kParamOut);
}
ParamInfo Retval(std::string name, VARTYPE vt) {
  return MakeParam(std::move(name), vt, kParamOut | kParamRetval);
}

namespace detail {
Variant ToSlot(Variant value, VARTYPE vt) {
  if (vt == VT_VARIANT || vt == VT_EMPTY || vt == value.vt() || (vt & VT_ARRAY)) return value;
  if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && value.Unknown() == nullptr) return value;
  Variant out;
  if (SUCCEEDED(value.ChangeType(vt, &out))) return out;
  return value;
}
}  // namespace detail

HRESULT DispatchTable::IdOfName(std::string_view name, DISPID* id) const {
  if (!id) return E_POINTER;
  for (const auto& m : members_) {
    if (EqualsNoCase(m.name, name)) {
      *id = m.id;
      return S_OK;
    }
  }
  *id = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

const MemberInfo* DispatchTable::FindById(DISPID id) const {
  for (const auto& m : members_) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

const MemberInfo* DispatchTable::Find(DISPID id, MemberKind kind) const {
  for (const auto& m : members_) {
    if (m.id == id && m.kind == kind) return &m;
  }
  return nullptr;
}

std::vector<std::string> DispatchTable::NearestNames(std::string_view name,
                                                     std::size_t count) const {
  std::vector<std::pair<std::size_t, std::string>> scored;
  for (const auto& m : members_) {
    if (m.hidden) continue;
    bool seen = std::any_of(scored.begin(), scored.end(),
                            [&](const auto& s) { return s.second == m.name; });
    if (!seen) scored.emplace_back(EditDistance(name, m.name), m.name);
  }
  std::sort(scored.begin(), scored.end());
  std::vector<std::string> names;
  for (std::size_t i = 0; i < scored.size() && i < count; ++i) names.push_back(scored[i].second);
  return names;
}

HRESULT DispatchTable::Invoke(void* object, DISPID id, std::uint16_t flags, std::span<Variant> args,
                              Variant* result, std::uint32_t* arg_error) const {
  if (object == nullptr) return E_POINTER;
  const MemberInfo* member = nullptr;
  if (flags & DISPATCH_PROPERTYPUT) {
    member = Find(id, MemberKind::kPut);
    if (!member) member = Find(id, MemberKind::kPutRef);
  } else if (flags & DISPATCH_PROPERTYPUTREF) {
    member = Find(id, MemberKind::kPutRef);
    if (!member) member = Find(id, MemberKind::kPut);
  } else {
    if (flags & DISPATCH_METHOD) member = Find(id, MemberKind::kMethod);
    if (!member && (flags & DISPATCH_PROPERTYGET)) member = Find(id, MemberKind::kGet);
  }
  if (!member) return DISP_E_MEMBERNOTFOUND;

  std::size_t inputs = 0;
  for (const auto& p : member->params) inputs += (p.flags & kParamRetval) ? 0 : 1;
  if (args.size() > inputs) return DISP_E_BADPARAMCOUNT;

  try {
    std::vector<Variant> slots(member->params.size());
    std::vector<std::size_t> arg_of(member->params.size(), SIZE_MAX);
    std::size_t k = 0;
    for (std::size_t i = 0; i < member->params.size(); ++i) {
      const ParamInfo& p = member->params[i];
      if (p.flags & kParamRetval) continue;
      arg_of[i] = k;
      Variant value;
      bool given = k < args.size() && !args[k].Dereferenced().IsMissing();
      bool pure_out = (p.flags & kParamOut) && !(p.flags & kParamIn);
      if (given) {
        value = args[k].Dereferenced();
      } else if (pure_out) {
        ++k;
        continue;
      } else if (p.flags & kParamOptional) {
        value = p.has_default ? p.default_value : ZeroOf(p.vt);
      } else {
        if (arg_error) *arg_error = static_cast<std::uint32_t>(k);
        return DISP_E_PARAMNOTOPTIONAL;
      }
      if (!pure_out) {
        HRESULT hr = ConvertArgument(value, p.vt, &slots[i]);
        if (FAILED(hr)) {
          if (arg_error) *arg_error = static_cast<std::uint32_t>(k);
          return hr;
        }
      }
      ++k;
    }

    HRESULT hr = member->invoke(object, slots);
    if (SUCCEEDED(hr)) {
      for (std::size_t i = 0; i < member->params.size(); ++i) {
        const ParamInfo& p = member->params[i];
        if (p.flags & kParamRetval) {
          if (result) *result = std::move(slots[i]);
        } else if ((p.flags & kParamOut) && arg_of[i] < args.size()) {
          HRESULT write = args[arg_of[i]].AssignThrough(std::move(slots[i]));
          if (FAILED(write)) return write;
        }
      }
    }
    return hr;
  } catch (const std::bad_alloc&) {
    return ReportRichError(E_OUTOFMEMORY, "Out of memory while calling " + member->name + ".");
  } catch (const std::exception& e) {
    return ReportRichError(DISP_E_EXCEPTION, e.what());
  } catch (...) {
    return ReportRichError(DISP_E_EXCEPTION, "Unexpected failure in " + member->name + ".");
  }
}

HRESULT InvokeByName(IDispatch* object, std::string_view name, std::uint16_t flags,
                     std::span<Variant> args, Variant* result) {
  if (!object) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(name, &id);
  if (FAILED(hr)) return hr;
  return object->Invoke(id, flags, args, result, nullptr);
}

HRESULT GetProperty(IDispatch* object, std::string_view name, Variant* result) {
  return InvokeByName(object, name, DISPATCH_PROPERTYGET, {}, result);
}

HRESULT PutProperty(IDispatch* object, std::string_view name, const Variant& value) {
  Variant arg = value;
  return InvokeByName(object, name, DISPATCH_PROPERTYPUT, std::span<Variant>(&arg, 1), nullptr);
}

HRESULT CallMethod(IDispatch* object, std::string_view name, std::initializer_list<Variant> args,
                   Variant* result) {
  std::vector<Variant> list(args);
  return InvokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, list, result);
}

}  // namespace vex::com
