// ByteVector: a std::vector of bytes whose resize leaves new bytes
// uninitialised. Replies and waveform records of megabytes are read straight
// into one; zero-filling it first would write every byte twice. The bytes
// are those of a std::vector<std::uint8_t> in every other respect, and a
// byte array (SafeArray) adopts one without a copy.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace vex::com {

// An allocator that default-initialises (for bytes: leaves alone) what a
// container value-initialises; construction with arguments is unchanged.
template <class T>
class DefaultInitAllocator : public std::allocator<T> {
 public:
  template <class U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };

  DefaultInitAllocator() = default;
  template <class U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using ByteVector = std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>>;

}  // namespace vex::com
