// The extension module vexscope._vexscope: the late-bound object type and the
// runtime entry points the Python package is built on (vexscope/__init__.py
// holds what is plain Python: Dispatch, connect, constants, events).
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "late_bound_object.h"
#include "python_event_sink.h"
#include "variant_conversion.h"
#include "vex/com/class_registry.h"
#include "vex/com/connection_point.h"
#include "vex/com/control_site.h"
#include "vex/com/error_info.h"
#include "vex/com/type_library.h"

namespace py = pybind11;
using vex::python::LateBoundObject;
using vex::python::NameFromPython;
using vex::python::TextToPython;

namespace {

namespace com = vex::com;

// A file name from Python as the bytes the system sees: bytes as they are,
// a str (or a path-like object) encoded as os.fsencode does, so a name
// decoded from bytes that are not UTF-8 goes back as those bytes.
std::string PathFromPython(const py::handle& path) {
  py::object name = py::reinterpret_steal<py::object>(PyOS_FSPath(path.ptr()));
  if (!name) throw py::error_already_set();
  if (PyUnicode_Check(name.ptr())) {
    name = py::reinterpret_steal<py::object>(PyUnicode_EncodeFSDefault(name.ptr()));
    if (!name) throw py::error_already_set();
  }
  return std::string(PyBytes_AS_STRING(name.ptr()),
                     static_cast<std::size_t>(PyBytes_GET_SIZE(name.ptr())));
}

LateBoundObject Create(const std::string& prog_id) {
  com::ComPtr<com::IDispatch> object;
  com::HRESULT hr;
  {
    py::gil_scoped_release release;
    hr = com::CreateObjectByProgID(prog_id, &object);
  }
  if (com::FAILED(hr)) {
    if (!com::PeekErrorInfo()) {
      com::ReportRichError(hr, "cannot create \"" + prog_id + "\": " + com::HresultText(hr),
                           "vexscope");
    }
    LateBoundObject::RaiseAutomationError(hr);
  }
  return LateBoundObject(std::move(object), std::this_thread::get_id());
}

// Whether the object has a member of this name, in any letter case.
bool HasMember(const LateBoundObject& object, std::string_view name) {
  for (const std::string& member : object.MemberNames()) {
    if (member.size() == name.size() &&
        std::equal(member.begin(), member.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        }))
      return true;
  }
  return false;
}

// What a control skips while loading its state, kept until the interpreter
// is held again.
class CollectedWarnings final : public com::Object<com::IErrorLog> {
 public:
  com::HRESULT AddError(const com::Bstr&, com::HRESULT, const com::Bstr& text) override {
    texts.push_back(text.Str());
    return com::S_OK;
  }
  std::vector<std::string> texts;
};

// Creates a control as a host in running mode: a site of its own, then its
// state loaded from the property-bag file `state_path` (a missing file or
// none: the control starts new). What the control skips in the file (a
// malformed setup entry, say) is given as a UserWarning naming the file.
LateBoundObject HostControl(const std::string& prog_id, const std::string& state_path) {
  com::ComPtr<com::IDispatch> object;
  com::HRESULT hr = com::S_OK;
  auto warnings = com::MakeObject<CollectedWarnings>();
  {
    py::gil_scoped_release release;
    com::ComPtr<com::FilePropertyBag> bag;
    const bool saved = !state_path.empty() && std::filesystem::exists(state_path);
    if (saved) hr = com::FilePropertyBag::Open(state_path, &bag);
    auto site = com::MakeObject<com::ControlSite>(true);
    if (com::SUCCEEDED(hr))
      hr = com::HostControl(prog_id, site.Get(), bag.Get(), &object, warnings.Get());
  }
  if (com::FAILED(hr)) LateBoundObject::RaiseAutomationError(hr);
  if (!warnings->texts.empty()) {
    const py::object warn = py::module_::import("warnings").attr("warn");
    for (const std::string& text : warnings->texts)
      warn(TextToPython(state_path + ": " + text), py::handle(PyExc_UserWarning), 2);
  }
  return LateBoundObject(std::move(object), std::this_thread::get_id());
}

