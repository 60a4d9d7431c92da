#include "vex/io/address.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "address_cases.h"
#include "vex/io/host_name.h"
#include "vex/io/serial_transport.h"

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

  Address h = Parse("TCPIP0::10.0.0.5::HISLIP0");
  EXPECT_EQ(h.kind, Address::Kind::kHislip);
  EXPECT_EQ(h.device, "hislip0");
  EXPECT_EQ(h.port, 4880);
  EXPECT_EQ(h.bus_type(), "TCPIP");
  EXPECT_EQ(Parse("TCPIP0::10.0.0.5::hislip0,4880::INSTR"), h);
  Address hp = Parse("TCPIP2::[fe80::1]::hislip3,5000::INSTR");
  EXPECT_EQ(hp.host, "fe80::1");
  EXPECT_EQ(hp.port, 5000);
  EXPECT_EQ(hp.device, "hislip3");
  EXPECT_EQ(hp.board, 2);

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
      {"COM1::Baud=4801", "baud rate 4801 is not one the serial driver offers"},
      {"COM1::Stop=1.5,Size=6", "1.5 stop bits need Size=5"},
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
      {"GPIB0", "GPIBn::address[::INSTR]"},
      {"GPIB0::7::0::INSTR", "GPIBn::address[::INSTR]"},
      {"GPIB0::7::SOCKET", "ends in ::INSTR"},
      {"GPIB0::x::INSTR", "GPIB address \"x\""},
      {"GPIB16::7::INSTR", "GPIB board"},
      {"GPIB::7::INSTR", "GPIB board"},
      {"TCPIP0::host::SOCKET", "needs a port"},
      {"TCPIP0::host::0::SOCKET", "port \"0\""},
      {"TCPIP0::host::65536::SOCKET", "port \"65536\""},
      {"TCPIP0::::5025::SOCKET", "host name is empty"},
      {"TCPIP0::bad host::5025::SOCKET", "host \"bad host\" holds a blank"},
      {"TCPIP0::host:5025::SOCKET", "an IPv6 address goes in brackets"},
      {"TCPIP0::[10.0.0.1]::INSTR", "in brackets is not an IPv6 address"},
      {"TCPIP0::[::1::INSTR", "unterminated IPv6 host"},
      {"TCPIP0::host::hislip0,x::INSTR", "HiSLIP port \"x\""},
      {"TCPIP0", "expected TCPIPn"},
      {"TCPIP0::host::inst0::INSTR::x", "expected TCPIPn"},
      {"TCPIP0::host::inst0::x", "ends in ::SOCKET or ::INSTR"},
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

// The cases every entry point is held to (the control's configuration and
// vexscope run the same list): accepted ones with their canonical text,
// which reads back to the same address, refused ones with their reason.
TEST(AddressTest, TheCasesEveryEntryPointShares) {
  for (const test::AddressCase& c : test::AddressCases()) {
    SCOPED_TRACE(c.text);
    auto r = ParseAddress(c.text);
    if (c.accepted) {
      ASSERT_TRUE(r.ok()) << r.status().message();
      EXPECT_EQ(r->ToString(), c.canonical_or_reason);
      EXPECT_EQ(Parse(r->ToString()), *r);
    } else {
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.status().code(), Errc::kBadAddress);
      EXPECT_EQ(r.status().message().rfind("invalid address " + QuotedForMessage(c.text) + ": ", 0),
                0u)
          << r.status().message();
      EXPECT_NE(r.status().message().find(c.canonical_or_reason), std::string::npos)
          << r.status().message();
    }
  }
}

// "::INSTR" may be left out, as may a VXI-11 device; blanks around fields,
// keywords and values are dropped, blanks inside a field are not.
TEST(AddressTest, ShortFormsAndBlanksMeanTheFullForm) {
  EXPECT_EQ(Parse("GPIB0::7"), Parse("GPIB0::7::INSTR"));
  EXPECT_EQ(Parse("\tGPIB1 ::  12\r\n"), Parse("GPIB1::12::INSTR"));
  EXPECT_EQ(Parse("TCPIP0::10.0.0.5"), Parse("TCPIP0::10.0.0.5::inst0::INSTR"));
  EXPECT_EQ(Parse("TCPIP0::10.0.0.5::INST2").device, "inst2");
  EXPECT_EQ(Parse("TCPIP0::10.0.0.5::INST2").kind, Address::Kind::kVxi11);
  EXPECT_EQ(Parse(" TCPIP0 :: [::1] :: 5025 :: SOCKET "), Parse("TCPIP0::[::1]::5025::SOCKET"));
  EXPECT_EQ(Parse("COM1 ::  Baud = 2400 ,Parity= odd "), Parse("COM1::Baud=2400,Parity=ODD"));
  EXPECT_FALSE(ParseAddress("GPIB0::1 2").ok());
  EXPECT_FALSE(ParseAddress("COM1::Baud=24 00").ok());
  EXPECT_FALSE(ParseAddress("TCPIP0::10.0.0.5::inst 0").ok());
}

// Any bytes may come in; the message shows those outside printable ASCII as
// \xNN and never repeats an address longer than the limit in full.
TEST(AddressTest, MessagesShowOtherBytesEscapedAndCutLongAddresses) {
  const std::string text("COM1::Parity=\x1b]0;x\x07\xff\0", 21);
  auto r = ParseAddress(text);
  ASSERT_FALSE(r.ok());
  const std::string& msg = r.status().message();
  EXPECT_NE(msg.find("\\x1B]0;X\\x07\\xFF\\x00"), std::string::npos) << msg;
  EXPECT_TRUE(std::all_of(msg.begin(), msg.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
      << msg;

  const std::string long_text = "TCPIP0::" + std::string(kMaxAddressLength, 'a') + "::INSTR";
  r = ParseAddress(long_text);
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.status().message().find("longer than 512 characters"), std::string::npos);
  EXPECT_LT(r.status().message().size(), 160u);
}

// The grammar takes exactly the rates the serial transport can set, so an
// address never passes the parser only to fail when the port is opened.
TEST(AddressTest, BaudRatesAreTheOnesTheSerialTransportSets) {
  int supported = 0;
  for (int rate = 0; rate <= 4000001; ++rate) {
    SerialSettings settings;
    settings.baud = rate;
    const bool opened = SerialTransport::Check(settings).ok();
    if (IsSupportedBaudRate(rate) != opened) {
      ADD_FAILURE() << rate << " baud: transport " << opened;
      break;
    }
    supported += opened ? 1 : 0;
  }
  EXPECT_EQ(supported, 30);
  EXPECT_TRUE(ParseAddress("COM1::Baud=4000000").ok());
  EXPECT_TRUE(ParseAddress("COM1::Baud=50").ok());
}

}  // namespace
}  // namespace vex::io
