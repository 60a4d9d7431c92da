#include "vex/com/member_call.h"

#include <algorithm>

#include "vex/com/error_info.h"
#include "vex/com/numeric_text.h"

namespace vex::com {
namespace {

HRESULT Refuse(MemberCallIssue* issue, MemberProblem problem, HRESULT status, std::string message) {
  if (issue) {
    issue->problem = problem;
    issue->message = std::move(message);
  }
  return status;
}

bool IsScalarType(VARTYPE vt) {
  switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_BOOL:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I1:
    case VT_INT:
    case VT_UINT:
    case VT_BSTR:
      return true;
    default:
      return false;
  }
}

// An array of another element type converted element by element to the
// declared one (a list of numbers given for a byte array).
HRESULT ConvertArray(const SafeArray& source, VARTYPE element, Variant* out) {
  std::vector<SafeArrayBound> bounds;
  for (std::uint32_t d = 1; d <= source.Dims(); ++d) {
    SafeArrayBound bound;
    bound.elements = source.Elements(d);
    (void)source.GetLBound(d, &bound.lbound);
    bounds.push_back(bound);
  }
  SafeArray converted;
  HRESULT hr = SafeArray::Create(element, bounds, &converted);
  if (FAILED(hr)) return hr;
  std::vector<std::int32_t> index(bounds.size());
  for (std::size_t i = 0; i < source.ElementCount(); ++i) {
    // Storage order: the first index varies fastest.
    std::size_t rest = i;
    for (std::size_t d = 0; d < bounds.size(); ++d) {
      index[d] = bounds[d].lbound + static_cast<std::int32_t>(rest % bounds[d].elements);
      rest /= bounds[d].elements;
    }
    hr = converted.PutElement(index, source.At(i).Dereferenced());
    if (FAILED(hr)) return hr;
  }
  *out = Variant(std::move(converted));
  return S_OK;
}

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

}  // namespace

bool IsRetvalParam(const ParamInfo& p) {
  return (p.flags & kParamRetval) != 0;
}
bool IsPureOutParam(const ParamInfo& p) {
  return (p.flags & kParamOut) && !(p.flags & kParamIn);
}
bool IsGivenParam(const ParamInfo& p) {
  return !IsRetvalParam(p) && !IsPureOutParam(p);
}
bool IsRequiredParam(const ParamInfo& p) {
  return IsGivenParam(p) && !(p.flags & kParamOut) && !(p.flags & kParamOptional);
}
bool GivesValue(const MemberInfo& member) {
  return std::any_of(member.params.begin(), member.params.end(), IsRetvalParam);
}

std::string MemberSignature(const MemberInfo& member) {
  std::vector<std::string> names;
  for (const auto& p : member.params) {
    if (!IsGivenParam(p)) continue;
    names.push_back(IsRequiredParam(p) ? p.name : "[" + p.name + "]");
  }
  return names.empty() ? "no arguments" : JoinNames(names);
}

