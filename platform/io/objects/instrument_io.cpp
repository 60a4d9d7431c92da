#include "instrument_io.h"

#include <cerrno>

#include "command.h"
#include "response.h"
#include "vex/com/hot_path.h"
#include "vex/io/serial_transport.h"
#include "vex/io/transport_factory.h"

namespace vex::io {
namespace {

constexpr const char* kSource = "VexIOUtils.InstrumentIO.1";

// Status codes for failures of the transfer itself.
HRESULT StatusCode(const Status& status) {
  switch (status.code()) {
    case Errc::kTimeout:
      return com::MakeHresult(0x800705B4u);  // timeout
    case Errc::kClosed:
      return com::HresultFromErrno(EPIPE);
    case Errc::kIoError:
      return com::HresultFromErrno(status.sys_errno() ? status.sys_errno() : EIO);
    case Errc::kBadAddress:
    case Errc::kInvalidArgument:
      return com::E_INVALIDARG;
    case Errc::kTooLarge:
      return com::E_OUTOFMEMORY;
    case Errc::kNotOpen:
      return com::HresultFromErrno(ENODEV);
    case Errc::kUnsupported:
      return com::E_NOTIMPL;
    default:
      return com::E_FAIL;
  }
}

class IOConnection : public com::Object<IIOConnection> {
 public:
  explicit IOConnection(InstrumentIO* io) : io_(io) {}
  HRESULT Close() override {
    io_->CloseSession();
    return com::S_OK;
  }
  VEX_COM_IMPLEMENT_DISPATCH(IOConnection, Table())

