#include "vex/com/safearray.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace vex::com {

std::size_t SafeArray::ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_R4:
      return 4;
    case VT_R8:
      return 8;
    default:
      return 0;
  }
}

namespace {
constexpr std::size_t kHugePageThreshold = std::size_t{4} << 20;

// Asks for transparent huge pages over the whole 2 MiB pages inside
// [data, data + bytes); a refusal changes nothing but speed.
void AdviseHugePages(void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
}  // namespace

HRESULT SafeArray::Create(VARTYPE vt, std::span<const SafeArrayBound> bounds, SafeArray* out) {
  if (out == nullptr) return E_POINTER;
  if (bounds.empty() || bounds.size() > 2) return E_INVALIDARG;
  bool object_type = vt == VT_BSTR || vt == VT_VARIANT || vt == VT_DISPATCH || vt == VT_UNKNOWN;
  if (ElementSize(vt) == 0 && !object_type) return DISP_E_BADVARTYPE;
  std::size_t count = 1;
  for (const auto& bound : bounds) {
    if (bound.elements != 0 && count > kMaxElements / bound.elements) return E_OUTOFMEMORY;
    count *= bound.elements;
  }
  SafeArray array;
  array.vt_ = vt;
  array.bounds_.assign(bounds.begin(), bounds.end());
  array.count_ = count;
  try {
    if (vt == VT_BSTR) {
      array.strings_.resize(count);
    } else if (object_type) {
      // Object elements start as empty references of their type.
      Variant empty = vt == VT_DISPATCH  ? Variant(static_cast<IDispatch*>(nullptr))
                      : vt == VT_UNKNOWN ? Variant(static_cast<IUnknown*>(nullptr))
                                         : Variant();
      array.variants_.assign(count, empty);
    } else {
      const std::size_t bytes = count * ElementSize(vt);
      if (bytes >= kHugePageThreshold) {
        // Large arrays (waveform records of millions of points) are backed
        // by huge pages where the system allows it: a few page faults
        // instead of thousands when the array is first written.
        array.pod_.reserve(bytes);
        AdviseHugePages(array.pod_.data(), bytes);
      }
      array.pod_.assign(bytes, 0);
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *out = std::move(array);
  return S_OK;
}

SafeArray SafeArray::FromBytes(std::span<const std::uint8_t> bytes) {
  SafeArray array;
  array.vt_ = VT_UI1;
  array.bounds_ = {SafeArrayBound{static_cast<std::uint32_t>(bytes.size()), 0}};
  array.count_ = bytes.size();
  array.pod_.assign(bytes.begin(), bytes.end());
  return array;
}

SafeArray SafeArray::AdoptBytes(ByteVector&& bytes, std::size_t skip) {
  skip = std::min(skip, bytes.size());
  SafeArray array;
  array.vt_ = VT_UI1;
  array.count_ = bytes.size() - skip;
  array.bounds_ = {SafeArrayBound{static_cast<std::uint32_t>(array.count_), 0}};
  array.pod_ = std::move(bytes);
  array.pod_offset_ = skip;
  return array;
}

HRESULT SafeArray::GetLBound(std::uint32_t dim, std::int32_t* out) const {
  if (!out) return E_POINTER;
  if (dim < 1 || dim > Dims()) return DISP_E_BADINDEX;
  *out = bounds_[dim - 1].lbound;
  return S_OK;
}

HRESULT SafeArray::GetUBound(std::uint32_t dim, std::int32_t* out) const {
  if (!out) return E_POINTER;
  if (dim < 1 || dim > Dims()) return DISP_E_BADINDEX;
  const auto& b = bounds_[dim - 1];
  *out = static_cast<std::int32_t>(static_cast<std::int64_t>(b.lbound) + b.elements - 1);
  return S_OK;
}

HRESULT SafeArray::Offset(std::span<const std::int32_t> indices, std::size_t* out) const {
  if (!out) return E_POINTER;
  if (indices.size() != bounds_.size() || bounds_.empty()) return E_INVALIDARG;
  std::size_t offset = 0, stride = 1;
  for (std::size_t d = 0; d < bounds_.size(); ++d) {
    std::int64_t i = static_cast<std::int64_t>(indices[d]) - bounds_[d].lbound;
    if (i < 0 || i >= static_cast<std::int64_t>(bounds_[d].elements)) return DISP_E_BADINDEX;
    offset += static_cast<std::size_t>(i) * stride;
    stride *= bounds_[d].elements;
  }
  *out = offset;
  return S_OK;
}

Variant SafeArray::At(std::size_t offset) const {
  if (offset >= count_) return Variant();
  const std::uint8_t* p = PodData() + offset * ElementSize(vt_);
  switch (vt_) {
    case VT_UI1:
      return Variant(*p);
    case VT_I2: {
      std::int16_t v;
      std::memcpy(&v, p, 2);
      return Variant(v);
    }
    case VT_BOOL: {
      std::int16_t v;
      std::memcpy(&v, p, 2);
      return Variant::Bool(v);
    }
    case VT_I4: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      return Variant(v);
    }
    case VT_R4: {
      float v;
      std::memcpy(&v, p, 4);
      return Variant(v);
    }
    case VT_R8: {
      double v;
      std::memcpy(&v, p, 8);
      return Variant(v);
    }
    case VT_BSTR:
      return Variant(strings_[offset]);
    default:
      return variants_[offset];
  }
}

HRESULT SafeArray::GetElement(std::span<const std::int32_t> indices, Variant* out) const {
  if (!out) return E_POINTER;
  std::size_t offset = 0;
  HRESULT hr = Offset(indices, &offset);
  if (FAILED(hr)) return hr;
  *out = At(offset);
  return S_OK;
}

HRESULT SafeArray::PutElement(std::span<const std::int32_t> indices, const Variant& value) {
  std::size_t offset = 0;
  HRESULT hr = Offset(indices, &offset);
  if (FAILED(hr)) return hr;
  if (vt_ == VT_VARIANT) {
    variants_[offset] = value.Dereferenced();
    return S_OK;
  }
  Variant converted;
  hr = value.ChangeType(vt_, &converted);
  if (FAILED(hr)) return hr;
  std::uint8_t* p = PodData() + offset * ElementSize(vt_);
  switch (vt_) {
    case VT_UI1:
      *p = converted.UI1();
      break;
    case VT_I2: {
      auto v = converted.I2();
      std::memcpy(p, &v, 2);
      break;
    }
    case VT_BOOL: {
      auto v = converted.BoolVal();
      std::memcpy(p, &v, 2);
      break;
    }
    case VT_I4: {
      auto v = converted.I4();
      std::memcpy(p, &v, 4);
      break;
    }
    case VT_R4: {
      auto v = converted.R4();
      std::memcpy(p, &v, 4);
      break;
    }
    case VT_R8: {
      auto v = converted.R8();
      std::memcpy(p, &v, 8);
      break;
    }
    case VT_BSTR:
      strings_[offset] = converted.BstrVal();
      break;
    default:
      variants_[offset] = std::move(converted);
      break;
  }
  return S_OK;
}

}  // namespace vex::com
