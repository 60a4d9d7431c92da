#include "late_bound_object.h"

#include <cctype>
#include <map>
#include <memory>
#include <unordered_map>

#include "variant_conversion.h"
#include "vex/com/enum_variant.h"
#include "vex/com/error_info.h"
#include "vex/com/numeric_text.h"

namespace vex::python {

struct LateBoundObject::Entry {
  std::string name;  // as the table spells it
  com::MemberTarget get, put, method;
  bool ReadsAtOnce() const {
    if (!get.member) return false;
    for (const auto& p : get.member->params) {
      if (com::IsRequiredParam(p)) return false;
    }
    return true;
  }
};

namespace {

py::object& MethodFactory() {
  static py::object* factory = new py::object();
  return *factory;
}
py::object& AutomationErrorClass() {
  static py::object* type = new py::object();
  return *type;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

using EntryMap = std::unordered_map<std::string, LateBoundObject::Entry*>;

// What each name of a table is, learnt once per table (tables live as long
// as their libraries, which stay loaded).
const EntryMap& EntriesOf(const com::DispatchTable& table) {
  static std::map<const com::DispatchTable*, std::unique_ptr<EntryMap>> cache;
  static std::vector<std::unique_ptr<LateBoundObject::Entry>> entries;
  auto& map = cache[&table];
  if (map) return *map;
  map = std::make_unique<EntryMap>();
  for (const auto& member : table.Members()) {
    auto& slot = (*map)[Lower(member.name)];
    if (!slot) {
      entries.push_back(std::make_unique<LateBoundObject::Entry>());
      slot = entries.back().get();
      slot->name = member.name;
    }
    com::MemberTarget target{member.id, &member, 0};
    switch (member.kind) {
      case com::MemberKind::kGet:
        target.flags = com::DISPATCH_PROPERTYGET;
        if (!slot->get.member) slot->get = target;
        break;
      case com::MemberKind::kPut:
        target.flags = com::DISPATCH_PROPERTYPUT;
        slot->put = target;
        break;
      case com::MemberKind::kPutRef:
        target.flags = com::DISPATCH_PROPERTYPUTREF;
        if (!slot->put.member) slot->put = target;
        break;
      case com::MemberKind::kMethod:
        target.flags = com::DISPATCH_METHOD;
        if (!slot->method.member) slot->method = target;
        break;
    }
  }
  return *map;
}

const char* KindName(com::MemberKind kind) {
  switch (kind) {
    case com::MemberKind::kGet:
      return "get";
    case com::MemberKind::kPut:
      return "put";
    case com::MemberKind::kPutRef:
      return "putref";
    default:
      return "method";
  }
}

}  // namespace

void SetMethodFactory(py::object factory) {
  MethodFactory() = std::move(factory);
}
void SetAutomationErrorClass(py::object type) {
  AutomationErrorClass() = std::move(type);
}

LateBoundObject::LateBoundObject(com::ComPtr<com::IDispatch> object, std::thread::id owner)
    : object_(std::move(object)), owner_(owner) {
  const com::DispatchTable* table = nullptr;
  if (!object_ || com::FAILED(object_->GetTypeInfo(&table)) || !table) {
    throw py::type_error("the object publishes no member table");
  }
  table_ = table;
}

void LateBoundObject::RaiseAutomationError(com::HRESULT status) {
  com::ErrorDetails details = com::TakeErrorDetails();
  std::string description = details.description.Str();
  if (description.empty()) description = com::HresultText(status);
  py::object type = AutomationErrorClass();
  if (!type) RaisePython(PyExc_OSError, description);
  // The texts may come from outside (an instrument's reply, a file name).
  py::object error = type(static_cast<std::uint32_t>(status), TextToPython(description),
                          TextToPython(details.source.View()),
                          TextToPython(details.help_file.View()), details.help_context);
  PyErr_SetObject(type.ptr(), error.ptr());
  throw py::error_already_set();
}

void LateBoundObject::RaiseUsageError(const com::MemberCallIssue& issue) {
  switch (issue.problem) {
    case com::MemberProblem::kUnknownName:
    case com::MemberProblem::kMethodWithoutValue:
    case com::MemberProblem::kNotReadable:
    case com::MemberProblem::kSetMethod:
    case com::MemberProblem::kReadOnly:
    case com::MemberProblem::kNotCallable:
    case com::MemberProblem::kNotAnObject:
      RaisePython(PyExc_AttributeError, issue.message);
    case com::MemberProblem::kOutOfRange:
      RaisePython(PyExc_OverflowError, issue.message);
    default:
      RaisePython(PyExc_TypeError, issue.message);
  }
}

void LateBoundObject::CheckThread() const {
  if (std::this_thread::get_id() != owner_) {
    com::ReportRichError(com::RPC_E_WRONG_THREAD,
                         "The object belongs to the thread that created it; it cannot be called "
                         "from another thread.",
                         "vexscope");
    RaiseAutomationError(com::RPC_E_WRONG_THREAD);
  }
}

const LateBoundObject::Entry* LateBoundObject::Find(const std::string& name) const {
  const EntryMap& entries = EntriesOf(*table_);
  auto it = entries.find(Lower(name));
  return it == entries.end() ? nullptr : it->second;
}

py::object LateBoundObject::Invoke(const com::MemberTarget& target,
                                   std::vector<com::MemberArgument> args, const std::string& name) {
  std::vector<com::Variant> slots;
  com::MemberCallIssue issue;
  com::HRESULT hr =
      com::BindMemberArguments(target, std::move(args), name, nullptr, &slots, &issue);
  if (com::FAILED(hr)) RaiseUsageError(issue);
  com::MemberCallResult result;
  {
    py::gil_scoped_release release;
    hr = com::InvokeMember(object_.Get(), target, slots, &result);
  }
  if (com::FAILED(hr)) RaiseAutomationError(hr);
  // The result, then out values; one value alone is returned as itself.
  std::vector<py::object> values;
  if (result.retval) values.push_back(ToPython(std::move(result.retval->value), owner_));
  for (auto& out : result.outs) values.push_back(ToPython(std::move(out.value), owner_));
  if (values.empty()) return py::none();
  if (values.size() == 1) return values.front();
  py::tuple tuple(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) tuple[i] = std::move(values[i]);
  return tuple;
}

py::object LateBoundObject::GetAttribute(const std::string& name) {
  CheckThread();
  const Entry* entry = Find(name);
  if (!entry) {
    com::MemberTarget target;
    com::MemberCallIssue issue;
    (void)com::ResolveMember(*table_, name, com::MemberAction::kGet, false, Repr(), name, &target,
                             &issue);
    RaisePython(PyExc_AttributeError, issue.message);
  }
  if (entry->ReadsAtOnce()) return Invoke(entry->get, {}, entry->name);
  if (!entry->method.member && !entry->get.member) {
    RaisePython(PyExc_AttributeError, "'" + entry->name + "' can only be set");
  }
  return MethodFactory()(py::cast(*this), entry->name);
}

void LateBoundObject::SetAttribute(const std::string& name, const py::object& value) {
  CheckThread();
  const Entry* entry = Find(name);
  if (!entry || !entry->put.member) {
    com::MemberTarget target;
    com::MemberCallIssue issue;
    (void)com::ResolveMember(*table_, name, com::MemberAction::kSet, false, Repr(), name, &target,
                             &issue);
    RaiseUsageError(issue);
  }
  std::vector<com::MemberArgument> args;
  args.emplace_back(FromPython(value, ValuePlace{entry->name, 0, {}, true}));
  (void)Invoke(entry->put, std::move(args), entry->name);
}

py::object LateBoundObject::Run(const std::string& name, com::MemberAction action,
                                const py::tuple& args, const py::dict& kwargs) {
  CheckThread();
  com::MemberTarget target;
  com::MemberCallIssue issue;
  com::HRESULT hr = com::ResolveMember(*table_, name, action, false, Repr(), name, &target, &issue);
  if (com::FAILED(hr)) RaiseUsageError(issue);
  const com::MemberInfo& member = *target.member;
  // The parameters values are given for, to name the one a value that
  // cannot go in was for; as BindMemberArguments reads them, the last
  // positional value of a set is the new value.
  std::vector<const com::ParamInfo*> given;
  for (const auto& p : member.params) {
    if (com::IsGivenParam(p)) given.push_back(&p);
  }
  const bool is_put =
      target.flags == com::DISPATCH_PROPERTYPUT || target.flags == com::DISPATCH_PROPERTYPUTREF;
  std::vector<com::MemberArgument> arguments;
  arguments.reserve(args.size() + kwargs.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    ValuePlace place{member.name, i + 1, {}, is_put && i + 1 == args.size()};
    if (place.is_set_value && !given.empty()) {
      place.parameter = given.back()->name;
    } else if (i < given.size()) {
      place.parameter = given[i]->name;
    }
    arguments.emplace_back(FromPython(args[i], place));
  }
  for (const auto& [key, value] : kwargs) {
    std::string parameter = NameFromPython(key);
    ValuePlace place{member.name, 0, parameter};
    for (const com::ParamInfo* p : given) {
      if (com::EqualsNoCase(p->name, parameter)) place.parameter = p->name;
    }
    arguments.emplace_back(FromPython(value, place), std::move(parameter));
  }
  return Invoke(target, std::move(arguments), member.name);
}

std::vector<std::string> LateBoundObject::MemberNames() const {
  std::vector<std::string> names;
  for (const auto& [lower, entry] : EntriesOf(*table_)) {
    const com::MemberTarget* any = entry->get.member      ? &entry->get
                                   : entry->method.member ? &entry->method
                                                          : &entry->put;
    if (!any->member->hidden) names.push_back(entry->name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

py::dict LateBoundObject::Describe(const std::string& name) const {
  const Entry* entry = Find(name);
  if (!entry) RaisePython(PyExc_AttributeError, "no member '" + name + "'");
  py::dict info;
  info["name"] = TextToPython(entry->name);
  py::list kinds;
  for (const auto& member : table_->Members()) {
    if (!com::EqualsNoCase(member.name, name)) continue;
    py::dict kind;
    kind["kind"] = KindName(member.kind);
    py::list params;
    for (const auto& p : member.params) {
      py::dict param;
      param["name"] = TextToPython(p.name);
      param["type"] = com::VarTypeName(p.vt);
      param["given"] = com::IsGivenParam(p);
      param["required"] = com::IsRequiredParam(p);
      param["out"] = (p.flags & com::kParamOut) != 0 && !com::IsRetvalParam(p);
      param["retval"] = com::IsRetvalParam(p);
      param["default"] =
          p.has_default ? TextToPython(p.default_value.Describe()) : py::object(py::none());
      params.append(param);
    }
    kind["params"] = params;
    kind["interface"] = TextToPython(member.interface_name);
    kinds.append(kind);
  }
  info["kinds"] = kinds;
  return info;
}

py::list LateBoundObject::Items() {
  CheckThread();
  com::Variant enumerator;
  com::HRESULT hr;
  {
    py::gil_scoped_release release;
    hr = object_->Invoke(com::DISPID_NEWENUM, com::DISPATCH_PROPERTYGET | com::DISPATCH_METHOD, {},
                         &enumerator, nullptr);
  }
  if (com::FAILED(hr)) {
    com::SetErrorInfo(0, nullptr);
    RaisePython(PyExc_TypeError, Repr() + " is not a collection");
  }
  com::ComPtr<com::IEnumVARIANT> items;
  if (!enumerator.Unknown() ||
      com::FAILED(com::ComPtr<com::IUnknown>(enumerator.Unknown()).As(&items)))
    RaisePython(PyExc_TypeError, Repr() + " is not a collection");
  py::list list;
  while (true) {
    com::Variant item;
    std::uint32_t fetched = 0;
    if (items->Next(1, &item, &fetched) != com::S_OK || fetched != 1) break;
    list.append(ToPython(std::move(item), owner_));
  }
  return list;
}

std::string LateBoundObject::Repr() const {
  return "<vexscope object " + table_->Name() + ">";
}

bool LateBoundObject::SameObject(const LateBoundObject& other) const {
  com::ComPtr<com::IUnknown> a, b;
  (void)object_.As(&a);
  (void)other.object_.As(&b);
  return a.Get() == b.Get();
}

std::size_t LateBoundObject::Hash() const {
  com::ComPtr<com::IUnknown> a;
  (void)object_.As(&a);
  return std::hash<const void*>()(a.Get());
}

}  // namespace vex::python
