// Calling a member of a late-bound object by name: the one implementation of
// the rules every host (the command-line tool, the Python binding) follows.
//
// A member is picked from the object's dispatch table for an action:
// - get: the property get, else a method that gives a value (a retval);
// - set: the property put, else the put-by-reference;
// - call: the method, else the property get (an indexed property read with
//   arguments).
// A member followed by more of a path ("AnalogChannels.Item(2).Enabled") is
// read as for get and must give an object.
//
// Before anything is invoked, the arguments are checked against the member's
// table entry: their number (in and in/out parameters; out and retval ones
// are not given), named arguments (a parameter's name in any letter case),
// and values for scalar parameters converted to the declared type, so a
// misspelt member, a wrong argument count or a value that does not convert is
// reported with a message naming it and the nearest valid names, rather than
// as a dispatch failure. Such a problem is returned as its status
// (DISP_E_UNKNOWNNAME, DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT,
// DISP_E_PARAMNOTFOUND, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW, E_INVALIDARG)
// with `issue` filled in; nothing was invoked then.
//
// A failure of the invoked member itself returns the member's status with
// `issue` left empty and the member's rich error information installed as the
// thread's current error.
//
// Out and in/out parameters come back by name after the call, in parameter
// order; a retval parameter is the result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vex/com/dispatch.h"
#include "vex/com/member_path.h"

namespace vex::com {

enum class MemberAction : std::uint8_t { kGet, kSet, kCall };

enum class MemberProblem : std::uint8_t {
  kNone,
  kBadText,             // a path or a value that does not parse
  kUnknownName,         // no member of that name
  kMethodWithoutValue,  // a method that gives nothing, read or followed by '.'
  kNotReadable,
  kSetMethod,  // a set of a method
  kReadOnly,
  kNotCallable,  // a call of a property that can only be set
  kArgumentCount,
  kUnknownParameter,  // a named argument no parameter has, or one given twice
  kNotConvertible,
  kOutOfRange,
  kNotAnObject,  // a path continues after a member that gave no object
};

struct MemberCallIssue {
  MemberProblem problem = MemberProblem::kNone;
  std::string message;
  std::string member;  // the member concerned, as the caller wrote it
};

// A value given to a member, by position or by its parameter's name.
struct MemberArgument {
  MemberArgument() = default;
  MemberArgument(Variant v, std::string parameter = {}, std::string as_written = {})
      : value(std::move(v)), name(std::move(parameter)), text(std::move(as_written)) {}
  Variant value;
  std::string name;  // empty: positional
  std::string text;  // the value as the caller wrote it, for messages
};

struct MemberValue {
  std::string name;
  Variant value;
};

// What a member gave back: its result (retval) and its out parameters.
struct MemberCallResult {
  std::optional<MemberValue> retval;
  std::vector<MemberValue> outs;
};

// The table entry an action reaches, and how it is invoked.
struct MemberTarget {
  DISPID id = DISPID_UNKNOWN;
  const MemberInfo* member = nullptr;
  std::uint16_t flags = 0;
};

// The roles of a parameter.
bool IsRetvalParam(const ParamInfo& p);
bool IsPureOutParam(const ParamInfo& p);
// One the caller gives a value for (in and in/out).
bool IsGivenParam(const ParamInfo& p);
// One that must be given: in only, and not optional.
bool IsRequiredParam(const ParamInfo& p);
// Whether a member gives a value (has a retval parameter).
bool GivesValue(const MemberInfo& member);
// The parameters a caller gives, for messages: "Channel, [Points]", or
// "no arguments".
std::string MemberSignature(const MemberInfo& member);

// Picks the entry of member `name` for `action` (followed: more of a path
// comes after it). `where` names the object for messages ("the top-level
// object"), `here` the member as the caller wrote it.
[[nodiscard]] HRESULT ResolveMember(const DispatchTable& table, std::string_view name,
                                    MemberAction action, bool followed, std::string_view where,
                                    std::string_view here, MemberTarget* target,
                                    MemberCallIssue* issue);

// Checks `args` against the target's parameters and makes one variant per
// parameter but the retval: the given values (converted for scalar
// parameters), empty variants for out parameters, the missing marker for
// omitted optional ones. For a set, the last positional argument is the new
// value. `name` is the member as the caller wrote it; `constants` (may be
// null) names the nearest constants when a word does not convert.
[[nodiscard]] HRESULT BindMemberArguments(const MemberTarget& target,
                                          std::vector<MemberArgument> args, std::string_view name,
                                          const ConstantResolver* constants,
                                          std::vector<Variant>* slots, MemberCallIssue* issue);

// Invokes the target with bound slots and collects the retval and out values.
[[nodiscard]] HRESULT InvokeMember(IDispatch* object, const MemberTarget& target,
                                   std::vector<Variant>& slots, MemberCallResult* result);

// All three for one member of `object`.
[[nodiscard]] HRESULT CallMember(IDispatch* object, std::string_view name, MemberAction action,
                                 std::vector<MemberArgument> args,
                                 const ConstantResolver* constants, MemberCallResult* result,
                                 MemberCallIssue* issue);

// Walks a path from `root` one property get at a time and acts on its last
// member. The words of each segment's parentheses, and `words` for the last
// member, are values read by ParseMemberValue. `root_name` names the root
// object in messages.
[[nodiscard]] HRESULT CallMemberPath(IDispatch* root, std::string_view path, MemberAction action,
                                     const std::vector<std::string>& words,
                                     const ConstantResolver* constants, MemberCallResult* result,
                                     MemberCallIssue* issue,
                                     std::string_view root_name = "the top-level object");

}  // namespace vex::com
