// The published interfaces of the instrument I/O component (VexIOUtils).
//
// Clients create the manager "VexIOUtils.IOManager" through the class
// registry and get I/O objects from it with CreateIO(address), or create an
// I/O class by its own ProgID and Open an address on it. Every interface is a
// dual automation interface: typed calls through these declarations, or late
// binding by member name.
//
// Reply formats of the response values (put_Format before reading):
//   1   the whole reply as a byte array; a definite-length block keeps its header
//   2   comma-separated items, numbers where they parse and text where not
//   6   a definite-length block's data bytes, header checked and removed
//   7   as 6
//   11  comma-separated items as strings
// Any other code reads the reply as one string. The bytes of a reply are
// handed to the first value read in format 1, 6 or 7 rather than copied, so
// a response's block data is read once.
#pragma once

#include "vex/com/com.h"

namespace vex::io {

using com::Bstr;
using com::FAILED;
using com::HRESULT;
using com::SafeArray;
using com::SUCCEEDED;
using com::Variant;
using com::VARIANT_BOOL;
using com::VARTYPE;

inline constexpr com::CLSID kIOManagerClsid =
    com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5A01}");
inline constexpr com::CLSID kInstrumentIOClsid =
    com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5A02}");
inline constexpr const char* kIOManagerProgID = "VexIOUtils.IOManager";
inline constexpr const char* kInstrumentIOProgID = "VexIOUtils.InstrumentIO";

enum ReplyFormat : std::int16_t {
  kFormatBlockWithHeader = 1,
  kFormatNumbers = 2,
  kFormatBlockData = 6,
  kFormatBlockData7 = 7,
  kFormatStrings = 11,
};

// Handshake codes of the serial interface.
enum HandshakeCode : std::int16_t {
  RS232_HandShake_None = 1,
  RS232_HandShake_XON_XOFF = 2,
  RS232_HandShake_DTR_DSR = 4,
};

// Parity codes of the serial interface.
enum ParityCode : std::int16_t {
  RS232_Parity_None = 0,
  RS232_Parity_Odd = 1,
  RS232_Parity_Even = 2,
  RS232_Parity_Mark = 3,
  RS232_Parity_Space = 4,
};

// Levels of log entries that clients forward (the log level type of this library).
enum LogLevel : std::int32_t {
  LogLevel_None = 0,
  LogLevel_Error = 1,
  LogLevel_Warning = 2,
  LogLevel_Information = 3,
  LogLevel_Trace = 4,
};

struct IIOConnection : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B01}");
  // Ends the connection; the I/O object can Open it again.
  virtual HRESULT Close() = 0;
};

struct IIOResponseValues : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B02}");
  virtual HRESULT get_Format(std::int16_t* code) = 0;
  virtual HRESULT put_Format(std::int16_t code) = 0;
  // The whole reply in the current format.
  virtual HRESULT get_Value(Variant* value) = 0;
  // Item `index` (from 0) of a split reply; DISP_E_BADINDEX past the end.
  virtual HRESULT Item(std::int32_t index, Variant* value) = 0;
  virtual HRESULT get_Count(std::int32_t* count) = 0;
};

struct IIOResponse : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B03}");
  virtual HRESULT get_Values(IIOResponseValues** values) = 0;
};

// A command formatter: the text, then one argument, sent as one message.
struct IIOCommand : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B04}");
  virtual HRESULT SetCommand(const Bstr& text, std::int32_t index) = 0;
  virtual HRESULT SetArgument(std::int32_t index, const Variant& value) = 0;
  // Writes the text, one blank unless the text already ends in one, the
  // argument, and `terminator` (a string; "" adds only the line feed).
  virtual HRESULT Send(const Variant& terminator) = 0;
};

struct IIO : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B05}");
  virtual HRESULT get_ProgID(Bstr* prog_id) = 0;
  virtual HRESULT IsSupportedAddress(const Bstr& address, VARIANT_BOOL* supported) = 0;
  // Clears what an error left behind (unread input) before the next exchange.
  virtual HRESULT RecoverAfterError() = 0;
  virtual HRESULT Open(const Variant& address) = 0;
  virtual HRESULT get_Address(Bstr* address) = 0;
  // Reads one reply into `result`; format "K" (or none) gives a string.
  virtual HRESULT Enter(Variant* result, const Bstr& format) = 0;
  virtual HRESULT get_Connection(IIOConnection** connection) = 0;
  // "ASRL" serial, "GPIB", "TCPIP".
  virtual HRESULT get_IOType(Bstr* type) = 0;
  // Writes one message: a string (a line feed is added) or a byte array (as is).
  virtual HRESULT Output(const Variant& buffer) = 0;
  virtual HRESULT Read(IIOResponse** response) = 0;
  // Reads up to *count raw bytes into the buffer (resized to what arrived).
  virtual HRESULT ReadBytes(std::int32_t* count, SafeArray* buffer) = 0;
  virtual HRESULT WriteBytes(std::int32_t count, const SafeArray& buffer) = 0;
  // -1 no termination character, 10 line feed.
  virtual HRESULT get_TermChar(std::int16_t* term_char) = 0;
  virtual HRESULT put_TermChar(std::int16_t term_char) = 0;
  virtual HRESULT get_Timeout(std::int32_t* milliseconds) = 0;
  virtual HRESULT put_Timeout(std::int32_t milliseconds) = 0;
  virtual HRESULT Command(IIOCommand** command) = 0;
};

