// An event sink made of a Python object: a dispatch-only sink (IDispatch
// alone) whose members are the handler's methods, found by the event's name
// or by "On" and the name. The sink takes the GIL before it touches Python,
// whichever thread fires the event, and a handler that raises reports the
// exception (printed on standard error) and fails the event with
// DISP_E_EXCEPTION.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <thread>
#include <vector>

#include "vex/com/dispatch.h"
#include "vex/com/unknown.h"

namespace vex::python {

namespace py = pybind11;

class PythonEventSink : public com::Object<com::IDispatch> {
 public:
  PythonEventSink(py::object handler, std::thread::id owner);

  com::HRESULT GetTypeInfo(const com::DispatchTable** table) override;
  com::HRESULT GetIDsOfNames(std::string_view name, com::DISPID* id) override;
  com::HRESULT Invoke(com::DISPID id, std::uint16_t flags, std::span<com::Variant> args,
                      com::Variant* result, std::uint32_t* arg_error) override;

 protected:
  ~PythonEventSink() override;

 private:
  py::object handler_;
  std::thread::id owner_;
  std::vector<std::string> methods_;  // dispatch id n is methods_[n - 1]
};

}  // namespace vex::python
