// The headless toolkit: everything a presenter shows is recorded, and the
// user's part is scripted. Tests queue the answers of message boxes, the
// choices of file dialogs and what the user does while a modal form or the
// property frame is up; timers run when the test advances the clock.
//
// A message box with no queued answer is closed with its first button; a
// file dialog with no queued choice is cancelled; a modal form or frame with
// no script (or whose script does not close it) is cancelled.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "vex/ui/toolkit.h"

namespace vex::ui {

class HeadlessToolkit : public Toolkit {
 public:
  struct ShownMessageBox {
    WindowHandle owner = 0;
    MessageBoxRequest request;
    Point position;  // where the box was placed
    int answer = 0;
  };
  struct ShownFileDialog {
    WindowHandle owner = 0;
    FileDialogRequest request;
  };

  HeadlessToolkit();
  ~HeadlessToolkit() override;

  // Toolkit
  std::unique_ptr<Form> CreateForm(std::string name) override;
  std::unique_ptr<Timer> CreateTimer() override;
  int ShowMessageBox(WindowHandle owner, const MessageBoxRequest& request) override;
  com::HRESULT ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                              std::optional<std::string>* path,
                              int* filter_index = nullptr) override;
  void SetBusyCursor(bool busy) override;
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override { return clipboard_; }
  ScreenMetrics Metrics() override { return metrics_override_.value_or(ScreenMetrics{}); }
  WindowHandle ParentWindow(WindowHandle window) override;
  std::optional<Rect> WindowRect(WindowHandle window) override;
  bool MoveWindow(WindowHandle window, Point top_left) override;
  int ShowPropertyFrame(WindowHandle owner, const std::string& caption,
                        const std::vector<PropertyPage*>& pages, int start_index) override;
  // Counts the calls and runs the test's hook, if any.
  void ProcessPendingEvents() override {
    ++pending_event_runs_;
    if (on_pending_events_) on_pending_events_();
  }

  // The script.
  void OnProcessPendingEvents(std::function<void()> hook) { on_pending_events_ = std::move(hook); }
  int PendingEventRuns() const { return pending_event_runs_; }
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  // The path the user picks, under the request's filter or the 1-based
  // `filter_index` given.
  void QueueFileChoice(std::optional<std::string> path, int filter_index = 0) {
    file_choices_.push_back(std::move(path));
    chosen_filters_.push_back(filter_index);
  }
  void QueueFileDialogFailure(com::HRESULT status) {
    file_choices_.push_back(status);
    chosen_filters_.push_back(0);
  }
  // Runs while the next modal form is shown; it may press buttons and keys,
  // and Close the form.
  void QueueModal(std::function<void(Form&)> script) {
    modal_scripts_.push_back(std::move(script));
  }
  // Runs while the next property frame is shown.
  void QueueFrame(std::function<void(PropertyFrame&)> script) {
    frame_scripts_.push_back(std::move(script));
  }

  // The record.
  const std::vector<ShownMessageBox>& MessageBoxes() const { return message_boxes_; }
  const std::vector<ShownFileDialog>& FileDialogs() const { return file_dialogs_; }
  // One line per thing shown, in order ("message box ...", "form ...",
  // "frame ...", "busy on", "clipboard ...").
  const std::vector<std::string>& Transcript() const { return transcript_; }
  int BusyDepth() const { return busy_depth_; }
  // Size given to message boxes for placing them.
  void SetMessageBoxSize(Size size) { box_size_ = size; }

  // A window of the test's own (an owner for boxes), and its rectangle.
  WindowHandle AddWindow(const Rect& rect, WindowHandle parent = 0);
  void RemoveWindow(WindowHandle window);

  // Advances the clock: every active timer fires once for each full
  // interval that passes (an interval of 0 fires once per call).
  void AdvanceTime(std::uint32_t milliseconds);
  // Fires every active timer once.
  void FireTimers();

  void Record(std::string line) { transcript_.push_back(std::move(line)); }

 private:
  int pending_event_runs_ = 0;
  std::function<void()> on_pending_events_;
  class HeadlessForm;
  class HeadlessTimer;
  class FrameHost;
  struct Window {
    WindowHandle parent = 0;
    Rect rect;
  };

  std::map<WindowHandle, Window> windows_;
  WindowHandle next_handle_ = 0x1000;
  std::vector<HeadlessTimer*> timers_;
  std::deque<int> answers_;
  std::deque<std::variant<std::optional<std::string>, com::HRESULT>> file_choices_;
  std::deque<int> chosen_filters_;
  std::deque<std::function<void(Form&)>> modal_scripts_;
  std::deque<std::function<void(PropertyFrame&)>> frame_scripts_;
  std::vector<ShownMessageBox> message_boxes_;
  std::vector<ShownFileDialog> file_dialogs_;
  std::vector<std::string> transcript_;
  std::string clipboard_;
  int busy_depth_ = 0;
  Size box_size_{320, 140};
};

}  // namespace vex::ui
