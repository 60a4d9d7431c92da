// One set of behaviours every byte transport must show, run over TCP
// loopback and over a pty standing behind a COM name.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "peers.h"
#include "vex/io/session.h"

namespace vex::io {
namespace {

using std::chrono::milliseconds;
using testing::kSanitized;
using testing::Peer;
using testing::PeerThread;
using testing::PtyPeer;
using testing::ReadLine;
using testing::TcpPeer;
using testing::WriteFully;

// Every byte value, line feed and XON/XOFF included.
std::string AllByteValues(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 256);
  return s;
}

template <class P>
class TransportContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer_.Start()) << "could not set up the peer: " << std::strerror(errno);
    session_ = std::make_unique<Session>(std::move(peer_.transport()), peer_.address(), nullptr);
  }
  void TearDown() override { session_.reset(); }

  P peer_;
  std::unique_ptr<Session> session_;
};

// A small socket send buffer on the TCP side, so that writes come out in
// many partial counts.
class SmallBufferTcpPeer : public TcpPeer {
 public:
  SmallBufferTcpPeer() : TcpPeer(TcpTransport::Options{4096, true}) {}
};

using Peers = ::testing::Types<TcpPeer, SmallBufferTcpPeer, PtyPeer>;
class PeerNames {
 public:
  template <class T>
  static std::string GetName(int) {
    if (std::is_same_v<T, TcpPeer>) return "Tcp";
    if (std::is_same_v<T, SmallBufferTcpPeer>) return "TcpSmallBuffer";
    return "Pty";
  }
};
TYPED_TEST_SUITE(TransportContractTest, Peers, PeerNames);

TYPED_TEST(TransportContractTest, QueryAndAnswer) {
  int fd = this->peer_.fd();
  PeerThread peer([fd] {
    for (int i = 0; i < 3; ++i) {
      std::string q = ReadLine(fd);
      if (q == "*IDN?\n")
        WriteFully(fd, "VEXAN,R7104,SN0042,1.02." + std::to_string(i) + "\n");
      else
        WriteFully(fd, "unexpected " + q);
    }
  });
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(this->session_->Write("*IDN?\n").ok());
    std::string reply;
    Status st = this->session_->ReadMessage(reply);
    ASSERT_TRUE(st.ok()) << st.ToString();
    EXPECT_EQ(reply, "VEXAN,R7104,SN0042,1.02." + std::to_string(i));
  }
}

TYPED_TEST(TransportContractTest, MillionByteBlockHoldsEveryByteValue) {
  const std::string data = AllByteValues(1000000);
  int fd = this->peer_.fd();
  PeerThread peer([fd, &data] {
    ReadLine(fd);
    WriteFully(fd, "#71000000" + data + "\n");
    ReadLine(fd);
    WriteFully(fd, "1\n");
  });
  this->session_->set_timeout(milliseconds(10000));
  ASSERT_TRUE(this->session_->Write(":WAV:DATA?\n").ok());
  ByteVector block;
  Status st = this->session_->ReadBlock(block);
  ASSERT_TRUE(st.ok()) << st.ToString();
  ASSERT_EQ(block.size(), data.size());
  EXPECT_EQ(0, std::memcmp(block.data(), data.data(), data.size()));
  // The block's trailing line feed was taken with it.
  ASSERT_TRUE(this->session_->Write("*OPC?\n").ok());
  std::string reply;
  ASSERT_TRUE(this->session_->ReadMessage(reply).ok());
  EXPECT_EQ(reply, "1");
}

TYPED_TEST(TransportContractTest, SilentPeerTimesOutOnTime) {
  const milliseconds timeout(500);
  // Slower sanitized builds get a wider upper bound; the lower bound holds.
  const milliseconds slack = kSanitized ? milliseconds(150) : timeout / 10;
  this->session_->set_timeout(timeout);
  ASSERT_TRUE(this->session_->Write("*IDN?\n").ok());
  for (int round = 0; round < 2; ++round) {
    std::string reply;
    auto start = Clock::now();
    Status st = this->session_->ReadMessage(reply);
    auto took = Clock::now() - start;
    EXPECT_EQ(st.code(), Errc::kTimeout) << st.ToString();
    EXPECT_GE(took, timeout);
    EXPECT_LE(took, timeout + slack)
        << std::chrono::duration_cast<milliseconds>(took).count() << " ms";
    ByteVector block;
    start = Clock::now();
    st = this->session_->ReadBlock(block);
    took = Clock::now() - start;
    EXPECT_EQ(st.code(), Errc::kTimeout) << st.ToString();
    EXPECT_GE(took, timeout);
    EXPECT_LE(took, timeout + slack);
  }
}

TYPED_TEST(TransportContractTest, PeerClosingMidBlockFailsClearly) {
  int fd = this->peer_.fd();
  std::atomic<bool> sent{false};
  PeerThread peer([&, fd] {
    WriteFully(fd, "#41000" + std::string(500, 'x'));
    sent = true;
    std::this_thread::sleep_for(milliseconds(200));
    this->peer_.ClosePeer();
  });
  this->session_->set_timeout(milliseconds(3000));
  ByteVector block;
  auto start = Clock::now();
  Status st = this->session_->ReadBlock(block);
  EXPECT_EQ(st.code(), Errc::kClosed) << st.ToString();
  EXPECT_NE(st.message().find("received 500 of 1000 bytes"), std::string::npos) << st.message();
  EXPECT_LT(Clock::now() - start, milliseconds(2000));
  EXPECT_TRUE(sent);
}

