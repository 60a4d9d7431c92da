#include "vex/com/class_registry.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

#include "safe_file.h"
#include "vex/com/error_info.h"
#include "vex/com/numeric_text.h"
#include "vex/com/type_library.h"
#include "vex/system/system.h"

namespace vex::com {
namespace {

using json = nlohmann::json;
constexpr const char* kSource = "vexcom";

// The store's file layout:
//   { "classes": { "{CLSID}": { "ProgID", "VersionIndependentProgID",
//                  "Description", "ThreadingModel", "InprocServer32",
//                  "TypeLib", "Programmable" } },
//     "progids": { "Name.Class.1": { "CLSID" },
//                  "Name.Class": { "CLSID", "CurVer" } } }
struct Store {
  json data = json{{"classes", json::object()}, {"progids", json::object()}};
};

const detail::FileRole kRegistryFile{"class registry", kSource, REGDB_E_READREGDB,
                                     REGDB_E_WRITEREGDB};

// Only the default place is made when missing; a store named by
// $VEXCOM_REGISTRY goes where it says, in a folder that must be there.
HRESULT PrepareFolder(const std::string& path) {
  if (const char* named = std::getenv("VEXCOM_REGISTRY"); named && *named) return S_OK;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec)
    return ReportRichError(
        REGDB_E_WRITEREGDB,
        "Cannot make the folder of the class registry " + path + ": " + ec.message() + ".",
        kSource);
  return S_OK;
}

// Registering and unregistering read, change and replace the store under
// its lock, so that processes registering at the same time keep each
// other's entries; `old` is what the read found, for the replacement.
HRESULT ReadStore(const std::string& path, Store* store, struct stat* old = nullptr,
                  bool* exists = nullptr) {
  bool found = false;
  std::string text;
  struct stat info {};
  HRESULT hr = detail::ReadRegularFile(kRegistryFile, path, &found, &text, &info);
  if (FAILED(hr)) return hr;
  if (old) *old = info;
  if (exists) *exists = found;
  if (!found || TrimBlanks(text).empty()) return S_OK;  // an empty registry
  json parsed = json::parse(text, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object() ||
      !parsed.value("classes", json()).is_object() ||
      !parsed.value("progids", json()).is_object()) {
    return ReportRichError(
        REGDB_E_READREGDB,
        "The class registry " + path + " is not valid JSON of the registry's shape.", kSource);
  }
  store->data = std::move(parsed);
  return S_OK;
}

HRESULT WriteStore(const std::string& path, const Store& store, const struct stat* old) {
  std::string text;
  try {
    text = store.data.dump(2) + "\n";
  } catch (const json::exception&) {
    return ReportRichError(REGDB_E_WRITEREGDB,
                           "Cannot write the class registry " + path +
                               ": an entry holds a name or path that is not UTF-8.",
                           kSource);
  }
  return detail::ReplaceFile(kRegistryFile, path, text, old);
}

// Runs `change` on the store between a locked read and the replacement.
template <class Change>
HRESULT UpdateStore(Change change) {
  std::string path;
  HRESULT hr = detail::ResolveLinks(kRegistryFile, RegistryStorePath(), &path);
  if (SUCCEEDED(hr)) hr = PrepareFolder(path);
  if (FAILED(hr)) return hr;
  detail::FileLock lock;
  hr = lock.Acquire(kRegistryFile, path);
  if (FAILED(hr)) return hr;
  Store store;
  struct stat old {};
  bool exists = false;
  hr = ReadStore(path, &store, &old, &exists);
  if (FAILED(hr)) return hr;
  change(store);
  return WriteStore(path, store, exists ? &old : nullptr);
}

ClassRegistration FromJson(const CLSID& clsid, const json& j) {
  ClassRegistration r;
  r.clsid = clsid;
  r.prog_id = j.value("ProgID", "");
  r.version_independent_prog_id = j.value("VersionIndependentProgID", "");
  r.description = j.value("Description", "");
  r.threading_model = j.value("ThreadingModel", "Apartment");
  r.library = j.value("InprocServer32", "");
  r.type_library = j.value("TypeLib", "");
  r.programmable = j.value("Programmable", true);
  return r;
}

// Process-local registrations (RegisterClassObject).
struct LocalClass {
  std::uint32_t cookie;
  ClassRegistration entry;
  ComPtr<IClassFactory> factory;
};
std::mutex g_local_mutex;
std::vector<LocalClass> g_local_classes;
std::uint32_t g_next_cookie = 1;

// Loaded in-process servers by path; kept loaded for the life of the process.
std::mutex g_modules_mutex;
std::map<std::string, void*> g_modules;

using GetClassObjectFn = HRESULT (*)(const CLSID*, const IID*, void**);
using PlainEntryFn = HRESULT (*)();

HRESULT LoadModule(const std::string& path, void** handle) {
  std::lock_guard lock(g_modules_mutex);
  auto found = g_modules.find(path);
  if (found != g_modules.end()) {
    *handle = found->second;
    return S_OK;
  }
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* why = ::dlerror();
    return ReportRichError(
        E_MOD_NOT_FOUND,
        "The server library " + path + " could not be loaded: " + (why ? why : "unknown reason"),
        kSource);
  }
  g_modules[path] = h;
  *handle = h;
  return S_OK;
}