 private:
  static const com::DispatchTable& Table() {
    static const com::DispatchTable table =
        com::DispatchTableBuilder<IOConnection>("IIOConnection", "IIOConnection")
            .Method("Close", 1, &IIOConnection::Close)
            .Build();
    return table;
  }
  com::ComPtr<InstrumentIO> io_;
};

}  // namespace

HRESULT InstrumentIO::Fail(const Status& status, std::string_view what) {
  std::string address = address_ ? address_->ToString() : std::string("(no address)");
  return com::ReportRichError(
      StatusCode(status), address + ": " + std::string(what) + ": " + status.message(), kSource);
}

VEX_HOT HRESULT InstrumentIO::NeedOpen() {
  if (session_ && session_->is_open()) return com::S_OK;
  return Fail(Status(Errc::kNotOpen, "the I/O object is not open"), "no connection");
}

void* InstrumentIO::QueryExtra(const com::IID&) {
  return nullptr;
}

HRESULT InstrumentIO::get_ProgID(Bstr* prog_id) {
  if (!prog_id) return com::E_POINTER;
  *prog_id = Bstr(std::string(kInstrumentIOProgID) + ".1");
  return com::S_OK;
}

HRESULT InstrumentIO::IsSupportedAddress(const Bstr& address, VARIANT_BOOL* supported) {
  if (!supported) return com::E_POINTER;
  auto parsed = ParseAddress(address.View());
  *supported =
      com::ToVariantBool(parsed.ok() && TransportFactory::Global().Supports(parsed.value().kind));
  return com::S_OK;
}

HRESULT InstrumentIO::RecoverAfterError() {
  if (session_ && session_->is_open()) (void)session_->Discard();
  return com::S_OK;
}

void InstrumentIO::SetAddress(const Address& address) {
  address_ = address;
}

void InstrumentIO::CloseSession() {
  if (session_) session_->Close();
}

HRESULT InstrumentIO::Open(const Variant& address) {
  Bstr text;
  if (FAILED(address.Dereferenced().ToBstr(&text)) || text.IsEmpty())
    return com::ReportRichError(com::E_INVALIDARG,
                                "Open needs an address such as \"GPIB0::7::INSTR\".", kSource);
  auto parsed = ParseAddress(text.View());
  if (!parsed) return com::ReportRichError(com::E_INVALIDARG, parsed.status().message(), kSource);
  address_ = parsed.value();
  auto transport = TransportFactory::Global().Make(*address_);
  if (!transport) return Fail(transport.status(), "cannot reach the address");
  session_ = std::make_unique<Session>(std::move(transport.value()), address_->ToString());
  session_->set_timeout(std::chrono::milliseconds(timeout_ms_));
  session_->set_term_char(term_char_);
  if (address_->kind == Address::Kind::kSerial) {
    serial_ = address_->serial_settings();
    serial_pending_ = false;
  }
  Status opened = session_->Open();
  if (!opened.ok()) {
    HRESULT hr = Fail(opened, "cannot open");
    session_.reset();
    return hr;
  }
  return com::S_OK;
}

HRESULT InstrumentIO::get_Address(Bstr* address) {
  if (!address) return com::E_POINTER;
  *address = address_ ? Bstr(address_->ToString()) : Bstr::Empty();
  return com::S_OK;
}

VEX_HOT HRESULT InstrumentIO::ReadReply(Reply* reply) {
  HRESULT hr = NeedOpen();
  if (FAILED(hr)) return hr;
  MessageReader::BlockInfo info;
  bool block = false;
  Status status = session_->ReadReply(reply->bytes, &block, &info);
  if (!status.ok()) return Fail(status, "read failed");
  reply->block = block && !info.indefinite;
  reply->header_size = info.header_size;
  return com::S_OK;
}

VEX_HOT HRESULT InstrumentIO::Read(IIOResponse** response) {
  if (!response) return com::E_POINTER;
  *response = nullptr;
  Reply reply;
  HRESULT hr = ReadReply(&reply);
  if (FAILED(hr)) return hr;
  *response = com::MakeObject<Response>(std::move(reply)).Detach();
  return com::S_OK;
}

HRESULT InstrumentIO::Enter(Variant* result, const Bstr& format) {
  if (!result) return com::E_POINTER;
  com::ComPtr<IIOResponse> response;
  HRESULT hr = Read(response.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  com::ComPtr<IIOResponseValues> values;
  hr = response->get_Values(values.ReleaseAndGetAddressOf());
  // "K" (or nothing) reads a string; a number names a reply format.
  std::int16_t code = 0;
  if (!format.IsEmpty() && !com::EqualsNoCase(format.View(), "K")) {
    auto number = com::ParseDoubleStrict(format.View());
    if (!number)
      return com::ReportRichError(com::E_INVALIDARG,
                                  "Unknown Enter format \"" + format.Str() + "\".", kSource);
    code = static_cast<std::int16_t>(*number);
  }
  if (SUCCEEDED(hr)) hr = values->put_Format(code);
  Variant value;
  if (SUCCEEDED(hr)) hr = values->get_Value(&value);
  if (FAILED(hr)) return hr;
  return result->AssignThrough(value);
}

HRESULT InstrumentIO::get_Connection(IIOConnection** connection) {
  if (!connection) return com::E_POINTER;
  *connection = com::MakeObject<IOConnection>(this).Detach();
  return com::S_OK;
}

HRESULT InstrumentIO::get_IOType(Bstr* type) {
  if (!type) return com::E_POINTER;
  *type = address_ ? Bstr(address_->bus_type()) : Bstr::Empty();
  return com::S_OK;
}

VEX_HOT HRESULT InstrumentIO::WriteMessage(std::string_view text, bool add_line_feed) {
  HRESULT hr = NeedOpen();
  if (FAILED(hr)) return hr;
  if (serial_pending_) {
    hr = ApplySerial();
    if (FAILED(hr)) return hr;
  }
  Status status;
  if (add_line_feed) {
    message_.assign(text);
    message_ += '\n';
    status = session_->Write(message_);
  } else {
    status = session_->Write(text);
  }
  if (!status.ok()) return Fail(status, "write failed");
  return com::S_OK;
}

VEX_HOT HRESULT InstrumentIO::Output(const Variant& buffer) {
  // Text, the common case, is written as it stands, without a copy.
  if (buffer.vt() == com::VT_BSTR) return WriteMessage(buffer.BstrVal().View(), true);
  Variant value = buffer.Dereferenced();
  if (value.vt() == (com::VT_ARRAY | com::VT_UI1)) {
    auto bytes = value.Array()->Span<const std::uint8_t>();
    return WriteMessage(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        false);
  }
  Bstr text;
  if (FAILED(value.ToBstr(&text)))
    return com::ReportRichError(com::DISP_E_TYPEMISMATCH, "Output takes a string or a byte array.",
                                kSource);
  return WriteMessage(text.View(), true);
}

HRESULT InstrumentIO::ReadBytes(std::int32_t* count, SafeArray* buffer) {
  if (!count || !buffer) return com::E_POINTER;
  if (*count < 0) return com::E_INVALIDARG;
  HRESULT hr = NeedOpen();
  if (FAILED(hr)) return hr;
  ByteVector bytes;
  Status status = session_->ReadBytes(static_cast<std::size_t>(*count), bytes);
  if (!status.ok()) return Fail(status, "read failed");
  *count = static_cast<std::int32_t>(bytes.size());
  *buffer = SafeArray::AdoptBytes(std::move(bytes));
  return com::S_OK;
}

HRESULT InstrumentIO::WriteBytes(std::int32_t count, const SafeArray& buffer) {
  auto bytes = buffer.Span<const std::uint8_t>();
  if (count < 0 || static_cast<std::size_t>(count) > bytes.size()) return com::E_INVALIDARG;
  return WriteMessage(std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<std::size_t>(count)),
                      false);
}

HRESULT InstrumentIO::get_TermChar(std::int16_t* term_char) {
  if (!term_char) return com::E_POINTER;
  *term_char = term_char_;
  return com::S_OK;
}

HRESULT InstrumentIO::put_TermChar(std::int16_t term_char) {
  if (term_char < -1 || term_char > 255) return com::E_INVALIDARG;
  term_char_ = term_char;
  if (session_) session_->set_term_char(term_char);
  return com::S_OK;
}

HRESULT InstrumentIO::get_Timeout(std::int32_t* milliseconds) {
  if (!milliseconds) return com::E_POINTER;
  *milliseconds = timeout_ms_;
  return com::S_OK;
}

HRESULT InstrumentIO::put_Timeout(std::int32_t milliseconds) {
  if (milliseconds < 0) return com::E_INVALIDARG;
  timeout_ms_ = milliseconds;
  if (session_) session_->set_timeout(std::chrono::milliseconds(milliseconds));
  return com::S_OK;
}

HRESULT InstrumentIO::Command(IIOCommand** command) {
  if (!command) return com::E_POINTER;
  com::ComPtr<InstrumentIO> self(this);
  *command = com::MakeObject<IOCommand>([self](std::string_view message) {
               return self->WriteMessage(message, true);
             }).Detach();
  return com::S_OK;
}

// ---- Serial settings ----

HRESULT InstrumentIO::ApplySerial() {
  serial_pending_ = false;
  if (!session_ || !address_ || address_->kind != Address::Kind::kSerial) return com::S_OK;
  auto* serial = dynamic_cast<SerialTransport*>(&session_->transport());
  if (!serial) return com::S_OK;
  Status status = serial->ApplySettings(serial_);
  if (!status.ok()) return Fail(status, "cannot apply the line settings");
  return com::S_OK;
}

HRESULT InstrumentIO::put_BaudRate(std::int32_t baud) {
  if (baud <= 0) return com::E_INVALIDARG;
  serial_.baud = baud;
  serial_pending_ = true;
  return ApplySerial();
}

HRESULT InstrumentIO::put_DataBits(std::int16_t bits) {
  if (bits < 5 || bits > 8) return com::E_INVALIDARG;
  serial_.data_bits = bits;
  return ApplySerial();
}

HRESULT InstrumentIO::put_StopBits(std::int16_t bits) {
  if (bits != 1 && bits != 2) return com::E_INVALIDARG;
  serial_.stop_bits = bits == 1 ? StopBits::kOne : StopBits::kTwo;
  return ApplySerial();
}

HRESULT InstrumentIO::get_Handshake(std::int16_t* handshake) {
  if (!handshake) return com::E_POINTER;
  *handshake = serial_.handshake == Handshake::kXonXoff  ? RS232_HandShake_XON_XOFF
               : serial_.handshake == Handshake::kDtrDsr ? RS232_HandShake_DTR_DSR
                                                         : RS232_HandShake_None;
  return com::S_OK;
}

HRESULT InstrumentIO::put_Handshake(std::int16_t handshake) {
  switch (handshake) {
    case RS232_HandShake_None:
      serial_.handshake = Handshake::kNone;
      break;
    case RS232_HandShake_XON_XOFF:
      serial_.handshake = Handshake::kXonXoff;
      break;
    case RS232_HandShake_DTR_DSR:
      serial_.handshake = Handshake::kDtrDsr;
      break;
    default:
      return com::E_INVALIDARG;
  }
  return ApplySerial();
}

HRESULT InstrumentIO::put_DTR(VARIANT_BOOL on) {
  auto* serial = session_ ? dynamic_cast<SerialTransport*>(&session_->transport()) : nullptr;
  if (!serial) return com::S_OK;
  Status status = serial->SetDtr(on == com::VARIANT_TRUE);
  return status.ok() ? com::S_OK : Fail(status, "cannot set DTR");
}

HRESULT InstrumentIO::put_RTS(VARIANT_BOOL on) {
  auto* serial = session_ ? dynamic_cast<SerialTransport*>(&session_->transport()) : nullptr;
  if (!serial) return com::S_OK;
  Status status = serial->SetRts(on == com::VARIANT_TRUE);
  return status.ok() ? com::S_OK : Fail(status, "cannot set RTS");
}

HRESULT InstrumentIO::get_HandshakeActive(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(handshake_active_);
  return com::S_OK;
}

// While the handshake is inactive, writes go out without flow control (the
// line reset of the control writes "\r\n" so); the chosen handshake returns
// when it is made active again.
HRESULT InstrumentIO::put_HandshakeActive(VARIANT_BOOL on) {
  bool active = on == com::VARIANT_TRUE;
  if (active == handshake_active_) return com::S_OK;
  handshake_active_ = active;
  auto* serial = session_ ? dynamic_cast<SerialTransport*>(&session_->transport()) : nullptr;
  if (!serial) return com::S_OK;
  SerialSettings applied = serial_;
  if (!active) applied.handshake = Handshake::kNone;
  Status status = serial->ApplySettings(applied);
  return status.ok() ? com::S_OK : Fail(status, "cannot change the handshake");
}

HRESULT InstrumentIO::InterfaceSupportsErrorInfo(const com::IID& iid) {
  return iid == IIO::kIid || iid == ISerialIO::kIid ? com::S_OK : com::S_FALSE;
}

const com::DispatchTable& InstrumentIO::Table() {
  using com::In;
  using com::InOut;
  using com::OptDefault;
  using com::Retval;
  static const com::DispatchTable table =
      com::DispatchTableBuilder<InstrumentIO>("InstrumentIO", "IIO")
          .Get("ProgID", 1, &IIO::get_ProgID)
          .Method("IsSupportedAddress", 2, &IIO::IsSupportedAddress,
                  {In("Address"), Retval("Supported", com::VT_BOOL)})
          .Method("RecoverAfterError", 3, &IIO::RecoverAfterError)
          .Method("Open", 4, &IIO::Open, {In("Address")})
          .Get("Address", 5, &IIO::get_Address)
          .Method("Enter", 6, &IIO::Enter, {InOut("Result"), OptDefault("Format", Variant("K"))})
          .Get("Connection", 7, &IIO::get_Connection, {Retval("Connection", com::VT_DISPATCH)})
          .Get("IOType", 8, &IIO::get_IOType)
          .Method("Output", 9, &IIO::Output, {In("Buffer")})
          .Method("Read", 10, &IIO::Read, {Retval("Response", com::VT_DISPATCH)})
          .Method("ReadBytes", 11, &IIO::ReadBytes,
                  {InOut("Count"), InOut("Buffer", com::VT_ARRAY | com::VT_UI1)})
          .Method("WriteBytes", 12, &IIO::WriteBytes,
                  {In("Count"), In("Buffer", com::VT_ARRAY | com::VT_UI1)})
          .Get("TermChar", 13, &IIO::get_TermChar)
          .Put("TermChar", 13, &IIO::put_TermChar, {In("Value")})
          .Get("Timeout", 14, &IIO::get_Timeout)
          .Put("Timeout", 14, &IIO::put_Timeout, {In("Value")})
          .Method("Command", 15, &IIO::Command, {Retval("Command", com::VT_DISPATCH)})
          .Interface("ISerialIO")
          .Put("BaudRate", 100, &ISerialIO::put_BaudRate, {In("Value")})
          .Put("DataBits", 101, &ISerialIO::put_DataBits, {In("Value")})
          .Put("StopBits", 102, &ISerialIO::put_StopBits, {In("Value")})
          .Get("Handshake", 103, &ISerialIO::get_Handshake)
          .Put("Handshake", 103, &ISerialIO::put_Handshake, {In("Value")})
          .Put("DTR", 104, &ISerialIO::put_DTR, {In("Value", com::VT_BOOL)})
          .Put("RTS", 105, &ISerialIO::put_RTS, {In("Value", com::VT_BOOL)})
          .Get("HandshakeActive", 106, &ISerialIO::get_HandshakeActive,
               {Retval("Value", com::VT_BOOL)})
          .Put("HandshakeActive", 106, &ISerialIO::put_HandshakeActive, {In("Value", com::VT_BOOL)})
          .Build();
  return table;
}

}  // namespace vex::io
