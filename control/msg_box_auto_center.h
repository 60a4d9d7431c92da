// Message boxes centred over their parent window, and a property-page
// frame centred on the screen. The placement itself is the toolkit's
// (ui::CenterOver); these routines add the checks the control logs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vex/ui/toolkit.h"

namespace vex::control {

// Shows a message box centred over `parent` and returns the button pressed.
// A parent of 0 is logged as an assertion ("m_hwndParent <> 0") and the box
// is centred on the screen.
int MsgBoxCentered(ui::Toolkit& toolkit, ui::WindowHandle parent, std::string_view prompt,
                   std::uint32_t flags, std::string_view title,
                   std::optional<std::string> help_file = std::nullopt,
                   std::optional<std::int32_t> help_context = std::nullopt);

// Moves the frame that holds a property page (the page's parent's parent)
// to the centre of the screen, without resizing or activating it. Each of
// the three windows must exist; a missing one is logged as an assertion
// and nothing moves.
void CenterPropertyPage(ui::Toolkit& toolkit, ui::WindowHandle property_page);

}  // namespace vex::control
