#include "vex/io/address.h"

#include <gtest/gtest.h>

#include <string>

namespace vex::io {
namespace {

Address Parse(const std::string& text) {
  auto r = ParseAddress(text);
  EXPECT_TRUE(r.ok()) << text << ": " << r.status().ToString();
  return r.ok() ? *r : Address{};
}

// Every address form the control builds for the I/O library and for the
// automation server, with the canonical text and the settings each means.
TEST(AddressTest, FormsTheControlBuilds) {
  struct Case {
    const char* text;
    const char* canonical;
    int port;
    int baud;
    Handshake handshake;
  };
  const Case cases[] = {
      {"COM1", "COM1", 1, 9600, Handshake::kXonXoff},
      {"COM1::Baud=19200", "COM1::Baud=19200", 1, 19200, Handshake::kXonXoff},
      {"COM2::Handshake=DTR_DSR", "COM2::Handshake=DTR_DSR", 2, 9600, Handshake::kDtrDsr},
      {"COM3::Baud=38400,Handshake=DTR_DSR", "COM3::Baud=38400,Handshake=DTR_DSR", 3, 38400,
       Handshake::kDtrDsr},
      {"COM1::Handshake=XON_XOFF", "COM1::Handshake=XON_XOFF", 1, 9600, Handshake::kXonXoff},
      {"COM1::Baud=19200,Handshake=XON_XOFF", "COM1::Baud=19200,Handshake=XON_XOFF", 1, 19200,
       Handshake::kXonXoff},
      {"COM1::Handshake=DTR_DSR", "COM1::Handshake=DTR_DSR", 1, 9600, Handshake::kDtrDsr},
      {"COM2::Baud=19200, Handshake=DTR_DSR", "COM2::Baud=19200,Handshake=DTR_DSR", 2, 19200,
       Handshake::kDtrDsr},
      {"COM2::Baud=19200,Handshake=DTR_DSR", "COM2::Baud=19200,Handshake=DTR_DSR", 2, 19200,
       Handshake::kDtrDsr},
      {"com1", "COM1", 1, 9600, Handshake::kXonXoff},
      {"COM4::Baud=57600", "COM4::Baud=57600", 4, 57600, Handshake::kXonXoff},
      {"COM1::Baud=1200,Handshake=DTR_DSR", "COM1::Baud=1200,Handshake=DTR_DSR", 1, 1200,
       Handshake::kDtrDsr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Address a = Parse(c.text);
    EXPECT_EQ(a.kind, Address::Kind::kSerial);
    EXPECT_EQ(a.bus_type(), "ASRL");
    EXPECT_EQ(a.board, c.port);
    EXPECT_EQ(a.ToString(), c.canonical);
    SerialSettings s = a.serial_settings();
    EXPECT_EQ(s.baud, c.baud);
    EXPECT_EQ(s.handshake, c.handshake);
    EXPECT_EQ(s.data_bits, 8);
    EXPECT_EQ(s.parity, Parity::kNone);
    EXPECT_EQ(s.stop_bits, StopBits::kOne);
    // The canonical text parses back to the same address.
    EXPECT_EQ(Parse(a.ToString()), a);
  }

  Address g = Parse("GPIB0::7::INSTR");
  EXPECT_EQ(g.kind, Address::Kind::kGpib);
  EXPECT_EQ(g.bus_type(), "GPIB");
  EXPECT_EQ(g.board, 0);
  EXPECT_EQ(g.gpib_address, 7);
  EXPECT_EQ(g.ToString(), "GPIB0::7::INSTR");
  for (int board = 0; board <= 3; ++board) {
    for (int addr : {0, 1, 15, 30}) {
      std::string text = "GPIB" + std::to_string(board) + "::" + std::to_string(addr) + "::INSTR";
      Address a = Parse(text);
      EXPECT_EQ(a.board, board);
      EXPECT_EQ(a.gpib_address, addr);
      EXPECT_EQ(a.ToString(), text);
    }
  }
}

TEST(AddressTest, SerialKeywordsInAnyOrderAndCase) {
  Address a = Parse("com2::stop=2,PARITY=even,size=7,handshake=none,BAUD=115200");
  EXPECT_EQ(a.board, 2);
  SerialSettings s = a.serial_settings();
  EXPECT_EQ(s.baud, 115200);
  EXPECT_EQ(s.handshake, Handshake::kNone);
  EXPECT_EQ(s.data_bits, 7);
  EXPECT_EQ(s.parity, Parity::kEven);
  EXPECT_EQ(s.stop_bits, StopBits::kTwo);
  EXPECT_EQ(a.ToString(), "COM2::Baud=115200,Handshake=NONE,Size=7,Parity=EVEN,Stop=2");

  EXPECT_EQ(Parse("COM1::Parity=ODD").serial_settings().parity, Parity::kOdd);
  EXPECT_EQ(Parse("COM1::Parity=MARK").serial_settings().parity, Parity::kMark);
  EXPECT_EQ(Parse("COM1::Parity=SPACE").serial_settings().parity, Parity::kSpace);
  EXPECT_EQ(Parse("COM1::Parity=NONE").serial_settings().parity, Parity::kNone);
  EXPECT_EQ(Parse("COM1::Stop=1.5,Size=5").serial_settings().stop_bits, StopBits::kOneAndHalf);
  EXPECT_EQ(Parse("COM1::Stop=1").serial_settings().stop_bits, StopBits::kOne);
  EXPECT_EQ(Parse(" COM3 :: Baud = 2400 ").serial_settings().baud, 2400);
}

TEST(AddressTest, LanForms) {
  Address s = Parse("TCPIP0::192.168.1.20::5025::SOCKET");
  EXPECT_EQ(s.kind, Address::Kind::kTcpSocket);
  EXPECT_EQ(s.bus_type(), "TCPIP");
  EXPECT_EQ(s.host, "192.168.1.20");
  EXPECT_EQ(s.port, 5025);
  EXPECT_EQ(s.ToString(), "TCPIP0::192.168.1.20::5025::SOCKET");

  Address bare = Parse("tcpip::scope.lab::5025::socket");
  EXPECT_EQ(bare.board, 0);
  EXPECT_EQ(bare.host, "scope.lab");
  EXPECT_EQ(bare.ToString(), "TCPIP0::scope.lab::5025::SOCKET");

  Address v = Parse("TCPIP0::10.0.0.5::INSTR");
  EXPECT_EQ(v.kind, Address::Kind::kVxi11);
  EXPECT_EQ(v.device, "inst0");
  EXPECT_EQ(v.ToString(), "TCPIP0::10.0.0.5::inst0::INSTR");
  EXPECT_EQ(Parse("TCPIP0::10.0.0.5::inst0::INSTR"), v);
  EXPECT_EQ(Parse("TCPIP1::10.0.0.5::INST3::INSTR").device, "inst3");
  EXPECT_EQ(Parse("TCPIP1::10.0.0.5::INST3::INSTR").board, 1);
  EXPECT_EQ(Parse("TCPIP0::gw::gpib0,7::INSTR").device, "gpib0,7");

  Address v6 = Parse("TCPIP0::[::1]::5025::SOCKET");
  EXPECT_EQ(v6.host, "::1");
  EXPECT_EQ(v6.ToString(), "TCPIP0::[::1]::5025::SOCKET");
}

// Each rejected form names the address and says what is wrong.
TEST(AddressTest, RejectsMalformedWithReason) {
  struct Case {
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {"", "empty"},
      {"COM5", "COM1 to COM4"},
      {"COM0", "COM1 to COM4"},
      {"COM", "COM1 to COM4"},
      {"COMX", "COM1 to COM4"},
      {"COM1::", "empty keyword list"},
      {"COM1::Baud=4800x", "baud rate \"4800X\""},
      {"COM1::Baud=", "no value"},
      {"COM1::Baud=-9600", "baud rate"},
      {"COM1::Handshake=RTS_CTS", "handshake \"RTS_CTS\""},
      {"COM1::Parity=BOTH", "parity \"BOTH\""},
      {"COM1::Size=9", "data size \"9\""},
      {"COM1::Stop=3", "stop bits \"3\""},
      {"COM1::Speed=9600", "unknown keyword \"SPEED\""},
      {"COM1::Baud=9600,Baud=19200", "BAUD is given twice"},
      {"COM1::Baud=9600,,Size=8", "empty keyword"},
      {"COM1::Baud", "has no \"=value\""},
      {"COM1::Baud=9600::x", "one keyword list"},
      {"GPIB0::31::INSTR", "GPIB address \"31\""},
      {"GPIB0::7", "GPIBn::address::INSTR"},
      {"GPIB0::7::SOCKET", "ends in ::INSTR"},
      {"GPIB0::x::INSTR", "GPIB address \"x\""},
      {"GPIB16::7::INSTR", "GPIB board"},
      {"GPIB::7::INSTR", "GPIB board"},
      {"TCPIP0::host::SOCKET", "needs a port"},
      {"TCPIP0::host::0::SOCKET", "port \"0\""},
      {"TCPIP0::host::65536::SOCKET", "port \"65536\""},
      {"TCPIP0::::5025::SOCKET", "host name is empty"},
      {"TCPIP0::bad host::5025::SOCKET", "bad host name"},
      {"TCPIP0::host::hislip0::INSTR", "device name \"hislip0\""},
      {"TCPIP0::host", "expected TCPIPn"},
      {"TCPIP0::host::5025::RAW", "::SOCKET or ::INSTR"},
      {"TCPIPX::host::INSTR", "TCPIP or TCPIPn"},
      {"USB0::0x1234::0x5678::SN1::INSTR", "USB instruments are not supported"},
      {"ASRL1::INSTR", "COM1 to COM4"},
      {"LPT1", "unknown interface \"LPT1\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto r = ParseAddress(c.text);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().code(), Errc::kBadAddress);
    const std::string& msg = r.status().message();
    EXPECT_NE(msg.find("\"" + std::string(c.text) + "\""), std::string::npos) << msg;
    EXPECT_NE(msg.find(c.reason), std::string::npos) << msg;
  }
}

}  // namespace
}  // namespace vex::io
