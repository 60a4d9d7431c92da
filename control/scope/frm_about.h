// FrmAbout: the control's About box, a small modal form with the caption,
// description, version line, notice and an OK button, all in the control's
// font, in the current language.
#pragma once

#include <cstdint>
#include <string>

#include "vex/ui/toolkit.h"

namespace vex::control {

// The control library's version as "major.minor.revision".
std::string ControlLibraryVersion();

// Fills a form with the About box's controls and texts.
void FillAboutForm(ui::Form& form, const std::string& font_name, std::int16_t font_size);

// Shows the About box modally over `owner` and unloads it.
void ShowAboutBox(ui::Toolkit& toolkit, ui::WindowHandle owner, const std::string& font_name,
                  std::int16_t font_size);

}  // namespace vex::control
