#include "control_support.h"

#include <dlfcn.h>

#include <memory>

#include "vex/com/error_info.h"
#include "vex/com/wait_pump.h"
#include "vex/ui/headless_toolkit.h"
#include "vexr7100_localization.h"

namespace vex::control {
namespace {

ui::Toolkit* g_toolkit = nullptr;
std::string g_help_folder;
// The wait pump of the thread that installed the toolkit: while that thread
// waits for an instrument, the toolkit's pending events run.
std::unique_ptr<com::ScopedWaitPump> g_pump;

}  // namespace

std::string TextAt(std::int32_t offset, std::int32_t base_id) {
  const std::int32_t current = VexR7100Localization::Offset();
  VexR7100Localization::SetOffset(offset);
  std::string value = VexR7100Localization::TextOrEmpty(base_id);
  VexR7100Localization::SetOffset(current);
  return value;
}

ui::Toolkit& ControlToolkit() {
  if (g_toolkit) return *g_toolkit;
  // Without a host's toolkit the boxes are recorded, never shown: a host
  // without windows (the command line, a script) must not block on one.
  static ui::HeadlessToolkit* headless = new ui::HeadlessToolkit();
  return *headless;
}

void SetControlToolkit(ui::Toolkit* toolkit) {
  g_pump.reset();
  g_toolkit = toolkit;
  if (toolkit)
    g_pump = std::make_unique<com::ScopedWaitPump>([] {
      if (g_toolkit) g_toolkit->ProcessPendingEvents();
    });
}

std::string HelpFolder() {
  if (!g_help_folder.empty()) return g_help_folder;
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&HelpFolder), &info) == 0 || !info.dli_fname)
    return "Help";
  std::string path = info.dli_fname;
  const auto slash = path.rfind('/');
  return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/Help";
}

void SetHelpFolder(std::string folder) {
  g_help_folder = std::move(folder);
}

std::string HelpFilePath() {
  return HelpFolder() + "/" + kHelpFileName;
}

com::HRESULT RaiseControlError(com::HRESULT status, std::string_view description,
                               std::int32_t help_context) {
  com::ErrorDetails details;
  details.description = com::Bstr(description);
  details.source = com::Bstr(VexR7100Localization::TextOrEmpty(text::kErrorSource));
  details.help_file = com::Bstr(HelpFilePath());
  details.help_context = static_cast<std::uint32_t>(help_context);
  return com::ReportRichError(status, details);
}

}  // namespace vex::control
