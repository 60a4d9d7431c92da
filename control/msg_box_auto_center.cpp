#include "msg_box_auto_center.h"

#include "cdebug.h"
#include "vex/ui/placement.h"

namespace vex::control {
namespace {

constexpr const char* kModule = "Vex9100CtrlLib::MsgBoxAutoCenter";

}  // namespace

int MsgBoxCentered(ui::Toolkit& toolkit, ui::WindowHandle parent, std::string_view prompt,
                   std::uint32_t flags, std::string_view title,
                   std::optional<std::string> help_file, std::optional<std::int32_t> help_context) {
  CDebug::ForThisThread().Assert(parent != 0, "m_hwndParent <> 0", kModule, "MsgBoxCentered", "");
  ui::MessageBoxRequest request;
  request.title = std::string(title);
  request.text = std::string(prompt);
  request.flags = flags;
  // The help file and context only go with the box when both are given.
  if (help_file && help_context) {
    request.help_file = *help_file;
    request.help_context = *help_context;
  }
  return toolkit.ShowMessageBox(parent, request);
}

void CenterPropertyPage(ui::Toolkit& toolkit, ui::WindowHandle property_page) {
  CDebug& debug = CDebug::ForThisThread();
  const ui::WindowHandle parent = property_page ? toolkit.ParentWindow(property_page) : 0;
  const ui::WindowHandle frame = parent ? toolkit.ParentWindow(parent) : 0;
  debug.Assert(property_page > 0, "hwndPropertyPage > 0", kModule, "CenterPropertyPage", "");
  debug.Assert(parent > 0, "hwndParent > 0", kModule, "CenterPropertyPage", "");
  debug.Assert(frame > 0, "hwndPPFrame > 0", kModule, "CenterPropertyPage", "");
  if (frame == 0) return;
  const auto rect = toolkit.WindowRect(frame);
  if (!rect) return;
  const ui::Point at = ui::CenterOnScreen({rect->width, rect->height}, toolkit.Metrics().pixels);
  toolkit.MoveWindow(frame, at);
}

}  // namespace vex::control
