// SafeArray: a self-describing array of one or two dimensions, each with its
// own lower bound, holding elements of one automation type (UI1, I2, I4, R4,
// R8, BOOL, BSTR, VARIANT, DISPATCH, UNKNOWN).
//
// Indices are given first dimension first; elements are stored with the first
// index varying fastest, so a two-dimensional array is a sequence of columns
// (table(row, column) with rows in the first dimension keeps each column
// contiguous). Copies are deep; a move hands the storage over.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <type_traits>
#include <vector>

#include "vex/com/byte_vector.h"
#include "vex/com/variant.h"

namespace vex::com {

struct SafeArrayBound {
  std::uint32_t elements = 0;
  std::int32_t lbound = 0;
};

class SafeArray {
 public:
  static constexpr std::size_t kMaxElements = std::size_t{1} << 31;

  SafeArray() = default;  // no element type, no dimensions
  SafeArray(const SafeArray&) = default;
  SafeArray(SafeArray&& other) noexcept = default;
  SafeArray& operator=(const SafeArray&) = default;
  SafeArray& operator=(SafeArray&&) noexcept = default;
  ~SafeArray() = default;

  // Creates an array of zeroed elements (null strings, empty variants).
  // E_INVALIDARG for no or more than two dimensions, DISP_E_BADVARTYPE for an
  // unsupported element type, E_OUTOFMEMORY for an impossible size.
  [[nodiscard]] static HRESULT Create(VARTYPE vt, std::span<const SafeArrayBound> bounds,
                                      SafeArray* out);
  [[nodiscard]] static HRESULT Create(VARTYPE vt, std::initializer_list<SafeArrayBound> bounds,
                                      SafeArray* out) {
    return Create(vt, std::span<const SafeArrayBound>(bounds.begin(), bounds.size()), out);
  }
  // One dimension with lower bound 0 filled from bytes (the form block data travels in).
  static SafeArray FromBytes(std::span<const std::uint8_t> bytes);
  // The same, taking the bytes over without copying them; the first `skip`
  // bytes (a block's header) are not part of the array, and are not moved.
  static SafeArray AdoptBytes(ByteVector&& bytes, std::size_t skip = 0);

  VARTYPE ElementType() const { return vt_; }
  std::uint32_t Dims() const { return static_cast<std::uint32_t>(bounds_.size()); }
  std::size_t ElementCount() const { return count_; }
  // Dimensions are numbered from 1; DISP_E_BADINDEX for another number.
  [[nodiscard]] HRESULT GetLBound(std::uint32_t dim, std::int32_t* out) const;
  [[nodiscard]] HRESULT GetUBound(std::uint32_t dim, std::int32_t* out) const;
  std::uint32_t Elements(std::uint32_t dim) const {
    return dim >= 1 && dim <= Dims() ? bounds_[dim - 1].elements : 0;
  }

  // Position of an element in storage; DISP_E_BADINDEX outside the bounds,
  // E_INVALIDARG for a wrong number of indices.
  [[nodiscard]] HRESULT Offset(std::span<const std::int32_t> indices, std::size_t* out) const;

  // Element access through variants, converting to and from the element type.
  [[nodiscard]] HRESULT GetElement(std::span<const std::int32_t> indices, Variant* out) const;
  [[nodiscard]] HRESULT PutElement(std::span<const std::int32_t> indices, const Variant& value);
  [[nodiscard]] HRESULT GetElement(std::initializer_list<std::int32_t> indices,
                                   Variant* out) const {
    return GetElement(std::span<const std::int32_t>(indices.begin(), indices.size()), out);
  }
  [[nodiscard]] HRESULT PutElement(std::initializer_list<std::int32_t> indices,
                                   const Variant& value) {
    return PutElement(std::span<const std::int32_t>(indices.begin(), indices.size()), value);
  }
  // The element at a storage position as a variant (no bounds translation).
  Variant At(std::size_t offset) const;

  // Direct access to all elements in storage order; an empty span when T does
  // not fit the element type (std::uint8_t: UI1; std::int16_t: I2 and BOOL;
  // std::int32_t: I4; float: R4; double: R8; Bstr: BSTR; Variant: VARIANT,
  // DISPATCH and UNKNOWN, whose elements are variants of that type).
  template <class T>
  std::span<T> Span();
  template <class T>
  std::span<const T> Span() const {
    return const_cast<SafeArray*>(this)->Span<std::remove_const_t<T>>();
  }

 private:
  static std::size_t ElementSize(VARTYPE vt);

  VARTYPE vt_ = VT_EMPTY;
  std::vector<SafeArrayBound> bounds_;
  std::size_t count_ = 0;
  std::uint8_t* PodData() { return pod_.data() + pod_offset_; }
  const std::uint8_t* PodData() const { return pod_.data() + pod_offset_; }

  ByteVector pod_;                 // UI1, I2, I4, R4, R8, BOOL
  std::size_t pod_offset_ = 0;     // where the elements start in pod_
  std::vector<Bstr> strings_;      // BSTR
  std::vector<Variant> variants_;  // VARIANT, DISPATCH, UNKNOWN
};

template <class T>
std::span<T> SafeArray::Span() {
  using U = std::remove_const_t<T>;
  if constexpr (std::is_same_v<U, Bstr>) {
    return vt_ == VT_BSTR ? std::span<T>(strings_) : std::span<T>();
  } else if constexpr (std::is_same_v<U, Variant>) {
    return vt_ == VT_VARIANT || vt_ == VT_DISPATCH || vt_ == VT_UNKNOWN ? std::span<T>(variants_)
                                                                        : std::span<T>();
  } else {
    bool fits = (std::is_same_v<U, std::uint8_t> && vt_ == VT_UI1) ||
                (std::is_same_v<U, std::int16_t> && (vt_ == VT_I2 || vt_ == VT_BOOL)) ||
                (std::is_same_v<U, std::int32_t> && vt_ == VT_I4) ||
                (std::is_same_v<U, float> && vt_ == VT_R4) ||
                (std::is_same_v<U, double> && vt_ == VT_R8);
    if (!fits) return {};
    return std::span<T>(reinterpret_cast<T*>(PodData()), count_);
  }
}

}  // namespace vex::com
