#include "is_handshake_ok.h"

#include <cctype>

#include "cquery_instrument.h"
#include "frm_message_option.h"
#include "vexr7100_localization.h"

namespace vex::control {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string Text(std::int32_t id) {
  return VexR7100Localization::TextOrEmpty(id);
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Whether `address` is a serial one opened with XOn/XOff: parsed by the
// check's own scratch configuration, kept for this thread.
HRESULT SerialWithoutDtr(std::string_view address, bool* serial, bool* xon_xoff) {
  thread_local com::ComPtr<CIOconfiguration> scratch;
  if (!scratch) scratch = com::MakeObject<CIOconfiguration>();
  *serial = false;
  *xon_xoff = false;
  const HRESULT hr = scratch->SetActiveAddress(address);
  if (com::FAILED(hr)) return hr;
  const std::string parsed = Upper(scratch->ActiveAddress());
  if (scratch->ActivePortIsGPIB() || parsed.rfind(kRs232Prefix, 0) != 0) return com::S_OK;
  *serial = true;
  *xon_xoff = parsed.find("HANDSHAKE=DTR_DSR") == std::string::npos;
  return com::S_OK;
}

}  // namespace

HRESULT IsHandshakeOK(ui::Toolkit& toolkit, ui::WindowHandle owner, const std::string& font_name,
                      double font_size, bool* dont_show, std::string* last_address,
                      std::string_view address, std::string_view reply) {
  if (*dont_show) return com::S_OK;
  bool serial = false;
  bool xon_xoff = false;
  const HRESULT hr = SerialWithoutDtr(address, &serial, &xon_xoff);
  if (com::FAILED(hr)) return hr;
  if (!serial) {
    *last_address = std::string(address);
    return com::S_OK;
  }
  if (reply.empty()) {
    last_address->clear();
    return com::S_OK;
  }
  if (CQueryInstrument::IsValidInstrument(reply) == 0 && address != *last_address && xon_xoff) {
    FrmMessageOption form(toolkit);
    if (VexR7100Localization::Offset() == 0) {
      form.m_strTitle = Text(280);
      form.m_strMessage = Text(281) + kCrLf + kCrLf + Text(283) + kCrLf + kCrLf + Text(284) +
                          kCrLf + Text(285) + kCrLf + Text(286) + kCrLf + kCrLf + Text(287) + " " +
                          Text(288);
      form.m_strOption = Text(289);
    } else {
      form.m_strTitle = Text(104);
      form.m_strMessage = Text(711) + kCrLf + kCrLf + Text(712) + kCrLf + kCrLf + Text(713);
      form.m_strOption = Text(714);
    }
    form.m_bOKOnly = true;
    form.Update(font_name, font_size);
    form.Show(owner);
    *dont_show = form.m_bOptionChecked;
  }
  *last_address = std::string(address);
  return com::S_OK;
}

HRESULT IsSetupHandshakeOK(ui::Toolkit& toolkit, ui::WindowHandle owner, IPPVexR7100Scope& scope,
                           bool* proceed) {
  *proceed = true;
  if (scope.DontShowSetupIOConfigurationWarning()) return com::S_OK;
  const std::string address = scope.Address();
  const std::string reply = scope.AddressInstrumentID();
  bool serial = false;
  bool xon_xoff = false;
  const HRESULT hr = SerialWithoutDtr(address, &serial, &xon_xoff);
  if (com::FAILED(hr)) return hr;
  if (!serial || reply.empty() || !xon_xoff || CQueryInstrument::IsValidInstrument(reply) != 0)
    return com::S_OK;
  FrmMessageOption form(toolkit);
  form.m_strTitle = Text(710);
  form.m_strMessage = Text(711) + kCrLf + kCrLf + Text(712) + kCrLf + kCrLf + Text(713);
  form.m_strOption = Text(714);
  form.m_bOKOnly = false;
  form.Update(scope.FontName(), scope.FontSize());
  form.Show(owner);
  scope.SetDontShowSetupIOConfigurationWarning(form.m_bOptionChecked);
  *proceed = form.m_bContinue;
  return com::S_OK;
}

}  // namespace vex::control