// Writes a hosted control's whole state into the file `state_path`
// (replacing it; keys at their defaults are not stored).
void SaveControl(const LateBoundObject& control, const std::string& state_path) {
  com::HRESULT hr = com::S_OK;
  {
    py::gil_scoped_release release;
    com::ComPtr<com::FilePropertyBag> bag;
    hr = com::FilePropertyBag::Open(state_path, &bag);
    if (com::SUCCEEDED(hr)) {
      std::vector<std::string> names;
      for (const auto& [name, value] : bag->Values()) names.push_back(name);
      for (const auto& name : names) bag->Remove(name);
    }
    if (com::SUCCEEDED(hr)) hr = com::SaveControl(control.Dispatch(), bag.Get());
    if (com::SUCCEEDED(hr)) hr = bag->Commit();
  }
  if (com::FAILED(hr)) LateBoundObject::RaiseAutomationError(hr);
}

bool IsRegistered(const std::string& prog_id) {
  com::CLSID clsid;
  com::ClassRegistration entry;
  if (com::FAILED(com::CLSIDFromProgID(prog_id, &clsid)) ||
      com::FAILED(com::LookupClassEntry(clsid, &entry)))
    return false;
  std::error_code error;
  return entry.library.empty() || std::filesystem::exists(entry.library, error);
}

void RegisterServer(const std::string& path) {
  com::HRESULT hr = com::RegisterServer(path);
  if (com::FAILED(hr)) LateBoundObject::RaiseAutomationError(hr);
}

// The names as the registry holds them, which a file may have spelt in any
// bytes.
py::list TypeLibraryNames() {
  std::vector<com::ClassRegistration> entries;
  std::vector<std::string> names;
  py::list list;
  if (com::FAILED(com::ListClassEntries(&entries))) return list;
  for (const auto& e : entries) {
    if (!e.type_library.empty() &&
        std::find(names.begin(), names.end(), e.type_library) == names.end())
      names.push_back(e.type_library);
  }
  for (const auto& name : names) list.append(TextToPython(name));
  return list;
}

// The enumerations of a type library: [(name, [(constant, value)])].
py::list Enumerations(const std::string& library_name) {
  const com::TypeLibrary* library = nullptr;
  com::HRESULT hr = com::LoadTypeLibrary(library_name, &library);
  if (com::FAILED(hr)) LateBoundObject::RaiseAutomationError(hr);
  py::list enums;
  for (const auto& e : library->enums) {
    py::list constants;
    for (const auto& [name, value] : e.constants)
      constants.append(py::make_tuple(TextToPython(name), value));
    enums.append(py::make_tuple(TextToPython(e.name), constants));
  }
  return enums;
}

com::ComPtr<com::IConnectionPoint> PointOf(const LateBoundObject& object, const std::string& iid) {
  auto parsed = com::ParseGuid(iid);
  if (!parsed) throw py::value_error("'" + iid + "' is not an interface id");
  com::ComPtr<com::IConnectionPointContainer> container;
  com::ComPtr<com::IConnectionPoint> point;
  if (com::FAILED(com::ComPtr<com::IDispatch>(object.Dispatch()).As(&container))) return point;
  if (com::FAILED(container->FindConnectionPoint(*parsed, point.ReleaseAndGetAddressOf())))
    point = nullptr;
  return point;
}

// Advises a Python handler on the object's connection point for `iid`;
// the cookie, or None when the object has no such point.
py::object Advise(const LateBoundObject& object, const std::string& iid, py::object handler) {
  com::ComPtr<com::IConnectionPoint> point = PointOf(object, iid);
  if (!point) return py::none();
  auto sink =
      com::MakeObject<vex::python::PythonEventSink>(std::move(handler), std::this_thread::get_id());
  std::uint32_t cookie = 0;
  com::HRESULT hr = point->Advise(static_cast<com::IDispatch*>(sink.Get()), &cookie);
  if (com::FAILED(hr)) LateBoundObject::RaiseAutomationError(hr);
  return py::int_(cookie);
}

void Unadvise(const LateBoundObject& object, const std::string& iid, std::uint32_t cookie) {
  if (com::ComPtr<com::IConnectionPoint> point = PointOf(object, iid)) {
    (void)point->Unadvise(cookie);
  }
}

}  // namespace

