// InstrumentIO ("VexIOUtils.InstrumentIO"): an I/O object bound to one
// instrument address, over whichever transport the address names. Serial
// addresses also answer ISerialIO.
//
// Messages written with Output end with a line feed. Read tells a reply that
// is a definite-length block ("#" and a digit other than 0) by its first
// bytes, reads it by its length whatever the termination character, and
// reads any other reply to the termination character (line feed by default).
// Every transfer has one deadline: the timeout from the moment it starts.
#pragma once

#include <memory>
#include <optional>

#include "vex/io/address.h"
#include "vex/io/io_interfaces.h"
#include "vex/io/session.h"

namespace vex::io {

class SerialTransport;

class InstrumentIO : public com::Object<IIO, ISerialIO, com::ISupportErrorInfo> {
 public:
  InstrumentIO() = default;

  HRESULT get_ProgID(Bstr* prog_id) override;
  HRESULT IsSupportedAddress(const Bstr& address, VARIANT_BOOL* supported) override;
  HRESULT RecoverAfterError() override;
  HRESULT Open(const Variant& address) override;
  HRESULT get_Address(Bstr* address) override;
  HRESULT Enter(Variant* result, const Bstr& format) override;
  HRESULT get_Connection(IIOConnection** connection) override;
  HRESULT get_IOType(Bstr* type) override;
  HRESULT Output(const Variant& buffer) override;
  HRESULT Read(IIOResponse** response) override;
  HRESULT ReadBytes(std::int32_t* count, SafeArray* buffer) override;
  HRESULT WriteBytes(std::int32_t count, const SafeArray& buffer) override;
  HRESULT get_TermChar(std::int16_t* term_char) override;
  HRESULT put_TermChar(std::int16_t term_char) override;
  HRESULT get_Timeout(std::int32_t* milliseconds) override;
  HRESULT put_Timeout(std::int32_t milliseconds) override;
  HRESULT Command(IIOCommand** command) override;

  HRESULT put_BaudRate(std::int32_t baud) override;
  HRESULT put_DataBits(std::int16_t bits) override;
  HRESULT put_StopBits(std::int16_t bits) override;
  HRESULT get_Handshake(std::int16_t* handshake) override;
  HRESULT put_Handshake(std::int16_t handshake) override;
  HRESULT put_DTR(VARIANT_BOOL on) override;
  HRESULT put_RTS(VARIANT_BOOL on) override;
  HRESULT get_HandshakeActive(VARIANT_BOOL* on) override;
  HRESULT put_HandshakeActive(VARIANT_BOOL on) override;
  HRESULT get_BaudRate(std::int32_t* baud) override;
  HRESULT get_DataBits(std::int16_t* bits) override;
  HRESULT get_StopBits(std::int16_t* bits) override;
  HRESULT get_Parity(std::int16_t* parity) override;
  HRESULT put_Parity(std::int16_t parity) override;
  HRESULT get_DTR(VARIANT_BOOL* on) override;
  HRESULT get_RTS(VARIANT_BOOL* on) override;
  HRESULT get_DSR(VARIANT_BOOL* on) override;
  HRESULT get_CTS(VARIANT_BOOL* on) override;
  HRESULT get_DCD(VARIANT_BOOL* on) override;

  HRESULT InterfaceSupportsErrorInfo(const com::IID& iid) override;
  VEX_COM_IMPLEMENT_DISPATCH(InstrumentIO, Table())

  // Sets the address without opening it (objects listed by FindIO).
  void SetAddress(const Address& address);
  // Ends the connection; Open may follow again.
  void CloseSession();

 protected:
  void* QueryExtra(const com::IID& iid) override;

 private:
  static const com::DispatchTable& Table();
  HRESULT Fail(const Status& status, std::string_view what);
  HRESULT NeedOpen();
  HRESULT WriteMessage(std::string_view text, bool add_line_feed);
  HRESULT ReadReply(struct Reply* reply);

  // Serial settings. `serial_` holds the chosen settings: the address's
  // keywords, overlaid by the settings put explicitly (`serial_put_`, bits
  // of SerialField). The transport gets them with the handshake overlay
  // applied, at Open while closed and at once while open; the transport
  // keeps them, so that whatever opens it again applies them again.
  enum SerialField : unsigned {
    kPutBaud = 1,
    kPutDataBits = 2,
    kPutParity = 4,
    kPutStopBits = 8,
    kPutHandshake = 16,
  };
  SerialTransport* Serial();
  SerialSettings Applied(const SerialSettings& chosen) const;
  HRESULT ChangeSerial(const SerialSettings& next, SerialField field);
  enum class ModemInput { kDsr, kCts, kDcd };
  HRESULT ReadModemInput(ModemInput line, VARIANT_BOOL* on);

  std::optional<Address> address_;
  std::unique_ptr<Session> session_;
  std::int16_t term_char_ = 10;
  std::int32_t timeout_ms_ = 2000;
  SerialSettings serial_{};
  unsigned serial_put_ = 0;
  bool handshake_active_ = true;
  bool dtr_ = true;
  bool rts_ = true;
  // A command and its line feed, kept between writes so that a command
  // costs no allocation once the buffer has grown to its length.
  std::string message_;
};

}  // namespace vex::io
