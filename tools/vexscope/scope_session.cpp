#include "scope_session.h"

#include <algorithm>

#include "server_registration.h"
#include "tool_errors.h"
#include "vex/com/class_registry.h"
#include "vex/com/error_info.h"
#include "vex/com/type_library.h"

namespace vex::scope {
namespace {

using com::MemberInfo;
using com::MemberKind;
using com::ParamInfo;

std::string Join(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

bool IsPureOut(const ParamInfo& p) {
  return (p.flags & com::kParamOut) && !(p.flags & com::kParamIn);
}
bool IsRetval(const ParamInfo& p) {
  return (p.flags & com::kParamRetval) != 0;
}
// A parameter the caller gives a value for (in and in/out ones).
bool IsGiven(const ParamInfo& p) {
  return !IsRetval(p) && !IsPureOut(p);
}
// One that must be given: in only, and not optional.
bool IsRequired(const ParamInfo& p) {
  return IsGiven(p) && !(p.flags & com::kParamOut) && !(p.flags & com::kParamOptional);
}

// The parameters a caller gives, for messages: "Channel, Points" or
// "filename, [Format]".
std::string Signature(const MemberInfo& member) {
  std::vector<std::string> names;
  for (const auto& p : member.params) {
    if (!IsGiven(p)) continue;
    names.push_back(IsRequired(p) ? p.name : "[" + p.name + "]");
  }
  return names.empty() ? "no arguments" : Join(names);
}

bool IsScalarType(com::VARTYPE vt) {
  switch (vt) {
    case com::VT_I2:
    case com::VT_I4:
    case com::VT_R4:
    case com::VT_R8:
    case com::VT_BOOL:
    case com::VT_UI1:
    case com::VT_UI2:
    case com::VT_UI4:
    case com::VT_I1:
    case com::VT_INT:
    case com::VT_UINT:
    case com::VT_BSTR:
      return true;
    default:
      return false;
  }
}

const com::DispatchTable& TableOf(com::IDispatch* object, const std::string& where) {
  const com::DispatchTable* table = nullptr;
  com::HRESULT hr = object->GetTypeInfo(&table);
  if (FAILED(hr) || !table) {
    AutomationError error = TakeAutomationError(FAILED(hr) ? hr : com::E_POINTER);
    throw AutomationError(error.status(), where + " publishes no member table: " + error.what());
  }
  return *table;
}

}  // namespace

// Loads the type library when a word first needs a constant looked up, so
// commands that pass no identifiers never load it.
class ScopeSession::LazyConstants : public ConstantResolver {
 public:
  // An empty name: the object has no type library, so no word is a constant.
  explicit LazyConstants(std::string library_name) : name_(std::move(library_name)) {}

  std::optional<std::int32_t> Find(std::string_view name) const override {
    return Library().Find(name);
  }
  bool LooksLikeConstant(std::string_view name) const override {
    return Library().LooksLikeConstant(name);
  }
  std::vector<std::string> Nearest(std::string_view name, std::size_t count) const override {
    return Library().Nearest(name, count);
  }

