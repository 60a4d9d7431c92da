#include "vexr7100_scope.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "bag_values.h"
#include "frm_about.h"
#include "is_handshake_ok.h"
#include "scope_page_link.h"
#include "vexr7100_localization.h"
#include "vexr7100_pp_set_io.h"
#include "vexr7100_pp_setup.h"
#include "vexr7100_pp_srch_cri.h"
#include "vexr7100_pp_srch_io.h"

namespace vex::control {
namespace {

constexpr const char* kModule = "VexR7100Scope";
constexpr const char* kDefaultAddress = "GPIB0::7::INSTR";
constexpr const char* kInitialFontName = "MS Sans Serif";
constexpr std::int16_t kInitialFontSize = 8;

struct Language {
  std::int32_t code;
  std::int32_t index;
  const char* built_font;  // the font name built from code points, or null
};

// Korean: U+AD74 U+B9BC; Traditional Chinese: U+65B0 U+7D30 U+660E U+9AD4.
constexpr Language kLanguages[] = {
    {VexR7100_Language_English, 0, nullptr},
    {VexR7100_Language_French, 1, nullptr},
    {VexR7100_Language_Spanish, 2, nullptr},
    {VexR7100_Language_Italian, 3, nullptr},
    {VexR7100_Language_German, 4, nullptr},
    {VexR7100_Language_Japanese, 5, nullptr},
    {VexR7100_Language_Korean, 6, "\xEA\xB5\xB4\xEB\xA6\xBC"},
    {VexR7100_Language_Traditional_Chinese, 7, "\xE6\x96\xB0\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94"},
};

const Language* FindLanguage(std::int32_t code) {
  for (const auto& language : kLanguages)
    if (language.code == code) return &language;
  return nullptr;
}

}  // namespace

std::int32_t LanguageIndex(std::int32_t country_code) {
  const Language* language = FindLanguage(country_code);
  return language ? language->index : -1;
}

VexR7100Scope::VexR7100Scope() {
  events_ = com::MakeObject<com::ConnectionPoint>(kVexR7100ScopeEventsIid);
  // 1. Help file, wrapper, logger.
  help_file_ = kHelpFileName;
  wrapper_ = com::MakeObject<CVexR7100EZ>(0);
  wrapper_->SetEvents(this);
  CDebug& debug = CDebug::ForThisThread();
  debug.SetSink(this);
  debug.SetToolkit(&ControlToolkit());
  debug.SetDebugMode(CDebug::kLogFile);
  debug.Trace("", kModule, "UserControl_Initialize", "");
  // 2. The I/O configuration.
  io_configuration_ = com::MakeObject<CIOconfiguration>();
  // 3. Initial properties.
  setups_ = com::MakeObject<CSetupsVexR7100Scope>();
  InitialProperties();
  // 4. The I/O manager, handed to the wrapper.
  if (com::FAILED(com::CreateObjectByProgID(io::kIOManagerProgID, &io_manager_))) {
    io_manager_ = nullptr;
    com::SetErrorInfo(0, nullptr);
  }
  wrapper_->SetIOManager(io_manager_.Get());
  // 5. Page state.
  notify_io_configuration_changed_ = 0;
  page_present_ = {};
  setups_touched_ = false;
  center_property_pages_ = true;
  // 6. An empty collection using the wrapper.
  EmptySetups();
}

VexR7100Scope::~VexR7100Scope() {
  EmptySetups();
  setups_->ReleaseInstrument();
  wrapper_->SetEvents(nullptr);
  if (CDebug::ForThisThread().Sink() == this) CDebug::ForThisThread().SetSink(nullptr);
}

void VexR7100Scope::EmptySetups() {
  std::int32_t count = 0;
  while (com::SUCCEEDED(setups_->get_Count(&count)) && count > 0) {
    if (com::FAILED(setups_->Remove(Variant(std::int32_t{1})))) break;
  }
  (void)setups_->put_CVexR7100EZPtr(wrapper_.Get());
}

void VexR7100Scope::Notify(std::string_view name) {
  if (site_) (void)site_->OnPropertyChanged(Bstr(name));
}

bool VexR7100Scope::HostRunning() const {
  VARIANT_BOOL running = com::VARIANT_FALSE;
  return site_ && com::SUCCEEDED(site_->GetAmbientUserMode(&running)) && running != 0;
}

ui::WindowHandle VexR7100Scope::Owner() const {
  std::uint64_t window = 0;
  if (site_) (void)site_->GetOwnerWindow(&window);
  return static_cast<ui::WindowHandle>(window);
}

void VexR7100Scope::HelpFileStep(std::int32_t offset) {
  VexR7100Localization::SetOffset(offset);
  // The target names exist only in the first language's table.
  const std::string folder = HelpFolder();
  const std::pair<std::int32_t, std::int32_t> copies[] = {
      {text::kHelpSource, text::kHelpTarget}, {text::kContentsSource, text::kContentsTarget}};
  for (const auto& [source, target] : copies) {
    const std::string from = VexR7100Localization::TextOrEmpty(source);
    const std::string to = TextAt(0, target);
    if (from.empty() || to.empty()) continue;
    std::error_code error;
    std::filesystem::copy_file(folder + "/" + from, folder + "/" + to,
                               std::filesystem::copy_options::overwrite_existing, error);
    // A failed copy leaves the previous help file in place, without a message.
  }
}

void VexR7100Scope::InitialProperties() {
  font_size_ = kInitialFontSize;
  font_name_ = kInitialFontName;
  country_code_ = VexR7100_Language_English;
  HelpFileStep(0);
  (void)io_configuration_->SetActiveAddress(kDefaultAddress);
  io_configuration_->SetInstrumentID("");
  (void)wrapper_->SetAutomationServerAddress(io_configuration_->AutomationServerAddress());
  debug_enabled_ = false;
  dont_show_setup_io_warning_ = false;
  initial_search_mode_ = false;
  last_io_handshake_address_.clear();
  EmptySetups();
  font_size_ = static_cast<std::int16_t>(
      std::atoi(VexR7100Localization::TextOrEmpty(text::kFontSize).c_str()));
  font_name_ = VexR7100Localization::TextOrEmpty(text::kFontName);
  com::SetErrorInfo(0, nullptr);
}

HRESULT VexR7100Scope::RaiseInvalid(std::string_view procedure, std::string_view location,
                                    std::int32_t description_id) {
  CDebug::ForThisThread().Assert(false, "False", kModule, procedure, location);
  return RaiseControlError(kStatusInvalidValue, VexR7100Localization::TextOrEmpty(description_id),
                           kHelpContextInvalidValue);
}

// ---- Hosting -------------------------------------------------------------

HRESULT VexR7100Scope::SetClientSite(com::IControlSite* site) {
  site_ = site;
  // The host's user mode reaches the wrapper as soon as there is a host, so
  // that a control started new at run time connects by itself.
  wrapper_->SetAmbientUserMode(HostRunning());
  return com::S_OK;
}

HRESULT VexR7100Scope::OnAmbientPropertyChange() {
  wrapper_->SetAmbientUserMode(HostRunning());
  return com::S_OK;
}

HRESULT VexR7100Scope::FindConnectionPoint(const com::IID& iid, com::IConnectionPoint** point) {
  if (!point) return com::E_POINTER;
  *point = nullptr;
  if (iid != kVexR7100ScopeEventsIid) return com::CONNECT_E_NOCONNECTION;
  *point = events_.Get();
  (*point)->AddRef();
  return com::S_OK;
}

HRESULT VexR7100Scope::GetClassID(com::CLSID* clsid) {
  if (!clsid) return com::E_POINTER;
  *clsid = kScopeControlClsid;
  return com::S_OK;
}

HRESULT VexR7100Scope::InitNew() {
  InitialProperties();
  wrapper_->SetAmbientUserMode(HostRunning());
  return com::S_OK;
}

void VexR7100Scope::ReadSections(com::IPropertyBag* bag, com::IErrorLog* error_log) {
  CDebug& debug = CDebug::ForThisThread();
  // Each item and section is read on its own: a bad one is logged and keeps
  // its default, and everything after it still loads.
  // A value the control refuses is reported to the host's log with the
  // reason and the value used instead.
  const auto skipped = [&](const char* key, const std::string& instead) {
    const com::ErrorDetails why = com::TakeErrorDetails();
    if (error_log) {
      (void)error_log->AddError(Bstr(key), kStatusInvalidValue,
                                Bstr(std::string(key) + " is skipped: " + why.description.Str() +
                                     "; " + instead + " is used instead."));
    }
  };
  const std::int32_t code = ReadI4(bag, "CountryCode", VexR7100_Language_English);
  if (com::FAILED(put_CountryCode(code))) {
    debug.Assert(false, "False", kModule, "UserControl_ReadProperties", "CountryCode");
    skipped("CountryCode", "the current language");
  }
  const std::string address = ReadString(bag, "Address", kDefaultAddress);
  if (com::FAILED(io_configuration_->SetActiveAddress(address))) {
    debug.Assert(false, "False", kModule, "UserControl_ReadProperties", "Address");
    skipped("Address", kDefaultAddress);
    (void)io_configuration_->SetActiveAddress(kDefaultAddress);
  }
  font_name_ = ReadString(bag, "FontName", kInitialFontName);
  font_size_ = ReadI2(bag, "FontSize", kInitialFontSize);
  debug_enabled_ = ReadBool(bag, "DebugEnabled", false);
  dont_show_setup_io_warning_ = ReadBool(bag, "DontShowSetupIOConfigurationWarning", false);
  last_io_handshake_address_ = ReadString(bag, "LastIOHandshakeAddress", "");
  initial_search_mode_ = ReadBool(bag, "InitialSearchMode", false);
  (void)wrapper_->ReadProperties(bag);
  wrapper_->SetAmbientUserMode(HostRunning());
  wrapper_->SetDebugEnabled(debug_enabled_);
  if (com::FAILED(io_configuration_->ReadProperties(bag))) {
    debug.Assert(false, "False", kModule, "UserControl_ReadProperties", "IOConfiguration");
    com::SetErrorInfo(0, nullptr);
  }
  (void)wrapper_->SetAutomationServerAddress(io_configuration_->AutomationServerAddress());
  if (com::FAILED(setups_->Load(bag, error_log))) {
    debug.Assert(false, "False", kModule, "UserControl_ReadProperties", "Setups");
    com::SetErrorInfo(0, nullptr);
  }
  (void)setups_->put_CVexR7100EZPtr(wrapper_.Get());
  if (com::FAILED(debug.ReadProperties(bag))) {
    debug.Assert(false, "False", kModule, "UserControl_ReadProperties", "Debug");
    com::SetErrorInfo(0, nullptr);
  }
}

HRESULT VexR7100Scope::Load(com::IPropertyBag* bag, com::IErrorLog* error_log) {
  if (!bag) return com::E_POINTER;
  CDebug::ForThisThread().Trace("", kModule, "UserControl_ReadProperties", "");
  ReadSections(bag, error_log);
  return com::S_OK;
}

HRESULT VexR7100Scope::Save(com::IPropertyBag* bag, VARIANT_BOOL, VARIANT_BOOL) {
  if (!bag) return com::E_POINTER;
  CDebug::ForThisThread().Trace("", kModule, "UserControl_WriteProperties", "");
  // Everything is written to a scratch bag first, and only what differs
  // from a fresh control's value reaches the host's bag.
  auto scratch = com::MakeObject<com::MemoryPropertyBag>();
  HRESULT hr = WriteUnlessDefault(scratch.Get(), "CountryCode", Variant(country_code_),
                                  Variant(std::int32_t{VexR7100_Language_English}));
  const auto keep = [&](const char* key, const Variant& value, const Variant& fallback) {
    if (com::SUCCEEDED(hr)) hr = WriteUnlessDefault(scratch.Get(), key, value, fallback);
  };
  keep("Address", Variant(io_configuration_->ActiveAddress()), Variant(kDefaultAddress));
  keep("FontName", Variant(font_name_), Variant(kInitialFontName));
  keep("FontSize", Variant(font_size_), Variant(kInitialFontSize));
  keep("DebugEnabled", Variant(debug_enabled_), Variant(false));
  keep("DontShowSetupIOConfigurationWarning", Variant(dont_show_setup_io_warning_), Variant(false));
  keep("LastIOHandshakeAddress", Variant(last_io_handshake_address_), Variant(Bstr::Empty()));
  keep("InitialSearchMode", Variant(initial_search_mode_), Variant(false));
  if (com::SUCCEEDED(hr)) hr = wrapper_->WriteProperties(scratch.Get());
  if (com::SUCCEEDED(hr)) hr = io_configuration_->WriteProperties(scratch.Get());
  if (com::SUCCEEDED(hr)) hr = setups_->WriteProperties(scratch.Get());
  if (com::SUCCEEDED(hr)) hr = CDebug::ForThisThread().WriteProperties(scratch.Get());
  if (com::FAILED(hr)) return hr;

  // The values of a fresh I/O configuration, collection and logger (whose
  // parts write every key).
  auto defaults = com::MakeObject<com::MemoryPropertyBag>();
  (void)com::MakeObject<CIOconfiguration>()->WriteProperties(defaults.Get());
  (void)com::MakeObject<CSetupsVexR7100Scope>()->WriteProperties(defaults.Get());
  (void)CDebug().WriteProperties(defaults.Get());
  for (const auto& [key, value] : scratch->Values()) {
    const auto fallback = defaults->Values().find(key);
    if (fallback != defaults->Values().end() && SameBagValue(value, fallback->second)) continue;
    // No folder chosen yet reads back as the empty name.
    if (key == "SetupsInitialDirectory" && SameBagValue(value, Variant(Bstr::Empty()))) continue;
    hr = bag->Write(Bstr(key), value);
    if (com::FAILED(hr)) return hr;
  }
  return com::S_OK;
}

// ---- Default interface ----------------------------------------------------

HRESULT VexR7100Scope::get_CountryCode(std::int32_t* code) {
  if (!code) return com::E_POINTER;
  *code = country_code_;
  return com::S_OK;
}

HRESULT VexR7100Scope::put_CountryCode(std::int32_t code) {
  const std::int32_t old_code = country_code_;
  const std::int32_t old_offset = VexR7100Localization::Offset();
  const std::string old_font = font_name_;
  const std::int16_t old_size = font_size_;
  const Language* language = FindLanguage(code);
  if (!language) return RaiseInvalid("Let CountryCode", "Case Else", text::kInvalidValue);
  if (language->index >= 5 && MB_CUR_MAX < 2)
    return RaiseInvalid("Let CountryCode", "Asian", text::kNoAsianLanguages);

  const std::int32_t offset = language->index * 1000;
  // The new language's own font, read with its offset.
  const std::string font =
      language->built_font ? std::string(language->built_font) : TextAt(offset, text::kFontName);
  const std::string size_text = TextAt(offset, text::kFontSize);
  char* end = nullptr;
  const long size = std::strtol(size_text.c_str(), &end, 10);
  if (font.empty() || size_text.empty() || *end != '\0' || size <= 0 || size > 32767) {
    country_code_ = old_code;
    VexR7100Localization::SetOffset(old_offset);
    font_name_ = old_font;
    font_size_ = old_size;
    CDebug::ForThisThread().Assert(false, "False", kModule, "Let CountryCode", "CatchError");
    return RaiseControlError(kStatusInvalidValue,
                             VexR7100Localization::TextOrEmpty(text::kInvalidValue),
                             kHelpContextInvalidValue);
  }
  country_code_ = code;
  (void)put_FontName(Bstr(font));
  (void)put_FontSize(static_cast<std::int16_t>(size));
  HelpFileStep(offset);
  if (country_code_ != old_code) Notify("CountryCode");
  return com::S_OK;
}

HRESULT VexR7100Scope::get_AddressInstrumentID(Bstr* id) {
  if (!id) return com::E_POINTER;
  *id = Bstr(io_configuration_->InstrumentID());
  return com::S_OK;
}

HRESULT VexR7100Scope::put_AddressInstrumentID(const Bstr& id) {
  if (id.View() != io_configuration_->InstrumentID()) io_configuration_->SetInstrumentID(id.View());
  Notify("AddressInstrumentID");
  return com::S_OK;
}

HRESULT VexR7100Scope::get_SearchCriteria(Variant* data) {
  return io_configuration_->DataAsVariant(data);
}

HRESULT VexR7100Scope::put_SearchCriteria(const Variant& data) {
  const HRESULT hr = io_configuration_->SetDataAsVariant(data);
  if (com::FAILED(hr)) return hr;
  Notify("SearchCriteria");
  return com::S_OK;
}

HRESULT VexR7100Scope::get_Address(Bstr* address) {
  if (!address) return com::E_POINTER;
  *address = Bstr(io_configuration_->ActiveAddress());
  return com::S_OK;
}

HRESULT VexR7100Scope::put_Address(const Bstr& address) {
  if (address.View() == io_configuration_->ActiveAddress()) return com::S_OK;
  const HRESULT hr = io_configuration_->SetActiveAddress(address.View());
  if (com::FAILED(hr)) return hr;
  (void)wrapper_->SetAutomationServerAddress(io_configuration_->AutomationServerAddress());
  io_configuration_->SetInstrumentID("");
  Notify("Address");
  return com::S_OK;
}

HRESULT VexR7100Scope::Initialize() {
  return wrapper_->Initialize();
}
HRESULT VexR7100Scope::CloseConnection() {
  return wrapper_->CloseConnection();
}

HRESULT VexR7100Scope::get_IOManager(com::IDispatch** manager) {
  if (!manager) return com::E_POINTER;
  *manager = io_manager_.Get();
  if (*manager) (*manager)->AddRef();
  return com::S_OK;
}

HRESULT VexR7100Scope::ShowPropertyPages(const Variant& pages) {
  std::int32_t which = 0;
  if (!pages.IsMissing() && pages.vt() != com::VT_EMPTY && com::FAILED(pages.ToI4(&which)))
    which = -1;
  // The four pages in their standard order, made for this showing only:
  // the reduced list of the search pages cannot outlive it on any path.
  ui::Toolkit& toolkit = ControlToolkit();
  ScopePageLink link(static_cast<com::IDispatch*>(this), wrapper_.Get());
  VexR7100PPSrchIO search_io(toolkit, link);
  VexR7100PPSrchCri search_criteria(toolkit, link);
  VexR7100PPSetIO set_io(toolkit, link);
  VexR7100PPSetup setups(toolkit, link);
  std::vector<ui::PropertyPage*> list{&search_io, &search_criteria, &set_io, &setups};
  int start = -1;
  switch (which) {
    case VexR7100_ShowPropertyPage_Default:
      break;
    case VexR7100_ShowPropertyPage_Setups:
      start = 3;
      break;
    case VexR7100_ShowPropertyPage_SetIO:
      start = 2;
      break;
    case VexR7100_ShowPropertyPage_Search:
      // Only the two search pages; the full list is back for the next call.
      list.resize(2);
      break;
    default:
      return RaiseInvalid("ShowPropertyPages", "Case Else", text::kInvalidValue);
  }
  toolkit.ShowPropertyFrame(Owner(), VexR7100Localization::TextOrEmpty(text::kTitle), list, start);
  return com::S_OK;
}

HRESULT VexR7100Scope::get_TXDelay(std::int32_t* delay) {
  if (!delay) return com::E_POINTER;
  *delay = wrapper_->TXDelay();
  return com::S_OK;
}

HRESULT VexR7100Scope::put_TXDelay(std::int32_t delay) {
  return wrapper_->SetTXDelay(delay);
}

HRESULT VexR7100Scope::get_FontName(Bstr* name) {
  if (!name) return com::E_POINTER;
  *name = Bstr(font_name_);
  return com::S_OK;
}

HRESULT VexR7100Scope::put_FontName(const Bstr& name) {
  if (name.View() == font_name_) return com::S_OK;
  font_name_ = name.Str();
  Notify("FontName");
  return com::S_OK;
}

HRESULT VexR7100Scope::get_FontSize(std::int16_t* size) {
  if (!size) return com::E_POINTER;
  *size = font_size_;
  return com::S_OK;
}

HRESULT VexR7100Scope::put_FontSize(std::int16_t size) {
  if (size == font_size_) return com::S_OK;
  font_size_ = size;
  Notify("FontSize");
  return com::S_OK;
}

HRESULT VexR7100Scope::get_Setups(com::IDispatch** setups) {
  if (!setups) return com::E_POINTER;
  *setups = setups_.Get();
  (*setups)->AddRef();
  if (!setups_touched_) {
    setups_touched_ = true;
    Notify("Setups");
  }
  return com::S_OK;
}

HRESULT VexR7100Scope::AboutBox() {
  ShowAboutBox(ControlToolkit(), Owner(), font_name_, font_size_);
  return com::S_OK;
}

HRESULT VexR7100Scope::get_Acquisition(com::IDispatch** o) {
  return wrapper_->get_Acquisition(o);
}
HRESULT VexR7100Scope::get_AnalogChannels(com::IDispatch** o) {
  return wrapper_->get_AnalogChannels(o);
}
HRESULT VexR7100Scope::get_ConnectionName(Bstr* name) {
  return wrapper_->get_ConnectionName(name);
}
HRESULT VexR7100Scope::get_LogicChannel(com::IDispatch** o) {
  return wrapper_->get_LogicChannel(o);
}
HRESULT VexR7100Scope::get_Measure(com::IDispatch** o) {
  return wrapper_->get_Measure(o);
}
HRESULT VexR7100Scope::get_Timebase(com::IDispatch** o) {
  return wrapper_->get_Timebase(o);
}
HRESULT VexR7100Scope::get_Trigger(com::IDispatch** o) {
  return wrapper_->get_Trigger(o);
}
HRESULT VexR7100Scope::get_Trace(com::IDispatch** o) {
  return wrapper_->get_Trace(o);
}
HRESULT VexR7100Scope::get_Utilities(com::IDispatch** o) {
  return wrapper_->get_Utilities(o);
}
HRESULT VexR7100Scope::AutoScale() {
  return wrapper_->AutoScale();
}
HRESULT VexR7100Scope::Digitize() {
  return wrapper_->Digitize();
}
HRESULT VexR7100Scope::Enter(Variant* input_buffer, const Variant& format) {
  return wrapper_->Enter(input_buffer, format);
}
HRESULT VexR7100Scope::GetLogicData(std::int32_t points, Variant* time, Variant* data) {
  return wrapper_->GetLogicData(points, time, data);
}
HRESULT VexR7100Scope::GetScreenImage(const Variant& format, com::IDispatch** image) {
  return wrapper_->GetScreenImage(format, image);
}
HRESULT VexR7100Scope::GetWaveformData(std::int32_t channel, std::int32_t points, Variant* time,
                                       Variant* data) {
  return wrapper_->GetWaveformData(channel, points, time, data);
}
HRESULT VexR7100Scope::GetAllWaveformData(std::int32_t points, com::SafeArray* data) {
  return wrapper_->GetAllWaveformData(points, data);
}
HRESULT VexR7100Scope::Output(const Variant& output_buffer) {
  return wrapper_->Output(output_buffer);
}
HRESULT VexR7100Scope::ReadBytes(std::int32_t* count, com::SafeArray* buffer) {
  return wrapper_->ReadBytes(count, buffer);
}
HRESULT VexR7100Scope::Run() {
  return wrapper_->Run();
}
HRESULT VexR7100Scope::SaveScreenImage(const Bstr& file_name, const Variant& format) {
  return wrapper_->SaveScreenImage(file_name, format);
}
HRESULT VexR7100Scope::SingleTrigger() {
  return wrapper_->SingleTrigger();
}
HRESULT VexR7100Scope::StopTrigger() {
  return wrapper_->StopTrigger();
}
HRESULT VexR7100Scope::WriteBytes(std::int32_t count, const com::SafeArray& buffer) {
  return wrapper_->WriteBytes(count, buffer);
}

HRESULT VexR7100Scope::get_SupportMessageMode(std::int32_t* mode) {
  if (!mode) return com::E_POINTER;
  *mode = CDebug::ForThisThread().DebugMode();
  return com::S_OK;
}

HRESULT VexR7100Scope::put_SupportMessageMode(std::int32_t mode) {
  CDebug::ForThisThread().SetDebugMode(mode);
  return com::S_OK;
}

HRESULT VexR7100Scope::get_InstrumentConnected(VARIANT_BOOL* on) {
  return wrapper_->get_InstrumentConnected(on);
}

HRESULT VexR7100Scope::get_ResetOnInitialize(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(wrapper_->ResetOnInitialize());
  return com::S_OK;
}

HRESULT VexR7100Scope::put_ResetOnInitialize(VARIANT_BOOL on) {
  wrapper_->SetResetOnInitialize(on != 0);
  return com::S_OK;
}

HRESULT VexR7100Scope::get_CheckIDOnInitialize(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(wrapper_->CheckIDOnInitialize());
  return com::S_OK;
}

HRESULT VexR7100Scope::put_CheckIDOnInitialize(VARIANT_BOOL on) {
  wrapper_->SetCheckIDOnInitialize(on != 0);
  return com::S_OK;
}

HRESULT VexR7100Scope::get_AutomationServerAddress(Bstr* address) {
  if (!address) return com::E_POINTER;
  *address = Bstr(io_configuration_->AutomationServerAddress());
  return com::S_OK;
}

// ---- IPPVexR7100Scope -----------------------------------------------------

HRESULT VexR7100Scope::IOConfigurationChanged() {
  Notify("Address");
  Notify("SearchCriteria");
  return wrapper_->SetAutomationServerAddress(io_configuration_->AutomationServerAddress());
}

HRESULT VexR7100Scope::get_IOConfigurationControl(com::IUnknown** configuration) {
  if (!configuration) return com::E_POINTER;
  *configuration = io_configuration_->Identity();
  (*configuration)->AddRef();
  return com::S_OK;
}

HRESULT VexR7100Scope::get_IOConfigurationPropertyPage(com::IUnknown** configuration) {
  if (!configuration) return com::E_POINTER;
  if (!io_configuration_page_) io_configuration_page_ = com::MakeObject<CIOconfiguration>();
  *configuration = io_configuration_page_->Identity();
  (*configuration)->AddRef();
  return com::S_OK;
}

HRESULT VexR7100Scope::get_NotifyIOConfigurationChanged(std::int32_t* mask) {
  if (!mask) return com::E_POINTER;
  *mask = notify_io_configuration_changed_;
  return com::S_OK;
}

HRESULT VexR7100Scope::put_NotifyIOConfigurationChanged(std::int32_t mask) {
  notify_io_configuration_changed_ = mask;
  return com::S_OK;
}

HRESULT VexR7100Scope::SetFlag(bool* field, VARIANT_BOOL on, std::string_view name) {
  const bool value = on != 0;
  if (*field == value) return com::S_OK;
  *field = value;
  Notify(name);
  return com::S_OK;
}

#define VEX_PAGE_FLAG(Name, field)                         \
  HRESULT VexR7100Scope::get_##Name(VARIANT_BOOL* on) {    \
    if (!on) return com::E_POINTER;                        \
    *on = com::ToVariantBool(field);                       \
    return com::S_OK;                                      \
  }                                                        \
  HRESULT VexR7100Scope::put_##Name(VARIANT_BOOL on) {     \
    return SetFlag(&field, on, "IPPVexR7100Scope_" #Name); \
  }

