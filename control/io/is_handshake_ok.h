// The serial handshake check the I/O pages run when they apply, and the
// Setups page before it talks to the instrument: an instrument that
// answered on a COM port opened with XOn/XOff is warned about once per
// address (DTR/DSR is the handshake the instruments need), unless the user
// ticked "Do not show this message again".
#pragma once

#include <string>
#include <string_view>

#include "ipp_vexr7100_scope.h"
#include "vex/ui/toolkit.h"

namespace vex::control {

// The check of the I/O pages, with OK only. `dont_show` and `last_address`
// are the control's DontShowIOHandshakeWarning and LastIOHandshakeAddress,
// read and written back by the caller.
HRESULT IsHandshakeOK(ui::Toolkit& toolkit, ui::WindowHandle owner, const std::string& font_name,
                      double font_size, bool* dont_show, std::string* last_address,
                      std::string_view address, std::string_view reply);

// The check before an instrument action of the Setups page: Continue or
// Cancel, on the control's address and instrument reply, remembering the
// option in the control's DontShowSetupIOConfigurationWarning. `*proceed`
// is false when the user cancelled.
HRESULT IsSetupHandshakeOK(ui::Toolkit& toolkit, ui::WindowHandle owner, IPPVexR7100Scope& scope,
                           bool* proceed);

}  // namespace vex::control