 private:
  const LibraryConstants& Library() const {
    if (!loaded_) {
      const com::TypeLibrary* library = nullptr;
      if (!name_.empty()) {
        com::HRESULT hr = com::LoadTypeLibrary(name_, &library);
        if (FAILED(hr)) {
          AutomationError error = TakeAutomationError(hr);
          throw AutomationError(hr, "loading the type library " + name_ + ": " + error.what());
        }
      }
      loaded_.emplace(library);
    }
    return *loaded_;
  }
  std::string name_;
  mutable std::optional<LibraryConstants> loaded_;
};

ScopeSession::ScopeSession() = default;

ScopeSession::~ScopeSession() {
  if (connected_ && root_) {
    (void)com::CallMethod(root_.Get(), "Close", {}, nullptr);
    com::SetErrorInfo(0, nullptr);
  }
}

void ScopeSession::Open(const SessionOptions& options) {
  EnsureServersRegistered(ProgramFolder() + "/../lib");
  com::HRESULT hr = com::CreateObjectByProgID(kServerProgID, &root_);
  if (FAILED(hr)) {
    AutomationError error = TakeAutomationError(hr);
    throw AutomationError(hr, std::string("creating ") + kServerProgID + ": " + error.what());
  }
  constants_ = std::make_unique<LazyConstants>(type_library_);
  Call("Connect", {"\"" + options.address + "\""});
  connected_ = true;
  if (options.timeout_ms) Set("Utilities.Timeout", std::to_string(*options.timeout_ms));
  if (options.detect_errors) Set("Utilities.DetectDeviceErrors", "true");
  if (options.no_range_checking) Set("Utilities.RangeChecking", "false");
}

void ScopeSession::OpenObject(const std::string& prog_id) {
  EnsureServersRegistered(ProgramFolder() + "/../lib");
  com::CLSID clsid;
  com::HRESULT hr = com::CLSIDFromProgID(prog_id, &clsid);
  if (SUCCEEDED(hr)) hr = com::CoCreateInstance(clsid, &root_);
  if (FAILED(hr)) {
    AutomationError error = TakeAutomationError(hr);
    throw AutomationError(hr, "creating " + prog_id + ": " + error.what());
  }
  // Constants come from the class's own type library, when it has one.
  com::ClassRegistration entry;
  type_library_ = SUCCEEDED(com::LookupClassEntry(clsid, &entry)) ? entry.type_library : "";
  constants_ = std::make_unique<LazyConstants>(type_library_);
  root_name_ = prog_id;
}

void ScopeSession::Close() {
  if (!connected_) return;
  connected_ = false;
  Call("Close", {});
}

CallResult ScopeSession::Get(std::string_view path) {
  return Run(path, Action::kGet, {});
}

void ScopeSession::Set(std::string_view path, std::string_view value) {
  Run(path, Action::kSet, {std::string(value)});
}

CallResult ScopeSession::Call(std::string_view path, const std::vector<std::string>& args) {
  return Run(path, Action::kCall, args);
}

const ConstantResolver& ScopeSession::Constants() {
  if (!constants_) constants_ = std::make_unique<LazyConstants>(type_library_);
  return *constants_;
}

CallResult ScopeSession::Run(std::string_view path_text, Action action,
                             const std::vector<std::string>& extra) {
  if (!root_) throw AutomationError(com::E_UNEXPECTED, "not connected");
  const std::vector<PathSegment> path = ParsePath(path_text);
  com::ComPtr<com::IDispatch> object = root_;
  for (std::size_t s = 0; s < path.size(); ++s) {
    const PathSegment& segment = path[s];
    const bool last = s + 1 == path.size();
    const std::string owner = s == 0 ? root_name_ : PathText(path, s);
    const std::string here = PathText(path, s + 1);
    const com::DispatchTable& table = TableOf(object.Get(), owner);

    com::DISPID id = com::DISPID_UNKNOWN;
    if (FAILED(table.IdOfName(segment.name, &id))) {
      throw UsageError("unknown member '" + segment.name + "' of " + owner +
                       "; nearest: " + Join(table.NearestNames(segment.name, 3)));
    }
    // Which entry of the member is acted on, and how.
    const MemberInfo* member = nullptr;
    std::uint16_t flags = 0;
    if (!last || action == Action::kGet) {
      member = table.Find(id, MemberKind::kGet);
      flags = com::DISPATCH_PROPERTYGET;
      if (!member) {
        member = table.Find(id, MemberKind::kMethod);
        flags = com::DISPATCH_METHOD;
        const bool has_value =
            member && std::any_of(member->params.begin(), member->params.end(), IsRetval);
        if (member && !has_value) {
          throw UsageError("'" + here + "' is a method without a value; use: call " + here);
        }
      }
      if (!member) throw UsageError("'" + here + "' cannot be read");
    } else if (action == Action::kSet) {
      member = table.Find(id, MemberKind::kPut);
      flags = com::DISPATCH_PROPERTYPUT;
      if (!member) {
        member = table.Find(id, MemberKind::kPutRef);
        flags = com::DISPATCH_PROPERTYPUTREF;
      }
      if (!member) {
        const bool is_method = table.Find(id, MemberKind::kMethod) != nullptr;
        throw UsageError(
            "'" + here + "' cannot be set" +
            (is_method ? "; it is a method: call " + here : std::string(" (read-only)")));
      }
    } else {
      member = table.Find(id, MemberKind::kMethod);
      flags = com::DISPATCH_METHOD;
      if (!member) {
        member = table.Find(id, MemberKind::kGet);
        flags = com::DISPATCH_PROPERTYGET;
      }
      if (!member) throw UsageError("'" + here + "' cannot be called; use: set " + here + " VALUE");
    }

    // The words given: the segment's own arguments, then (for the last
    // segment) the value to set or the call's arguments.
    std::vector<std::string> words = segment.args;
    if (last) words.insert(words.end(), extra.begin(), extra.end());
    std::size_t given = 0, required = 0;
    for (const auto& p : member->params) {
      given += IsGiven(p) ? 1 : 0;
      required += IsRequired(p) ? 1 : 0;
    }
    const std::string name = (s == 0 ? std::string() : PathText(path, s) + ".") + segment.name;
    if (words.size() > given || words.size() < required) {
      const char* verb = action == Action::kSet && last ? " (with the value) takes " : " takes ";
      throw UsageError("'" + name + "'" + verb +
                       (required == given
                            ? std::to_string(given)
                            : std::to_string(required) + " to " + std::to_string(given)) +
                       " argument" + (given == 1 ? "" : "s") + " (" + Signature(*member) + "), " +
                       std::to_string(words.size()) + " given");
    }

    // One variant per parameter but the retval: the caller's values, empty
    // variants for out parameters, the missing marker for omitted optional ones.
    std::vector<com::Variant> args;
    std::size_t next = 0;
    for (const auto& p : member->params) {
      if (IsRetval(p)) continue;
      if (IsPureOut(p)) {
        args.emplace_back();
        continue;
      }
      if (next >= words.size()) {
        args.push_back((p.flags & com::kParamOut) ? com::Variant() : com::Variant::Missing());
        continue;
      }
      const bool is_put_value = flags != com::DISPATCH_METHOD &&
                                flags != com::DISPATCH_PROPERTYGET && next + 1 == words.size();
      const std::string what =
          is_put_value ? "the value of '" + name + "'" : p.name + " of '" + name + "'";
      const std::string& word = words[next++];
      com::Variant value = ParseValue(word, &Constants());
      if (IsScalarType(p.vt) && value.vt() != p.vt) {
        com::Variant converted;
        com::HRESULT hr = value.ChangeType(p.vt, &converted);
        if (hr == com::DISP_E_OVERFLOW) {
          throw UsageError("'" + word + "' is out of range for " + what);
        }
        if (FAILED(hr)) {
          std::string message = "'" + word + "' is not a " +
                                (p.vt == com::VT_BOOL ? "boolean (true or false)" : "number") +
                                " (" + what + ")";
          if (IsIdentifier(word)) {
            message += "; nearest constants: " + Join(Constants().Nearest(word, 3));
          }
          throw UsageError(message);
        }
      }
      args.push_back(std::move(value));
    }

    com::Variant result;
    std::uint32_t arg_error = 0;
    com::SetErrorInfo(0, nullptr);
    com::HRESULT hr = object->Invoke(id, flags, args, &result, &arg_error);
    if (FAILED(hr)) throw TakeAutomationError(hr);

    if (!last) {
      com::IDispatch* next_object = result.Dispatch();
      if (!next_object)
        throw UsageError("'" + here + "' is not an object; it cannot be followed by '.'");
      object = next_object;
      continue;
    }
    CallResult outcome;
    std::size_t position = 0;
    for (const auto& p : member->params) {
      if (IsRetval(p)) {
        outcome.retval = NamedValue{p.name, std::move(result)};
        continue;
      }
      if (p.flags & com::kParamOut) outcome.outs.push_back({p.name, args[position]});
      ++position;
    }
    return outcome;
  }
  return {};
}

}  // namespace vex::scope
