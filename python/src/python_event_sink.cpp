#include "python_event_sink.h"

#include "variant_conversion.h"
#include "vex/com/error_info.h"

namespace vex::python {

PythonEventSink::PythonEventSink(py::object handler, std::thread::id owner)
    : handler_(std::move(handler)), owner_(owner) {}

PythonEventSink::~PythonEventSink() {
  // The last reference may go on a thread without the GIL.
  py::gil_scoped_acquire gil;
  handler_ = py::object();
}

com::HRESULT PythonEventSink::GetTypeInfo(const com::DispatchTable** table) {
  if (table) *table = nullptr;
  return com::E_NOTIMPL;
}

com::HRESULT PythonEventSink::GetIDsOfNames(std::string_view name, com::DISPID* id) {
  if (!id) return com::E_POINTER;
  *id = com::DISPID_UNKNOWN;
  py::gil_scoped_acquire gil;
  for (const std::string& candidate : {std::string(name), "On" + std::string(name)}) {
    if (!py::hasattr(handler_, candidate.c_str())) continue;
    for (std::size_t i = 0; i < methods_.size(); ++i) {
      if (methods_[i] == candidate) return *id = static_cast<com::DISPID>(i + 1), com::S_OK;
    }
    methods_.push_back(candidate);
    *id = static_cast<com::DISPID>(methods_.size());
    return com::S_OK;
  }
  return com::DISP_E_UNKNOWNNAME;
}

com::HRESULT PythonEventSink::Invoke(com::DISPID id, std::uint16_t, std::span<com::Variant> args,
                                     com::Variant* result, std::uint32_t*) {
  py::gil_scoped_acquire gil;
  if (id < 1 || static_cast<std::size_t>(id) > methods_.size()) return com::DISP_E_MEMBERNOTFOUND;
  try {
    py::tuple values(args.size());
    for (std::size_t i = 0; i < args.size(); ++i)
      values[i] = ToPython(com::Variant(args[i]), owner_);
    py::object returned = handler_.attr(methods_[id - 1].c_str())(*values);
    if (result) *result = com::Variant();
    return com::S_OK;
  } catch (py::error_already_set& error) {
    const std::string text = error.what();
    error.restore();
    PyErr_Print();
    return com::ReportRichError(com::DISP_E_EXCEPTION, text, "vexscope event handler");
  } catch (py::builtin_exception& error) {
    // Raised by the conversion of an argument: reported like a handler's.
    const std::string text = error.what();
    error.set_error();
    PyErr_Print();
    return com::ReportRichError(com::DISP_E_EXCEPTION, text, "vexscope event handler");
  } catch (const std::exception& error) {
    // Nothing C++ goes back into the firing object.
    return com::ReportRichError(com::DISP_E_EXCEPTION, error.what(), "vexscope event handler");
  } catch (...) {
    return com::ReportRichError(com::DISP_E_EXCEPTION, "the event handler failed",
                                "vexscope event handler");
  }
}

}  // namespace vex::python