// Serial I/O objects answer this as well.
//
// Every line setting (baud rate, data bits, parity, stop bits, handshake)
// and the DTR and RTS levels can be read and written at any time. While the
// object is not open they are kept and applied when it opens; while it is
// open they take effect at once. The address's keywords ("COM1::Baud=19200")
// give the starting values; a setting put explicitly, before or after Open,
// wins over the keyword, also when the object is opened again. A value the
// serial driver cannot take fails at the put and leaves the setting as it
// was. DTR and RTS are raised when the port opens unless put false before.
// Non-serial I/O objects keep the settings without effect.
struct ISerialIO : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B06}");
  virtual HRESULT put_BaudRate(std::int32_t baud) = 0;
  // 5 to 8.
  virtual HRESULT put_DataBits(std::int16_t bits) = 0;
  // The number of stop bits: 1 or 2, or 15 for 1.5 (with five data bits).
  virtual HRESULT put_StopBits(std::int16_t bits) = 0;
  virtual HRESULT get_Handshake(std::int16_t* handshake) = 0;
  virtual HRESULT put_Handshake(std::int16_t handshake) = 0;
  virtual HRESULT put_DTR(VARIANT_BOOL on) = 0;
  virtual HRESULT put_RTS(VARIANT_BOOL on) = 0;
  // Whether the handshake is applied to writes; a reset of the line clears
  // it while it writes "\r\n" and restores it afterwards. It overlays the
  // handshake setting: while it is false no handshake is applied, whatever
  // other setting is put, and the chosen handshake returns when it is set
  // true again.
  virtual HRESULT get_HandshakeActive(VARIANT_BOOL* on) = 0;
  virtual HRESULT put_HandshakeActive(VARIANT_BOOL on) = 0;

  // Later members; the ones above keep their places.
  virtual HRESULT get_BaudRate(std::int32_t* baud) = 0;
  virtual HRESULT get_DataBits(std::int16_t* bits) = 0;
  virtual HRESULT get_StopBits(std::int16_t* bits) = 0;
  // A ParityCode.
  virtual HRESULT get_Parity(std::int16_t* parity) = 0;
  virtual HRESULT put_Parity(std::int16_t parity) = 0;
  // The levels last put (or to be driven at open).
  virtual HRESULT get_DTR(VARIANT_BOOL* on) = 0;
  virtual HRESULT get_RTS(VARIANT_BOOL* on) = 0;
  // The modem input lines as the device reports them now; the object must
  // be open. A device without modem lines (a pseudo-terminal) answers
  // S_FALSE and false: the line is not there, which is not an error.
  virtual HRESULT get_DSR(VARIANT_BOOL* on) = 0;
  virtual HRESULT get_CTS(VARIANT_BOOL* on) = 0;
  virtual HRESULT get_DCD(VARIANT_BOOL* on) = 0;
};

struct IIOManager : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B07}");
  virtual HRESULT get_ProgID(Bstr* prog_id) = 0;
  // An I/O object opened on `address`; fails when the port is absent.
  virtual HRESULT CreateIO(const Bstr& address, IIO** io) = 0;
  // A collection (Item, Count, _NewEnum) of I/O objects whose address matches
  // "COM*", "GPIB*" or "GPIBn"; empty when nothing matches.
  virtual HRESULT FindIO(const Bstr& pattern, com::IDispatch** collection) = 0;
};

// Shows a control's property pages in a modal frame, starting at a page
// index (-1 for the default page). The component offers the operation; the
// user interface that draws the pages installs itself as the handler.
inline constexpr com::CLSID kPageDisplayClsid =
    com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5A03}");
inline constexpr const char* kPageDisplayProgID = "VexIOUtils.PageDisplay";

struct IPageDisplayHandler : com::IUnknown {
  using Base = com::IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B09}");
  virtual HRESULT ShowPages(com::IUnknown* control, std::int32_t page_index) = 0;
};

struct IPageDisplay : com::IDispatch {
  using Base = com::IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B0A}");
  virtual HRESULT get_ProgID(Bstr* prog_id) = 0;
  // E_NOTIMPL with a message while no handler is installed.
  virtual HRESULT ShowPages(com::IUnknown* control, std::int32_t page_index) = 0;
  // Installs the handler for this process (nothing removes it).
  virtual HRESULT SetHandler(com::IUnknown* handler) = 0;
};

// A GPIB board simulated inside this process, served by the instrument
// simulator's library ("VexSim.Bus") and reached through the class registry,
// so that the I/O component does not depend on the simulator. Every object of
// the class with the same board number shares the same instruments, as
// connections to one real bus do.
inline constexpr const char* kSimulatedBusProgID = "VexSim.Bus";

struct ISimulatedBus : com::IUnknown {
  using Base = com::IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{7A3E5C10-2B4D-4F61-8E9A-1C2D3E4F5B08}");
  // Binds this object to board `board`; a board is created on first use
  // holding the instruments named by $VEX_SIM_BUS ("7=VDS3004A,9=VDS3002A";
  // default: a VDS3004A at address 7).
  virtual HRESULT Attach(std::int16_t board) = 0;
  // The primary addresses that have an instrument (VT_I2 elements).
  virtual HRESULT Addresses(SafeArray* addresses) = 0;
  // Delivers bytes the controller sends to `address`; `end` marks the last
  // byte of a message (GPIB END).
  virtual HRESULT Write(std::int16_t address, const SafeArray& bytes, VARIANT_BOOL end) = 0;
  // The next whole reply of the instrument: S_OK with its bytes, or S_FALSE
  // and an empty array when it has nothing to say. `delay_ms` is how long a
  // slow instrument takes to answer; `close_after` that it drops the link
  // after these bytes (a fault).
  virtual HRESULT Read(std::int16_t address, SafeArray* bytes, std::int32_t* delay_ms,
                       VARIANT_BOOL* close_after) = 0;
  // Selected device clear.
  virtual HRESULT Clear(std::int16_t address) = 0;
};

}  // namespace vex::io
