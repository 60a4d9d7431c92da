// A session whose instrument drops the link comes back by itself: over a
// raw TCP socket (a listener on 127.0.0.1 standing in for the instrument)
// and over a tty whose port-map entry is a symbolic link re-pointed to a new
// pty, as a re-plugged USB adapter appears under a new node.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "peers.h"
#include "vex/io/serial_transport.h"
#include "vex/io/session.h"
#include "vex/io/tcp_transport.h"
#include "vex/io/traffic_log.h"

namespace vex::io {
namespace {

using std::chrono::milliseconds;
using testing::kSanitized;
using testing::ReadLine;
using testing::WriteFully;

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count());
}

// The instrument's side: a listening socket on 127.0.0.1 and the
// connections it accepts.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd_, 4) != 0)
      return;
    socklen_t len = sizeof sa;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
  }
  ~Listener() { Stop(); }

  // The next connection, or -1 when none comes in time.
  int Accept(milliseconds wait = milliseconds(2000)) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return -1;
    return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }
  // The instrument is switched off: nothing listens on the port any more.
  void Stop() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ~ScopedFd() { Reset(); }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class TcpReopenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(listener.port(), 0);
    log_path = std::string(VEX_TEST_TMP) + "/reopen-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
    std::filesystem::remove(log_path);
    log = std::make_unique<TrafficLog>(log_path);
    address = "TCPIP0::127.0.0.1::" + std::to_string(listener.port()) + "::SOCKET";
    session = std::make_unique<Session>(
        std::make_unique<TcpTransport>("127.0.0.1", listener.port()), address, log.get());
    session->set_timeout(milliseconds(kTimeoutMs));
    ASSERT_TRUE(session->Open().ok());
    peer.Reset(listener.Accept());
    ASSERT_GE(peer.get(), 0);
  }

  // One query answered by whichever connection `fd` is.
  void ExpectExchange(int fd, const std::string& query = "*IDN?\n") {
    ASSERT_TRUE(session->Write(query).ok());
    EXPECT_EQ(ReadLine(fd), query);
    ASSERT_TRUE(WriteFully(fd, "VEXAN\n"));
    std::string reply;
    ASSERT_TRUE(session->ReadMessage(reply).ok());
    EXPECT_EQ(reply, "VEXAN");
  }

  std::string Tcp() const { return "127.0.0.1:" + std::to_string(listener.port()); }

  static constexpr long kTimeoutMs = 400;
  Listener listener;
  ScopedFd peer;
  std::string log_path;
  std::unique_ptr<TrafficLog> log;
  std::string address;
  std::unique_ptr<Session> session;
};

TEST_F(TcpReopenTest, ALinkClosedWhileIdleIsReopenedBeforeTheWriteWhichSucceeds) {
  ExpectExchange(peer.get());
  peer.Reset();  // the instrument restarts between two calls
  std::this_thread::sleep_for(milliseconds(20));
  ASSERT_TRUE(session->Write("*IDN?\n").ok());
  ScopedFd next(listener.Accept());
  ASSERT_GE(next.get(), 0) << "a new connection";
  EXPECT_EQ(ReadLine(next.get()), "*IDN?\n") << "the write went out on the new link";
  ASSERT_TRUE(WriteFully(next.get(), "VEXAN\n"));
  std::string reply;
  ASSERT_TRUE(session->ReadMessage(reply).ok());
  EXPECT_EQ(reply, "VEXAN");
  EXPECT_FALSE(session->link_broken());
  EXPECT_NE(ReadFile(log_path).find(address + " * reopened " + Tcp() + " after the peer closed it"),
            std::string::npos)
      << ReadFile(log_path);
}

TEST_F(TcpReopenTest, TheCallInFlightFailsAndTheNextOneReopens) {
  ASSERT_TRUE(session->Write(":WAV:DATA?\n").ok());
  EXPECT_EQ(ReadLine(peer.get()), ":WAV:DATA?\n");
  ASSERT_TRUE(WriteFully(peer.get(), "#210abcd"));
  peer.Reset();  // switched off in the middle of the block
  ByteVector block;
  Status st = session->ReadBlock(block);
  EXPECT_EQ(st.code(), Errc::kClosed) << st.ToString();
  EXPECT_EQ(st.message(), "block from " + Tcp() +
                              " truncated: received 4 of 10 bytes before the connection closed");
  EXPECT_TRUE(session->link_broken());
  EXPECT_TRUE(session->is_open()) << "still open for its user";

  ASSERT_TRUE(session->Write("*IDN?\n").ok());
  ScopedFd next(listener.Accept());
  ASSERT_GE(next.get(), 0);
  EXPECT_EQ(ReadLine(next.get()), "*IDN?\n");
  EXPECT_NE(ReadFile(log_path).find(" * reopened " + Tcp() + " after block from "),
            std::string::npos)
      << ReadFile(log_path);
}

