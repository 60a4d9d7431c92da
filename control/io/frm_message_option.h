// FrmMessageOption: a small modal dialog with a message, an icon, an option
// box ("Do not show this message again") and either OK alone or Continue
// and Cancel. The message label grows with its text and the buttons sit
// below it. Closing the window acts as OK.
#pragma once

#include <memory>
#include <string>

#include "vex/ui/toolkit.h"

namespace vex::control {

class FrmMessageOption {
 public:
  explicit FrmMessageOption(ui::Toolkit& toolkit);

  std::string m_strMessage;
  std::string m_strTitle;
  std::string m_strOption;
  bool m_bOKOnly = true;
  bool m_bOKClose = true;
  bool m_bOptionChecked = false;  // result: the option box was ticked
  bool m_bContinue = false;       // result: Continue rather than Cancel

  // Fills the form's texts and lays it out; the control's font when the
  // name is not empty.
  void Update(const std::string& font_name = {}, double font_size = 0);
  // Shows the form modally over `owner`.
  void Show(ui::WindowHandle owner);

  ui::Form& form() { return *form_; }

 private:
  void Close(bool cont);

  ui::Toolkit& toolkit_;
  std::unique_ptr<ui::Form> form_;
  ui::Label* label_message_ = nullptr;
  ui::Picture* image1_ = nullptr;
  ui::CheckBox* check_option_ = nullptr;
  ui::Button* command_ok_ = nullptr;
  ui::Button* command_continue_ = nullptr;
  ui::Button* command_cancel_ = nullptr;
  bool closed_by_button_ = false;
};

}  // namespace vex::control
