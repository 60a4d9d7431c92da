// The desktop panel (`vexscope panel`): a window that hosts the scope
// control in running mode and gives a person without a script its everyday
// uses. Qt-free: it builds its form through ui::Toolkit, so tests drive it
// on the headless toolkit and people see it on the Qt one.
//
//   - a status line: the address and the connected instrument (model,
//     serial number, firmware) or the connection error;
//   - Run, Stop, Single, AutoScale, Digitize (which also reads the data);
//   - a plot of every enabled channel, refreshed on demand (Refresh) and,
//     when ticked, every N seconds;
//   - the automatic measurements of every enabled channel (the rows of
//     `vexscope demo`);
//   - the control's setups (PanelSetups);
//   - Save as CSV... (the `waveforms --csv` format), Screen... (any image
//     format), Properties... (the four property pages), About.
//
// Threads: the control lives on the UI thread and is called directly; while
// it waits for the instrument the toolkit runs pending events, so timers
// fire and the window paints, but the user's input waits, except for the
// Cancel button. A busy flag keeps a timer from starting a call while one
// runs; Cancel stops a reading between channels or measurements. Every
// failure is shown in a critical box centred over the panel, titled and
// worded with the control's error texts, and the panel goes on.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "panel_setups.h"
#include "panel_texts.h"
#include "vex/com/com_ptr.h"
#include "vex/com/dispatch.h"
#include "vex/ui/toolkit.h"
#include "waveform_data.h"

namespace vex::scope {

class PanelPresenter {
 public:
  // `after_pages` runs after the property pages closed (the host saves its
  // state there when they applied a change).
  PanelPresenter(ui::Toolkit& toolkit, com::IDispatch* control,
                 std::function<void()> after_pages = {});
  ~PanelPresenter();
  PanelPresenter(const PanelPresenter&) = delete;
  PanelPresenter& operator=(const PanelPresenter&) = delete;

  // Shows the panel until the user closes it; it connects once it is up.
  int Show();

  // The actions, as the buttons run them.
  void Connect();
  void Run();
  void Stop();
  void Single();
  void AutoScale();
  void Digitize();
  void Refresh();
  void SaveCsv();
  void SaveScreen();
  void Properties();
  void About();
  void CancelOperation() { cancel_ = true; }

  ui::Form& Form() const { return *form_; }
  PanelSetups& Setups() const { return *setups_; }
  const PanelTexts& Texts() const { return texts_; }
  bool Busy() const { return busy_; }
  // The data of the last reading: time and one column per enabled channel.
  const WaveformSet& Data() const { return data_; }

 private:
  // Runs a key's action, naming it in the error box of a failure.
  void RunAction(const std::string& caption, void (PanelPresenter::*act)());
  // Places the widgets for a client size of the window.
  void Layout(ui::Size size);
  // A save dialog's path with the suffix of the type chosen in it; nothing
  // when cancelled. Throws PanelFailure for a suffix of another type.
  std::optional<std::string> ChooseSavePath(const ui::FileDialogRequest& request);
  void Build();
  // Runs an action under the busy flag with its progress; a failure shows
  // the error box titled `title` (empty: the failure's source, else the
  // control's error title).
  void Act(const std::string& title, bool cancellable, const std::function<void()>& body);
  void Progress(const std::string& text, int value, int maximum);
  bool Cancelled() const { return cancel_; }
  void ShowStatus();
  void ReadChannels();
  void Measure();
  void OnAutoRefreshTimer();
  void UpdateAutoRefresh();

  ui::Toolkit& toolkit_;
  com::ComPtr<com::IDispatch> control_;
  std::function<void()> after_pages_;
  PanelTexts texts_;
  std::unique_ptr<ui::Form> form_;
  std::unique_ptr<PanelSetups> setups_;
  std::unique_ptr<ui::Timer> auto_refresh_;
  std::unique_ptr<ui::Timer> start_;
  ui::Label* status_ = nullptr;
  ui::Label* run_state_ = nullptr;
  ui::Plot* plot_ = nullptr;
  ui::ListView* measurements_ = nullptr;
  ui::CheckBox* auto_refresh_box_ = nullptr;
  ui::Combo* auto_refresh_seconds_ = nullptr;
  ui::ProgressBar* progress_ = nullptr;
  ui::Label* progress_text_ = nullptr;
  ui::Button* cancel_button_ = nullptr;
  std::vector<ui::Widget*> action_widgets_;
  // Every widget with the place it has at the window's minimum size.
  std::vector<std::pair<ui::Widget*, ui::Rect>> layout_;
  WaveformSet data_;
  std::string connection_error_;
  // The action a key started, while it runs.
  std::string action_;
  bool busy_ = false;
  bool cancel_ = false;
};

}  // namespace vex::scope