VEX_PAGE_FLAG(DontShowIOHandshakeWarning, dont_show_io_handshake_warning_)
VEX_PAGE_FLAG(SearchIOExists, page_present_[0])
VEX_PAGE_FLAG(SearchCriteriaExists, page_present_[1])
VEX_PAGE_FLAG(SetIOExists, page_present_[2])
VEX_PAGE_FLAG(SetupsExists, page_present_[3])
VEX_PAGE_FLAG(InitialSearchMode, initial_search_mode_)
#undef VEX_PAGE_FLAG

HRESULT VexR7100Scope::get_ScreenCenterWidthInPixels(std::int32_t* pixels) {
  if (!pixels) return com::E_POINTER;
  const ui::ScreenMetrics metrics = ControlToolkit().Metrics();
  const double tpp = metrics.TwipsPerPixel();
  *pixels = static_cast<std::int32_t>(std::lround(metrics.pixels.width * tpp / (2 * tpp)));
  return com::S_OK;
}

HRESULT VexR7100Scope::get_ScreenCenterHeightInPixels(std::int32_t* pixels) {
  if (!pixels) return com::E_POINTER;
  const ui::ScreenMetrics metrics = ControlToolkit().Metrics();
  const double tpp = metrics.TwipsPerPixel();
  *pixels = static_cast<std::int32_t>(std::lround(metrics.pixels.height * tpp / (2 * tpp)));
  return com::S_OK;
}