// A timeout does not break the link, but the reply it waited for may still
// come: the socket is connected afresh, so that the late reply goes nowhere
// and the next query reads its own.
TEST_F(TcpReopenTest, AReplyLateForItsTimeoutNeverAnswersTheNextQuery) {
  ASSERT_TRUE(session->Write(":TIM:RANG?\n").ok());
  EXPECT_EQ(ReadLine(peer.get()), ":TIM:RANG?\n");
  std::string reply;
  EXPECT_EQ(session->ReadMessage(reply).code(), Errc::kTimeout);
  EXPECT_FALSE(session->link_broken());
  ASSERT_TRUE(session->Recover().ok());
  ScopedFd next(listener.Accept());
  ASSERT_GE(next.get(), 0) << "a new connection";
  ASSERT_TRUE(WriteFully(peer.get(), "0.001\n"));  // late, on the old one
  ExpectExchange(next.get());
  EXPECT_FALSE(session->link_broken());
  EXPECT_NE(ReadFile(log_path).find(" * cleared " + Tcp()), std::string::npos)
      << ReadFile(log_path);
}

// Without a Recover in between, the next write connects afresh itself; a
// reply that arrived meanwhile on the old connection is gone with it.
TEST_F(TcpReopenTest, TheWriteAfterATimeoutGoesOutOnAFreshConnection) {
  ASSERT_TRUE(session->Write(":TIM:RANG?\n").ok());
  EXPECT_EQ(ReadLine(peer.get()), ":TIM:RANG?\n");
  std::string reply;
  EXPECT_EQ(session->ReadMessage(reply).code(), Errc::kTimeout);
  ASSERT_TRUE(WriteFully(peer.get(), "0.001\n"));
  std::this_thread::sleep_for(milliseconds(20));
  ASSERT_TRUE(session->Write("*IDN?\n").ok());
  ScopedFd next(listener.Accept());
  ASSERT_GE(next.get(), 0);
  EXPECT_EQ(ReadLine(next.get()), "*IDN?\n");
  ASSERT_TRUE(WriteFully(next.get(), "VEXAN\n"));
  ASSERT_TRUE(session->ReadMessage(reply).ok());
  EXPECT_EQ(reply, "VEXAN");
}

// What an exchange left unread (a reply nobody asked for) is dropped before
// the next write, on the same connection.
TEST_F(TcpReopenTest, UnreadInputIsDroppedBeforeEachWrite) {
  ASSERT_TRUE(WriteFully(peer.get(), "stray\n"));
  std::this_thread::sleep_for(milliseconds(20));
  ExpectExchange(peer.get());
  EXPECT_LT(listener.Accept(milliseconds(50)), 0) << "no second connection";
}

TEST_F(TcpReopenTest, RecoverReopensABrokenLink) {
  ASSERT_TRUE(session->Write("*IDN?\n").ok());
  EXPECT_EQ(ReadLine(peer.get()), "*IDN?\n");
  peer.Reset();
  std::string reply;
  EXPECT_EQ(session->ReadMessage(reply).code(), Errc::kClosed);
  ASSERT_TRUE(session->Recover().ok());
  EXPECT_FALSE(session->link_broken());
  ScopedFd next(listener.Accept());
  ASSERT_GE(next.get(), 0);
  ExpectExchange(next.get());
}

