#include "vex/com/com_ptr.h"

namespace vex::com {

bool IsSameObject(IUnknown* a, IUnknown* b) {
  if (a == nullptr || b == nullptr) return a == b;
  ComPtr<IUnknown> ia, ib;
  if (FAILED(
          a->QueryInterface(IUnknown::kIid, reinterpret_cast<void**>(ia.ReleaseAndGetAddressOf()))))
    return false;
  if (FAILED(
          b->QueryInterface(IUnknown::kIid, reinterpret_cast<void**>(ib.ReleaseAndGetAddressOf()))))
    return false;
  return ia.Get() == ib.Get();
}

}  // namespace vex::com
