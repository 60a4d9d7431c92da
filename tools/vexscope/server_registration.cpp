#include "server_registration.h"

#include <unistd.h>

#include "tool_errors.h"
#include "vex/com/class_registry.h"
#include "vex/com/error_info.h"
#include "vex/system/system.h"

namespace vex::scope {
namespace {

struct ServerLibrary {
  const char* prog_id;
  const char* file;
};

// The server first: it is the one this program cannot do without.
constexpr ServerLibrary kLibraries[] = {
    {kServerProgID, "libVex9100TB.so"}, {"VexIOUtils.InstrumentIO", "libVexIOUtils.so"},
    {"VexSim.Bus", "libVexSimBus.so"},  {"VexR7100ResLib.VexR7100Resources", "libVex8100ResLib.so"},
    {kControlProgID, "libVex9100.so"},
};

void Anchor() {}

}  // namespace

bool IsRegisteredWithLibrary(const std::string& prog_id) {
  com::CLSID clsid;
  if (FAILED(com::CLSIDFromProgID(prog_id, &clsid))) return false;
  com::ClassRegistration entry;
  if (FAILED(com::LookupClassEntry(clsid, &entry))) return false;
  return !entry.library.empty() && access(entry.library.c_str(), F_OK) == 0;
}

std::vector<std::string> EnsureServersRegistered(const std::string& library_folder) {
  std::vector<std::string> registered;
  for (const auto& library : kLibraries) {
    if (IsRegisteredWithLibrary(library.prog_id)) continue;
    const std::string path = library_folder + "/" + library.file;
    if (access(path.c_str(), F_OK) != 0) {
      // Only the server itself is indispensable; a missing I/O or bus
      // library shows later as a connection failure with its own message.
      if (library.prog_id == kServerProgID) {
        throw AutomationError(
            com::REGDB_E_CLASSNOTREG,
            std::string(kServerProgID) + " is not registered and " + path + " does not exist.");
      }
      continue;
    }
    com::HRESULT hr = com::RegisterServer(path);
    if (FAILED(hr)) {
      AutomationError error = TakeAutomationError(hr);
      throw AutomationError(hr, "registering " + path + ": " + error.what());
    }
    registered.push_back(path);
  }
  return registered;
}

std::string ProgramFolder() {
  return system::ModuleFolder(reinterpret_cast<const void*>(&Anchor));
}

}  // namespace vex::scope