HRESULT ResolveMember(const DispatchTable& table, std::string_view name, MemberAction action,
                      bool followed, std::string_view where, std::string_view here,
                      MemberTarget* target, MemberCallIssue* issue) {
  if (!target) return E_POINTER;
  *target = MemberTarget{};
  if (issue) issue->member = std::string(here);
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(table.IdOfName(name, &id))) {
    return Refuse(issue, MemberProblem::kUnknownName, DISP_E_UNKNOWNNAME,
                  "unknown member " + Quoted(name) + " of " + std::string(where) +
                      "; nearest: " + JoinNames(table.NearestNames(name, 3)));
  }
  target->id = id;
  if (followed || action == MemberAction::kGet) {
    target->member = table.Find(id, MemberKind::kGet);
    target->flags = DISPATCH_PROPERTYGET;
    if (!target->member) {
      target->member = table.Find(id, MemberKind::kMethod);
      target->flags = DISPATCH_METHOD;
      if (target->member && !GivesValue(*target->member)) {
        return Refuse(issue, MemberProblem::kMethodWithoutValue, DISP_E_MEMBERNOTFOUND,
                      Quoted(here) + " is a method without a value");
      }
    }
    if (!target->member) {
      return Refuse(issue, MemberProblem::kNotReadable, DISP_E_MEMBERNOTFOUND,
                    Quoted(here) + " cannot be read");
    }
  } else if (action == MemberAction::kSet) {
    target->member = table.Find(id, MemberKind::kPut);
    target->flags = DISPATCH_PROPERTYPUT;
    if (!target->member) {
      target->member = table.Find(id, MemberKind::kPutRef);
      target->flags = DISPATCH_PROPERTYPUTREF;
    }
    if (!target->member) {
      if (table.Find(id, MemberKind::kMethod)) {
        return Refuse(issue, MemberProblem::kSetMethod, DISP_E_MEMBERNOTFOUND,
                      Quoted(here) + " cannot be set; it is a method");
      }
      return Refuse(issue, MemberProblem::kReadOnly, DISP_E_MEMBERNOTFOUND,
                    Quoted(here) + " cannot be set (read-only)");
    }
  } else {
    target->member = table.Find(id, MemberKind::kMethod);
    target->flags = DISPATCH_METHOD;
    if (!target->member) {
      target->member = table.Find(id, MemberKind::kGet);
      target->flags = DISPATCH_PROPERTYGET;
    }
    if (!target->member) {
      return Refuse(issue, MemberProblem::kNotCallable, DISP_E_MEMBERNOTFOUND,
                    Quoted(here) + " cannot be called");
    }
  }
  return S_OK;
}

