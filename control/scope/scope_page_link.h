// ScopePageLink: the property pages' IPPVexR7100Scope on a real control.
// Every member is called on the control by name through its dispatch
// interface, as a page of any host would; the two configurations and the
// setups come back as the control's own objects. The server wrapper, which
// the control does not publish, is handed over by the control.
#pragma once

#include <string>
#include <string_view>

#include "ipp_vexr7100_scope.h"
#include "setups_vexr7100_scope.h"
#include "vex/com/com.h"

namespace vex::control {

class ScopePageLink final : public IPPVexR7100Scope {
 public:
  ScopePageLink(com::IDispatch* control, com::IDispatch* wrapper)
      : control_(control), wrapper_(wrapper) {}

  HRESULT IOConfigurationChanged() override;
  CIOconfiguration* IOConfigurationControl() override;
  CIOconfiguration* IOConfigurationPropertyPage() override;
  std::int32_t NotifyIOConfigurationChanged() override {
    return GetI4("NotifyIOConfigurationChanged");
  }
  void SetNotifyIOConfigurationChanged(std::int32_t mask) override {
    Set("NotifyIOConfigurationChanged", com::Variant(mask));
  }
  bool DontShowIOHandshakeWarning() override { return GetBool("DontShowIOHandshakeWarning"); }
  void SetDontShowIOHandshakeWarning(bool on) override {
    Set("DontShowIOHandshakeWarning", com::Variant(on));
  }
  bool PageExists(std::int32_t bit) override { return GetBool(PageFlag(bit)); }
  void SetPageExists(std::int32_t bit, bool on) override { Set(PageFlag(bit), com::Variant(on)); }
  std::int32_t ScreenCenterWidthInPixels() override { return GetI4("ScreenCenterWidthInPixels"); }
  std::int32_t ScreenCenterHeightInPixels() override { return GetI4("ScreenCenterHeightInPixels"); }
  bool CenterPropertyPages() override { return GetBool("CenterPropertyPages"); }
  void SetCenterPropertyPages(bool on) override { Set("CenterPropertyPages", com::Variant(on)); }
  std::string LastIOHandshakeAddress() override { return GetText("LastIOHandshakeAddress"); }
  void SetLastIOHandshakeAddress(const std::string& address) override {
    Set("LastIOHandshakeAddress", com::Variant(address));
  }
  bool InitialSearchMode() override { return GetBool("InitialSearchMode"); }
  void SetInitialSearchMode(bool on) override { Set("InitialSearchMode", com::Variant(on)); }

  com::IUnknown* IOManager() override;
  std::int32_t TXDelay() override { return GetI4("TXDelay"); }
  std::string FontName() override { return GetText("FontName"); }
  std::int16_t FontSize() override { return static_cast<std::int16_t>(GetI4("FontSize")); }
  std::string Address() override { return GetText("Address"); }
  HRESULT SetAddress(const std::string& address) override;
  std::string AddressInstrumentID() override { return GetText("AddressInstrumentID"); }
  void SetAddressInstrumentID(const std::string& id) override {
    Set("AddressInstrumentID", com::Variant(id));
  }
  bool DontShowSetupIOConfigurationWarning() override {
    return GetBool("DontShowSetupIOConfigurationWarning");
  }
  void SetDontShowSetupIOConfigurationWarning(bool on) override {
    Set("DontShowSetupIOConfigurationWarning", com::Variant(on));
  }
  CSetupsVexR7100Scope* Setups() override;
  com::IDispatch* Wrapper() override { return wrapper_.Get(); }

 private:
  static const char* PageFlag(std::int32_t bit);
  com::Variant Get(std::string_view name);
  bool GetBool(std::string_view name);
  std::int32_t GetI4(std::string_view name);
  std::string GetText(std::string_view name);
  HRESULT Set(std::string_view name, com::Variant value);
  CIOconfiguration* Configuration(std::string_view name, com::ComPtr<IIOConfiguration>* held);

  com::ComPtr<com::IDispatch> control_;
  com::ComPtr<com::IDispatch> wrapper_;
  com::ComPtr<IIOConfiguration> control_configuration_;
  com::ComPtr<IIOConfiguration> page_configuration_;
  com::ComPtr<com::IDispatch> io_manager_;
  com::ComPtr<ISetupsVexR7100Scope> setups_;
};

}  // namespace vex::control