void OnAlarm(int) {}

TYPED_TEST(TransportContractTest, SignalsDuringASlowAnswerDoNotFailTheRead) {
  struct sigaction sa {
  }, old{};
  sa.sa_handler = OnAlarm;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: blocking calls see EINTR
  ASSERT_EQ(0, sigaction(SIGALRM, &sa, &old));
  int fd = this->peer_.fd();
  PeerThread peer([fd] {
    ReadLine(fd);
    std::this_thread::sleep_for(milliseconds(300));
    WriteFully(fd, "#15he");
    std::this_thread::sleep_for(milliseconds(100));
    WriteFully(fd, "llo\nlate answer\n");
  });
  itimerval every{{0, 7000}, {0, 7000}};
  setitimer(ITIMER_REAL, &every, nullptr);
  this->session_->set_timeout(milliseconds(3000));
  Status w = this->session_->Write("*IDN?\n");
  ByteVector block;
  Status st = this->session_->ReadBlock(block);
  std::string reply;
  Status st2 = this->session_->ReadMessage(reply);
  itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &old, nullptr);
  ASSERT_TRUE(w.ok()) << w.ToString();
  ASSERT_TRUE(st.ok()) << st.ToString();
  EXPECT_EQ(std::string(block.begin(), block.end()), "hello");
  ASSERT_TRUE(st2.ok()) << st2.ToString();
  EXPECT_EQ(reply, "late answer");
}

TYPED_TEST(TransportContractTest, SlowReaderStillGetsEveryByte) {
  const std::string data = AllByteValues(1 << 20);
  int fd = this->peer_.fd();
  std::string received;
  PeerThread peer([fd, &received, &data] {
    char buf[1000];
    int reads = 0;
    while (received.size() < data.size()) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      received.append(buf, static_cast<std::size_t>(n));
      if (++reads % 64 == 0) std::this_thread::sleep_for(milliseconds(1));
    }
  });
  this->session_->set_timeout(milliseconds(20000));
  Status st = this->session_->Write(data);
  ASSERT_TRUE(st.ok()) << st.ToString();
  peer.Join();
  ASSERT_EQ(received.size(), data.size());
  EXPECT_TRUE(received == data);
}

TYPED_TEST(TransportContractTest, WriteToAPeerThatNeverReadsTimesOut) {
  this->session_->set_timeout(milliseconds(300));
  const std::string data(16 << 20, 'w');
  auto start = Clock::now();
  Status st = this->session_->Write(data);
  EXPECT_EQ(st.code(), Errc::kTimeout) << st.ToString();
  EXPECT_NE(st.message().find(" of 16777216 bytes"), std::string::npos) << st.message();
  EXPECT_GE(Clock::now() - start, milliseconds(300));
}

TYPED_TEST(TransportContractTest, TrafficLogRecordsEachMessage) {
  char path[] = "/tmp/vexio-log-XXXXXX";
  int tmp = ::mkstemp(path);
  ASSERT_GE(tmp, 0);
  ::close(tmp);
  // A session sharing the peer's transport, with the log attached.
  TrafficLog log(path);
  ASSERT_TRUE(log.enabled());
  int fd = this->peer_.fd();
  PeerThread peer([fd] {
    ReadLine(fd);
    WriteFully(fd, "#14\x01\x02\x03\x04\n");
  });
  struct Borrowed : Transport {
    explicit Borrowed(Transport& t) : t_(t) {}
    Status Open(Deadline) override { return {}; }
    void Close() override {}
    bool is_open() const override { return true; }
    Status Write(std::span<const std::uint8_t> d, Deadline dl) override { return t_.Write(d, dl); }
    Result<ReadResult> Read(std::span<std::uint8_t> b, Deadline dl) override {
      return t_.Read(b, dl);
    }
    std::string description() const override { return t_.description(); }
    Transport& t_;
  };
  Session s(std::make_unique<Borrowed>(this->session_->transport()), this->peer_.address(), &log);
  ASSERT_TRUE(s.Write(":DISP:DATA?\n").ok());
  ByteVector block;
  ASSERT_TRUE(s.ReadBlock(block, MessageReader::BlockHeader::kKeep).ok());
  peer.Join();

  std::ifstream in(path);
  std::string w, r, extra;
  std::getline(in, w);
  std::getline(in, r);
  EXPECT_FALSE(std::getline(in, extra));
  ::unlink(path);
  const std::string stamp = R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z )";
  const std::string addr =
      std::regex_replace(this->peer_.address(), std::regex(R"([.*?])"), R"(\$&)");
  EXPECT_TRUE(std::regex_match(w, std::regex(stamp + addr + R"( > 12 ":DISP:DATA\?\\n")"))) << w;
  EXPECT_TRUE(std::regex_match(r, std::regex(stamp + addr + " < 7 hex 23 31 34 01 02 03 04"))) << r;
}

}  // namespace
}  // namespace vex::io
