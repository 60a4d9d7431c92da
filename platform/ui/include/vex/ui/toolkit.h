// The user-interface toolkit as presenters see it: forms, timers, message
// boxes, file dialogs, the busy cursor, the clipboard, screen metrics,
// window placement and the property frame. Two implementations: the
// headless one for tests (headless_toolkit.h) and the Qt one for people
// (qt_toolkit.h, library vex::ui_qt).
//
// All calls belong to the UI thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vex/com/hresult.h"
#include "vex/ui/file_dialog.h"
#include "vex/ui/form.h"
#include "vex/ui/property_frame.h"
#include "vex/ui/types.h"

namespace vex::ui {

struct ScreenMetrics {
  Size pixels{1024, 768};
  double logical_dpi = 96;
  // Twips per pixel: 1440 / logical DPI (15 at 96 DPI).
  double TwipsPerPixel() const { return logical_dpi > 0 ? 1440.0 / logical_dpi : 15.0; }
  bool operator==(const ScreenMetrics&) const = default;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  virtual std::unique_ptr<Form> CreateForm(std::string name) = 0;
  virtual std::unique_ptr<Timer> CreateTimer() = 0;

  // Shows a message box centred over `owner` (on the screen when owner is
  // 0, or is not a window of this toolkit) and returns the answer.
  virtual int ShowMessageBox(WindowHandle owner, const MessageBoxRequest& request) = 0;

  // An open or save dialog. S_OK with the chosen path, or S_OK with none
  // when the user cancelled; a failure when the dialog could not be shown.
  // `filter_index`, when given, receives the filter (1-based) the user had
  // chosen. In a save dialog a name typed without a suffix takes the chosen
  // filter's extension (the request's default extension when that filter
  // takes every name).
  [[nodiscard]] virtual com::HRESULT ShowFileDialog(WindowHandle owner,
                                                    const FileDialogRequest& request,
                                                    std::optional<std::string>* path,
                                                    int* filter_index = nullptr) = 0;

  // The hourglass while long work runs; calls nest (on, on, off keeps it).
  virtual void SetBusyCursor(bool busy) = 0;

  virtual void SetClipboardText(const std::string& text) = 0;
  virtual std::string ClipboardText() = 0;

  // The screen's metrics, or the ones set for tests.
  virtual ScreenMetrics Metrics() = 0;
  void OverrideMetrics(std::optional<ScreenMetrics> metrics) {
    metrics_override_ = std::move(metrics);
  }

  // Window geometry: the parent of a window (0 for a top-level one or an
  // unknown handle), its outer rectangle on the screen, and moving it
  // without resizing, activating it or changing its stacking order.
  virtual WindowHandle ParentWindow(WindowHandle window) = 0;
  virtual std::optional<Rect> WindowRect(WindowHandle window) = 0;
  virtual bool MoveWindow(WindowHandle window, Point top_left) = 0;

  // Shows the pages in a modal frame titled `caption` over `owner`,
  // starting at page `start_index` (-1 the first); returns answer::kOk or
  // answer::kCancel. A page's form is a child of the frame's page area,
  // which is a child of the frame window.
  virtual int ShowPropertyFrame(WindowHandle owner, const std::string& caption,
                                const std::vector<PropertyPage*>& pages, int start_index) = 0;

  // Runs what is pending on the UI event loop: timers, painting, window
  // system events. The user's input reaches only the controls marked
  // SetUsableWhileWaiting (a Cancel button); elsewhere it is dropped, as on
  // a disabled window. Called while the UI thread waits for an instrument,
  // so that the window stays alive without a click reaching a control that
  // is in the middle of a call.
  virtual void ProcessPendingEvents() {}

 protected:
  std::optional<ScreenMetrics> metrics_override_;
};

// Busy cursor for the length of a scope.
class BusyCursor {
 public:
  explicit BusyCursor(Toolkit& toolkit) : toolkit_(toolkit) { toolkit_.SetBusyCursor(true); }
  ~BusyCursor() { toolkit_.SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Toolkit& toolkit_;
};

}  // namespace vex::ui
