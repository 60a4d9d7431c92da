#include "frm_message_option.h"

#include <algorithm>

#include "vexr7100_localization.h"

namespace vex::control {

namespace {
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kLabelWidth = 420;
constexpr int kLineHeight = 16;
constexpr int kCharsPerLine = 64;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;

// Lines the label needs: its line breaks plus the wrapping of long lines.
int LineCount(const std::string& text) {
  int lines = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const int length = static_cast<int>(end - start);
    lines += std::max(1, (length + kCharsPerLine - 1) / kCharsPerLine);
    start = end + 1;
  }
  return lines;
}
}  // namespace

FrmMessageOption::FrmMessageOption(ui::Toolkit& toolkit) : toolkit_(toolkit) {
  form_ = toolkit_.CreateForm("FrmMessageOption");
  image1_ = form_->AddPicture("Image1", "exclamation", {kMargin, kMargin, kIconSize, kIconSize});
  label_message_ = form_->AddLabel("LabelMessage", "", {0, 0, 0, 0});
  check_option_ = form_->AddCheckBox("CheckOption", "", {0, 0, 0, 0});
  command_ok_ = form_->AddButton("CommandOK", VexR7100Localization::TextOrEmpty(111), {});
  command_continue_ = form_->AddButton("CommandContinue", "Continue", {});
  command_cancel_ = form_->AddButton("CommandCancel", VexR7100Localization::TextOrEmpty(112), {});
  command_ok_->OnClick([this] { Close(true); });
  command_continue_->OnClick([this] { Close(true); });
  command_cancel_->OnClick([this] { Close(false); });
}

void FrmMessageOption::Update(const std::string& font_name, double font_size) {
  form_->SetTitle(m_strTitle);
  label_message_->SetCaption(m_strMessage);
  check_option_->SetCaption(m_strOption);
  check_option_->SetChecked(m_bOptionChecked);
  const int left = kMargin * 2 + kIconSize;
  const int label_height = LineCount(m_strMessage) * kLineHeight;
  label_message_->SetGeometry({left, kMargin, kLabelWidth, label_height});
  int y = kMargin + std::max(label_height, kIconSize) + kMargin;
  check_option_->SetGeometry({left, y, kLabelWidth, 20});
  y += 20 + kMargin;
  const int width = left + kLabelWidth + kMargin;
  command_ok_->SetVisible(m_bOKOnly);
  command_continue_->SetVisible(!m_bOKOnly);
  command_cancel_->SetVisible(!m_bOKOnly);
  if (m_bOKOnly) {
    command_ok_->SetGeometry({(width - kButtonWidth) / 2, y, kButtonWidth, kButtonHeight});
    form_->SetDefaultButton(command_ok_);
    form_->SetCancelButton(command_ok_);
  } else {
    const int x = (width - 2 * kButtonWidth - kMargin) / 2;
    command_continue_->SetGeometry({x, y, kButtonWidth, kButtonHeight});
    command_cancel_->SetGeometry({x + kButtonWidth + kMargin, y, kButtonWidth, kButtonHeight});
    form_->SetDefaultButton(command_continue_);
    form_->SetCancelButton(command_cancel_);
  }
  form_->SetSize({width, y + kButtonHeight + kMargin});
  if (!font_name.empty()) form_->SetFont(font_name, font_size);
}

void FrmMessageOption::Show(ui::WindowHandle owner) {
  closed_by_button_ = false;
  (void)form_->ShowModal(owner);
  if (!closed_by_button_) {
    // Closing the window acts as OK.
    m_bOptionChecked = check_option_->Checked();
    m_bContinue = true;
  }
}

void FrmMessageOption::Close(bool cont) {
  closed_by_button_ = true;
  m_bOptionChecked = check_option_->Checked();
  m_bContinue = cont;
  form_->Close(cont ? ui::answer::kOk : ui::answer::kCancel);
}

}  // namespace vex::control
