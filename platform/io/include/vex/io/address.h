// Instrument address strings: the one grammar of this system. Every place
// that takes an address (the I/O objects and so the automation server's
// Connect, the scope control's Address and its I/O configuration, vexscope's
// -a and `test ADDRESS`) parses it here, so all of them accept and refuse
// the same strings, with the same message.
//
// Accepted forms (keywords, bus names and "INSTR"/"SOCKET" are
// case-insensitive):
//   COMn                               serial port n = 1..4, default settings
//   COMn::Kw=value[,Kw=value...]       Baud=<a rate the serial driver offers,
//                                      IsSupportedBaudRate>, Handshake=NONE|
//                                      XON_XOFF|DTR_DSR, Size=5..8, Parity=NONE|
//                                      ODD|EVEN|MARK|SPACE, Stop=1|1.5|2 (1.5
//                                      only with Size=5), in any order, each at
//                                      most once
//   GPIBn::a[::INSTR]                  board n = 0..15, primary address a = 0..30
//   TCPIP[n]::host::port::SOCKET       raw TCP socket, port 1..65535
//   TCPIP[n]::host[::device][::INSTR]  VXI-11; device "instN" or "gpibN,a"
//                                      (default "inst0")
//   TCPIP[n]::host::hislipN[,port][::INSTR]
//                                      IVI-6.1 HiSLIP, sub-address hislipN on
//                                      TCP port 4880 or the one given
// As in VISA, "::INSTR" may be left out: "GPIB0::7" is "GPIB0::7::INSTR",
// "TCPIP0::10.0.0.5" is "TCPIP0::10.0.0.5::inst0::INSTR".
//
// Blanks (space, tab, CR, LF, VT, FF) are always accepted, and ignored, at
// both ends of the address, around every "::"-separated field, around the
// commas of a keyword list and around its '=': " GPIB0 :: 7 :: INSTR " is
// GPIB0::7::INSTR. A blank inside a field ("GPIB0::7 7", "bad host") is
// refused.
//
// A host is a numeric IPv4 address, a numeric IPv6 address in brackets
// ("[::1]") or a host name of RFC 1123 labels (host_name.h); a name is not
// looked up here. Every other string, USB resources included, and any
// address longer than kMaxAddressLength, is refused with a message of the
// form
//   invalid address "COM1::Parity=Z": parity "Z" is not NONE, ODD, EVEN, MARK or SPACE
// in which bytes outside printable ASCII are shown as \xNN.
//
// A bare "COMn" means 9600 baud, 8 data bits, no parity, one stop bit and
// XON/XOFF handshake: the settings an unconfigured port of this system has.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "vex/io/serial_settings.h"
#include "vex/io/status.h"

namespace vex::io {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 4;
inline constexpr int kLastGpibBoard = 15;
inline constexpr int kLastGpibAddress = 30;
inline constexpr std::size_t kMaxAddressLength = 512;
inline constexpr int kHislipPort = 4880;

struct Address {
  enum class Kind { kSerial, kGpib, kTcpSocket, kVxi11, kHislip };

  Kind kind = Kind::kSerial;
  // COM port number for kSerial, board number for the others.
  int board = 0;

  // kSerial: the keywords given; absent ones take the SerialSettings default.
  std::optional<int> baud;
  std::optional<Handshake> handshake;
  std::optional<int> data_bits;
  std::optional<Parity> parity;
  std::optional<StopBits> stop_bits;

  // kGpib: primary address.
  int gpib_address = 0;

  // kTcpSocket / kVxi11 / kHislip: host as written (brackets removed for
  // IPv6), TCP port (kHislip: 4880 unless given), VXI-11 device name or
  // HiSLIP sub-address ("hislip0") in lower case.
  std::string host;
  int port = 0;
  std::string device;

  // "ASRL", "GPIB" or "TCPIP".
  std::string bus_type() const;
  // The settings a serial address asks for, defaults filled in.
  SerialSettings serial_settings() const;
  // "COM1", "GPIB0", "TCPIP0": the port or interface part.
  std::string interface_name() const;
  // Canonical text: upper-case bus names, keywords in the fixed order Baud,
  // Handshake, Size, Parity, Stop, only those that were given; "GPIB0::7::INSTR";
  // "TCPIP0::host::5025::SOCKET"; "TCPIP0::host::inst0::INSTR";
  // "TCPIP0::host::hislip0::INSTR", "TCPIP0::host::hislip0,4881::INSTR" (the
  // port only when it is not 4880).
  std::string ToString() const;

  friend bool operator==(const Address&, const Address&) = default;
};

// Parses an address string; failures are Errc::kBadAddress.
Result<Address> ParseAddress(std::string_view text);

}  // namespace vex::io
