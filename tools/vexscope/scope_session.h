// One late-bound connection to the automation server.
//
// The session creates "VexR7100X.VexR7100EZ" by ProgID and reaches every
// member of the object model by name only, through IDispatch and the
// dispatch tables the objects publish (IDispatch::GetTypeInfo): a path such
// as "AnalogChannels.Item(2).ProbeAttenuation" is walked one property get
// at a time, and the last member is read, written or called.
//
// Before anything is invoked, the member's existence and the number and
// types of the arguments are checked against its table entry, so a
// misspelt member, a wrong argument count or a value that does not convert
// is a UsageError (with the nearest valid names) rather than a dispatch
// failure. Out parameters are passed as empty variants and come back by
// name; a retval parameter is the result. A failing call throws
// AutomationError with the status and the rich error description.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "member_path.h"
#include "server_registration.h"
#include "vex/com/com_ptr.h"
#include "vex/com/dispatch.h"
#include "vex/com/property_bag.h"

namespace vex::scope {

struct SessionOptions {
  std::string address;
  std::optional<std::int32_t> timeout_ms;
  bool detect_errors = false;
  bool no_range_checking = false;
};

struct NamedValue {
  std::string name;
  com::Variant value;
};

// What a member gave back: its result (retval) and its out parameters.
struct CallResult {
  std::optional<NamedValue> retval;
  std::vector<NamedValue> outs;
};

class ScopeSession {
 public:
  ScopeSession();
  ScopeSession(const ScopeSession&) = delete;
  ScopeSession& operator=(const ScopeSession&) = delete;
  // Closes the connection if it is still open (errors are ignored there).
  ~ScopeSession();

  // Registers the servers beside the program when needed, creates the
  // top-level object, connects to `options.address` and applies the options.
  void Open(const SessionOptions& options);
  // Registers the libraries beside the program when needed and creates any
  // registered class by ProgID instead of the server; members are then
  // reached from that object, and nothing connects to an instrument.
  void OpenObject(const std::string& prog_id);
  // Creates the scope control instead of the bare server, as a host in
  // running mode: its state loaded from `saved` (null: a new control), the
  // address set when `address_given`, and, when `connect`, Initialize
  // followed by the options. Members are then reached from the control.
  // What the control skips while loading goes to `warnings` when given.
  void OpenControl(const SessionOptions& options, com::IPropertyBag* saved, bool address_given,
                   bool connect, com::IErrorLog* warnings = nullptr);
  // Closes the connection (Close on the server, CloseConnection on the
  // control); throws AutomationError.
  void Close();

  CallResult Get(std::string_view path);
  void Set(std::string_view path, std::string_view value);
  CallResult Call(std::string_view path, const std::vector<std::string>& args);

  // The enumeration constants of the server's type library, loaded on first use.
  const ConstantResolver& Constants();

  // The object the session drives (the server's top-level object after
  // Open), for units that hand it on; null before Open.
  com::IDispatch* Root() const { return root_.Get(); }

 private:
  enum class Action { kGet, kSet, kCall };
  class LazyConstants;

  CallResult Run(std::string_view path, Action action, const std::vector<std::string>& extra);

  com::ComPtr<com::IDispatch> root_;
  std::unique_ptr<LazyConstants> constants_;
  std::string root_name_ = "the top-level object";
  std::string type_library_ = kTypeLibraryName;
  bool connected_ = false;
  bool control_ = false;
};

}  // namespace vex::scope