template <class Fn>
HRESULT FindEntry(void* handle, const std::string& path, const char* name, Fn* out) {
  void* symbol = ::dlsym(handle, name);
  if (!symbol) {
    return ReportRichError(CO_E_ERRORINDLL,
                           "The server library " + path + " has no entry point " + name + ".",
                           kSource);
  }
  *out = reinterpret_cast<Fn>(symbol);
  return S_OK;
}

class FunctionClassFactory : public Object<IClassFactory> {
 public:
  explicit FunctionClassFactory(CreateFunction create) : create_(std::move(create)) {}
  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
      return create_(iid, object);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  HRESULT LockServer(bool) override { return S_OK; }

 private:
  CreateFunction create_;
};

}  // namespace

std::string RegistryStorePath() {
  if (const char* path = std::getenv("VEXCOM_REGISTRY"); path && *path) return path;
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.config";
  } else {
    base = vex::system::TempFolder() + ".config";
  }
  return base + "/vexcom/registry.json";
}

HRESULT RegisterClassEntry(const ClassRegistration& entry) {
  if (entry.prog_id.empty() && entry.version_independent_prog_id.empty()) return E_INVALIDARG;
  return UpdateStore([&](Store& store) {
    std::string id = GuidToString(entry.clsid);
    store.data["classes"][id] =
        json{{"ProgID", entry.prog_id},
             {"VersionIndependentProgID", entry.version_independent_prog_id},
             {"Description", entry.description},
             {"ThreadingModel", entry.threading_model},
             {"InprocServer32", entry.library},
             {"TypeLib", entry.type_library},
             {"Programmable", entry.programmable}};
    if (!entry.prog_id.empty()) store.data["progids"][entry.prog_id] = json{{"CLSID", id}};
    if (!entry.version_independent_prog_id.empty()) {
      json vi{{"CLSID", id}};
      if (!entry.prog_id.empty()) vi["CurVer"] = entry.prog_id;
      store.data["progids"][entry.version_independent_prog_id] = vi;
    }
  });
}

HRESULT UnregisterClassEntry(const CLSID& clsid) {
  return UpdateStore([&](Store& store) {
    std::string id = GuidToString(clsid);
    store.data["classes"].erase(id);
    auto& progids = store.data["progids"];
    for (auto it = progids.begin(); it != progids.end();) {
      if (it->is_object() && it->value("CLSID", "") == id) {
        it = progids.erase(it);
      } else {
        ++it;
      }
    }
  });
}

HRESULT ListClassEntries(std::vector<ClassRegistration>* out) {
  if (!out) return E_POINTER;
  out->clear();
  Store store;
  HRESULT hr = ReadStore(RegistryStorePath(), &store);
  if (FAILED(hr)) return hr;
  for (auto& [id, value] : store.data["classes"].items()) {
    auto clsid = ParseGuid(id);
    if (clsid && value.is_object()) out->push_back(FromJson(*clsid, value));
  }
  return S_OK;
}

