// Hosting a control: what a host program gives an embedded control, and
// what the control offers its host.
//
// A host creates the control (by ProgID), hands it its site with
// SetClientSite, then either starts it new (IPersistPropertyBag::InitNew)
// or loads its saved state (Load), and saves it with Save. The site answers
// the host's ambient user mode (running, or design time as in a form
// designer), the owner window for the control's message boxes, and hears
// the control's property-changed notifications by property name (the host
// marks its saved state dirty). Events go through the control's connection
// points (connection_point.h).
//
// ControlSite is a ready-made site for hosts without windows (the command
// line, Python, tests); HostControl creates, sites and loads a control in
// one call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vex/com/com_ptr.h"
#include "vex/com/dispatch.h"
#include "vex/com/property_bag.h"

namespace vex::com {

struct IControlSite : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("{8E2D4A10-3B7C-4F59-9A61-0C5E7B2D4F01}");
  // True when the host is running (not at design time).
  virtual HRESULT GetAmbientUserMode(VARIANT_BOOL* running) = 0;
  // The window message boxes of the control are centred over (0: none).
  virtual HRESULT GetOwnerWindow(std::uint64_t* window) = 0;
  // The control's property `name` changed; the host's saved state is dirty.
  virtual HRESULT OnPropertyChanged(const Bstr& name) = 0;
};

struct IHostedControl : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("{8E2D4A10-3B7C-4F59-9A61-0C5E7B2D4F02}");
  // Null detaches the control from its host.
  virtual HRESULT SetClientSite(IControlSite* site) = 0;
  // The host's ambient properties (its user mode) changed.
  virtual HRESULT OnAmbientPropertyChange() = 0;
};

// A site without windows: the user mode is set by its owner, notifications
// are recorded in order and mark the state dirty.
class ControlSite : public Object<IControlSite> {
 public:
  explicit ControlSite(bool running = true) : running_(running) {}

  HRESULT GetAmbientUserMode(VARIANT_BOOL* running) override;
  HRESULT GetOwnerWindow(std::uint64_t* window) override;
  HRESULT OnPropertyChanged(const Bstr& name) override;

  void SetRunning(bool running) { running_ = running; }
  void SetOwnerWindow(std::uint64_t window) { owner_ = window; }
  bool Dirty() const { return dirty_; }
  void ClearDirty() { dirty_ = false; }
  const std::vector<std::string>& Changes() const { return changes_; }
  void ClearChanges() { changes_.clear(); }

 private:
  bool running_;
  std::uint64_t owner_ = 0;
  bool dirty_ = false;
  std::vector<std::string> changes_;
};

// Creates the control of `prog_id`, gives it `site` (may be null: no host,
// design time), then loads it from `bag`, or starts it new when `bag` is
// null. The control's dispatch interface is returned. What the control
// cannot take from the bag and skips goes to `error_log` when given.
[[nodiscard]] HRESULT HostControl(std::string_view prog_id, IControlSite* site, IPropertyBag* bag,
                                  ComPtr<IDispatch>* control, IErrorLog* error_log = nullptr);
// Saves a control's state into `bag` (IPersistPropertyBag::Save).
[[nodiscard]] HRESULT SaveControl(IUnknown* control, IPropertyBag* bag);

}  // namespace vex::com
