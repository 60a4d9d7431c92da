#include "cquery_instrument.h"

#include <chrono>
#include <thread>

#include "cdebug.h"
#include "msg_box_auto_center.h"
#include "vex/com/error_info.h"
#include "vex/io/address.h"
#include "vexr7100_localization.h"

namespace vex::control {
namespace {

constexpr const char* kModule = "CQueryInstrument";
constexpr const char* kCrLf = "\r\n";
constexpr const char* kIndent = "    ";

std::string Text(std::int32_t id) {
  return VexR7100Localization::TextOrEmpty(id);
}

// Closes the I/O object's connection; the caller's reference releases it.
void CloseIO(io::IIO* instrument) {
  com::ComPtr<io::IIOConnection> connection;
  if (com::SUCCEEDED(instrument->get_Connection(connection.ReleaseAndGetAddressOf())) && connection)
    (void)connection->Close();
}

bool IsSerial(io::IIO* instrument) {
  Bstr type;
  return com::SUCCEEDED(instrument->get_IOType(&type)) && type.Str() == "ASRL";
}

std::string TrimLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

}  // namespace

CQueryInstrument::CQueryInstrument()
    : models_{"R7130B", "R7132B", "R7133B", "R7140B", "R7145B", "R7146B", "R7146C", "R7150A",
              "R7150C", "R7175A", "R7175D", "R7151A", "R7151D", "R7152A", "R7152D", "R7154A",
              "R7171D", "R7172A", "R7172D", "R7174A", "R7171A", "R7171D", "R7173A", "R7463D"} {}

HRESULT CQueryInstrument::Initialize(std::int32_t wait_ms, CIOconfiguration* configuration,
                                     com::IUnknown* io_manager) {
  if (!configuration || !io_manager) return com::E_POINTER;
  com::ComPtr<io::IIOManager> manager;
  if (com::FAILED(com::ComPtr<com::IUnknown>(io_manager).As(&manager))) return com::E_NOINTERFACE;
  wait_ms_ = wait_ms < 0 ? 0 : wait_ms;
  configuration_ = configuration;
  manager_ = std::move(manager);
  return com::S_OK;
}

std::int16_t CQueryInstrument::ModelCompatibility(std::string_view) {
  return kQueryFound;
}

std::int16_t CQueryInstrument::IsValidInstrument(std::string_view reply) {
  const std::size_t comma = reply.find(',');
  if (comma != std::string_view::npos) return ModelCompatibility(reply.substr(comma + 1));
  return reply.empty() ? kQueryNoAnswer : kQueryNotCompliant;
}

void CQueryInstrument::Wait(std::int32_t ms) {
  if (ms <= 0) return;
  std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

std::string CQueryInstrument::AppendAddressAt(std::string_view message, std::string_view address) {
  std::string shown(address);
  const std::string upper = [&] {
    std::string u(address.substr(0, 3));
    for (auto& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
  }();
  if (upper == "COM") {
    const std::size_t separator = shown.find("::");
    if (separator != std::string::npos) shown.resize(separator);
  }
  return std::string(message) + kCrLf + kCrLf + Text(228) + kCrLf + kIndent + shown;
}

HRESULT CQueryInstrument::DropHandshake(io::IIO* instrument, std::int32_t wait_ms, bool restore,
                                        std::vector<std::pair<std::string, std::string>>* failed) {
  if (!instrument) return com::E_POINTER;
  if (!IsSerial(instrument) && failed)
    failed->emplace_back("(iioInstrument.IOType = 'ASRL')", "DropHandshake");
  com::ComPtr<io::ISerialIO> serial;
  HRESULT hr = com::ComPtr<io::IIO>(instrument).As(&serial);
  if (com::FAILED(hr)) return hr;
  Wait(wait_ms);
  std::int16_t handshake = io::RS232_HandShake_None;
  hr = serial->get_Handshake(&handshake);
  if (com::SUCCEEDED(hr)) hr = serial->put_Handshake(io::RS232_HandShake_None);
  if (com::SUCCEEDED(hr)) hr = serial->put_DTR(com::VARIANT_FALSE);
  if (com::SUCCEEDED(hr)) hr = serial->put_RTS(com::VARIANT_FALSE);
  if (com::FAILED(hr)) return hr;
  if (wait_ms > 0) Wait(wait_ms);
  if (restore) {
    hr = serial->put_DTR(com::VARIANT_TRUE);
    if (com::SUCCEEDED(hr)) hr = serial->put_RTS(com::VARIANT_TRUE);
    if (com::SUCCEEDED(hr)) hr = serial->put_Handshake(handshake);
  }
  return hr;
}

HRESULT CQueryInstrument::PrepareRS232(std::string_view address, ProbeRequest* request,
                                       bool* applicable) const {
  if (!configuration_) return com::E_UNEXPECTED;
  bool gpib = false;
  HRESULT hr = configuration_->IsStringGPIB(address, &gpib);
  if (com::FAILED(hr)) return hr;
  *applicable = !gpib;
  if (gpib) return com::S_OK;
  // What the address says wins; what it leaves out (a bare "COM1" of the
  // search) comes from the port's search criteria.
  auto parsed = io::ParseAddress(address);
  if (!parsed) return com::E_UNEXPECTED;  // IsStringGPIB took it
  const io::Address& serial = *parsed;
  const io::SerialSettings settings = serial.serial_settings();
  hr = configuration_->BaudRate(serial.board, &request->baud);
  if (com::SUCCEEDED(hr)) hr = configuration_->Handshake(serial.board, &request->handshake);
  if (com::FAILED(hr)) return hr;
  if (serial.baud) request->baud = *serial.baud;
  if (serial.handshake) {
    switch (*serial.handshake) {
      case io::Handshake::kNone:
        request->handshake = io::RS232_HandShake_None;
        break;
      case io::Handshake::kXonXoff:
        request->handshake = kHandshakeXonXoff;
        break;
      case io::Handshake::kDtrDsr:
        request->handshake = kHandshakeDtrDsr;
        break;
    }
  } else {
    CDebug::ForThisThread().Assert(
        request->handshake == kHandshakeDtrDsr || request->handshake == kHandshakeXonXoff,
        "(iHandshake = RS232_HandShake_DTR_DSR) Or (iHandshake = RS232_HandShake_XON_XOFF)",
        kModule, "RS232IDNQuery", "");
  }
  request->data_bits = static_cast<std::int16_t>(settings.data_bits);
  request->stop_bits = settings.stop_bits == io::StopBits::kOne          ? 1
                       : settings.stop_bits == io::StopBits::kOneAndHalf ? 15
                                                                         : 2;
  request->address = std::string(address);
  request->serial = true;
  request->wait_ms = wait_ms_;
  return com::S_OK;
}

HRESULT CQueryInstrument::PrepareGPIB(std::string_view address, ProbeRequest* request,
                                      bool* applicable) const {
  if (!configuration_) return com::E_UNEXPECTED;
  bool gpib = false;
  HRESULT hr = configuration_->IsStringGPIB(address, &gpib);
  if (com::FAILED(hr)) return hr;
  *applicable = gpib;
  request->address = std::string(address);
  request->serial = false;
  request->wait_ms = wait_ms_;
  return com::S_OK;
}

ProbeOutcome CQueryInstrument::Exchange(io::IIOManager* manager, const ProbeRequest& request) {
  ProbeOutcome outcome;
  com::ComPtr<io::IIO> instrument;
  if (!manager ||
      com::FAILED(manager->CreateIO(Bstr(request.address), instrument.ReleaseAndGetAddressOf())) ||
      !instrument) {
    com::SetErrorInfo(0, nullptr);
    outcome.code = kQueryNoPort;
    return outcome;
  }
  com::Variant reply;
  HRESULT hr = com::S_OK;
  if (request.serial) {
    hr = DropHandshake(instrument.Get(), request.wait_ms, true, &outcome.failed_assertions);
    if (!IsSerial(instrument.Get()))
      outcome.failed_assertions.emplace_back("(iioInstrument.IOType = 'ASRL')", "RS232IDNQuery");
    com::ComPtr<io::ISerialIO> serial;
    if (com::SUCCEEDED(hr)) hr = instrument.As(&serial);
    if (com::SUCCEEDED(hr)) hr = serial->put_BaudRate(request.baud);
    if (com::SUCCEEDED(hr)) hr = serial->put_DataBits(request.data_bits);
    if (com::SUCCEEDED(hr)) hr = serial->put_StopBits(request.stop_bits);
    if (com::SUCCEEDED(hr)) hr = instrument->put_Timeout(kQueryTimeoutMs);
    if (com::SUCCEEDED(hr)) hr = instrument->RecoverAfterError();
    // Flush the instrument's input with a bare CR LF, written with no flow
    // control so that a stopped line cannot hold it.
    if (com::SUCCEEDED(hr)) hr = serial->put_Handshake(io::RS232_HandShake_None);
    com::VARIANT_BOOL saved = com::VARIANT_TRUE;
    if (com::SUCCEEDED(hr)) hr = serial->get_HandshakeActive(&saved);
    if (com::SUCCEEDED(hr)) {
      hr = serial->put_HandshakeActive(com::VARIANT_FALSE);
      const std::uint8_t cr_lf[] = {'\r', '\n'};
      if (com::SUCCEEDED(hr))
        hr = instrument->Output(com::Variant(com::SafeArray::FromBytes(cr_lf)));
      const HRESULT restored = serial->put_HandshakeActive(saved);
      if (com::SUCCEEDED(hr)) hr = restored;
    }
    if (com::SUCCEEDED(hr))
      hr = serial->put_Handshake(static_cast<std::int16_t>(request.handshake));
    if (com::SUCCEEDED(hr)) {
      Wait(request.wait_ms);
      hr = instrument->Output(com::Variant("*IDN?"));
    }
    if (com::SUCCEEDED(hr)) {
      Wait(request.wait_ms);
      hr = instrument->Enter(&reply, Bstr("K"));
    }
    if (com::SUCCEEDED(hr))
      hr = DropHandshake(instrument.Get(), request.wait_ms, true, &outcome.failed_assertions);
  } else {
    hr = instrument->put_Timeout(kQueryTimeoutMs);
    if (com::SUCCEEDED(hr)) hr = instrument->RecoverAfterError();
    if (com::SUCCEEDED(hr)) hr = instrument->Output(com::Variant("*IDN?"));
    if (com::SUCCEEDED(hr)) {
      Wait(request.wait_ms);
      hr = instrument->Enter(&reply, Bstr("K"));
    }
  }
  CloseIO(instrument.Get());
  instrument.Reset();
  com::SetErrorInfo(0, nullptr);
  if (com::FAILED(hr)) {
    outcome.code = kQueryNoAnswer;
    return outcome;
  }
  outcome.reply = reply.vt() == com::VT_BSTR ? TrimLineEnd(reply.BstrVal().Str()) : std::string();
  outcome.code = outcome.reply.empty() ? kQueryNoAnswer : IsValidInstrument(outcome.reply);
  return outcome;
}

void CQueryInstrument::Finish(const ProbeOutcome& outcome) {
  CDebug& debug = CDebug::ForThisThread();
  for (const auto& [condition, procedure] : outcome.failed_assertions)
    debug.Assert(false, condition, kModule, procedure, "");
}

HRESULT CQueryInstrument::Query(PrepareFunction prepare, std::string_view address,
                                std::string* reply, std::int16_t* code) {
  if (!reply || !code) return com::E_POINTER;
  reply->clear();
  ProbeRequest request;
  bool applicable = false;
  const HRESULT hr = (this->*prepare)(address, &request, &applicable);
  if (com::FAILED(hr)) return hr;
  if (!applicable) {
    *code = kQueryWrongKind;
    return com::S_OK;
  }
  ProbeOutcome outcome = Exchange(manager_.Get(), request);
  Finish(outcome);
  *reply = std::move(outcome.reply);
  *code = outcome.code;
  return com::S_OK;
}

HRESULT CQueryInstrument::RS232IDNQuery(std::string_view address, std::string* reply,
                                        std::int16_t* code) {
  return Query(&CQueryInstrument::PrepareRS232, address, reply, code);
}

HRESULT CQueryInstrument::GPIBIDNQuery(std::string_view address, std::string* reply,
                                       std::int16_t* code) {
  return Query(&CQueryInstrument::PrepareGPIB, address, reply, code);
}

HRESULT CQueryInstrument::Test(ui::Toolkit& toolkit, ui::WindowHandle owner,
                               std::string_view address, std::string* reply, std::int16_t* code) {
  if (!reply || !code) return com::E_POINTER;
  if (!configuration_) return com::E_UNEXPECTED;
  const std::string title = Text(220);
  bool gpib = false;
  HRESULT hr = configuration_->IsStringGPIB(address, &gpib);
  if (com::FAILED(hr)) return hr;
  hr = gpib ? GPIBIDNQuery(address, reply, code) : RS232IDNQuery(address, reply, code);
  if (com::FAILED(hr)) return hr;

  auto line = [](std::string text) { return text + kCrLf; };
  auto indented = [&](std::int32_t id) { return line(kIndent + Text(id)); };
  const std::string answer = line("") + line(Text(227)) + line("") + kIndent + *reply;
  std::string message;
  switch (*code) {
    case 0: {
      message = line(Text(226)) + line("");
      std::int32_t handshake = kHandshakeDtrDsr;
      if (!gpib) {
        std::int32_t index = 0;
        const std::string port(address.substr(0, address.find("::")));
        if (com::SUCCEEDED(configuration_->RS232PortIndex(port, &index)))
          (void)configuration_->Handshake(index, &handshake);
        com::SetErrorInfo(0, nullptr);
      }
      if (!gpib && handshake != kHandshakeDtrDsr) {
        if (VexR7100Localization::Offset() == 0) {
          message += indented(282) + line("") + indented(283) + line("") + indented(284) +
                     indented(285) + indented(286) + line("") + indented(287) + indented(288);
        } else {
          message += indented(711) + line("") + indented(712) + line("") + indented(713);
        }
        message += line("");
      }
      message = AppendAddressAt(message + line(Text(227)) + line("") + kIndent + *reply, address);
      break;
    }
    case 1:
      message = AppendAddressAt(Text(225) + kCrLf + answer, address);
      break;
    case 2:
      message = AppendAddressAt(line(Text(223)) + Text(224) + kCrLf + answer, address);
      break;
    case 3:
      message = AppendAddressAt(line(Text(222)) + Text(224) + kCrLf + answer, address);
      break;
    case 4:
      message =
          AppendAddressAt(Text(530), address) + kCrLf + kCrLf + line(Text(531)) + line(Text(532));
      if (!gpib) message += line(Text(533));
      message += line("");
      message += gpib ? line(Text(538)) + line(Text(539)) + Text(540)
                      : line(Text(535)) + line(Text(536)) + Text(537);
      break;
    case 5:
      message = AppendAddressAt(Text(221), address);
      break;
    default:
      CDebug::ForThisThread().Assert(false, "Case Else", kModule, "Test", "");
      return com::ReportRichError(kInvalidPropertyValue,
                                  AppendAddressAt(Text(gpib ? 110 : 109), address), Text(104));
  }
  MsgBoxCentered(toolkit, owner, message, kTestBoxStyle, title);
  return com::S_OK;
}

}  // namespace vex::control
