// Serial behaviour over a pseudo-terminal: line settings, raw mode, modem
// lines that a pty lacks, and XON/XOFF flow control done by the driver.
#include "vex/io/serial_transport.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>

#include "peers.h"

namespace vex::io {
namespace {

using std::chrono::milliseconds;
using testing::PtyPeer;
using testing::WriteFully;

SerialTransport& Serial(PtyPeer& p) {
  return static_cast<SerialTransport&>(*p.transport());
}

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(SerialTransportTest, AppliesSettingsInRawModeAndReadsThemBack) {
  PtyPeer peer("Baud=19200,Stop=2,Handshake=NONE");
  ASSERT_TRUE(peer.Start());
  SerialTransport& s = Serial(peer);
  auto got = s.ReadSettings();
  ASSERT_TRUE(got.ok()) << got.status().ToString();
  SerialSettings want{19200, 8, Parity::kNone, StopBits::kTwo, Handshake::kNone};
  EXPECT_EQ(*got, want);

  termios t{};
  ASSERT_EQ(0, ::tcgetattr(s.native_handle(), &t));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(t.c_oflag & OPOST);
  EXPECT_FALSE(t.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP));
  EXPECT_TRUE(t.c_cflag & CREAD);

  // Changing settings while open takes effect at once.
  SerialSettings next{57600, 8, Parity::kNone, StopBits::kOne, Handshake::kXonXoff};
  ASSERT_TRUE(s.ApplySettings(next).ok());
  got = s.ReadSettings();
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(*got, next);
  // A pty frames nothing: it keeps eight bits without parity whatever is
  // asked, and that is not an error there.
  SerialSettings seven{57600, 7, Parity::kEven, StopBits::kOne, Handshake::kXonXoff};
  Status seven_st = s.ApplySettings(seven);
  ASSERT_TRUE(seven_st.ok()) << seven_st.ToString();
  EXPECT_EQ(s.settings(), seven);
  ASSERT_TRUE(s.ApplySettings(next).ok());

  EXPECT_EQ(s.ApplySettings({12345, 8, Parity::kNone, StopBits::kOne, Handshake::kNone}).code(),
            Errc::kUnsupported);
  EXPECT_EQ(
      s.ApplySettings({9600, 8, Parity::kNone, StopBits::kOneAndHalf, Handshake::kNone}).code(),
      Errc::kUnsupported);
  EXPECT_EQ(*s.ReadSettings(), next);  // a rejected change leaves the line alone

