// The serial interface of an I/O object over a pseudo-terminal mapped as
// COM3: when settings take effect, which of the address's keywords and the
// explicit puts wins, the handshake overlay, the modem lines, and exclusive
// use of the port.
//
// What a pty cannot show: it frames nothing (it keeps eight data bits and no
// parity whatever is asked, so parity and data bits are checked through the
// interface only) and it has no modem lines (TIOCMGET fails), so DTR and RTS
// levels cannot be seen on the far side and DSR, CTS and DCD read as absent.
// Baud rate, stop bits and the XON/XOFF flags are kept by a pty and are
// checked on the line itself.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "instrument_io.h"
#include "vex/io/io_interfaces.h"

namespace vex::io {
namespace {

using namespace vex::com;
using ::testing::HasSubstr;

// A pty whose slave stands behind COM3. The test keeps a descriptor of the
// slave open before the I/O object takes the port, to read the line's
// settings from the tty the object configures.
class SerialIOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    slave_path_ = ::ptsname(master_);
    line_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(line_, 0);
    ::setenv("VEX_COM_PORTS", ("COM3=" + slave_path_).c_str(), 1);
    ::setenv("VEX_COM_PORTS_FILE", "/nonexistent/com-ports.conf", 1);
    io_ = MakeObject<InstrumentIO>();
  }
  void TearDown() override {
    io_.Reset();
    if (line_ >= 0) ::close(line_);
    if (master_ >= 0) ::close(master_);
  }

  termios Line() const {
    termios t{};
    EXPECT_EQ(::tcgetattr(line_, &t), 0);
    return t;
  }
  HRESULT Open(const char* address) { return io_->Open(Variant(address)); }
  std::int32_t Baud() {
    std::int32_t baud = 0;
    EXPECT_EQ(io_->get_BaudRate(&baud), S_OK);
    return baud;
  }

  int master_ = -1;
  int line_ = -1;
  std::string slave_path_;
  ComPtr<InstrumentIO> io_;
};

TEST_F(SerialIOTest, SettingsAreReadableBeforeOpenAndKeywordsGiveTheStartingValues) {
  std::int16_t bits = 0, stop = 0, parity = -1, handshake = 0;
  VARIANT_BOOL dtr = VARIANT_FALSE, rts = VARIANT_FALSE;
  EXPECT_EQ(Baud(), 9600);
  io_->get_DataBits(&bits);
  io_->get_StopBits(&stop);
  io_->get_Parity(&parity);
  io_->get_Handshake(&handshake);
  io_->get_DTR(&dtr);
  io_->get_RTS(&rts);
  EXPECT_EQ(bits, 8);
  EXPECT_EQ(stop, 1);
  EXPECT_EQ(parity, RS232_Parity_None);
  EXPECT_EQ(handshake, RS232_HandShake_XON_XOFF);
  EXPECT_EQ(dtr, VARIANT_TRUE);
  EXPECT_EQ(rts, VARIANT_TRUE);

  ASSERT_EQ(Open("COM3::Baud=19200,Parity=ODD,Stop=2,Handshake=NONE"), S_OK)
      << TakeErrorDetails().description.Str();
  EXPECT_EQ(Baud(), 19200);
  io_->get_StopBits(&stop);
  io_->get_Parity(&parity);
  io_->get_Handshake(&handshake);
  EXPECT_EQ(stop, 2);
  EXPECT_EQ(parity, RS232_Parity_Odd);
  EXPECT_EQ(handshake, RS232_HandShake_None);
  termios t = Line();
  EXPECT_EQ(::cfgetospeed(&t), B19200);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_iflag & IXON);
}

