#include "pages_command.h"

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <vector>

#include "control_state.h"
#include "server_registration.h"
#include "tool_errors.h"

#ifdef VEXSCOPE_HAVE_PAGES
#include <QApplication>

#include "vex/com/control_site.h"
#include "vex/control/scope_control.h"
#include "vex/ui/qt_toolkit.h"
#endif

namespace vex::scope {

std::optional<int> PagesValue(const std::string& page) {
  if (page.empty()) return 0;
  if (page == "setups") return 1;
  if (page == "search") return 2;
  if (page == "setio") return 3;
  return std::nullopt;
}

std::string DefaultControlStatePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config && *config) {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home ? home : ".") + "/.config";
  }
  return folder + "/vexscope/control.json";
}

bool PagesApplied(const std::vector<std::string>& changes) {
  for (const std::string& name : changes)
    if (!name.ends_with("Exists")) return true;
  return false;
}

void SaveHostedControl(StateFile& state, com::IDispatch* control) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(state.Path()).parent_path(), ignored);
  SaveControlState(state, control);
}

int RunHostedOnQt(StateFile& state, const char* command, std::ostream& err, const HostedRun& run) {
#ifndef VEXSCOPE_HAVE_PAGES
  (void)state;
  (void)run;
  err << "vexscope: " << command << " needs the scope control and Qt, which this build lacks"
      << std::endl;
  return 1;
#else
  const bool display =
      std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
  if (!display) {
    err << "vexscope: " << command << " needs a display (DISPLAY or WAYLAND_DISPLAY)" << std::endl;
    return 1;
  }
  static int argc = 1;
  static char name[] = "vexscope";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  ui::QtToolkit toolkit;
  Vex9100SetToolkit(&toolkit);
  int status = 1;
  {
    EnsureServersRegistered(ProgramFolder() + "/../lib");
    auto site = com::MakeObject<com::ControlSite>(true);
    com::ComPtr<com::IDispatch> control;
    const com::HRESULT hr = com::HostControl(control::kScopeControlProgID, site.Get(),
                                             state.IsSaved() ? state.Bag() : nullptr, &control);
    if (com::FAILED(hr))
      err << ErrorLine(TakeAutomationError(hr)) << std::endl;
    else
      status = run(toolkit, *site.Get(), control.Get());
  }
  Vex9100SetToolkit(nullptr);
  return status;
#endif
}

int RunPagesCommand(StateFile& state, int pages, std::ostream& err) {
  return RunHostedOnQt(
      state, "pages", err, [&](ui::Toolkit&, com::ControlSite& site, com::IDispatch* control) {
        // Reading the setups marks the state dirty once; what counts is what
        // OK or Apply change after that.
        com::Variant setups;
        (void)com::GetProperty(control, "Setups", &setups);
        site.ClearChanges();
        const com::HRESULT hr =
            com::CallMethod(control, "ShowPropertyPages", {com::Variant(pages)}, nullptr);
        if (com::FAILED(hr)) {
          err << ErrorLine(TakeAutomationError(hr)) << std::endl;
          return 1;
        }
        if (!PagesApplied(site.Changes())) return 0;
        try {
          SaveHostedControl(state, control);
        } catch (const AutomationError& e) {
          err << ErrorLine(e) << std::endl;
          return 1;
        }
        return 0;
      });
}

}  // namespace vex::scope
