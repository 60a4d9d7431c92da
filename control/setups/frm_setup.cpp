#include "frm_setup.h"

#include "msg_box_auto_center.h"
#include "vexr7100_localization.h"

namespace vex::control {

namespace {
std::string Text(std::int32_t id) {
  return VexR7100Localization::TextOrEmpty(id);
}
}  // namespace

FrmSetup::FrmSetup(ui::Toolkit& toolkit, Mode mode) : toolkit_(toolkit), mode_(mode) {
  form_ = toolkit_.CreateForm("FrmSetup");
  form_->SetTitle(Text(mode == Mode::kAdd ? 620 : 621));
  form_->AddLabel("LabelName", Text(622), {12, 14, 90, 18});
  text_name_ = form_->AddTextBox("TextName", "", {104, 12, 260, 24});
  form_->AddLabel("LabelComments", Text(623), {12, 46, 90, 18});
  text_comments_ = form_->AddTextBox("TextComments", "", {104, 44, 260, 24});
  check_get_ = form_->AddCheckBox("CheckGetSetup", Text(624), {104, 76, 260, 22});
  check_get_->SetVisible(mode == Mode::kAdd);
  auto* ok = form_->AddButton("CommandOK", Text(111), {184, 108, 84, 26});
  auto* cancel = form_->AddButton("CommandCancel", Text(112), {280, 108, 84, 26});
  ok->OnClick([this] { Ok(); });
  cancel->OnClick([this] { form_->Close(ui::answer::kCancel); });
  form_->SetDefaultButton(ok);
  form_->SetCancelButton(cancel);
  form_->SetSize({376, 146});
}

void FrmSetup::Show(ui::WindowHandle owner, const std::string& font_name, double font_size) {
  text_name_->SetCaption(m_strName);
  text_comments_->SetCaption(m_strComments);
  check_get_->SetChecked(m_bGetFromInstrument);
  if (!font_name.empty()) form_->SetFont(font_name, font_size);
  m_bOKPressed = false;
  (void)form_->ShowModal(owner);
}

void FrmSetup::Ok() {
  const std::string& name = text_name_->Caption();
  if (name.empty() || name.find_first_of(" |") != std::string::npos) {
    MsgBoxCentered(toolkit_, form_->Handle(), Text(716), ui::mb::kOkOnly | ui::mb::kExclamation,
                   Text(715));
    return;
  }
  if (text_comments_->Caption().find('|') != std::string::npos) {
    MsgBoxCentered(toolkit_, form_->Handle(), Text(718), ui::mb::kOkOnly | ui::mb::kExclamation,
                   Text(717));
    return;
  }
  m_strName = name;
  m_strComments = text_comments_->Caption();
  m_bGetFromInstrument = check_get_->Checked();
  m_bOKPressed = true;
  form_->Close(ui::answer::kOk);
}

}  // namespace vex::control
