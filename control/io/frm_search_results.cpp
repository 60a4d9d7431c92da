#include "frm_search_results.h"

#include "vexr7100_localization.h"

namespace vex::control {

namespace {
constexpr const char* kCrLf = "\r\n";
std::string Text(std::int32_t id) {
  return VexR7100Localization::TextOrEmpty(id);
}
}  // namespace

FrmSearchResults::FrmSearchResults(ui::Toolkit& toolkit) : toolkit_(toolkit) {
  form_ = toolkit_.CreateForm("FrmSearchResults");
  label_search_complete_ = form_->AddLabel("LabelSearchComplete", "", {12, 12, 456, 18});
  label_message_ = form_->AddLabel("LabelMessage", "", {12, 36, 456, 170});
  frame_exclude_ = form_->AddFrame("FrameExclude", "", {12, 212, 456, 60});
  for (std::int32_t p = 1; p <= 4; ++p)
    check_com_[p] = form_->AddCheckBox("CheckCOM" + std::to_string(p), "COM" + std::to_string(p),
                                       {24 + (p - 1) * 108, 236, 96, 22});
  command_continue_ = form_->AddButton("CommandContinue", "", {196, 284, 88, 26});
  command_continue_->OnClick([this] { Continue(); });
  form_->SetDefaultButton(command_continue_);
  form_->SetSize({480, 322});
}

bool FrmSearchResults::InstrumentFoundOnCOMPort(std::int32_t port) const {
  return Valid(port) && found_[port];
}
bool FrmSearchResults::SetInstrumentFoundOnCOMPort(std::int32_t port, bool found) {
  if (!Valid(port)) return false;
  found_[port] = found;
  return true;
}
bool FrmSearchResults::IncludedCOMPort(std::int32_t port) const {
  return Valid(port) && included_[port];
}
bool FrmSearchResults::SetIncludedCOMPort(std::int32_t port, bool included) {
  if (!Valid(port)) return false;
  included_[port] = included;
  return true;
}

void FrmSearchResults::Update(const std::string& font_name, double font_size) {
  form_->SetTitle(Text(260));
  command_continue_->SetCaption(Text(111));
  label_search_complete_->SetCaption(Text(273));
  frame_exclude_->SetCaption(Text(264));
  std::string message = Text(261) + kCrLf;
  int shown = 0;
  for (std::int32_t p = 1; p <= 4; ++p) {
    const bool reported = included_[p] && !found_[p];
    check_com_[p]->SetVisible(reported);
    check_com_[p]->SetChecked(false);
    if (!reported) continue;
    message += "    COM" + std::to_string(p) + kCrLf;
    check_com_[p]->SetGeometry({24 + shown * 108, 236, 96, 22});
    ++shown;
  }
  message += std::string(kCrLf) + Text(262) + kCrLf + kCrLf + Text(263);
  label_message_->SetCaption(message);
  if (!font_name.empty()) form_->SetFont(font_name, font_size);
}

void FrmSearchResults::Show(ui::WindowHandle owner) {
  (void)form_->ShowModal(owner);
}

void FrmSearchResults::Continue() {
  // A ticked box excludes its port from later searches.
  for (std::int32_t p = 1; p <= 4; ++p)
    if (check_com_[p]->Visible()) included_[p] = !check_com_[p]->Checked();
  form_->Close(ui::answer::kOk);
}

}  // namespace vex::control
