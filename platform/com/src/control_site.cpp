#include "vex/com/control_site.h"

#include "vex/com/class_registry.h"

namespace vex::com {

HRESULT ControlSite::GetAmbientUserMode(VARIANT_BOOL* running) {
  if (!running) return E_POINTER;
  *running = running_ ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT ControlSite::GetOwnerWindow(std::uint64_t* window) {
  if (!window) return E_POINTER;
  *window = owner_;
  return S_OK;
}

HRESULT ControlSite::OnPropertyChanged(const Bstr& name) {
  changes_.push_back(name.Str());
  dirty_ = true;
  return S_OK;
}

HRESULT HostControl(std::string_view prog_id, IControlSite* site, IPropertyBag* bag,
                    ComPtr<IDispatch>* control, IErrorLog* error_log) {
  if (!control) return E_POINTER;
  ComPtr<IDispatch> created;
  HRESULT hr = CreateObjectByProgID(prog_id, &created);
  if (FAILED(hr)) return hr;
  ComPtr<IPersistPropertyBag> persist;
  hr = created.As(&persist);
  if (FAILED(hr)) return hr;
  if (site) {
    ComPtr<IHostedControl> hosted;
    hr = created.As(&hosted);
    if (FAILED(hr)) return hr;
    hr = hosted->SetClientSite(site);
    if (FAILED(hr)) return hr;
  }
  hr = bag ? persist->Load(bag, error_log) : persist->InitNew();
  if (FAILED(hr)) return hr;
  *control = std::move(created);
  return S_OK;
}

HRESULT SaveControl(IUnknown* control, IPropertyBag* bag) {
  if (!control || !bag) return E_POINTER;
  ComPtr<IPersistPropertyBag> persist;
  HRESULT hr = ComPtr<IUnknown>(control).As(&persist);
  if (FAILED(hr)) return hr;
  return persist->Save(bag, VARIANT_TRUE, VARIANT_FALSE);
}

}  // namespace vex::com
