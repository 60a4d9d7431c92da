// The class registry: which class id a ProgID names, and which shared library
// serves a class.
//
// The registry is a JSON file, by default ${XDG_CONFIG_HOME:-~/.config}/vexcom/
// registry.json; the environment variable VEXCOM_REGISTRY names another file,
// so that tests and sanitizer builds register their own build tree and never
// touch the user's. A ProgID is version-dependent ("VexR7100X.VexR7100EZ.1")
// or version-independent ("VexR7100X.VexR7100EZ"), the latter naming the
// current version through CurVer.
//
// Each deliverable is a shared library with four C entry points:
//   HRESULT DllRegisterServer(void), DllUnregisterServer(void),
//   DllGetClassObject(const CLSID*, const IID*, void**), DllCanUnloadNow(void).
// RegisterServer(path) loads a library and runs its DllRegisterServer, which
// writes its classes with the library's own path. Creating an object loads the
// class's library with dlopen at that moment, so a missing library is a
// creation failure (E_MOD_NOT_FOUND with the loader's message), as is an
// unregistered class (REGDB_E_CLASSNOTREG). Libraries stay loaded for the
// life of the process. Classes can also be registered for the running process
// alone (RegisterClassObject), which tests and embedded servers use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "vex/com/com_ptr.h"
#include "vex/com/dispatch.h"

namespace vex::com {

struct IClassFactory : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("00000001-0000-0000-C000-000000000046");
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  virtual HRESULT LockServer(bool lock) = 0;
};

struct ClassRegistration {
  CLSID clsid{};
  std::string prog_id;                      // "Module.Class.1"
  std::string version_independent_prog_id;  // "Module.Class"
  std::string description;                  // "Class Class"
  std::string threading_model = "Apartment";
  std::string library;  // the in-process server's path
  std::string type_library;
  bool programmable = true;
};

// The file the registry lives in for this process.
std::string RegistryStorePath();

// Writes or replaces a class's entry (its class id and both ProgIDs).
[[nodiscard]] HRESULT RegisterClassEntry(const ClassRegistration& entry);
// Removes a class's entry and the ProgIDs that name it.
[[nodiscard]] HRESULT UnregisterClassEntry(const CLSID& clsid);
// Everything registered, in class-id order.
[[nodiscard]] HRESULT ListClassEntries(std::vector<ClassRegistration>* out);
[[nodiscard]] HRESULT LookupClassEntry(const CLSID& clsid, ClassRegistration* out);

// Loads a shared library and runs its DllRegisterServer / DllUnregisterServer.
[[nodiscard]] HRESULT RegisterServer(const std::string& library_path);
[[nodiscard]] HRESULT UnregisterServer(const std::string& library_path);

// ProgID (either form) or "{class id}" text to a class id; CO_E_CLASSSTRING
// when nothing of that name is registered.
[[nodiscard]] HRESULT CLSIDFromProgID(std::string_view prog_id, CLSID* out);
// The version-dependent ProgID of a class; REGDB_E_CLASSNOTREG when unknown.
[[nodiscard]] HRESULT ProgIDFromCLSID(const CLSID& clsid, Bstr* out);

inline constexpr std::uint32_t CLSCTX_INPROC_SERVER = 1;

[[nodiscard]] HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out);
[[nodiscard]] HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context,
                                       const IID& iid, void** out);
template <class T>
[[nodiscard]] HRESULT CoCreateInstance(const CLSID& clsid, ComPtr<T>* out) {
  if (!out) return E_POINTER;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IidOf<T>(),
                          reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
}
// Creates an object by ProgID and asks it for T (IDispatch for late binding).
template <class T>
[[nodiscard]] HRESULT CreateObjectByProgID(std::string_view prog_id, ComPtr<T>* out) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(prog_id, &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, out);
}

// A factory known to this process only, found before the registry's entries.
[[nodiscard]] HRESULT RegisterClassObject(const ClassRegistration& entry, IClassFactory* factory,
                                          std::uint32_t* cookie);
HRESULT RevokeClassObject(std::uint32_t cookie);

// A class factory that makes objects with a function (for servers' tables).
using CreateFunction = std::function<HRESULT(const IID& iid, void** object)>;
[[nodiscard]] HRESULT CreateClassFactory(CreateFunction create, IClassFactory** out);

// What a shared library serves: its classes and how each is made. A library
// declares one with VEX_COM_EXPORT_SERVER(function returning const ServerModule&).
struct ServerClass {
  ClassRegistration registration;
  CreateFunction create;
};
struct ServerModule {
  std::vector<ServerClass> classes;
};

// The implementations behind the four entry points.
HRESULT ServerRegister(const ServerModule& module, const void* address_in_module);
HRESULT ServerUnregister(const ServerModule& module);
HRESULT ServerGetClassObject(const ServerModule& module, const CLSID* clsid, const IID* iid,
                             void** out);

// The module's address is taken from a variable of internal linkage: the
// address of an exported function may resolve to a namesake in another
// server library loaded earlier (one the program links), which would then
// be registered instead.
#define VEX_COM_EXPORT_SERVER(module_expr)                                                      \
  namespace {                                                                                   \
  const char vex_com_server_module_marker = 0;                                                  \
  }                                                                                             \
  extern "C" __attribute__((visibility("default"))) ::vex::com::HRESULT DllRegisterServer() {   \
    return ::vex::com::ServerRegister(module_expr, &vex_com_server_module_marker);              \
  }                                                                                             \
  extern "C" __attribute__((visibility("default"))) ::vex::com::HRESULT DllUnregisterServer() { \
    return ::vex::com::ServerUnregister(module_expr);                                           \
  }                                                                                             \
  extern "C" __attribute__((visibility("default"))) ::vex::com::HRESULT DllGetClassObject(      \
      const ::vex::com::CLSID* clsid, const ::vex::com::IID* iid, void** out) {                 \
    return ::vex::com::ServerGetClassObject(module_expr, clsid, iid, out);                      \
  }                                                                                             \
  extern "C" __attribute__((visibility("default"))) ::vex::com::HRESULT DllCanUnloadNow() {     \
    return ::vex::com::S_FALSE;                                                                 \
  }

}  // namespace vex::com
