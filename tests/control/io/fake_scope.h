// A stand-in for the scope control as the property pages see it: plain
// fields behind IPPVexR7100Scope, the two configurations, the I/O manager
// of the I/O library, and a record of what the pages did.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ipp_vexr7100_scope.h"
#include "vex/com/class_registry.h"

namespace vex::control::test {

class FakeScope : public IPPVexR7100Scope {
 public:
  // With the I/O library's manager, which must be registered then.
  explicit FakeScope(bool with_manager = true) {
    if (with_manager) {
      EXPECT_EQ(com::CreateObjectByProgID("VexIOUtils.IOManager", &manager), com::S_OK);
    }
  }

  HRESULT IOConfigurationChanged() override {
    ++changed_signals;
    return com::S_OK;
  }
  CIOconfiguration* IOConfigurationControl() override { return control.Get(); }
  CIOconfiguration* IOConfigurationPropertyPage() override { return page.Get(); }
  std::int32_t NotifyIOConfigurationChanged() override { return mask; }
  void SetNotifyIOConfigurationChanged(std::int32_t m) override { mask = m; }
  bool DontShowIOHandshakeWarning() override { return dont_show_io; }
  void SetDontShowIOHandshakeWarning(bool on) override { dont_show_io = on; }
  bool PageExists(std::int32_t bit) override { return (alive & bit) != 0; }
  void SetPageExists(std::int32_t bit, bool on) override {
    alive = on ? alive | bit : alive & ~bit;
  }
  std::int32_t ScreenCenterWidthInPixels() override { return 512; }
  std::int32_t ScreenCenterHeightInPixels() override { return 384; }
  bool CenterPropertyPages() override { return center; }
  void SetCenterPropertyPages(bool on) override { center = on; }
  std::string LastIOHandshakeAddress() override { return last_handshake; }
  void SetLastIOHandshakeAddress(const std::string& a) override { last_handshake = a; }
  bool InitialSearchMode() override { return initial_search; }
  void SetInitialSearchMode(bool on) override { initial_search = on; }
  com::IUnknown* IOManager() override { return manager.Get(); }
  std::int32_t TXDelay() override { return 0; }
  std::string FontName() override { return font; }
  std::int16_t FontSize() override { return 8; }
  std::string Address() override { return control->ActiveAddress(); }
  HRESULT SetAddress(const std::string& a) override {
    addresses_set.push_back(a);
    if (a == control->ActiveAddress()) return com::S_OK;
    control->SetInstrumentID("");
    return control->SetActiveAddress(a);
  }
  std::string AddressInstrumentID() override { return control->InstrumentID(); }
  void SetAddressInstrumentID(const std::string& id) override { control->SetInstrumentID(id); }
  bool DontShowSetupIOConfigurationWarning() override { return dont_show_setup; }
  void SetDontShowSetupIOConfigurationWarning(bool on) override { dont_show_setup = on; }
  CSetupsVexR7100Scope* Setups() override { return setups; }
  com::IDispatch* Wrapper() override { return wrapper; }

  com::ComPtr<CIOconfiguration> control = com::MakeObject<CIOconfiguration>();
  com::ComPtr<CIOconfiguration> page = com::MakeObject<CIOconfiguration>();
  com::ComPtr<com::IUnknown> manager;
  CSetupsVexR7100Scope* setups = nullptr;
  com::IDispatch* wrapper = nullptr;
  std::int32_t mask = 0;
  std::int32_t alive = 0;
  bool dont_show_io = false;
  bool dont_show_setup = false;
  bool center = false;
  bool initial_search = false;
  std::string last_handshake;
  std::string font;
  int changed_signals = 0;
  std::vector<std::string> addresses_set;
};

}  // namespace vex::control::test
