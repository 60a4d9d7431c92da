// vexregsvr: registers in-process servers in the class registry, removes
// them, and lists what is registered.
//
//   vexregsvr LIBRARY...        run each library's DllRegisterServer
//   vexregsvr -u LIBRARY...     run each library's DllUnregisterServer
//   vexregsvr -l                list the registered classes
//
// The registry is the file named by $VEXCOM_REGISTRY, else
// ${XDG_CONFIG_HOME:-~/.config}/vexcom/registry.json.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "vex/com/com.h"

using namespace vex::com;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vexregsvr LIBRARY...      register in-process servers\n"
               "       vexregsvr -u LIBRARY...   unregister them\n"
               "       vexregsvr -l              list registered classes\n"
               "The registry file: $VEXCOM_REGISTRY, else ~/.config/vexcom/registry.json\n");
  return 2;
}

int Fail(HRESULT hr, const std::string& what) {
  ErrorDetails details = TakeErrorDetails();
  std::fprintf(
      stderr, "vexregsvr: %s: error 0x%s: %s\n", what.c_str(), HresultHex(hr).c_str(),
      details.description.IsEmpty() ? HresultText(hr).c_str() : details.description.CStr());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc < 2) return Usage();
  if (std::strcmp(argv[1], "-l") == 0) {
    std::vector<ClassRegistration> entries;
    HRESULT hr = ListClassEntries(&entries);
    if (FAILED(hr)) return Fail(hr, RegistryStorePath());
    std::printf("registry %s\n", RegistryStorePath().c_str());
    for (const auto& e : entries) {
      std::printf("%s %s (%s) %s\n", GuidToString(e.clsid).c_str(), e.prog_id.c_str(),
                  e.version_independent_prog_id.c_str(), e.library.c_str());
    }
    return 0;
  }
  bool unregister = std::strcmp(argv[1], "-u") == 0;
  int first = unregister ? 2 : 1;
  if (first >= argc) return Usage();
  for (int i = first; i < argc; ++i) {
    if (argv[i][0] == '-') return Usage();
    HRESULT hr = unregister ? UnregisterServer(argv[i]) : RegisterServer(argv[i]);
    if (FAILED(hr)) return Fail(hr, argv[i]);
    std::printf("%s %s in %s\n", unregister ? "unregistered" : "registered", argv[i],
                RegistryStorePath().c_str());
  }
  return 0;
}
