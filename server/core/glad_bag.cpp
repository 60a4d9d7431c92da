#include "glad_bag.h"

namespace vex::server {

std::string GladBag::KeyOf(const Bstr& name) const {
  return prefix_.Str() + name.Str();
}

HRESULT GladBag::Read(const Bstr& name, Variant* value, com::IErrorLog* error_log) {
  if (!bag_) return com::E_UNEXPECTED;
  try {
    return bag_->Read(Bstr(KeyOf(name)), value, error_log);
  } catch (...) {
    return com::E_FAIL;
  }
}

HRESULT GladBag::Write(const Bstr& name, const Variant& value) {
  if (!bag_) return com::E_UNEXPECTED;
  try {
    return bag_->Write(Bstr(KeyOf(name)), value);
  } catch (...) {
    return com::E_FAIL;
  }
}

HRESULT GladBag::get_PropertiesPrefix(Bstr* prefix) {
  if (!prefix) return com::E_POINTER;
  *prefix = prefix_.IsNull() ? Bstr::Empty() : prefix_;
  return com::S_OK;
}

HRESULT GladBag::put_PropertiesPrefix(const Bstr& prefix) {
  prefix_ = prefix;
  return com::S_OK;
}

HRESULT GladBag::InstallPropertyBag(com::IPropertyBag* bag) {
  if (!bag) return com::E_UNEXPECTED;
  com::ComPtr<com::IPropertyBag> as_bag;
  if (FAILED(bag->QueryInterface(com::IPropertyBag::kIid,
                                 reinterpret_cast<void**>(as_bag.ReleaseAndGetAddressOf()))))
    return com::E_FAIL;
  bag_ = std::move(as_bag);
  return com::S_OK;
}

}  // namespace vex::server