TEST_F(SerialIOTest, PutsBeforeOpenWinOverKeywordsAndSurviveAnotherOpen) {
  ASSERT_EQ(io_->put_BaudRate(57600), S_OK);
  ASSERT_EQ(io_->put_Parity(RS232_Parity_Even), S_OK);
  ASSERT_EQ(io_->put_Handshake(RS232_HandShake_None), S_OK);
  ASSERT_EQ(Open("COM3::Baud=19200,Handshake=XON_XOFF,Stop=2"), S_OK)
      << TakeErrorDetails().description.Str();
  std::int16_t parity = -1, stop = 0, handshake = 0;
  io_->get_Parity(&parity);
  io_->get_StopBits(&stop);
  io_->get_Handshake(&handshake);
  EXPECT_EQ(Baud(), 57600);
  EXPECT_EQ(parity, RS232_Parity_Even);
  EXPECT_EQ(stop, 2);  // not put: the keyword's
  EXPECT_EQ(handshake, RS232_HandShake_None);
  termios t = Line();
  EXPECT_EQ(::cfgetospeed(&t), B57600);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_iflag & IXON);

  // A put while open applies at once; opening again keeps it.
  ASSERT_EQ(io_->put_StopBits(1), S_OK);
  EXPECT_FALSE(Line().c_cflag & CSTOPB);
  io_->CloseSession();
  ASSERT_EQ(Open("COM3::Baud=19200,Stop=2"), S_OK) << TakeErrorDetails().description.Str();
  t = Line();
  EXPECT_EQ(::cfgetospeed(&t), B57600);
  EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST_F(SerialIOTest, ChangesWhileClosedAreAppliedWhenItOpensAgain) {
  ASSERT_EQ(Open("COM3::Baud=9600,Handshake=NONE"), S_OK) << TakeErrorDetails().description.Str();
  io_->CloseSession();
  ASSERT_EQ(io_->put_BaudRate(115200), S_OK);
  ASSERT_EQ(io_->put_Handshake(RS232_HandShake_XON_XOFF), S_OK);
  termios t = Line();
  EXPECT_EQ(::cfgetospeed(&t), B9600);  // nothing reached the line
  // Closed, the object refuses transfers but keeps what is put; opening
  // again applies it over the address's keywords.
  ASSERT_EQ(io_->Output(Variant("x")), HresultFromErrno(ENODEV));
  TakeErrorDetails();
  ASSERT_EQ(Open("COM3::Baud=9600,Handshake=NONE"), S_OK);
  t = Line();
  EXPECT_EQ(::cfgetospeed(&t), B115200);
  EXPECT_TRUE(t.c_iflag & IXON);
}

TEST_F(SerialIOTest, RejectedValuesLeaveTheSettingAsItWas) {
  EXPECT_EQ(io_->put_BaudRate(0), E_INVALIDARG);
  EXPECT_EQ(io_->put_DataBits(9), E_INVALIDARG);
  EXPECT_EQ(io_->put_StopBits(3), E_INVALIDARG);
  EXPECT_EQ(io_->put_Parity(5), E_INVALIDARG);
  EXPECT_EQ(io_->put_Handshake(3), E_INVALIDARG);
  // Values the driver cannot take fail at the put, open or not.
  EXPECT_TRUE(FAILED(io_->put_BaudRate(12345)));
  EXPECT_THAT(TakeErrorDetails().description.Str(), HasSubstr("12345"));
  EXPECT_TRUE(FAILED(io_->put_StopBits(15)));  // 1.5 stop bits need five data bits
  TakeErrorDetails();
  ASSERT_EQ(Open("COM3::Baud=4800"), S_OK);
  EXPECT_TRUE(FAILED(io_->put_BaudRate(12345)));
  TakeErrorDetails();
  EXPECT_EQ(Baud(), 4800);
  termios t = Line();
  EXPECT_EQ(::cfgetospeed(&t), B4800);
  ASSERT_EQ(io_->put_DataBits(5), S_OK);
  ASSERT_EQ(io_->put_StopBits(15), S_OK);
  std::int16_t stop = 0;
  io_->get_StopBits(&stop);
  EXPECT_EQ(stop, 15);
}

