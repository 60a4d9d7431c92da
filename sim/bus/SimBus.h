// The simulated GPIB bus class ("VexSim.Bus"), served by the VexSimBus
// shared library and created through the class registry.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "vex/com/guid.h"

namespace vex::sim::bus {

inline constexpr com::CLSID kSimBusClsid = com::MakeGuid("{5E1D4A70-3C2B-4E8F-9A61-0B7C2D3E4F01}");
inline constexpr const char* kSimBusProgID = "VexSim.Bus.1";
inline constexpr const char* kSimBusVersionIndependentProgID = "VexSim.Bus";

// Highest GPIB primary address.
inline constexpr int kMaxAddress = 30;

// Parses a bus description, "7=VDS3004A,9=VDS3002A": comma-separated
// address=model pairs, blanks around items allowed, addresses 0 to 30, each
// once. False with `error` saying what is wrong.
bool ParseBusDescription(std::string_view description, std::map<int, std::string>& out,
                         std::string& error);

}  // namespace vex::sim::bus