HRESULT LookupClassEntry(const CLSID& clsid, ClassRegistration* out) {
  if (!out) return E_POINTER;
  {
    std::lock_guard lock(g_local_mutex);
    for (const auto& local : g_local_classes) {
      if (local.entry.clsid == clsid) {
        *out = local.entry;
        return S_OK;
      }
    }
  }
  Store store;
  HRESULT hr = ReadStore(RegistryStorePath(), &store);
  if (FAILED(hr)) return hr;
  auto& classes = store.data["classes"];
  auto found = classes.find(GuidToString(clsid));
  if (found == classes.end() || !found->is_object()) {
    return ReportRichError(
        REGDB_E_CLASSNOTREG,
        "The class " + GuidToString(clsid) + " is not registered in " + RegistryStorePath() + ".",
        kSource);
  }
  *out = FromJson(clsid, *found);
  return S_OK;
}

HRESULT CLSIDFromProgID(std::string_view prog_id, CLSID* out) {
  if (!out) return E_POINTER;
  *out = GUID_NULL;
  if (prog_id.empty())
    return ReportRichError(CO_E_CLASSSTRING, "No class name was given.", kSource);
  if (auto parsed = ParseGuid(prog_id)) {
    *out = *parsed;
    return S_OK;
  }
  {
    std::lock_guard lock(g_local_mutex);
    for (const auto& local : g_local_classes) {
      if (local.entry.prog_id == prog_id || local.entry.version_independent_prog_id == prog_id) {
        *out = local.entry.clsid;
        return S_OK;
      }
    }
  }
  Store store;
  HRESULT hr = ReadStore(RegistryStorePath(), &store);
  if (FAILED(hr)) return hr;
  auto& progids = store.data["progids"];
  auto found = progids.find(std::string(prog_id));
  // A version-independent ProgID names the current version through CurVer.
  for (int hops = 0;
       found != progids.end() && found->is_object() && found->contains("CurVer") && hops < 4;
       ++hops) {
    auto next = progids.find(found->value("CurVer", ""));
    if (next == progids.end()) break;
    found = next;
  }
  if (found == progids.end() || !found->is_object()) {
    return ReportRichError(CO_E_CLASSSTRING,
                           "The class \"" + std::string(prog_id) + "\" is not registered in " +
                               RegistryStorePath() + ".",
                           kSource);
  }
  auto clsid = ParseGuid(found->value("CLSID", ""));
  if (!clsid)
    return ReportRichError(
        CO_E_CLASSSTRING,
        "The registry entry of \"" + std::string(prog_id) + "\" has no valid class id.", kSource);
  *out = *clsid;
  return S_OK;
}

HRESULT ProgIDFromCLSID(const CLSID& clsid, Bstr* out) {
  if (!out) return E_POINTER;
  ClassRegistration entry;
  HRESULT hr = LookupClassEntry(clsid, &entry);
  if (FAILED(hr)) return hr;
  *out = Bstr(entry.prog_id.empty() ? entry.version_independent_prog_id : entry.prog_id);
  return S_OK;
}

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  {
    std::lock_guard lock(g_local_mutex);
    for (const auto& local : g_local_classes) {
      if (local.entry.clsid == clsid) return local.factory->QueryInterface(iid, out);
    }
  }
  ClassRegistration entry;
  HRESULT hr = LookupClassEntry(clsid, &entry);
  if (FAILED(hr)) return hr;
  if (entry.library.empty()) {
    return ReportRichError(REGDB_E_CLASSNOTREG,
                           "The class " + entry.prog_id + " has no in-process server.", kSource);
  }
  void* handle = nullptr;
  hr = LoadModule(entry.library, &handle);
  if (FAILED(hr)) return hr;
  GetClassObjectFn get = nullptr;
  hr = FindEntry(handle, entry.library, "DllGetClassObject", &get);
  if (FAILED(hr)) return hr;
  hr = get(&clsid, &iid, out);
  if (FAILED(hr) && !PeekErrorInfo()) {
    ReportRichError(
        hr,
        "The server library " + entry.library + " does not serve the class " + entry.prog_id + ".",
        kSource);
  }
  return hr;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, const IID& iid,
                         void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (context != 0 && !(context & CLSCTX_INPROC_SERVER)) return E_INVALIDARG;
  ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(clsid, IClassFactory::kIid,
                                reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(outer, iid, out);
}