  // A pty has no modem lines: setting them is not an error.
  EXPECT_TRUE(s.SetDtr(false).ok());
  EXPECT_TRUE(s.SetRts(true).ok());
  EXPECT_FALSE(s.has_modem_lines());
}

TEST(SerialTransportTest, DtrDsrHandshakeOnAPtyStillMovesData) {
  PtyPeer peer("Handshake=DTR_DSR");
  ASSERT_TRUE(peer.Start());
  SerialTransport& s = Serial(peer);
  EXPECT_FALSE(s.has_modem_lines());
  const std::string msg(300, 'd');
  ASSERT_TRUE(s.Write(Bytes(msg), DeadlineAfter(milliseconds(1000))).ok());
  std::string got(msg.size(), '\0');
  std::size_t n = 0;
  while (n < got.size()) {
    ssize_t r = ::read(peer.fd(), got.data() + n, got.size() - n);
    ASSERT_GT(r, 0);
    n += static_cast<std::size_t>(r);
  }
  EXPECT_EQ(got, msg);
}

TEST(SerialTransportTest, XoffFromTheDevicePausesOutputUntilXon) {
  PtyPeer peer("Handshake=XON_XOFF");
  ASSERT_TRUE(peer.Start());
  SerialTransport& s = Serial(peer);
  EXPECT_EQ(testing::ReadBytes(peer.fd(), 1), "\x11");  // sent by the open
  ASSERT_TRUE(WriteFully(peer.fd(), "\x13"));
  std::this_thread::sleep_for(milliseconds(50));
  Status st = s.Write(Bytes("*IDN?\n"), DeadlineAfter(milliseconds(200)));
  EXPECT_EQ(st.code(), Errc::kTimeout) << st.ToString();
  ASSERT_TRUE(WriteFully(peer.fd(), "\x11"));
  ASSERT_TRUE(s.Write(Bytes("*IDN?\n"), DeadlineAfter(milliseconds(1000))).ok());
  EXPECT_EQ(testing::ReadLine(peer.fd()), "*IDN?\n");
  // The driver consumed the flow-control bytes: nothing reaches the reader.
  std::uint8_t buf[8];
  auto r = s.Read(buf, DeadlineAfter(milliseconds(50)));
  EXPECT_EQ(r.status().code(), Errc::kTimeout);
}

// Binary data holding a stop character leaves the line's output suspended,
// and that outlives the open; the next open resumes it, and drops the input
// left from before.
TEST(SerialTransportTest, OpeningAgainResumesOutputThatAStopCharacterInDataSuspended) {
  PtyPeer peer("Handshake=XON_XOFF");
  ASSERT_TRUE(peer.Start());
  SerialTransport& s = Serial(peer);
  EXPECT_EQ(testing::ReadBytes(peer.fd(), 1), "\x11");
  ASSERT_TRUE(WriteFully(peer.fd(), std::string("#15\x01\x13\x02\x03\x04\n", 9)));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(s.Write(Bytes("*IDN?\n"), DeadlineAfter(milliseconds(100))).code(), Errc::kTimeout);
  s.Close();
  ASSERT_TRUE(WriteFully(peer.fd(), "stale\n"));
  std::this_thread::sleep_for(milliseconds(50));

  ASSERT_TRUE(s.Open(DeadlineAfter(milliseconds(500))).ok());
  // With XON/XOFF the instrument is told to go on too, before anything else.
  EXPECT_EQ(testing::ReadBytes(peer.fd(), 1), "\x11");
  Status st = s.Write(Bytes("*IDN?\n"), DeadlineAfter(milliseconds(500)));
  ASSERT_TRUE(st.ok()) << st.ToString();
  EXPECT_EQ(testing::ReadLine(peer.fd()), "*IDN?\n");
  std::uint8_t buf[16];
  EXPECT_EQ(s.Read(buf, DeadlineAfter(milliseconds(50))).status().code(), Errc::kTimeout);
}

TEST(SerialTransportTest, WhatIsPutWhileClosedIsAppliedByEveryOpen) {
  PtyPeer peer("Baud=9600,Handshake=NONE");
  ASSERT_TRUE(peer.Start());
  SerialTransport& s = Serial(peer);
  s.Close();
  SerialSettings next{38400, 8, Parity::kNone, StopBits::kTwo, Handshake::kXonXoff};
  ASSERT_TRUE(s.ApplySettings(next).ok());
  ASSERT_TRUE(s.SetDtr(false).ok());
  ASSERT_TRUE(s.SetRts(false).ok());
  EXPECT_FALSE(s.dtr());
  EXPECT_FALSE(s.rts());
  // Bad values fail while closed as they would while open.
  EXPECT_EQ(s.ApplySettings({12345, 8, Parity::kNone, StopBits::kOne, Handshake::kNone}).code(),
            Errc::kUnsupported);
  // Opened again, as a reopen after a lost device does, the line gets the
  // settings of now, not those it was made with.
  ASSERT_TRUE(s.Open(DeadlineAfter(milliseconds(500))).ok());
  auto got = s.ReadSettings();
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(*got, next);
  EXPECT_FALSE(s.dtr());  // a pty cannot show the level; the transport keeps it
  auto inputs = s.ReadModemInputs();
  ASSERT_TRUE(inputs.ok()) << inputs.status().ToString();
  EXPECT_FALSE(inputs->present);  // TIOCMGET fails on a pty: no lines, no error
}

TEST(SerialTransportTest, TakesThePortExclusively) {
  PtyPeer peer;
  ASSERT_TRUE(peer.Start());
  const std::string path = peer.slave_path();
  SerialTransport second(path, SerialSettings{});
  Status st = second.Open(DeadlineAfter(milliseconds(100)));
  EXPECT_EQ(st.code(), Errc::kIoError);
  EXPECT_EQ(st.sys_errno(), EBUSY);
  EXPECT_EQ(st.message(),
            path + " is in use: process " + std::to_string(::getpid()) + " holds its lock");
  EXPECT_FALSE(second.is_open());
  // TIOCEXCL keeps unprivileged openers out; root passes it, so only a
  // process without that privilege would see EBUSY from open itself.
  if (::geteuid() != 0) {
    EXPECT_LT(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), 0);
    EXPECT_EQ(errno, EBUSY);
  }
  peer.transport()->Close();
  ASSERT_TRUE(second.Open(DeadlineAfter(milliseconds(100))).ok());
  // Closing gives the tty back: the exclusive flag does not outlive us.
  second.Close();
  int plain = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_GE(plain, 0);
  if (plain >= 0) ::close(plain);
}

TEST(SerialTransportTest, OpenFailuresNameTheDevice) {
  SerialTransport missing("/dev/vex-no-such-port", SerialSettings{});
  Status st = missing.Open(DeadlineAfter(milliseconds(100)));
  EXPECT_EQ(st.code(), Errc::kIoError);
  EXPECT_EQ(st.sys_errno(), ENOENT);
  EXPECT_NE(st.message().find("/dev/vex-no-such-port"), std::string::npos);

  SerialTransport not_tty("/dev/null", SerialSettings{});
  st = not_tty.Open(DeadlineAfter(milliseconds(100)));
  EXPECT_NE(st.message().find("/dev/null is not a terminal device"), std::string::npos)
      << st.message();
  EXPECT_FALSE(not_tty.is_open());

  std::uint8_t buf[4];
  EXPECT_EQ(missing.Read(buf, DeadlineAfter(milliseconds(10))).status().code(), Errc::kNotOpen);
  EXPECT_EQ(missing.Write(Bytes("x"), DeadlineAfter(milliseconds(10))).code(), Errc::kNotOpen);
}

}  // namespace
}  // namespace vex::io
