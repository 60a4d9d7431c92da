// The published interface of the resource library Vex8100ResLib (type
// library VexR7100ResLib): the scope control's user-visible texts in eight
// languages, served by string id.
//
// A text's id is the language offset plus its base id: English 0, French
// 1000, Spanish 2000, Italian 3000, German 4000, Japanese 5000, Korean 6000,
// Traditional Chinese 7000. Texts are UTF-8 and at most kMaxTextCharacters
// characters long. Clients create the class by its class id or ProgID through
// the class registry and call it through IResourceLib or by member name.
#pragma once

#include <cstdint>

#include "vex/com/com.h"

namespace vex::resources {

inline constexpr com::CLSID kVexR7100ResourcesClsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7301}");
inline constexpr const char* kVexR7100ResourcesProgID = "VexR7100ResLib.VexR7100Resources.1";
inline constexpr const char* kVexR7100ResourcesVersionIndependentProgID =
    "VexR7100ResLib.VexR7100Resources";
inline constexpr const char* kResourceTypeLibraryName = "VexR7100ResLib";

// The longest text the library returns, in characters (a 512-character
// buffer with its terminator).
inline constexpr std::size_t kMaxTextCharacters = 511;

struct IResourceLib : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7302}");
  // The text of string `lID`, or an empty string when no table holds it.
  // Always succeeds.
  virtual com::HRESULT LoadResString(std::int32_t lID, com::Bstr* pbstrResource) = 0;
};

}  // namespace vex::resources