HRESULT BindMemberArguments(const MemberTarget& target, std::vector<MemberArgument> args,
                            std::string_view name, const ConstantResolver* constants,
                            std::vector<Variant>* slots, MemberCallIssue* issue) {
  if (!target.member || !slots) return E_POINTER;
  const MemberInfo& member = *target.member;
  const bool is_put =
      target.flags == DISPATCH_PROPERTYPUT || target.flags == DISPATCH_PROPERTYPUTREF;

  // The given parameters in order, and which argument goes to each.
  std::vector<const ParamInfo*> given;
  std::size_t required = 0;
  for (const auto& p : member.params) {
    if (!IsGivenParam(p)) continue;
    given.push_back(&p);
    required += IsRequiredParam(p) ? 1 : 0;
  }
  std::vector<MemberArgument*> chosen(given.size(), nullptr);
  std::size_t positional = 0;
  for (auto& a : args) positional += a.name.empty() ? 1 : 0;
  if (positional > given.size() || args.size() > given.size() || args.size() < required) {
    const char* verb = is_put ? " (with the value) takes " : " takes ";
    return Refuse(issue, MemberProblem::kArgumentCount, DISP_E_BADPARAMCOUNT,
                  Quoted(name) + verb +
                      (required == given.size()
                           ? std::to_string(given.size())
                           : std::to_string(required) + " to " + std::to_string(given.size())) +
                      " argument" + (given.size() == 1 ? "" : "s") + " (" +
                      MemberSignature(member) + "), " + std::to_string(args.size()) + " given");
  }
  // Positional arguments fill the parameters from the first; for a put the
  // last positional one is the new value, the last given parameter.
  std::size_t next = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!args[i].name.empty()) continue;
    const bool is_value = is_put && next + 1 == positional;
    const std::size_t slot = is_value ? given.size() - 1 : next;
    chosen[slot] = &args[i];
    ++next;
  }
  for (auto& a : args) {
    if (a.name.empty()) continue;
    std::size_t slot = given.size();
    for (std::size_t g = 0; g < given.size(); ++g) {
      if (EqualsNoCase(given[g]->name, a.name)) slot = g;
    }
    if (slot == given.size()) {
      return Refuse(issue, MemberProblem::kUnknownParameter, DISP_E_PARAMNOTFOUND,
                    Quoted(name) + " has no parameter " + Quoted(a.name) + " (" +
                        MemberSignature(member) + ")");
    }
    if (chosen[slot]) {
      return Refuse(issue, MemberProblem::kUnknownParameter, DISP_E_PARAMNOTFOUND,
                    Quoted(name) + " got parameter " + Quoted(given[slot]->name) + " twice");
    }
    chosen[slot] = &a;
  }
  for (std::size_t g = 0; g < given.size(); ++g) {
    if (!chosen[g] && IsRequiredParam(*given[g])) {
      return Refuse(issue, MemberProblem::kArgumentCount, DISP_E_PARAMNOTOPTIONAL,
                    Quoted(name) + " needs its parameter " + Quoted(given[g]->name) + " (" +
                        MemberSignature(member) + ")");
    }
  }

  slots->clear();
  slots->reserve(member.params.size());
  std::size_t g = 0;
  for (const auto& p : member.params) {
    if (IsRetvalParam(p)) continue;
    if (IsPureOutParam(p)) {
      slots->emplace_back();
      continue;
    }
    MemberArgument* a = chosen[g];
    const bool is_value = is_put && g + 1 == given.size();
    ++g;
    if (!a || a->value.IsMissing()) {
      if (a && IsRequiredParam(p)) {
        return Refuse(issue, MemberProblem::kArgumentCount, DISP_E_PARAMNOTOPTIONAL,
                      Quoted(name) + " needs its parameter " + Quoted(p.name));
      }
      slots->push_back((p.flags & kParamOut) ? Variant() : Variant::Missing());
      continue;
    }
    Variant value = std::move(a->value);
    const VARTYPE element = p.vt & VT_TYPEMASK;
    if ((p.vt & VT_ARRAY) && element != VT_VARIANT && value.Array() && value.vt() != p.vt) {
      Variant converted;
      HRESULT hr = ConvertArray(*value.Array(), element, &converted);
      if (FAILED(hr)) {
        return Refuse(issue, MemberProblem::kNotConvertible, DISP_E_TYPEMISMATCH,
                      "the array given for " + p.name + " of " + Quoted(name) +
                          " does not convert to " + VarTypeName(p.vt));
      }
      value = std::move(converted);
    }
    if (IsScalarType(p.vt) && value.vt() != p.vt) {
      Variant converted;
      HRESULT hr = value.ChangeType(p.vt, &converted);
      if (FAILED(hr)) {
        const std::string word = a->text.empty() ? value.Describe() : a->text;
        const std::string what =
            is_value ? "the value of " + Quoted(name) : p.name + " of " + Quoted(name);
        if (hr == DISP_E_OVERFLOW) {
          return Refuse(issue, MemberProblem::kOutOfRange, DISP_E_OVERFLOW,
                        Quoted(word) + " is out of range for " + what);
        }
        std::string message = Quoted(word) + " is not a " +
                              (p.vt == VT_BOOL   ? "boolean (true or false)"
                               : p.vt == VT_BSTR ? std::string("text")
                                                 : std::string("number")) +
                              " (" + what + ")";
        if (constants && IsIdentifier(word)) {
          message += "; nearest constants: " + JoinNames(constants->Nearest(word, 3));
        }
        return Refuse(issue, MemberProblem::kNotConvertible, DISP_E_TYPEMISMATCH, message);
      }
      // The converted value is what goes in, so the callee sees its own type.
      value = std::move(converted);
    }
    slots->push_back(std::move(value));
  }
  return S_OK;
}

HRESULT InvokeMember(IDispatch* object, const MemberTarget& target, std::vector<Variant>& slots,
                     MemberCallResult* result) {
  if (!object || !target.member) return E_POINTER;
  Variant value;
  std::uint32_t arg_error = 0;
  SetErrorInfo(0, nullptr);
  HRESULT hr = object->Invoke(target.id, target.flags, slots, &value, &arg_error);
  if (FAILED(hr) || !result) return hr;
  result->retval.reset();
  result->outs.clear();
  std::size_t position = 0;
  for (const auto& p : target.member->params) {
    if (IsRetvalParam(p)) {
      result->retval = MemberValue{p.name, std::move(value)};
      continue;
    }
    if ((p.flags & kParamOut) && position < slots.size())
      result->outs.push_back({p.name, std::move(slots[position])});
    ++position;
  }
  return hr;
}

