// ScopePage: what the control's four property pages share. Each page is a
// presenter on the UI layer's forms; this base keeps the toolkit and the
// control, runs every event handler under one guard (a failure is shown in
// a centred critical box titled with the page's error text, never passed
// on to the host's event loop), and judges "a refresh is still pending"
// against the notification mask as it was before the frame's apply pass,
// so that one page's apply does not make the later pages skip theirs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ipp_vexr7100_scope.h"
#include "vex/com/member_call.h"
#include "vex/ui/property_frame.h"
#include "vex/ui/toolkit.h"

namespace vex::control {

class ScopePage : public ui::PropertyPage {
 public:
  // Every page's size in pixels; the frame grows to hold it.
  static constexpr int kPageWidth = 480;
  static constexpr int kPageHeight = 326;

  // `error_title_id`: the text that titles the page's error boxes; `bit`:
  // the page's bit in the notification mask.
  ScopePage(ui::Toolkit& toolkit, IPPVexR7100Scope& scope, std::int32_t error_title_id,
            std::int32_t bit)
      : toolkit_(toolkit), scope_(scope), error_title_id_(error_title_id), bit_(bit) {}

  void BeforeApplyPass() override { mask_before_apply_ = scope_.NotifyIOConfigurationChanged(); }

  // Runs a handler; a failed status (or a throw) is shown in the page's
  // error box. Returns the status.
  HRESULT Guard(const std::function<HRESULT()>& handler);
  // Shows the current error of this thread (the description of `hr` when
  // there is none) in the page's error box.
  void ShowError(HRESULT hr);

  ui::WindowHandle Handle() const { return PageForm() ? PageForm()->Handle() : 0; }

 protected:
  // Whether another page's refresh is still pending: a bit of a live page
  // in the mask as it stood before this apply pass (or now, outside one).
  bool RefreshPending();
  // Sets the bits of the other live pages and tells the control that the
  // configuration changed.
  HRESULT NotifyOtherPages();
  // The idle timer's poll: when this page's bit is set, `refresh` runs and
  // the bit is cleared.
  HRESULT PollNotification(const std::function<HRESULT()>& refresh);
  // The page-side I/O configuration, shared by the three I/O pages: filled
  // from the control's only when no other I/O page holds it yet, so that
  // unapplied edits on another page survive. E_POINTER when there is none.
  HRESULT TakeSharedConfiguration(CIOconfiguration** configuration);
  // The control's font on every control of the form (when it has a name).
  void ApplyControlFont();
  // Centres the frame on the screen while the control asks for it.
  void CenterWhenAsked();

  ui::Toolkit& toolkit_;
  IPPVexR7100Scope& scope_;
  std::int32_t error_title_id_;
  std::int32_t bit_;
  std::int32_t mask_before_apply_ = -1;
};

// A text of the string tables in this thread's language.
std::string PageText(std::int32_t id);

// Calls a member of a late-bound object by name; `out` (may be null) takes
// the value a get or a call gives.
HRESULT CallByName(com::IDispatch* object, std::string_view name, com::MemberAction action,
                   std::vector<com::MemberArgument> args, com::Variant* out);

}  // namespace vex::control
