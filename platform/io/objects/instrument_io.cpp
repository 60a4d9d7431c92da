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
    case Errc::kBusy:
      return com::MakeHresult(0x80010001u);  // the call was rejected by the callee
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

// Drops unread input; a link that broke (or that the instrument closed) is
// reopened instead, and a reopen that fails is reported.
HRESULT InstrumentIO::RecoverAfterError() {
  if (!session_ || !session_->is_open()) return com::S_OK;
  Status status = session_->Recover();
  return status.ok() ? com::S_OK : Fail(status, "cannot recover");
}

void InstrumentIO::SetAddress(const Address& address) {
  address_ = address;
}

void InstrumentIO::CloseSession() {
  if (session_) session_->Close();
}

HRESULT InstrumentIO::Open(const Variant& address) {
  Bstr text;
  if (FAILED(address.Dereferenced().ToBstr(&text)))
    return com::ReportRichError(com::E_INVALIDARG,
                                "Open needs an address such as \"GPIB0::7::INSTR\".", kSource);
  // Any text, the empty one too, is the grammar's to take or refuse.
  auto parsed = ParseAddress(text.View());
  if (!parsed) return com::ReportRichError(com::E_INVALIDARG, parsed.status().message(), kSource);
  address_ = parsed.value();
  auto transport = TransportFactory::Global().Make(*address_);
  if (!transport) return Fail(transport.status(), "cannot reach the address");
  session_ = std::make_unique<Session>(std::move(transport.value()), address_->ToString());
  session_->set_timeout(std::chrono::milliseconds(timeout_ms_));
  session_->set_term_char(term_char_);
  if (address_->kind == Address::Kind::kSerial) {
    // The keywords give the starting values; what was put explicitly stays.
    SerialSettings chosen = address_->serial_settings();
    if (serial_put_ & kPutBaud) chosen.baud = serial_.baud;
    if (serial_put_ & kPutDataBits) chosen.data_bits = serial_.data_bits;
    if (serial_put_ & kPutParity) chosen.parity = serial_.parity;
    if (serial_put_ & kPutStopBits) chosen.stop_bits = serial_.stop_bits;
    if (serial_put_ & kPutHandshake) chosen.handshake = serial_.handshake;
    serial_ = chosen;
    if (SerialTransport* serial = Serial()) {
      Status staged = serial->ApplySettings(Applied(serial_));
      if (staged.ok()) staged = serial->SetDtr(dtr_);
      if (staged.ok()) staged = serial->SetRts(rts_);
      if (!staged.ok()) {
        HRESULT hr = Fail(staged, "cannot open");
        session_.reset();
        return hr;
      }
    }
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

SerialTransport* InstrumentIO::Serial() {
  return session_ ? dynamic_cast<SerialTransport*>(&session_->transport()) : nullptr;
}

// While the handshake is inactive, writes go out without flow control (the
// line reset of the control writes "\r\n" so); the chosen handshake returns
// when it is made active again.
SerialSettings InstrumentIO::Applied(const SerialSettings& chosen) const {
  SerialSettings applied = chosen;
  if (!handshake_active_) applied.handshake = Handshake::kNone;
  return applied;
}

HRESULT InstrumentIO::ChangeSerial(const SerialSettings& next, SerialField field) {
  const SerialSettings applied = Applied(next);
  Status status = SerialTransport::Check(applied);
  if (status.ok()) {
    if (SerialTransport* serial = Serial()) status = serial->ApplySettings(applied);
  }
  if (!status.ok()) return Fail(status, "cannot change the line settings");
  serial_ = next;
  serial_put_ |= field;
  return com::S_OK;
}

HRESULT InstrumentIO::put_BaudRate(std::int32_t baud) {
  if (baud <= 0) return com::E_INVALIDARG;
  SerialSettings next = serial_;
  next.baud = baud;
  return ChangeSerial(next, kPutBaud);
}

HRESULT InstrumentIO::get_BaudRate(std::int32_t* baud) {
  if (!baud) return com::E_POINTER;
  *baud = serial_.baud;
  return com::S_OK;
}

HRESULT InstrumentIO::put_DataBits(std::int16_t bits) {
  if (bits < 5 || bits > 8) return com::E_INVALIDARG;
  SerialSettings next = serial_;
  next.data_bits = bits;
  return ChangeSerial(next, kPutDataBits);
}

HRESULT InstrumentIO::get_DataBits(std::int16_t* bits) {
  if (!bits) return com::E_POINTER;
  *bits = static_cast<std::int16_t>(serial_.data_bits);
  return com::S_OK;
}

HRESULT InstrumentIO::put_StopBits(std::int16_t bits) {
  SerialSettings next = serial_;
  switch (bits) {
    case 1:
      next.stop_bits = StopBits::kOne;
      break;
    case 15:
      next.stop_bits = StopBits::kOneAndHalf;
      break;
    case 2:
      next.stop_bits = StopBits::kTwo;
      break;
    default:
      return com::E_INVALIDARG;
  }
  return ChangeSerial(next, kPutStopBits);
}

HRESULT InstrumentIO::get_StopBits(std::int16_t* bits) {
  if (!bits) return com::E_POINTER;
  *bits = serial_.stop_bits == StopBits::kOne          ? 1
          : serial_.stop_bits == StopBits::kOneAndHalf ? 15
                                                       : 2;
  return com::S_OK;
}

HRESULT InstrumentIO::put_Parity(std::int16_t parity) {
  static constexpr Parity kByCode[] = {Parity::kNone, Parity::kOdd, Parity::kEven, Parity::kMark,
                                       Parity::kSpace};
  if (parity < RS232_Parity_None || parity > RS232_Parity_Space) return com::E_INVALIDARG;
  SerialSettings next = serial_;
  next.parity = kByCode[parity];
  return ChangeSerial(next, kPutParity);
}

HRESULT InstrumentIO::get_Parity(std::int16_t* parity) {
  if (!parity) return com::E_POINTER;
  switch (serial_.parity) {
    case Parity::kNone:
      *parity = RS232_Parity_None;
      break;
    case Parity::kOdd:
      *parity = RS232_Parity_Odd;
      break;
    case Parity::kEven:
      *parity = RS232_Parity_Even;
      break;
    case Parity::kMark:
      *parity = RS232_Parity_Mark;
      break;
    case Parity::kSpace:
      *parity = RS232_Parity_Space;
      break;
  }
  return com::S_OK;
}

HRESULT InstrumentIO::get_Handshake(std::int16_t* handshake) {
  if (!handshake) return com::E_POINTER;
  *handshake = serial_.handshake == Handshake::kXonXoff  ? RS232_HandShake_XON_XOFF
               : serial_.handshake == Handshake::kDtrDsr ? RS232_HandShake_DTR_DSR
                                                         : RS232_HandShake_None;
  return com::S_OK;
}

HRESULT InstrumentIO::put_Handshake(std::int16_t handshake) {
  SerialSettings next = serial_;
  switch (handshake) {
    case RS232_HandShake_None:
      next.handshake = Handshake::kNone;
      break;
    case RS232_HandShake_XON_XOFF:
      next.handshake = Handshake::kXonXoff;
      break;
    case RS232_HandShake_DTR_DSR:
      next.handshake = Handshake::kDtrDsr;
      break;
    default:
      return com::E_INVALIDARG;
  }
  return ChangeSerial(next, kPutHandshake);
}

HRESULT InstrumentIO::put_DTR(VARIANT_BOOL on) {
  const bool level = on == com::VARIANT_TRUE;
  if (SerialTransport* serial = Serial()) {
    Status status = serial->SetDtr(level);
    if (!status.ok()) return Fail(status, "cannot set DTR");
  }
  dtr_ = level;
  return com::S_OK;
}

HRESULT InstrumentIO::get_DTR(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(dtr_);
  return com::S_OK;
}

HRESULT InstrumentIO::put_RTS(VARIANT_BOOL on) {
  const bool level = on == com::VARIANT_TRUE;
  if (SerialTransport* serial = Serial()) {
    Status status = serial->SetRts(level);
    if (!status.ok()) return Fail(status, "cannot set RTS");
  }
  rts_ = level;
  return com::S_OK;
}

HRESULT InstrumentIO::get_RTS(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(rts_);
  return com::S_OK;
}

HRESULT InstrumentIO::ReadModemInput(ModemInput line, VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::VARIANT_FALSE;
  HRESULT hr = NeedOpen();
  if (FAILED(hr)) return hr;
  SerialTransport* serial = Serial();
  if (!serial) return com::S_FALSE;
  auto inputs = serial->ReadModemInputs();
  if (!inputs.ok()) return Fail(inputs.status(), "cannot read the modem lines");
  if (!inputs->present) return com::S_FALSE;
  bool level = line == ModemInput::kDsr   ? inputs->dsr
               : line == ModemInput::kCts ? inputs->cts
                                          : inputs->dcd;
  *on = com::ToVariantBool(level);
  return com::S_OK;
}

HRESULT InstrumentIO::get_DSR(VARIANT_BOOL* on) {
  return ReadModemInput(ModemInput::kDsr, on);
}

HRESULT InstrumentIO::get_CTS(VARIANT_BOOL* on) {
  return ReadModemInput(ModemInput::kCts, on);
}

HRESULT InstrumentIO::get_DCD(VARIANT_BOOL* on) {
  return ReadModemInput(ModemInput::kDcd, on);
}

HRESULT InstrumentIO::get_HandshakeActive(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(handshake_active_);
  return com::S_OK;
}

HRESULT InstrumentIO::put_HandshakeActive(VARIANT_BOOL on) {
  const bool active = on == com::VARIANT_TRUE;
  if (active == handshake_active_) return com::S_OK;
  handshake_active_ = active;
  if (SerialTransport* serial = Serial()) {
    Status status = serial->ApplySettings(Applied(serial_));
    if (!status.ok()) {
      handshake_active_ = !active;
      return Fail(status, "cannot change the handshake");
    }
  }
  return com::S_OK;
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
          // Later members, in the order of the interface.
          .Get("BaudRate", 100, &ISerialIO::get_BaudRate)
          .Get("DataBits", 101, &ISerialIO::get_DataBits)
          .Get("StopBits", 102, &ISerialIO::get_StopBits)
          .Get("Parity", 107, &ISerialIO::get_Parity)
          .Put("Parity", 107, &ISerialIO::put_Parity, {In("Value")})
          .Get("DTR", 104, &ISerialIO::get_DTR, {Retval("Value", com::VT_BOOL)})
          .Get("RTS", 105, &ISerialIO::get_RTS, {Retval("Value", com::VT_BOOL)})
          .Get("DSR", 108, &ISerialIO::get_DSR, {Retval("Value", com::VT_BOOL)})
          .Get("CTS", 109, &ISerialIO::get_CTS, {Retval("Value", com::VT_BOOL)})
          .Get("DCD", 110, &ISerialIO::get_DCD, {Retval("Value", com::VT_BOOL)})
          .Build();
  return table;
}

}  // namespace vex::io
