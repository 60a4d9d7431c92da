// VexR7100Scope: the scope control that host programs embed and drive. It
// owns the server wrapper, the I/O configuration, the I/O manager and the
// setups collection, keeps its language (country code) and font, persists
// all of it in the host's property bag, and forwards the instrument object
// model to the wrapper, which connects on first use when the host runs.
//
// Hosting (vex/com/control_site.h): the host's site gives the user mode and
// the owner window and hears property-changed notifications by name; the
// SupportMessage event goes to the sinks of the control's connection point.
//
// Loading reads each section on its own: a bad value is logged as an
// assertion, keeps that item's default, and the rest still loads.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cdebug.h"
#include "cio_configuration.h"
#include "control_support.h"
#include "cvexr7100_ez.h"
#include "setups_vexr7100_scope.h"
#include "vex/com/com.h"
#include "vex/com/control_site.h"
#include "vex/control/scope_control.h"
#include "vex/ui/property_frame.h"

namespace vex::control {

// The dispatch event interface of SupportMessage.
inline constexpr com::IID kVexR7100ScopeEventsIid = kScopeControlEventsIid;
inline constexpr const char* kControlTypeLibraryName = "Vex9100CtrlLib";

enum VexR7100_CountryCode : std::int32_t {
  VexR7100_Language_English = 1,
  VexR7100_Language_French = 33,
  VexR7100_Language_Spanish = 34,
  VexR7100_Language_Italian = 39,
  VexR7100_Language_German = 49,
  VexR7100_Language_Japanese = 81,
  VexR7100_Language_Korean = 82,
  VexR7100_Language_Traditional_Chinese = 886,
};

enum VexR7100_ShowPropertyPage : std::int32_t {
  VexR7100_ShowPropertyPage_Default = 0,
  VexR7100_ShowPropertyPage_Setups = 1,
  VexR7100_ShowPropertyPage_Search = 2,
  VexR7100_ShowPropertyPage_SetIO = 3,
};

// The language index of a country code (string offset = index * 1000);
// -1 for a code outside the table.
std::int32_t LanguageIndex(std::int32_t country_code);

class VexR7100Scope final : public com::Object<com::IDispatch, com::IConnectionPointContainer,
                                               com::IPersistPropertyBag, com::IHostedControl>,
                            public WrapperEvents,
                            public DebugSink {
 public:
  static constexpr std::int32_t kWidthPixels = 60;
  static constexpr std::int32_t kHeightPixels = 38;

  VexR7100Scope();

  // Hosting.
  HRESULT SetClientSite(com::IControlSite* site) override;
  HRESULT OnAmbientPropertyChange() override;
  HRESULT FindConnectionPoint(const com::IID& iid, com::IConnectionPoint** point) override;
  HRESULT GetClassID(com::CLSID* clsid) override;
  HRESULT InitNew() override;
  HRESULT Load(com::IPropertyBag* bag, com::IErrorLog* error_log) override;
  HRESULT Save(com::IPropertyBag* bag, VARIANT_BOOL clear_dirty, VARIANT_BOOL save_all) override;

  // The default interface.
  HRESULT get_CountryCode(std::int32_t* code);
  HRESULT put_CountryCode(std::int32_t code);
  HRESULT get_AddressInstrumentID(Bstr* id);
  HRESULT put_AddressInstrumentID(const Bstr& id);
  HRESULT get_SearchCriteria(Variant* data);
  HRESULT put_SearchCriteria(const Variant& data);
  HRESULT get_Address(Bstr* address);
  HRESULT put_Address(const Bstr& address);
  HRESULT Initialize();
  HRESULT CloseConnection();
  HRESULT get_IOManager(com::IDispatch** manager);
  HRESULT ShowPropertyPages(const Variant& pages);
  HRESULT get_TXDelay(std::int32_t* delay);
  HRESULT put_TXDelay(std::int32_t delay);
  HRESULT get_FontName(Bstr* name);
  HRESULT put_FontName(const Bstr& name);
  HRESULT get_FontSize(std::int16_t* size);
  HRESULT put_FontSize(std::int16_t size);
  HRESULT get_Setups(com::IDispatch** setups);
  HRESULT AboutBox();
  HRESULT get_Acquisition(com::IDispatch** o);
  HRESULT get_AnalogChannels(com::IDispatch** o);
  HRESULT get_ConnectionName(Bstr* name);
  HRESULT get_LogicChannel(com::IDispatch** o);
  HRESULT get_Measure(com::IDispatch** o);
  HRESULT get_Timebase(com::IDispatch** o);
  HRESULT get_Trigger(com::IDispatch** o);
  HRESULT get_Trace(com::IDispatch** o);
  HRESULT get_Utilities(com::IDispatch** o);
  HRESULT AutoScale();
  HRESULT Digitize();
  HRESULT Enter(Variant* input_buffer, const Variant& format);
  HRESULT GetLogicData(std::int32_t points, Variant* time, Variant* data);
  HRESULT GetScreenImage(const Variant& format, com::IDispatch** image);
  HRESULT GetWaveformData(std::int32_t channel, std::int32_t points, Variant* time, Variant* data);
  HRESULT GetAllWaveformData(std::int32_t points, com::SafeArray* data);
  HRESULT Output(const Variant& output_buffer);
  HRESULT ReadBytes(std::int32_t* count, com::SafeArray* buffer);
  HRESULT Run();
  HRESULT SaveScreenImage(const Bstr& file_name, const Variant& format);
  HRESULT SingleTrigger();
  HRESULT StopTrigger();
  HRESULT WriteBytes(std::int32_t count, const com::SafeArray& buffer);
  HRESULT get_SupportMessageMode(std::int32_t* mode);
  HRESULT put_SupportMessageMode(std::int32_t mode);
  HRESULT get_InstrumentConnected(VARIANT_BOOL* on);
  HRESULT get_ResetOnInitialize(VARIANT_BOOL* on);
  HRESULT put_ResetOnInitialize(VARIANT_BOOL on);
  HRESULT get_CheckIDOnInitialize(VARIANT_BOOL* on);
  HRESULT put_CheckIDOnInitialize(VARIANT_BOOL on);
  HRESULT get_AutomationServerAddress(Bstr* address);

  // IPPVexR7100Scope: the property pages' view of the control.
  HRESULT IOConfigurationChanged();
  HRESULT get_IOConfigurationControl(com::IUnknown** configuration);
  HRESULT get_IOConfigurationPropertyPage(com::IUnknown** configuration);
  HRESULT get_NotifyIOConfigurationChanged(std::int32_t* mask);
  HRESULT put_NotifyIOConfigurationChanged(std::int32_t mask);
  HRESULT get_DontShowIOHandshakeWarning(VARIANT_BOOL* on);
  HRESULT put_DontShowIOHandshakeWarning(VARIANT_BOOL on);
  HRESULT get_SearchIOExists(VARIANT_BOOL* on);
  HRESULT put_SearchIOExists(VARIANT_BOOL on);
  HRESULT get_SearchCriteriaExists(VARIANT_BOOL* on);
  HRESULT put_SearchCriteriaExists(VARIANT_BOOL on);
  HRESULT get_SetIOExists(VARIANT_BOOL* on);
  HRESULT put_SetIOExists(VARIANT_BOOL on);
  HRESULT get_SetupsExists(VARIANT_BOOL* on);
  HRESULT put_SetupsExists(VARIANT_BOOL on);
  HRESULT get_ScreenCenterWidthInPixels(std::int32_t* pixels);
  HRESULT get_ScreenCenterHeightInPixels(std::int32_t* pixels);
  HRESULT get_CenterPropertyPages(VARIANT_BOOL* on);
  HRESULT put_CenterPropertyPages(VARIANT_BOOL on);
  HRESULT get_LastIOHandshakeAddress(Bstr* address);
  HRESULT put_LastIOHandshakeAddress(const Bstr& address);
  HRESULT get_DTROnly(VARIANT_BOOL* on);
  HRESULT put_DTROnly(VARIANT_BOOL on);
  HRESULT get_InitialSearchMode(VARIANT_BOOL* on);
  HRESULT put_InitialSearchMode(VARIANT_BOOL on);
  // The persisted "do not show" of the Setups page's handshake warning
  // (hidden; for the page only).
  HRESULT get_DontShowSetupIOConfigurationWarning(VARIANT_BOOL* on);
  HRESULT put_DontShowSetupIOConfigurationWarning(VARIANT_BOOL on);
  // The Setups page's serial handshake check, for hosts that take and send
  // setups themselves (the desktop panel): shows the warning when the
  // address needs it; *proceed is false when the user cancelled.
  HRESULT ConfirmSetupIOConfiguration(VARIANT_BOOL* proceed);

  // The control's fixed extent in twips for the screen's twips per pixel.
  static std::pair<std::int32_t, std::int32_t> FixedExtentTwips(double twips_per_pixel);
  CVexR7100EZ& Wrapper() { return *wrapper_; }

  VEX_COM_IMPLEMENT_DISPATCH(VexR7100Scope, Table())
  static const com::DispatchTable& Table();

  // WrapperEvents and DebugSink.
  void WrapperPropertyChanged(std::string_view name) override { Notify(name); }
  void InstrumentID(const std::string& id) override;
  void SupportMessage(const std::string& text) override;
  void PropertyChanged(std::string_view name) override { Notify(name); }

 private:
  ~VexR7100Scope() override;

  void Notify(std::string_view name);
  bool HostRunning() const;
  ui::WindowHandle Owner() const;
  void InitialProperties();
  void HelpFileStep(std::int32_t offset);
  void EmptySetups();
  HRESULT RaiseInvalid(std::string_view procedure, std::string_view location,
                       std::int32_t description_id);
  HRESULT SetFlag(bool* field, VARIANT_BOOL on, std::string_view name);
  void ReadSections(com::IPropertyBag* bag, com::IErrorLog* error_log);

  com::ComPtr<CVexR7100EZ> wrapper_;
  com::ComPtr<CIOconfiguration> io_configuration_;
  com::ComPtr<CIOconfiguration> io_configuration_page_;
  com::ComPtr<com::IDispatch> io_manager_;
  com::ComPtr<CSetupsVexR7100Scope> setups_;
  com::ComPtr<com::ConnectionPoint> events_;
  com::ComPtr<com::IControlSite> site_;

  std::int32_t country_code_ = VexR7100_Language_English;
  std::string font_name_ = "MS Sans Serif";
  std::int16_t font_size_ = 8;
  bool debug_enabled_ = false;
  bool dont_show_setup_io_warning_ = false;
  std::string last_io_handshake_address_;
  bool initial_search_mode_ = false;
  bool dont_show_io_handshake_warning_ = false;
  bool center_property_pages_ = true;
  std::array<bool, 4> page_present_{};
  std::int32_t notify_io_configuration_changed_ = 0;
  bool setups_touched_ = false;
  std::string help_file_ = kHelpFileName;
};

}  // namespace vex::control
