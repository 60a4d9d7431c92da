// GladBag ("VexR7100X.GladBag"): a property bag that forwards every read and
// write to another, installed bag with each key prefixed, so that several
// objects can keep their settings in one container's bag.
#pragma once

#include "vex/com/com.h"
#include "vex/server/vexr7100.h"

namespace vex::server {

class GladBag : public com::Object<IGladBag> {
 public:
  HRESULT Read(const Bstr& name, Variant* value, com::IErrorLog* error_log) override;
  HRESULT Write(const Bstr& name, const Variant& value) override;
  HRESULT get_PropertiesPrefix(Bstr* prefix) override;
  HRESULT put_PropertiesPrefix(const Bstr& prefix) override;
  HRESULT InstallPropertyBag(com::IPropertyBag* bag) override;

 private:
  std::string KeyOf(const Bstr& name) const;

  com::ComPtr<com::IPropertyBag> bag_;
  Bstr prefix_;
};

}  // namespace vex::server