PYBIND11_MODULE(_vexscope, m) {
  m.doc() = "Late binding to the vexscope automation runtime (use the vexscope package).";

  py::class_<vex::python::ArrayOwner>(m, "ArrayOwner", "Holds the safe array a numpy array shows.")
      .def_property_readonly("address", &vex::python::ArrayOwner::Address);

  // Names come in as str and are passed on as UTF-8 with surrogateescape
  // (NameFromPython), so no name fails to convert before it is looked up.
  py::class_<LateBoundObject>(m, "Object", "A late-bound automation object.")
      .def("__getattr__",
           [](LateBoundObject& self, const py::handle& name) {
             return self.GetAttribute(NameFromPython(name));
           })
      .def("__setattr__",
           [](LateBoundObject& self, const py::handle& name, const py::object& value) {
             self.SetAttribute(NameFromPython(name), value);
           })
      .def("__dir__",
           [](const LateBoundObject& self) {
             py::list names;
             for (const auto& name : self.MemberNames()) names.append(TextToPython(name));
             return names;
           })
      .def("__iter__", [](LateBoundObject& self) { return py::iter(self.Items()); })
      // len() of a collection is its Count, as dynamic dispatch elsewhere
      // gives it; an object is true whether or not it has one.
      .def("__len__",
           [](LateBoundObject& self) {
             if (!HasMember(self, "Count"))
               throw py::type_error("object of type '" + self.Table().Name() +
                                    "' has no len(): it has no Count member");
             return self.GetAttribute("Count").cast<py::ssize_t>();
           })
      .def("__bool__", [](const LateBoundObject&) { return true; })
      // `with vexscope.connect(...) as scope:` closes the connection on the
      // way out, by the object's Close or CloseConnection when it has one.
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__",
           [](LateBoundObject& self, const py::args&) {
             for (const char* name : {"Close", "CloseConnection"}) {
               if (!HasMember(self, name)) continue;
               self.Run(name, com::MemberAction::kCall, py::tuple(), py::dict());
               break;
             }
             return false;
           })
      .def("__repr__", [](const LateBoundObject& self) { return TextToPython(self.Repr()); })
      // An operator: compared with anything else, NotImplemented (so False).
      .def("__eq__", &LateBoundObject::SameObject, py::is_operator())
      .def("__hash__", &LateBoundObject::Hash)
      .def("_call",
           [](LateBoundObject& self, const py::handle& name, py::tuple args, py::dict kwargs) {
             return self.Run(NameFromPython(name), com::MemberAction::kCall, args, kwargs);
           })
      .def("_get",
           [](LateBoundObject& self, const py::handle& name, py::args args) {
             return self.Run(NameFromPython(name), com::MemberAction::kGet, args, py::dict());
           })
      .def("_set",
           [](LateBoundObject& self, const py::handle& name, py::args args) {
             return self.Run(NameFromPython(name), com::MemberAction::kSet, args, py::dict());
           })
      .def("_describe", [](const LateBoundObject& self,
                           const py::handle& name) { return self.Describe(NameFromPython(name)); })
      .def_property_readonly("_type_name", [](const LateBoundObject& self) {
        return TextToPython(self.Table().Name());
      });

  m.def(
      "create", [](const py::handle& prog_id) { return Create(NameFromPython(prog_id)); },
      py::arg("prog_id"));
  m.def(
      "is_registered",
      [](const py::handle& prog_id) { return IsRegistered(NameFromPython(prog_id)); },
      py::arg("prog_id"));
  m.def(
      "host_control",
      [](const py::handle& prog_id, const py::handle& state_path) {
        return HostControl(NameFromPython(prog_id), PathFromPython(state_path));
      },
      py::arg("prog_id"), py::arg("state_path"));
  m.def(
      "save_control",
      [](const LateBoundObject& control, const py::handle& state_path) {
        SaveControl(control, PathFromPython(state_path));
      },
      py::arg("control"), py::arg("state_path"));
  m.def(
      "register_server", [](const py::handle& path) { RegisterServer(PathFromPython(path)); },
      py::arg("library_path"));
  m.def("type_library_names", &TypeLibraryNames);
  m.def(
      "enumerations",
      [](const py::handle& library) { return Enumerations(NameFromPython(library)); },
      py::arg("type_library"));
  m.def("advise", &Advise, py::arg("object"), py::arg("iid"), py::arg("handler"));
  m.def("unadvise", &Unadvise, py::arg("object"), py::arg("iid"), py::arg("cookie"));
  m.def("live_arrays", &vex::python::ArrayOwner::Live,
        "How many safe arrays numpy arrays hold right now.");
  m.def("_configure", [](py::object error_class, py::object method_factory, py::object table) {
    vex::python::SetAutomationErrorClass(std::move(error_class));
    vex::python::SetMethodFactory(std::move(method_factory));
    vex::python::SetTableType(std::move(table));
  });
}
