// Type libraries: what a server publishes about itself besides its classes.
// A type library has a name (the one its classes carry in the registry), the
// enumerations of its interfaces with their constants, and the dispatch
// tables of its interfaces.
//
// Late-bound clients use it to turn a constant's name typed by a user
// ("VexR7100_TriggerSlope_Negative") into its value, and to list the members
// of an interface. A server library publishes its type library with
// VEX_COM_EXPORT_TYPE_LIBRARY, which adds the entry point
//   HRESULT DllGetTypeLibrary(const TypeLibrary** out);
// LoadTypeLibrary finds a registered class whose entry names the type
// library, loads that class's library (as creating an object would) and asks
// it. Libraries registered for the running process alone
// (RegisterTypeLibrary) are found first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vex/com/dispatch.h"

namespace vex::com {

struct TypeLibrary {
  std::string name;
  std::vector<EnumInfo> enums;
  // One table per creatable class's default interface, in the order of the
  // library's classes.
  std::vector<const DispatchTable*> interfaces;

  // A constant by name in any letter case; false when no enumeration has it.
  bool FindConstant(std::string_view constant, std::int32_t* value,
                    const EnumInfo** owner = nullptr) const;
  // An enumeration by name in any letter case, or null.
  const EnumInfo* FindEnum(std::string_view enum_name) const;
  // Constant names sorted by closeness to `constant`, for messages about a
  // misspelt one.
  std::vector<std::string> NearestConstants(std::string_view constant, std::size_t count) const;
};

[[nodiscard]] HRESULT LoadTypeLibrary(std::string_view name, const TypeLibrary** out);

// A type library known to this process only (the library must outlive its
// use; servers pass a function-local static).
void RegisterTypeLibrary(const TypeLibrary* library);

#define VEX_COM_EXPORT_TYPE_LIBRARY(library_expr)                                          \
  extern "C" __attribute__((visibility("default"))) ::vex::com::HRESULT DllGetTypeLibrary( \
      const ::vex::com::TypeLibrary** out) {                                               \
    if (!out) return ::vex::com::E_POINTER;                                                \
    *out = &(library_expr);                                                                \
    return ::vex::com::S_OK;                                                               \
  }

}  // namespace vex::com
