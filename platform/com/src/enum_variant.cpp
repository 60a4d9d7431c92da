#include "vex/com/enum_variant.h"

#include <memory>

namespace vex::com {
namespace {

class VariantEnumerator : public Object<IEnumVARIANT> {
 public:
  VariantEnumerator(std::shared_ptr<const std::vector<Variant>> items, std::size_t position)
      : items_(std::move(items)), position_(position) {}

  HRESULT Next(std::uint32_t count, Variant* out, std::uint32_t* fetched) override {
    if (count > 0 && !out) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    std::uint32_t n = 0;
    while (n < count && position_ < items_->size()) out[n++] = (*items_)[position_++];
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(std::uint32_t count) override {
    std::size_t left = items_->size() - position_;
    position_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    *out = MakeObject<VariantEnumerator>(items_, position_).Detach();
    return S_OK;
  }

 private:
  std::shared_ptr<const std::vector<Variant>> items_;
  std::size_t position_;
};

}  // namespace

HRESULT CreateVariantEnumerator(std::vector<Variant> items, IEnumVARIANT** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    auto shared = std::make_shared<const std::vector<Variant>>(std::move(items));
    *out = MakeObject<VariantEnumerator>(std::move(shared), 0).Detach();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace vex::com
