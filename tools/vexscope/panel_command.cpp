#include "panel_command.h"

#include <ostream>

#include "address_check.h"
#include "pages_command.h"
#include "tool_errors.h"

#ifdef VEXSCOPE_HAVE_PAGES
#include "panel_presenter.h"
#include "vex/com/control_site.h"
#endif

namespace vex::scope {

int RunPanelCommand(StateFile& state, const std::optional<std::string>& address,
                    std::ostream& err) {
  // A bad -a fails before any window opens.
  if (address) {
    try {
      CheckAddress(*address);
    } catch (const AutomationError& e) {
      err << ErrorLine(e) << std::endl;
      return 1;
    }
  }
#ifndef VEXSCOPE_HAVE_PAGES
  (void)address;
  return RunHostedOnQt(state, "panel", err, {});
#else
  return RunHostedOnQt(state, "panel", err,
                       [&](ui::Toolkit& toolkit, com::ControlSite& site, com::IDispatch* control) {
                         int status = 0;
                         if (address) {
                           const com::HRESULT hr =
                               com::PutProperty(control, "Address", com::Variant(*address));
                           if (com::FAILED(hr)) {
                             err << ErrorLine(TakeAutomationError(hr)) << std::endl;
                             return 1;
                           }
                         }
                         const auto save = [&] {
                           try {
                             SaveHostedControl(state, control);
                           } catch (const AutomationError& e) {
                             err << ErrorLine(e) << std::endl;
                             status = 1;
                           }
                         };
                         {
                           PanelPresenter panel(toolkit, control, [&] {
                             if (PagesApplied(site.Changes())) save();
                             site.ClearChanges();
                           });
                           site.ClearChanges();
                           panel.Show();
                         }
                         // The connection closes before the state is written.
                         (void)com::CallMethod(control, "CloseConnection", {}, nullptr);
                         save();
                         return status;
                       });
#endif
}

}  // namespace vex::scope
