#include "pages_command.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <vector>

#include "control_state.h"
#include "server_registration.h"
#include "tool_errors.h"

#ifdef VEXSCOPE_HAVE_PAGES
#include <dlfcn.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "vex/com/class_registry.h"
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

#ifdef VEXSCOPE_HAVE_PAGES
namespace {

// SIGINT (Ctrl+C in the terminal), SIGTERM and SIGHUP close the windows as
// the user would, so the state is saved on the way out: the handler only
// writes a byte, which the event loop reads.
int g_signal_pipe[2] = {-1, -1};

extern "C" void OnCloseSignal(int) {
  const char byte = 1;
  const int saved = errno;
  (void)!::write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}

class CloseOnSignal {
 public:
  CloseOnSignal() {
    if (g_signal_pipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signal_pipe) != 0)
      return;
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    // Windows shown after the signal (a box still opening) are closed too.
    closing_.setInterval(100);
    QObject::connect(&closing_, &QTimer::timeout, [] { QApplication::closeAllWindows(); });
    notifier_ = std::make_unique<QSocketNotifier>(g_signal_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
      char bytes[16];
      while (::read(g_signal_pipe[0], bytes, sizeof bytes) > 0) {
      }
      closing_.start();
      QApplication::closeAllWindows();
    });
  }
  ~CloseOnSignal() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal, SIG_DFL);
  }
  CloseOnSignal(const CloseOnSignal&) = delete;
  CloseOnSignal& operator=(const CloseOnSignal&) = delete;

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer closing_;
};

// The control comes from the control library this program links, the one
// whose toolkit it sets, registered for this process ahead of whatever
// library the class registry names: a second copy of the library in the
// process (another build or install registered earlier) would have a
// toolkit of its own, and an older one a different idea of the toolkit.
class LinkedControlClass {
 public:
  LinkedControlClass() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&Vex9100SetToolkit), &info) == 0 || !info.dli_fname)
      return;
    void* library = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (!library) return;
    using GetClassObject = com::HRESULT(const com::CLSID*, const com::IID*, void**);
    auto* get = reinterpret_cast<GetClassObject*>(::dlsym(library, "DllGetClassObject"));
    com::ComPtr<com::IClassFactory> factory;
    if (get && com::SUCCEEDED(get(&control::kScopeControlClsid, &com::IClassFactory::kIid,
                                  reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf())))) {
      com::ClassRegistration entry;
      entry.clsid = control::kScopeControlClsid;
      entry.prog_id = control::kScopeControlProgIDVersion;
      entry.version_independent_prog_id = control::kScopeControlProgID;
      entry.library = info.dli_fname;
      if (com::FAILED(com::RegisterClassObject(entry, factory.Get(), &cookie_))) cookie_ = 0;
    }
    ::dlclose(library);
  }
  ~LinkedControlClass() {
    if (cookie_ != 0) (void)com::RevokeClassObject(cookie_);
  }
  LinkedControlClass(const LinkedControlClass&) = delete;
  LinkedControlClass& operator=(const LinkedControlClass&) = delete;

 private:
  std::uint32_t cookie_ = 0;
};

}  // namespace
#endif

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
  CloseOnSignal close_on_signal;
  ui::QtToolkit toolkit;
  Vex9100SetToolkit(&toolkit);
  int status = 1;
  try {
    EnsureServersRegistered(ProgramFolder() + "/../lib");
    LinkedControlClass linked;
    auto site = com::MakeObject<com::ControlSite>(true);
    com::ComPtr<com::IDispatch> control;
    const com::HRESULT hr =
        com::HostControl(control::kScopeControlProgID, site.Get(),
                         state.IsSaved() ? state.Bag() : nullptr, &control, state.Warnings());
    if (com::FAILED(hr))
      err << ErrorLine(TakeAutomationError(hr)) << std::endl;
    else
      status = run(toolkit, *site.Get(), control.Get());
  } catch (const AutomationError& e) {
    err << ErrorLine(e) << std::endl;
    status = 1;
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
