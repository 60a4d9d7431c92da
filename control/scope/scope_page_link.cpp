#include "scope_page_link.h"

#include "cdebug.h"
#include "scope_page.h"
#include "vex/com/error_info.h"

namespace vex::control {

namespace {
constexpr const char* kModule = "ScopePageLink";
}  // namespace

const char* ScopePageLink::PageFlag(std::int32_t bit) {
  switch (bit) {
    case page_bit::kSearchIO:
      return "SearchIOExists";
    case page_bit::kSearchCriteria:
      return "SearchCriteriaExists";
    case page_bit::kSetIO:
      return "SetIOExists";
    default:
      return "SetupsExists";
  }
}

com::Variant ScopePageLink::Get(std::string_view name) {
  com::Variant value;
  if (com::FAILED(CallByName(control_.Get(), name, com::MemberAction::kGet, {}, &value))) {
    CDebug::ForThisThread().Assert(false, "(Get " + std::string(name) + ")", kModule, "Get", "");
    com::SetErrorInfo(0, nullptr);
  }
  return value;
}

bool ScopePageLink::GetBool(std::string_view name) {
  VARIANT_BOOL on = com::VARIANT_FALSE;
  return com::SUCCEEDED(Get(name).ToBool(&on)) && on != com::VARIANT_FALSE;
}

std::int32_t ScopePageLink::GetI4(std::string_view name) {
  std::int32_t value = 0;
  return com::SUCCEEDED(Get(name).ToI4(&value)) ? value : 0;
}

std::string ScopePageLink::GetText(std::string_view name) {
  Bstr text;
  return com::SUCCEEDED(Get(name).ToBstr(&text)) ? text.Str() : std::string();
}

HRESULT ScopePageLink::Set(std::string_view name, com::Variant value) {
  const HRESULT hr =
      CallByName(control_.Get(), name, com::MemberAction::kSet, {std::move(value)}, nullptr);
  if (com::FAILED(hr)) {
    CDebug::ForThisThread().Assert(false, "(Let " + std::string(name) + ")", kModule, "Set", "");
  }
  return hr;
}

HRESULT ScopePageLink::IOConfigurationChanged() {
  return CallByName(control_.Get(), "IOConfigurationChanged", com::MemberAction::kCall, {},
                    nullptr);
}

CIOconfiguration* ScopePageLink::Configuration(std::string_view name,
                                               com::ComPtr<IIOConfiguration>* held) {
  if (!*held) {
    const com::Variant value = Get(name);
    com::IUnknown* unknown = value.Unknown();
    if (!unknown || com::FAILED(com::ComPtr<com::IUnknown>(unknown).As(held))) return nullptr;
  }
  // The control's configurations are objects of this library.
  return static_cast<CIOconfiguration*>(held->Get());
}

CIOconfiguration* ScopePageLink::IOConfigurationControl() {
  return Configuration("IOConfigurationControl", &control_configuration_);
}

CIOconfiguration* ScopePageLink::IOConfigurationPropertyPage() {
  return Configuration("IOConfigurationPropertyPage", &page_configuration_);
}

com::IUnknown* ScopePageLink::IOManager() {
  if (!io_manager_) {
    const com::Variant value = Get("IOManager");
    io_manager_ = value.Dispatch();
  }
  return io_manager_.Get();
}

HRESULT ScopePageLink::SetAddress(const std::string& address) {
  return Set("Address", com::Variant(address));
}

CSetupsVexR7100Scope* ScopePageLink::Setups() {
  if (!setups_) {
    const com::Variant value = Get("Setups");
    com::IDispatch* dispatch = value.Dispatch();
    if (!dispatch || com::FAILED(com::ComPtr<com::IDispatch>(dispatch).As(&setups_)))
      return nullptr;
  }
  return static_cast<CSetupsVexR7100Scope*>(setups_.Get());
}

}  // namespace vex::control
