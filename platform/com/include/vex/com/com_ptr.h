// ComPtr<T>: a counted reference to an interface. Copying adds a reference,
// moving hands it over, destruction and reassignment release it.
#pragma once

#include <cstddef>
#include <utility>

#include "vex/com/unknown.h"

namespace vex::com {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to `p`.
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.Get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    // Add the new reference before dropping the old one: safe for
    // self-assignment and for an object that is only held by *this.
    T* next = other.p_;
    if (next) next->AddRef();
    T* old = std::exchange(p_, next);
    if (old) old->Release();
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      T* old = std::exchange(p_, std::exchange(other.p_, nullptr));
      if (old) old->Release();
    }
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Wraps a pointer whose reference the caller already owns.
  static ComPtr Adopt(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  void Reset() {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }
  // Releases what is held and gives the slot for an out parameter.
  T** ReleaseAndGetAddressOf() {
    Reset();
    return &p_;
  }
  T* Detach() { return std::exchange(p_, nullptr); }
  void Attach(T* p) {
    Reset();
    p_ = p;
  }
  // Copies the pointer into an out parameter, adding a reference.
  HRESULT CopyTo(T** out) const {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

  template <class U>
  HRESULT As(ComPtr<U>* out) const {
    if (!out) return E_POINTER;
    if (!p_) {
      out->Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(IidOf<U>(), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
  }
  template <class U>
  ComPtr<U> As() const {
    ComPtr<U> out;
    (void)As(&out);
    return out;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Creates an object of class T (derived from Object<...>) holding one reference.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// Whether two interface pointers belong to the same object (their IUnknown).
bool IsSameObject(IUnknown* a, IUnknown* b);

}  // namespace vex::com