TEST_F(SerialIOTest, InactiveHandshakeOutlastsLaterSettersUntilMadeActive) {
  ASSERT_EQ(Open("COM3::Handshake=XON_XOFF"), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_TRUE(Line().c_iflag & IXON);
  ASSERT_EQ(io_->put_HandshakeActive(VARIANT_FALSE), S_OK);
  EXPECT_FALSE(Line().c_iflag & IXON);
  // The line reset of the control: other settings change meanwhile.
  ASSERT_EQ(io_->put_BaudRate(19200), S_OK);
  ASSERT_EQ(io_->put_Handshake(RS232_HandShake_XON_XOFF), S_OK);
  ASSERT_EQ(io_->put_DataBits(8), S_OK);
  EXPECT_FALSE(Line().c_iflag & IXON);
  std::int16_t handshake = 0;
  io_->get_Handshake(&handshake);
  EXPECT_EQ(handshake, RS232_HandShake_XON_XOFF);  // the chosen mode, not the overlay
  ASSERT_EQ(io_->Output(Variant("\r")), S_OK);
  ASSERT_EQ(io_->put_HandshakeActive(VARIANT_TRUE), S_OK);
  termios t = Line();
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_EQ(::cfgetospeed(&t), B19200);
}

TEST_F(SerialIOTest, ModemLinesAreStagedWhileClosedAndAbsentOnAPty) {
  VARIANT_BOOL level = VARIANT_TRUE;
  // Inputs need an open port.
  EXPECT_EQ(io_->get_DSR(&level), HresultFromErrno(ENODEV));
  TakeErrorDetails();
  ASSERT_EQ(io_->put_DTR(VARIANT_FALSE), S_OK);
  ASSERT_EQ(io_->put_RTS(VARIANT_FALSE), S_OK);
  ASSERT_EQ(Open("COM3"), S_OK) << TakeErrorDetails().description.Str();
  io_->get_DTR(&level);
  EXPECT_EQ(level, VARIANT_FALSE);
  ASSERT_EQ(io_->put_DTR(VARIANT_TRUE), S_OK);
  ASSERT_EQ(io_->put_RTS(VARIANT_TRUE), S_OK);
  io_->get_RTS(&level);
  EXPECT_EQ(level, VARIANT_TRUE);
  for (auto getter : {&InstrumentIO::get_DSR, &InstrumentIO::get_CTS, &InstrumentIO::get_DCD}) {
    level = VARIANT_TRUE;
    EXPECT_EQ(((*io_).*getter)(&level), S_FALSE);
    EXPECT_EQ(level, VARIANT_FALSE);
  }
}

TEST_F(SerialIOTest, LateBoundMembersReachTheSameSettings) {
  IDispatch* dispatch = static_cast<IIO*>(io_.Get());
  ASSERT_EQ(PutProperty(dispatch, "BaudRate", Variant(38400)), S_OK);
  ASSERT_EQ(PutProperty(dispatch, "Parity", Variant(std::int16_t{RS232_Parity_Mark})), S_OK);
  ASSERT_EQ(PutProperty(dispatch, "DTR", Variant(false)), S_OK);
  Variant value;
  std::int32_t number = 0;
  ASSERT_EQ(GetProperty(dispatch, "BaudRate", &value), S_OK);
  ASSERT_EQ(value.ToI4(&number), S_OK);
  EXPECT_EQ(number, 38400);
  ASSERT_EQ(GetProperty(dispatch, "Parity", &value), S_OK);
  ASSERT_EQ(value.ToI4(&number), S_OK);
  EXPECT_EQ(number, RS232_Parity_Mark);
  ASSERT_EQ(GetProperty(dispatch, "DTR", &value), S_OK);
  EXPECT_EQ(value.vt(), VT_BOOL);
  EXPECT_EQ(value.BoolVal(), VARIANT_FALSE);
  for (const char* name : {"DataBits", "StopBits", "Handshake", "HandshakeActive", "RTS"})
    EXPECT_EQ(GetProperty(dispatch, name, &value), S_OK) << name;
  ASSERT_EQ(Open("COM3"), S_OK);
  EXPECT_EQ(GetProperty(dispatch, "CTS", &value), S_FALSE);
}

TEST_F(SerialIOTest, APortHeldElsewhereFailsToOpenAndSaysSo) {
  ASSERT_EQ(Open("COM3"), S_OK) << TakeErrorDetails().description.Str();
  auto second = MakeObject<InstrumentIO>();
  HRESULT hr = second->Open(Variant("COM3"));
  EXPECT_EQ(hr, HresultFromErrno(EBUSY));
  std::string why = TakeErrorDetails().description.Str();
  EXPECT_THAT(why, HasSubstr(slave_path_ + " is in use"));
  EXPECT_THAT(why, HasSubstr("process " + std::to_string(::getpid())));
  io_->CloseSession();
  EXPECT_EQ(second->Open(Variant("COM3")), S_OK) << TakeErrorDetails().description.Str();

  // Another program's lock alone keeps the port too.
  second->CloseSession();
  int other = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(second->Open(Variant("COM3")), HresultFromErrno(EBUSY));
  TakeErrorDetails();
  ::close(other);
  EXPECT_EQ(second->Open(Variant("COM3")), S_OK);
}

}  // namespace
}  // namespace vex::io
