#include "frm_setup_menu.h"

#include "vexr7100_localization.h"

namespace vex::control {

FrmSetupMenu::FrmSetupMenu(ui::Toolkit& toolkit) {
  form_ = toolkit.CreateForm("FrmSetupMenu");
  edit_ = form_->AddButton("MenuEdit", VexR7100Localization::TextOrEmpty(640), {0, 0, 140, 24});
  copy_ = form_->AddButton("MenuCopy", VexR7100Localization::TextOrEmpty(641), {0, 24, 140, 24});
  edit_->OnClick([this] {
    event_ = kEdit;
    form_->Close(ui::answer::kOk);
  });
  copy_->OnClick([this] {
    event_ = kCopy;
    form_->Close(ui::answer::kOk);
  });
  form_->SetSize({140, 48});
}

int FrmSetupMenu::Show(ui::WindowHandle owner, std::optional<ui::Point> at, bool row_selected,
                       const std::string& font_name, double font_size) {
  // Both entries need a selected row.
  edit_->SetEnabled(row_selected);
  copy_->SetEnabled(row_selected);
  if (!font_name.empty()) form_->SetFont(font_name, font_size);
  event_ = 0;
  form_->PlaceAt(at);
  (void)form_->ShowModal(owner);
  return event_;
}

}  // namespace vex::control
