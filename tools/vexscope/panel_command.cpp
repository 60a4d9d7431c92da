#include "panel_command.h"

#include <cstdlib>
#include <ostream>

#include "pages_command.h"
#include "server_registration.h"
#include "tool_errors.h"

#ifdef VEXSCOPE_HAVE_PAGES
#include <QApplication>

#include "panel_presenter.h"
#include "vex/com/control_site.h"
#include "vex/control/scope_control.h"
#include "vex/ui/qt_toolkit.h"
#endif

namespace vex::scope {

int RunPanelCommand(StateFile& state, std::ostream& err) {
#ifndef VEXSCOPE_HAVE_PAGES
  (void)state;
  err << "vexscope: panel needs the scope control and Qt, which this build lacks" << std::endl;
  return 1;
#else
  const bool display =
      std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
  if (!display) {
    err << "vexscope: panel needs a display (DISPLAY or WAYLAND_DISPLAY)" << std::endl;
    return 1;
  }
  static int argc = 1;
  static char name[] = "vexscope";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  ui::QtToolkit toolkit;
  Vex9100SetToolkit(&toolkit);
  int status = 0;
  {
    EnsureServersRegistered(ProgramFolder() + "/../lib");
    auto site = com::MakeObject<com::ControlSite>(true);
    com::ComPtr<com::IDispatch> control;
    const com::HRESULT hr = com::HostControl(control::kScopeControlProgID, site.Get(),
                                             state.IsSaved() ? state.Bag() : nullptr, &control);
    if (com::FAILED(hr)) {
      err << ErrorLine(TakeAutomationError(hr)) << std::endl;
      status = 1;
    } else {
      const auto save = [&] {
        try {
          SaveHostedControl(state, control.Get());
        } catch (const AutomationError& e) {
          err << ErrorLine(e) << std::endl;
          status = 1;
        }
      };
      {
        PanelPresenter panel(toolkit, control.Get(), [&] {
          if (PagesApplied(site->Changes())) save();
          site->ClearChanges();
        });
        site->ClearChanges();
        panel.Show();
      }
      // The connection closes before the state is written.
      (void)com::CallMethod(control.Get(), "CloseConnection", {}, nullptr);
      save();
    }
  }
  Vex9100SetToolkit(nullptr);
  return status;
#endif
}

}  // namespace vex::scope
