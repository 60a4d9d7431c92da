// FrmSetup: the Add / Edit dialog of the Setups page: a name, comments and,
// when adding, whether to take the setup from the instrument at once. OK
// refuses a name that is empty or holds a space or "|", and comments that
// hold "|", keeping the dialog open.
#pragma once

#include <memory>
#include <string>

#include "vex/ui/toolkit.h"

namespace vex::control {

class FrmSetup {
 public:
  enum class Mode { kAdd, kEdit };

  FrmSetup(ui::Toolkit& toolkit, Mode mode);

  std::string m_strName;
  std::string m_strComments;
  bool m_bGetFromInstrument = false;
  bool m_bOKPressed = false;

  // Shows the dialog with the fields' values; the fields hold the result.
  void Show(ui::WindowHandle owner, const std::string& font_name, double font_size);

  ui::Form& form() { return *form_; }

 private:
  void Ok();

  ui::Toolkit& toolkit_;
  Mode mode_;
  std::unique_ptr<ui::Form> form_;
  ui::TextBox* text_name_ = nullptr;
  ui::TextBox* text_comments_ = nullptr;
  ui::CheckBox* check_get_ = nullptr;
};

}  // namespace vex::control
