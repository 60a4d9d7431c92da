#include "frm_about.h"

#include "control_support.h"
#include "vexr7100_localization.h"

#ifndef VEX9100_VERSION
#define VEX9100_VERSION "0.0.0"
#endif

namespace vex::control {

std::string ControlLibraryVersion() {
  return VEX9100_VERSION;
}

void FillAboutForm(ui::Form& form, const std::string& font_name, std::int16_t font_size) {
  const auto text = [](std::int32_t id) { return VexR7100Localization::TextOrEmpty(id); };
  form.SetFont(font_name, font_size);
  form.SetTitle(text(text::kAboutCaption));
  form.SetSize({360, 170});
  form.AddLabel("lblDescription", text(text::kAboutDescription), {12, 12, 336, 40});
  form.AddLabel("lblVersion", text(text::kAboutVersion) + "  " + ControlLibraryVersion(),
                {12, 60, 336, 20});
  form.AddLabel("lblNotice", text(text::kAboutNotice), {12, 86, 336, 20});
  ui::Button* ok = form.AddButton("cmdOK", text(text::kOk), {276, 130, 72, 26});
  ok->OnClick([&form] { form.Close(ui::answer::kOk); });
  form.SetDefaultButton(ok);
  form.SetCancelButton(ok);
}

void ShowAboutBox(ui::Toolkit& toolkit, ui::WindowHandle owner, const std::string& font_name,
                  std::int16_t font_size) {
  std::unique_ptr<ui::Form> form = toolkit.CreateForm("FrmAbout");
  FillAboutForm(*form, font_name, font_size);
  form->ShowModal(owner);
}

}  // namespace vex::control
