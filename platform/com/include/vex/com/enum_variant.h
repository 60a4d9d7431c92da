// Enumeration of a collection: IEnumVARIANT, returned by a collection's
// _NewEnum member (dispatch id -4), and a ready implementation over a list of
// variants taken at the time of the call.
#pragma once

#include <cstdint>
#include <vector>

#include "vex/com/variant.h"

namespace vex::com {

struct IEnumVARIANT : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("00020404-0000-0000-C000-000000000046");
  // Copies up to `count` items into `items`; S_FALSE when fewer were left.
  virtual HRESULT Next(std::uint32_t count, Variant* items, std::uint32_t* fetched) = 0;
  virtual HRESULT Skip(std::uint32_t count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumVARIANT** out) = 0;
};

// An enumerator over a snapshot of `items`.
[[nodiscard]] HRESULT CreateVariantEnumerator(std::vector<Variant> items, IEnumVARIANT** out);

}  // namespace vex::com