HRESULT CallMember(IDispatch* object, std::string_view name, MemberAction action,
                   std::vector<MemberArgument> args, const ConstantResolver* constants,
                   MemberCallResult* result, MemberCallIssue* issue) {
  if (!object) return E_POINTER;
  const DispatchTable* table = nullptr;
  HRESULT hr = object->GetTypeInfo(&table);
  if (FAILED(hr) || !table) return FAILED(hr) ? hr : E_NOINTERFACE;
  MemberTarget target;
  hr = ResolveMember(*table, name, action, false, "the object", name, &target, issue);
  if (FAILED(hr)) return hr;
  std::vector<Variant> slots;
  hr = BindMemberArguments(target, std::move(args), name, constants, &slots, issue);
  if (FAILED(hr)) return hr;
  return InvokeMember(object, target, slots, result);
}

HRESULT CallMemberPath(IDispatch* root, std::string_view path_text, MemberAction action,
                       const std::vector<std::string>& extra, const ConstantResolver* constants,
                       MemberCallResult* result, MemberCallIssue* issue,
                       std::string_view root_name) {
  if (!root) return E_POINTER;
  std::vector<PathSegment> path;
  std::string message;
  HRESULT hr = ParseMemberPath(path_text, &path, &message);
  if (FAILED(hr)) return Refuse(issue, MemberProblem::kBadText, hr, message);
  ComPtr<IDispatch> object(root);
  for (std::size_t s = 0; s < path.size(); ++s) {
    const PathSegment& segment = path[s];
    const bool last = s + 1 == path.size();
    const std::string where = s == 0 ? std::string(root_name) : MemberPathText(path, s);
    const std::string here = MemberPathText(path, s + 1);
    const DispatchTable* table = nullptr;
    hr = object->GetTypeInfo(&table);
    if (FAILED(hr) || !table) return FAILED(hr) ? hr : E_NOINTERFACE;

    MemberTarget target;
    hr = ResolveMember(*table, segment.name, action, !last, where, here, &target, issue);
    if (FAILED(hr)) return hr;

    // The words given: the segment's own arguments, then (for the last
    // segment) the value to set or the call's arguments.
    std::vector<MemberArgument> args;
    auto add = [&](const std::string& word) {
      Variant value;
      hr = ParseMemberValue(word, constants, &value, &message);
      if (FAILED(hr)) return false;
      args.emplace_back(std::move(value), std::string(), word);
      return true;
    };
    for (const auto& word : segment.args) {
      if (!add(word)) return Refuse(issue, MemberProblem::kBadText, hr, message);
    }
    if (last) {
      for (const auto& word : extra) {
        if (!add(word)) return Refuse(issue, MemberProblem::kBadText, hr, message);
      }
    }
    const std::string name =
        (s == 0 ? std::string() : MemberPathText(path, s) + ".") + segment.name;
    std::vector<Variant> slots;
    hr = BindMemberArguments(target, std::move(args), name, constants, &slots, issue);
    if (FAILED(hr)) return hr;

    MemberCallResult outcome;
    hr = InvokeMember(object.Get(), target, slots, &outcome);
    if (FAILED(hr)) return hr;
    if (last) {
      if (result) *result = std::move(outcome);
      return hr;
    }
    IDispatch* next_object = outcome.retval ? outcome.retval->value.Dispatch() : nullptr;
    if (!next_object) {
      if (issue) issue->member = here;
      return Refuse(issue, MemberProblem::kNotAnObject, DISP_E_TYPEMISMATCH,
                    Quoted(here) + " is not an object; it cannot be followed by '.'");
    }
    object = next_object;
  }
  return S_OK;
}

}  // namespace vex::com
