// The Qt 6 Widgets toolkit. Needs a QApplication on the calling (UI)
// thread. Window handles are the addresses of the QWidgets behind them;
// a handle that names no live widget is treated as no window.
#pragma once

#include "vex/ui/toolkit.h"

namespace vex::ui {

class QtToolkit : public Toolkit {
 public:
  QtToolkit();
  ~QtToolkit() override;

  std::unique_ptr<Form> CreateForm(std::string name) override;
  std::unique_ptr<Timer> CreateTimer() override;
  int ShowMessageBox(WindowHandle owner, const MessageBoxRequest& request) override;
  com::HRESULT ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                              std::optional<std::string>* path,
                              int* filter_index = nullptr) override;
  void SetBusyCursor(bool busy) override;
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  ScreenMetrics Metrics() override;
  WindowHandle ParentWindow(WindowHandle window) override;
  std::optional<Rect> WindowRect(WindowHandle window) override;
  bool MoveWindow(WindowHandle window, Point top_left) override;
  int ShowPropertyFrame(WindowHandle owner, const std::string& caption,
                        const std::vector<PropertyPage*>& pages, int start_index) override;
  // QCoreApplication::processEvents without user input, on the
  // application's thread only.
  void ProcessPendingEvents() override;

 private:
  int busy_depth_ = 0;
};

}  // namespace vex::ui