HRESULT VexR7100Scope::get_CenterPropertyPages(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(center_property_pages_);
  return com::S_OK;
}

HRESULT VexR7100Scope::put_CenterPropertyPages(VARIANT_BOOL on) {
  center_property_pages_ = on != 0;
  return com::S_OK;
}

HRESULT VexR7100Scope::get_LastIOHandshakeAddress(Bstr* address) {
  if (!address) return com::E_POINTER;
  *address = Bstr(last_io_handshake_address_);
  return com::S_OK;
}

HRESULT VexR7100Scope::put_LastIOHandshakeAddress(const Bstr& address) {
  if (address.View() == last_io_handshake_address_) return com::S_OK;
  last_io_handshake_address_ = address.Str();
  Notify("IPPVexR7100Scope_LastIOHandshakeAddress");
  return com::S_OK;
}

HRESULT VexR7100Scope::get_DontShowSetupIOConfigurationWarning(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(dont_show_setup_io_warning_);
  return com::S_OK;
}

HRESULT VexR7100Scope::put_DontShowSetupIOConfigurationWarning(VARIANT_BOOL on) {
  if ((on != 0) == dont_show_setup_io_warning_) return com::S_OK;
  dont_show_setup_io_warning_ = on != 0;
  Notify("DontShowSetupIOConfigurationWarning");
  return com::S_OK;
}

