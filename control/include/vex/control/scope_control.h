// The scope control of the control library Vex9100, as published to its
// hosts: its ProgIDs, its event interface, and the library's entry points
// a host calls before creating controls. The control itself is created by
// ProgID and hosted through vex/com/control_site.h; its members are reached
// by name (its type library is "Vex9100CtrlLib").
#pragma once

#include "vex/com/guid.h"

namespace vex::ui {
class Toolkit;
}

namespace vex::control {

inline constexpr const char* kScopeControlProgID = "Vex9100CtrlLib.VexR7100Scope";
inline constexpr const char* kScopeControlProgIDVersion = "Vex9100CtrlLib.VexR7100Scope.1";
inline constexpr com::CLSID kScopeControlClsid =
    com::MakeGuid("{6D2F8B30-4C1A-4E7B-9D52-7A1C3E5F9001}");
// The dispatch event interface with the one event SupportMessage(Message).
inline constexpr com::IID kScopeControlEventsIid =
    com::MakeGuid("{6D2F8B30-4C1A-4E7B-9D52-7A1C3E5F9002}");

}  // namespace vex::control

extern "C" {
// The toolkit the control's message boxes, About box and property frame go
// to (null: a headless one that records them, the default).
//
// Controls belong to the thread that calls this, the host's UI thread; a
// call into a control blocks that thread until the instrument answers. So
// that the window stays alive meanwhile, every wait for an instrument on
// that thread runs the toolkit's pending events (ProcessPendingEvents) once
// every 10 ms: timers fire and windows paint; the user's input reaches only
// controls marked usable while waiting, such as a Cancel button. Over
// VXI-11 one remote call blocks inside the RPC library; the events run
// between calls. Call it again with null from the same thread before the
// toolkit goes.
void Vex9100SetToolkit(vex::ui::Toolkit* toolkit);
// Another folder for the help files than "Help" beside the library.
void Vex9100SetHelpFolder(const char* folder);
}
