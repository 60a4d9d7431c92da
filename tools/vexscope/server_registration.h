// Making the automation server reachable by ProgID before the first use.
//
// vexscope creates "VexR7100X.VexR7100EZ" by ProgID. When that ProgID does
// not resolve in the current class registry ($VEXCOM_REGISTRY, else the
// user's default), or its registered library file no longer exists (a build
// tree that was removed), the server libraries that lie beside the program
// (<program folder>/../lib/libVex9100TB.so, libVexIOUtils.so and
// libVexSimBus.so) are registered into that registry. The I/O component and
// the simulated GPIB bus are checked the same way, by their own ProgIDs, as
// the default address "GPIB0::7::INSTR" needs both, and so is the resource
// library (libVex8100ResLib.so), which `--object` reaches by ProgID.
#pragma once

#include <string>
#include <vector>

namespace vex::scope {

inline constexpr const char* kServerProgID = "VexR7100X.VexR7100EZ";
inline constexpr const char* kTypeLibraryName = "VexR7100ServerLib";
inline constexpr const char* kControlProgID = "Vex9100CtrlLib.VexR7100Scope";
inline constexpr const char* kControlTypeLibraryName = "Vex9100CtrlLib";

// Whether `prog_id` resolves to a class whose library file exists.
bool IsRegisteredWithLibrary(const std::string& prog_id);

// Registers, from `library_folder`, each server library whose ProgID does
// not resolve; returns the paths it registered. Throws AutomationError when
// a registration fails.
std::vector<std::string> EnsureServersRegistered(const std::string& library_folder);

// The folder holding this program ("<prefix>/bin").
std::string ProgramFolder();

}  // namespace vex::scope
