// Addresses that every entry point taking an instrument address must agree
// on: the grammar itself, the control's I/O configuration and Address, and
// vexscope's test, idn and set Address. Each is accepted (with the canonical
// text the grammar gives it) or refused (with a piece of the reason).
//
// `probe` marks the accepted ones that a command may open in a test: they
// name the simulated bus, a COM port (the tests map COM names to paths
// that do not exist or to silent ptys) or 127.0.0.1 on a closed port, never
// a host name that would be looked up.
#pragma once

#include <string>
#include <vector>

namespace vex::io::test {

struct AddressCase {
  std::string text;
  bool accepted;
  std::string canonical_or_reason;
  bool probe = false;
};

inline const std::vector<AddressCase>& AddressCases() {
  static const std::vector<AddressCase> cases = {
      // The short form and blanks around fields, accepted everywhere.
      {"GPIB0::7", true, "GPIB0::7::INSTR", true},
      {"GPIB0:: 7 ::INSTR", true, "GPIB0::7::INSTR", true},
      {" gpib0::7::instr ", true, "GPIB0::7::INSTR", true},
      {"GPIB9::30", true, "GPIB9::30::INSTR", true},
      {"COM1 :: Baud = 19200 , Handshake = DTR_DSR", true, "COM1::Baud=19200,Handshake=DTR_DSR",
       true},
      {"COM2::Parity=EVEN,Size=7", true, "COM2::Size=7,Parity=EVEN", true},
      {"COM3::Baud=115200", true, "COM3::Baud=115200", true},
      {"COM4::Handshake=NONE", true, "COM4::Handshake=NONE", true},
      {"TCPIP0::127.0.0.1::1::SOCKET", true, "TCPIP0::127.0.0.1::1::SOCKET", true},
      {"TCPIP::[::1]::1::socket", true, "TCPIP0::[::1]::1::SOCKET", true},
      {"TCPIP0::scope-7.lab.example", true, "TCPIP0::scope-7.lab.example::inst0::INSTR"},
      {"TCPIP1::10.0.0.5::gpib0,7", true, "TCPIP1::10.0.0.5::gpib0,7::INSTR"},
      {"TCPIP0::127.0.0.1::hislip0,1::INSTR", true, "TCPIP0::127.0.0.1::hislip0,1::INSTR", true},
      {"tcpip::[::1]:: HiSLIP2 , 1 ", true, "TCPIP0::[::1]::hislip2,1::INSTR"},
      {"TCPIP3::scope-7.lab.example::hislip0,4880", true,
       "TCPIP3::scope-7.lab.example::hislip0::INSTR"},
      // Refused everywhere, before anything is opened.
      {"", false, "the address is empty"},
      {"COM1::Parity=Z", false, "parity \"Z\" is not NONE, ODD, EVEN, MARK or SPACE"},
      {"COM1::Baud=12345", false, "baud rate 12345 is not one the serial driver offers"},
      {"COM1::Baud=9600,Baud=19200", false, "keyword BAUD is given twice"},
      {"COM1::Stop=1.5", false, "1.5 stop bits need Size=5"},
      {"COM1::Handshake=RTS_CTS", false, "handshake \"RTS_CTS\" is not NONE, XON_XOFF or DTR_DSR"},
      {"COM5", false, "serial port must be COM1 to COM4"},
      {"CO M1", false, "unknown interface \"CO M1\""},
      {"GPIB0::7 7::INSTR", false, "GPIB address \"7 7\" is not a number from 0 to 30"},
      {"GPIB0::31", false, "GPIB address \"31\" is not a number from 0 to 30"},
      {"GPIB16::7::INSTR", false, "GPIB board must be GPIB0 to GPIB15"},
      {"GPIB0::7::SOCKET", false, "a GPIB address ends in ::INSTR"},
      {"TCPIP0::bad host::5025::SOCKET", false, "host \"bad host\" holds a blank"},
      {"TCPIP0::999.1.1.1::INSTR", false, "host \"999.1.1.1\" is not an IPv4 address"},
      {"TCPIP0::-scope.lab::INSTR", false, "a label starts or ends with '-'"},
      {"TCPIP0::127.0.0.1::99999::SOCKET", false, "port \"99999\" is not a number from 1 to 65535"},
      {"TCPIP0::127.0.0.1::5025", false, "device name \"5025\" is not instN or gpibN,a"},
      {"TCPIP0::127.0.0.1::hislip0,0::INSTR", false,
       "HiSLIP port \"0\" is not a number from 1 to 65535"},
      {"TCPIP0::127.0.0.1::hislip0,70000", false,
       "HiSLIP port \"70000\" is not a number from 1 to 65535"},
      {"TCPIP0::127.0.0.1::hislipx::INSTR", false,
       "device name \"hislipx\" is not hislipN or hislipN,port"},
      {"TCPIP0::127.0.0.1::hislip0,::INSTR", false, "HiSLIP port \"\" is not a number"},
      {"TCPIP0::127.0.0.1:4880::hislip0", false, "holds ':'"},
      {"USB0::0x1234::0x5678::SN1::INSTR", false, "USB instruments are not supported"},
      {"COM1::Parity=\x1b[2J", false, "parity \"\\x1B[2J\""},
  };
  return cases;
}

}  // namespace vex::io::test
