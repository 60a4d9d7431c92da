// The basic interface of every object, and the implementation template that
// gives an object its reference count and its table-driven QueryInterface.
//
// An interface is a struct with pure virtual members, a `static constexpr IID
// kIid`, and `using Base = <the interface it extends>`. Objects are created on
// the heap with a count of zero and live as long as references are held; the
// destructor is not public, so Release is the only way to end an object.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "vex/com/guid.h"
#include "vex/com/hot_path.h"
#include "vex/com/hresult.h"

namespace vex::com {

struct IUnknown {
  static constexpr IID kIid = MakeGuid("00000000-0000-0000-C000-000000000046");
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

template <class I>
constexpr const IID& IidOf() {
  return I::kIid;
}

namespace detail {

template <class I, class Self>
void* MatchInterface(Self* self, const IID& iid) {
  I* as = static_cast<I*>(self);
  if (iid == I::kIid) return as;
  if constexpr (!std::is_same_v<typename I::Base, IUnknown>) {
    return MatchInterface<typename I::Base>(as, iid);
  } else {
    return nullptr;
  }
}

template <class First, class... Rest>
struct FirstOf {
  using type = First;
};

}  // namespace detail

// Object<I1, I2, ...>: implements IUnknown for a class that implements the
// listed interfaces (and, through each one's Base chain, the interfaces they
// extend). QueryInterface for IUnknown always answers the same pointer, so
// identity compares by it. A derived class can answer further interfaces
// (tear-offs, late additions) by overriding QueryExtra.
template <class... Interfaces>
class Object : public Interfaces... {
 public:
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    void* found = nullptr;
    if (iid == IUnknown::kIid) {
      found = Identity();
    } else {
      ((found = found ? found : detail::MatchInterface<Interfaces>(this, iid)), ...);
      if (!found) found = QueryExtra(iid);
    }
    if (!found) return E_NOINTERFACE;
    AddRef();
    *out = found;
    return S_OK;
  }
  VEX_HOT std::uint32_t AddRef() override {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  VEX_HOT std::uint32_t Release() override {
    std::uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  IUnknown* Identity() {
    return static_cast<IUnknown*>(
        static_cast<typename detail::FirstOf<Interfaces...>::type*>(this));
  }

 protected:
  Object() = default;
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Answers interfaces beyond the listed ones; the pointer is not yet counted.
  virtual void* QueryExtra(const IID&) { return nullptr; }

 private:
  std::atomic<std::uint32_t> refs_{0};
};

}  // namespace vex::com
