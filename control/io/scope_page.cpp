#include "scope_page.h"

#include <exception>

#include "cdebug.h"
#include "msg_box_auto_center.h"
#include "vex/com/error_info.h"
#include "vexr7100_localization.h"

namespace vex::control {

std::string PageText(std::int32_t id) {
  return VexR7100Localization::TextOrEmpty(id);
}

HRESULT CallByName(com::IDispatch* object, std::string_view name, com::MemberAction action,
                   std::vector<com::MemberArgument> args, com::Variant* out) {
  if (!object) return com::ReportRichError(com::E_POINTER, "The control has no such object.");
  com::MemberCallResult result;
  com::MemberCallIssue issue;
  const HRESULT hr =
      com::CallMember(object, name, action, std::move(args), nullptr, &result, &issue);
  if (com::FAILED(hr)) {
    if (!issue.message.empty()) (void)com::ReportRichError(hr, issue.message);
    return hr;
  }
  if (out && result.retval) *out = result.retval->value;
  return com::S_OK;
}

HRESULT ScopePage::Guard(const std::function<HRESULT()>& handler) {
  HRESULT hr = com::S_OK;
  try {
    hr = handler();
  } catch (const std::exception& e) {
    hr = com::ReportRichError(com::E_FAIL, e.what());
  }
  if (com::FAILED(hr) && hr != com::E_ABORT) ShowError(hr);
  return hr;
}

void ScopePage::ShowError(HRESULT hr) {
  std::string text = com::TakeErrorDetails().description.Str();
  if (text.empty())
    text = com::HresultText(hr).empty() ? com::HresultName(hr) : com::HresultText(hr);
  MsgBoxCentered(toolkit_, Handle(), text, ui::mb::kCritical | ui::mb::kForeground,
                 PageText(error_title_id_));
}

bool ScopePage::RefreshPending() {
  const std::int32_t mask =
      mask_before_apply_ >= 0 ? mask_before_apply_ : scope_.NotifyIOConfigurationChanged();
  mask_before_apply_ = -1;
  return (mask & scope_.AliveMask()) != 0;
}

HRESULT ScopePage::NotifyOtherPages() {
  const HRESULT hr = scope_.IOConfigurationChanged();
  if (com::FAILED(hr)) return hr;
  const std::int32_t mask = scope_.AliveMask() & ~bit_;
  scope_.SetNotifyIOConfigurationChanged(mask);
  CDebug::ForThisThread().Trace("ipp.NotifyIOConfigurationChanged = " + std::to_string(mask),
                                "PropertyPage", "PropertyPage_ApplyChanges", "");
  return com::S_OK;
}

HRESULT ScopePage::PollNotification(const std::function<HRESULT()>& refresh) {
  const std::int32_t mask = scope_.NotifyIOConfigurationChanged();
  const bool in_range = mask >= 0 && mask <= page_bit::kLargestMaskValue;
  CDebug::ForThisThread().Assert(in_range, "(lMaskValue >= 0 And lMaskValue <= LARGEST_MASK_VALUE)",
                                 "PropertyPage", "TimerIdleProcessing_Timer", "");
  if (!in_range || (mask & bit_) == 0) return com::S_OK;
  scope_.SetNotifyIOConfigurationChanged(mask & ~bit_);
  return refresh();
}

void ScopePage::ApplyControlFont() {
  const std::string name = scope_.FontName();
  if (!name.empty() && PageForm()) PageForm()->SetFont(name, scope_.FontSize());
}

void ScopePage::CenterWhenAsked() {
  if (scope_.CenterPropertyPages() && Handle() != 0) CenterPropertyPage(toolkit_, Handle());
}

HRESULT ScopePage::TakeSharedConfiguration(CIOconfiguration** configuration) {
  constexpr std::int32_t kIoPageBits =
      page_bit::kSearchIO | page_bit::kSearchCriteria | page_bit::kSetIO;
  const bool shared = (scope_.AliveMask() & kIoPageBits & ~bit_) != 0;
  *configuration = scope_.IOConfigurationPropertyPage();
  if (!*configuration) return com::E_POINTER;
  if (shared) return com::S_OK;
  return (*configuration)->Copy(*scope_.IOConfigurationControl());
}

}  // namespace vex::control