HRESULT RegisterServer(const std::string& library_path) {
  std::error_code ec;
  std::string path = std::filesystem::absolute(library_path, ec).string();
  void* handle = nullptr;
  HRESULT hr = LoadModule(path, &handle);
  if (FAILED(hr)) return hr;
  PlainEntryFn entry = nullptr;
  hr = FindEntry(handle, path, "DllRegisterServer", &entry);
  return FAILED(hr) ? hr : entry();
}

HRESULT UnregisterServer(const std::string& library_path) {
  std::error_code ec;
  std::string path = std::filesystem::absolute(library_path, ec).string();
  void* handle = nullptr;
  HRESULT hr = LoadModule(path, &handle);
  if (FAILED(hr)) return hr;
  PlainEntryFn entry = nullptr;
  hr = FindEntry(handle, path, "DllUnregisterServer", &entry);
  return FAILED(hr) ? hr : entry();
}

HRESULT RegisterClassObject(const ClassRegistration& entry, IClassFactory* factory,
                            std::uint32_t* cookie) {
  if (!factory || !cookie) return E_POINTER;
  std::lock_guard lock(g_local_mutex);
  *cookie = g_next_cookie++;
  g_local_classes.push_back(LocalClass{*cookie, entry, ComPtr<IClassFactory>(factory)});
  return S_OK;
}

HRESULT RevokeClassObject(std::uint32_t cookie) {
  ComPtr<IClassFactory> released;  // released outside the lock
  std::lock_guard lock(g_local_mutex);
  for (auto it = g_local_classes.begin(); it != g_local_classes.end(); ++it) {
    if (it->cookie == cookie) {
      released = std::move(it->factory);
      g_local_classes.erase(it);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT CreateClassFactory(CreateFunction create, IClassFactory** out) {
  if (!out) return E_POINTER;
  if (!create) return E_INVALIDARG;
  *out = MakeObject<FunctionClassFactory>(std::move(create)).Detach();
  return S_OK;
}

HRESULT ServerRegister(const ServerModule& module, const void* address_in_module) {
  std::string library = vex::system::ModulePath(address_in_module);
  if (library.empty())
    return ReportRichError(E_FAIL, "Cannot tell the path of the server library.", kSource);
  for (const auto& cls : module.classes) {
    ClassRegistration entry = cls.registration;
    entry.library = library;
    HRESULT hr = RegisterClassEntry(entry);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT ServerUnregister(const ServerModule& module) {
  for (const auto& cls : module.classes) {
    HRESULT hr = UnregisterClassEntry(cls.registration.clsid);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT ServerGetClassObject(const ServerModule& module, const CLSID* clsid, const IID* iid,
                             void** out) {
  if (!clsid || !iid || !out) return E_POINTER;
  *out = nullptr;
  for (const auto& cls : module.classes) {
    if (cls.registration.clsid == *clsid) {
      ComPtr<IClassFactory> factory;
      HRESULT hr = CreateClassFactory(cls.create, factory.ReleaseAndGetAddressOf());
      if (FAILED(hr)) return hr;
      return factory->QueryInterface(*iid, out);
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

namespace detail {
std::mutex& LocalTypeLibrariesMutex();
std::vector<const TypeLibrary*>& LocalTypeLibraries();
}  // namespace detail

HRESULT LoadTypeLibrary(std::string_view name, const TypeLibrary** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  {
    std::lock_guard lock(detail::LocalTypeLibrariesMutex());
    for (const TypeLibrary* library : detail::LocalTypeLibraries()) {
      if (EqualsNoCase(library->name, name)) {
        *out = library;
        return S_OK;
      }
    }
  }
  std::vector<ClassRegistration> entries;
  HRESULT hr = ListClassEntries(&entries);
  if (FAILED(hr)) return hr;
  for (const auto& entry : entries) {
    if (!EqualsNoCase(entry.type_library, name) || entry.library.empty()) continue;
    void* handle = nullptr;
    hr = LoadModule(entry.library, &handle);
    if (FAILED(hr)) return hr;
    using GetTypeLibraryFn = HRESULT (*)(const TypeLibrary**);
    GetTypeLibraryFn get = nullptr;
    hr = FindEntry(handle, entry.library, "DllGetTypeLibrary", &get);
    if (FAILED(hr)) return hr;
    return get(out);
  }
  return ReportRichError(
      TYPE_E_LIBNOTREGISTERED,
      "No registered class belongs to the type library " + std::string(name) + ".", kSource);
}

}  // namespace vex::com
