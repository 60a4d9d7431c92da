// Reading and writing single values of a property bag the way the control
// persists them: a missing or unconvertible key gives the default (leaving
// no error behind), and a value equal to its default is not stored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vex/com/property_bag.h"

namespace vex::control {

// The stored value converted to `vt`; nullopt-like false when absent or not
// convertible.
bool ReadTyped(com::IPropertyBag* bag, std::string_view key, com::VARTYPE vt, com::Variant* out);
std::int32_t ReadI4(com::IPropertyBag* bag, std::string_view key, std::int32_t fallback);
std::int16_t ReadI2(com::IPropertyBag* bag, std::string_view key, std::int16_t fallback);
bool ReadBool(com::IPropertyBag* bag, std::string_view key, bool fallback);
std::string ReadString(com::IPropertyBag* bag, std::string_view key, std::string_view fallback);

// Same type and value; byte arrays compared by content.
bool SameBagValue(const com::Variant& a, const com::Variant& b);
com::HRESULT WriteUnlessDefault(com::IPropertyBag* bag, std::string_view key,
                                const com::Variant& value, const com::Variant& fallback);

}  // namespace vex::control