// Switched off for good: every call fails with the address and the reason,
// no later than its timeout and 10 %, and Recover makes one quick attempt.
TEST_F(TcpReopenTest, ADeadInstrumentFailsEachCallWithinItsTimeout) {
  peer.Reset();
  listener.Stop();
  const long slack = kSanitized ? 100 : 0;
  for (int call = 0; call < 3; ++call) {
    auto start = Clock::now();
    Status st = session->Write("*IDN?\n");
    long elapsed = MillisecondsSince(start);
    EXPECT_EQ(st.code(), Errc::kIoError) << st.ToString();
    EXPECT_EQ(st.sys_errno(), ECONNREFUSED);
    EXPECT_NE(st.message().find("cannot reopen " + Tcp()), std::string::npos) << st.message();
    EXPECT_NE(st.message().find("Connection refused"), std::string::npos) << st.message();
    EXPECT_GE(elapsed, kTimeoutMs * 8 / 10) << "it kept trying for most of its timeout";
    EXPECT_LE(elapsed, kTimeoutMs + kTimeoutMs / 10 + slack);
    EXPECT_TRUE(session->link_broken());
  }
  auto start = Clock::now();
  EXPECT_FALSE(session->Recover().ok());
  EXPECT_LT(MillisecondsSince(start), 100 + slack);
  EXPECT_NE(ReadFile(log_path).find(address + " * cannot reopen " + Tcp()), std::string::npos);
}

// A pty pair stands for the line; the port map names a symbolic link that
// is re-pointed to a new pty when the old one is gone.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    slave_ = ::ptsname(master_);
  }
  ~Pty() { Unplug(); }
  void Unplug() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  int master() const { return master_; }
  const std::string& slave() const { return slave_; }

 private:
  int master_ = -1;
  std::string slave_;
};

void PointLink(const std::string& link, const std::string& target) {
  std::string next = link + ".new";
  std::filesystem::remove(next);
  std::filesystem::create_symlink(target, next);
  std::filesystem::rename(next, link);  // atomically, as udev re-creates a by-id link
}

TEST(SerialReopenTest, ADeviceNodeThatCameBackUnderTheSameNameIsReopened) {
  const std::string link = std::string(VEX_TEST_TMP) + "/reopen-com1";
  auto first = std::make_unique<Pty>();
  ASSERT_FALSE(first->slave().empty());
  PointLink(link, first->slave());
  SerialSettings settings;
  settings.baud = 19200;
  settings.handshake = Handshake::kNone;
  Session session(std::make_unique<SerialTransport>(link, settings), "COM1", nullptr);
  session.set_timeout(milliseconds(500));
  ASSERT_TRUE(session.Open().ok());
  ASSERT_TRUE(session.Write("*IDN?\n").ok());
  EXPECT_EQ(ReadLine(first->master()), "*IDN?\n");

  first->Unplug();  // the adapter is pulled: the line hangs up
  std::string reply;
  Status st = session.ReadMessage(reply);
  EXPECT_EQ(st.code(), Errc::kClosed) << st.ToString();
  EXPECT_TRUE(session.link_broken());

  Pty second;  // and plugged in again, under a new node
  ASSERT_FALSE(second.slave().empty());
  PointLink(link, second.slave());
  ASSERT_TRUE(session.Write("*IDN?\n").ok()) << "reopened through the link";
  EXPECT_EQ(ReadLine(second.master()), "*IDN?\n");
  ASSERT_TRUE(WriteFully(second.master(), "VEXAN\n"));
  ASSERT_TRUE(session.ReadMessage(reply).ok());
  EXPECT_EQ(reply, "VEXAN");
  auto* serial = dynamic_cast<SerialTransport*>(&session.transport());
  ASSERT_NE(serial, nullptr);
  EXPECT_EQ(serial->ReadSettings()->baud, 19200) << "the line settings applied again";
  std::filesystem::remove(link);
}

TEST(SerialReopenTest, ALineThatHungUpWhileIdleIsReopenedBeforeTheWrite) {
  const std::string link = std::string(VEX_TEST_TMP) + "/reopen-com2";
  auto first = std::make_unique<Pty>();
  PointLink(link, first->slave());
  SerialSettings settings;
  settings.handshake = Handshake::kNone;
  Session session(std::make_unique<SerialTransport>(link, settings), "COM2", nullptr);
  session.set_timeout(milliseconds(500));
  ASSERT_TRUE(session.Open().ok());
  first->Unplug();
  Pty second;
  PointLink(link, second.slave());
  EXPECT_TRUE(session.transport().PeerClosed());
  ASSERT_TRUE(session.Write("*RST\n").ok());
  EXPECT_EQ(ReadLine(second.master()), "*RST\n");
  std::filesystem::remove(link);
}

}  // namespace
}  // namespace vex::io
