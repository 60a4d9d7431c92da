// A late-bound object as Python sees it: members are found by name in the
// object's dispatch table (any letter case) and invoked through the
// runtime's one implementation of "call a member by name" (member_call.h).
//
// What each name is (property, method, or both) is learnt once per dispatch
// table and kept, so a property read costs one table lookup and one Invoke.
// Reading an attribute reads a property that needs no arguments at once; a
// method, or a property that takes arguments (an indexed property), comes
// back as a callable made by the package's method factory.
//
// Apartment rule: the object belongs to the thread that created it (objects
// it hands out belong to the same thread); a call from another thread raises
// AutomationError with RPC_E_WRONG_THREAD. The GIL is released while the
// member runs, so other Python threads go on during a long transfer.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <thread>
#include <vector>

#include "vex/com/com_ptr.h"
#include "vex/com/dispatch.h"
#include "vex/com/member_call.h"

namespace vex::python {

namespace py = pybind11;

class LateBoundObject {
 public:
  LateBoundObject(com::ComPtr<com::IDispatch> object, std::thread::id owner);

  com::IDispatch* Dispatch() const { return object_.Get(); }
  const com::DispatchTable& Table() const { return *table_; }

  py::object GetAttribute(const std::string& name);
  void SetAttribute(const std::string& name, const py::object& value);
  // Runs member `name` for `action` with positional and named arguments.
  py::object Run(const std::string& name, com::MemberAction action, const py::tuple& args,
                 const py::dict& kwargs);
  // The visible member names, each once, as the table spells them.
  std::vector<std::string> MemberNames() const;
  // A description of member `name` for help(): name, kinds, parameters.
  py::dict Describe(const std::string& name) const;
  // The items of a collection (through its _NewEnum member).
  py::list Items();
  std::string Repr() const;
  bool SameObject(const LateBoundObject& other) const;
  std::size_t Hash() const;

  // Raises AutomationError for `status` with the thread's error information.
  [[noreturn]] static void RaiseAutomationError(com::HRESULT status);
  // Raises AttributeError or TypeError for a usage problem.
  [[noreturn]] static void RaiseUsageError(const com::MemberCallIssue& issue);

  struct Entry;  // what one name of the table is

 private:
  const Entry* Find(const std::string& name) const;
  void CheckThread() const;
  py::object Invoke(const com::MemberTarget& target, std::vector<com::MemberArgument> args,
                    const std::string& name);

  com::ComPtr<com::IDispatch> object_;
  const com::DispatchTable* table_ = nullptr;
  std::thread::id owner_;
};

// The Python callables the package supplies: the factory of method
// callables, called as factory(object, name) and the AutomationError class.
void SetMethodFactory(py::object factory);
void SetAutomationErrorClass(py::object type);

}  // namespace vex::python