HRESULT VexR7100Scope::ConfirmSetupIOConfiguration(VARIANT_BOOL* proceed) {
  if (!proceed) return com::E_POINTER;
  ScopePageLink link(static_cast<com::IDispatch*>(this), wrapper_.Get());
  bool go = true;
  const HRESULT hr = IsSetupHandshakeOK(ControlToolkit(), Owner(), link, &go);
  *proceed = com::ToVariantBool(go);
  return hr;
}

HRESULT VexR7100Scope::get_DTROnly(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(io_configuration_->DTROnly());
  return com::S_OK;
}

HRESULT VexR7100Scope::put_DTROnly(VARIANT_BOOL on) {
  if ((on != 0) == io_configuration_->DTROnly()) return com::S_OK;
  io_configuration_->SetDTROnly(on != 0);
  Notify("IPPVexR7100Scope_DTROnly");
  return com::S_OK;
}

std::pair<std::int32_t, std::int32_t> VexR7100Scope::FixedExtentTwips(double twips_per_pixel) {
  return {static_cast<std::int32_t>(std::lround(kWidthPixels * twips_per_pixel)),
          static_cast<std::int32_t>(std::lround(kHeightPixels * twips_per_pixel))};
}

// ---- Notifications --------------------------------------------------------

void VexR7100Scope::InstrumentID(const std::string& id) {
  if (id != io_configuration_->InstrumentID()) (void)put_AddressInstrumentID(Bstr(id));
}

void VexR7100Scope::SupportMessage(const std::string& text) {
  const Variant args[] = {Variant(text)};
  (void)events_->FireByName("SupportMessage", args);
  com::SetErrorInfo(0, nullptr);
}

}  // namespace vex::control
