#include "scope_session.h"

#include "server_registration.h"
#include "tool_errors.h"
#include "vex/com/class_registry.h"
#include "vex/com/control_site.h"
#include "vex/com/error_info.h"
#include "vex/com/member_call.h"
#include "vex/com/type_library.h"

namespace vex::scope {

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
    (void)com::CallMethod(root_.Get(), control_ ? "CloseConnection" : "Close", {}, nullptr);
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

void ScopeSession::OpenControl(const SessionOptions& options, com::IPropertyBag* saved,
                               bool address_given, bool connect, com::IErrorLog* warnings) {
  EnsureServersRegistered(ProgramFolder() + "/../lib");
  auto site = com::MakeObject<com::ControlSite>(true);
  com::HRESULT hr = com::HostControl(kControlProgID, site.Get(), saved, &root_, warnings);
  if (FAILED(hr)) {
    AutomationError error = TakeAutomationError(hr);
    throw AutomationError(hr, std::string("creating ") + kControlProgID + ": " + error.what());
  }
  control_ = true;
  root_name_ = "the scope control";
  type_library_ = kControlTypeLibraryName;
  constants_ = std::make_unique<LazyConstants>(type_library_);
  if (address_given) Set("Address", "\"" + options.address + "\"");
  if (!connect) return;
  Call("Initialize", {});
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
  Call(control_ ? "CloseConnection" : "Close", {});
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

CallResult ScopeSession::Run(std::string_view path, Action action,
                             const std::vector<std::string>& extra) {
  if (!root_) throw AutomationError(com::E_UNEXPECTED, "not connected");
  const com::MemberAction how = action == Action::kGet   ? com::MemberAction::kGet
                                : action == Action::kSet ? com::MemberAction::kSet
                                                         : com::MemberAction::kCall;
  com::MemberCallResult result;
  com::MemberCallIssue issue;
  com::HRESULT hr =
      com::CallMemberPath(root_.Get(), path, how, extra, &Constants(), &result, &issue, root_name_);
  if (FAILED(hr)) {
    // A problem found before anything ran is a usage error; the tool adds
    // the command that would do what was meant.
    switch (issue.problem) {
      case com::MemberProblem::kNone:
        throw TakeAutomationError(hr);
      case com::MemberProblem::kMethodWithoutValue:
        throw UsageError(issue.message + "; use: call " + issue.member);
      case com::MemberProblem::kSetMethod:
        throw UsageError(issue.message + ": call " + issue.member);
      case com::MemberProblem::kNotCallable:
        throw UsageError(issue.message + "; use: set " + issue.member + " VALUE");
      default:
        throw UsageError(issue.message);
    }
  }
  CallResult outcome;
  if (result.retval)
    outcome.retval = NamedValue{result.retval->name, std::move(result.retval->value)};
  for (auto& out : result.outs) outcome.outs.push_back({out.name, std::move(out.value)});
  return outcome;
}

}  // namespace vex::scope
