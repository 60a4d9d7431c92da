// Runs vexsim with --hislip and talks to it through a small raw HiSLIP
// client: sockets and 16-byte headers, written here from IVI-6.1.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VexsimProcess.h"

namespace {

using namespace vex::sim::test;

enum : uint8_t {
  kInitialize = 0,
  kInitializeResponse = 1,
  kFatalError = 2,
  kError = 3,
  kAsyncLock = 4,
  kAsyncLockResponse = 5,
  kData = 6,
  kDataEnd = 7,
  kDeviceClearComplete = 8,
  kDeviceClearAcknowledge = 9,
  kTrigger = 12,
  kInterrupted = 13,
  kAsyncInterrupted = 14,
  kAsyncMaximumMessageSize = 15,
  kAsyncMaximumMessageSizeResponse = 16,
  kAsyncInitialize = 17,
  kAsyncInitializeResponse = 18,
  kAsyncDeviceClear = 19,
  kAsyncStatusQuery = 21,
  kAsyncStatusResponse = 22,
  kAsyncDeviceClearAcknowledge = 23,
  kAsyncLockInfo = 24,
  kAsyncLockInfoResponse = 25,
};

constexpr uint32_t kFirstId = 0xffffff00;

struct Message {
  uint8_t type = 0xff;
  uint8_t control = 0;
  uint32_t parameter = 0;
  std::string payload;
};

std::string Header(uint8_t type, uint8_t control, uint32_t parameter, uint64_t length) {
  std::string h = "HS";
  h.push_back(static_cast<char>(type));
  h.push_back(static_cast<char>(control));
  for (int i = 3; i >= 0; --i) h.push_back(static_cast<char>(parameter >> (8 * i)));
  for (int i = 7; i >= 0; --i) h.push_back(static_cast<char>(length >> (8 * i)));
  return h;
}

std::string BigEndian64(uint64_t v) {
  std::string s;
  for (int i = 7; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

// One TCP connection speaking HiSLIP messages.
class Channel {
 public:
  Channel(const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    fd_ = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage ss{};
    socklen_t len = 0;
    if (v6) {
      auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
      a->sin6_family = AF_INET6;
      a->sin6_port = htons(static_cast<uint16_t>(port));
      inet_pton(AF_INET6, host.c_str(), &a->sin6_addr);
      len = sizeof *a;
    } else {
      auto* a = reinterpret_cast<sockaddr_in*>(&ss);
      a->sin_family = AF_INET;
      a->sin_port = htons(static_cast<uint16_t>(port));
      inet_pton(AF_INET, host.c_str(), &a->sin_addr);
      len = sizeof *a;
    }
    if (connect(fd_, reinterpret_cast<sockaddr*>(&ss), len) != 0) {
      close(fd_);
      fd_ = -1;
    }
    const int one = 1;
    if (fd_ >= 0) setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~Channel() {
    if (fd_ >= 0) close(fd_);
  }
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  bool ok() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  void SendRaw(const std::string& bytes) { WriteAll(fd_, bytes); }
  void Send(uint8_t type, uint8_t control, uint32_t parameter, const std::string& payload = {}) {
    SendRaw(Header(type, control, parameter, payload.size()) + payload);
  }

  // The next message, or nothing when none came in time (eof() tells
  // whether the server closed).
  std::optional<Message> Receive(std::chrono::milliseconds timeout = kTimeout) {
    const auto deadline = Clock::now() + timeout;
    if (!Fill(16, deadline)) return std::nullopt;
    if (buffer_[0] != 'H' || buffer_[1] != 'S') {
      ADD_FAILURE() << "no prologue";
      return std::nullopt;
    }
    Message m;
    m.type = static_cast<uint8_t>(buffer_[2]);
    m.control = static_cast<uint8_t>(buffer_[3]);
    uint64_t length = 0;
    for (int i = 4; i < 8; ++i) m.parameter = (m.parameter << 8) | static_cast<uint8_t>(buffer_[i]);
    for (int i = 8; i < 16; ++i) length = (length << 8) | static_cast<uint8_t>(buffer_[i]);
    if (length > (64u << 20) || !Fill(16 + length, deadline)) return std::nullopt;
    m.payload = buffer_.substr(16, length);
    buffer_.erase(0, 16 + length);
    return m;
  }

  // A message of `type`, failing the test on anything else.
  Message Expect(uint8_t type, std::chrono::milliseconds timeout = kTimeout) {
    auto m = Receive(timeout);
    if (!m) {
      ADD_FAILURE() << "no message of type " << int{type} << (eof_ ? " (closed)" : " (timeout)");
      return {};
    }
    EXPECT_EQ(m->type, type) << "payload: " << m->payload;
    return *m;
  }

  // Whether the server closes the connection within the time, reading on.
  bool ClosedByServer() {
    while (!eof_) {
      if (!Receive() && !eof_) return false;
    }
    return true;
  }

  bool eof() const { return eof_; }

 private:
  bool Fill(std::size_t n, Clock::time_point deadline) {
    while (buffer_.size() < n) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buf[65536];
      const ssize_t got = read(fd_, buf, sizeof buf);
      if (got <= 0) {
        eof_ = true;
        return false;
      }
      buffer_.append(buf, static_cast<std::size_t>(got));
    }
    return true;
  }

  int fd_ = -1;
  std::string buffer_;
  bool eof_ = false;
};

// A HiSLIP session: both channels initialized.
struct Client {
  Client(const std::string& host, int port, uint16_t version = 0x0100,
         const std::string& sub = "hislip0")
      : sync(host, port), async(host, port) {
    // Vendor id "TC" for this test client.
    sync.Send(kInitialize, 0, (uint32_t{version} << 16) | 0x5443, sub);
    const Message r = sync.Expect(kInitializeResponse);
    init_control = r.control;
    server_version = static_cast<uint16_t>(r.parameter >> 16);
    session_id = static_cast<uint16_t>(r.parameter & 0xffff);
    async.Send(kAsyncInitialize, 0, session_id);
    vendor = async.Expect(kAsyncInitializeResponse).parameter;
  }

  // Sends `text` as one DataEnd and reads the reply's pieces up to DataEnd.
  std::string Ask(const std::string& text, uint32_t* reply_id = nullptr) {
    const uint32_t id = next_id;
    next_id += 2;
    sync.Send(kDataEnd, 0, id, text);
    std::string all;
    for (;;) {
      auto m = sync.Receive();
      if (!m) return all + "<none>";
      if (m->type != kData && m->type != kDataEnd)
        return all + "<type " + std::to_string(m->type) + ">";
      EXPECT_EQ(m->parameter, id);
      if (reply_id != nullptr) *reply_id = m->parameter;
      all += m->payload;
      if (m->type == kDataEnd) return all;
    }
  }
  void Tell(const std::string& text) {
    sync.Send(kDataEnd, 0, next_id, text);
    next_id += 2;
  }
  uint8_t Status() {
    async.Send(kAsyncStatusQuery, 0, next_id);
    return async.Expect(kAsyncStatusResponse).control;
  }
  // A lock request or release; the response's control code.
  uint8_t Lock(uint8_t control, uint32_t timeout_ms, const std::string& name = {},
               std::chrono::milliseconds wait = kTimeout) {
    async.Send(kAsyncLock, control, timeout_ms, name);
    return async.Expect(kAsyncLockResponse, wait).control;
  }
  std::pair<uint8_t, uint32_t> LockInfo() {
    async.Send(kAsyncLockInfo, 0, 0);
    const Message m = async.Expect(kAsyncLockInfoResponse);
    return {m.control, m.parameter};
  }
  void DeviceClear(uint8_t requested_mode) {
    async.Send(kAsyncDeviceClear, 0, 0);
    async.Expect(kAsyncDeviceClearAcknowledge);
    sync.Send(kDeviceClearComplete, requested_mode, 0);
    const Message ack = sync.Expect(kDeviceClearAcknowledge);
    EXPECT_EQ(ack.control, requested_mode);
    next_id = kFirstId;
  }

  Channel sync;
  Channel async;
  uint8_t init_control = 0;
  uint16_t server_version = 0;
  uint16_t session_id = 0;
  uint32_t vendor = 0;
  uint32_t next_id = kFirstId;
};

// The port of the banner line "hislip <host>:<port>" for `host`, 0 if none.
int PortOf(const Vexsim& sim, const std::string& host) {
  const std::string line = "hislip " + host + ":";
  const auto at = sim.banner().find(line);
  if (at == std::string::npos) return 0;
  return std::stoi(sim.banner().substr(at + line.size()));
}

const std::string kIdn = "VEXAN TECHNOLOGIES,VDS3014A,SIM000001,A.03.00\n";

TEST(Hislip, InitializesBothChannelsAndAnswersQueriesWithTheirMessageIds) {
  Vexsim sim({"--hislip"});
  const int port = PortOf(sim, "127.0.0.1");
  ASSERT_GT(port, 0) << sim.banner();
  EXPECT_EQ(sim.Endpoint("tcp"), "") << "--hislip alone serves no raw TCP";

  Client a("127.0.0.1", port, 0x0100);
  EXPECT_EQ(a.server_version, 0x0100);
  EXPECT_EQ(a.init_control & 1, 0) << "synchronized mode is preferred by default";
  EXPECT_EQ(a.vendor, 0x5658u);
  Client b("127.0.0.1", port, 0x0200);
  EXPECT_EQ(b.server_version, 0x0200);
  EXPECT_NE(a.session_id, b.session_id);

  EXPECT_EQ(a.Ask("*IDN?"), kIdn);
  uint32_t id = 0;
  EXPECT_EQ(a.Ask(":CHAN1:DISP?", &id), "1\n");
  EXPECT_EQ(id, kFirstId + 2);

  // A message in pieces: the reply carries the id of the DataEnd ending it.
  a.sync.Send(kData, 0, 0x10, "*ID");
  a.sync.Send(kDataEnd, 0, 0x12, "N?");
  const Message reply = a.sync.Expect(kDataEnd);
  EXPECT_EQ(reply.parameter, 0x12u);
  EXPECT_EQ(reply.payload, kIdn);

  // Both sessions reach the one instrument.
  b.Tell(":CHAN3:DISP 0");
  EXPECT_EQ(a.Ask(":CHAN3:DISP?"), "0\n");

  // Trigger is taken as *TRG: no error arises.
  a.sync.Send(kTrigger, 0, a.next_id);
  EXPECT_EQ(a.Ask(":SYST:ERR?"), "0,\"No error\"\n");

  // A message type the server does not know gives an Error, and the
  // connection stays.
  a.async.Send(99, 0, 0);
  EXPECT_EQ(a.async.Expect(kError).control, 1);
  EXPECT_EQ(a.Ask("*IDN?"), kIdn);
}

TEST(Hislip, SplitsRepliesAtTheClientsMaximumAndRefusesLargerData) {
  Vexsim sim({"--hislip", "127.0.0.1:0", "--hislip-max-message", "4096"});
  const int port = PortOf(sim, "127.0.0.1");
  ASSERT_GT(port, 0) << sim.banner();
  EXPECT_EQ(PortOf(sim, "[::1]"), 0) << "an explicit address is served alone";
  Client c("127.0.0.1", port);

  c.async.Send(kAsyncMaximumMessageSize, 0, 0, BigEndian64(16));
  const Message size = c.async.Expect(kAsyncMaximumMessageSizeResponse);
  EXPECT_EQ(size.payload, BigEndian64(4096));

  c.sync.Send(kDataEnd, 0, 0x40, "*IDN?");
  std::string all;
  int pieces = 0;
  for (;;) {
    const Message m = c.sync.Receive().value_or(Message{});
    ASSERT_TRUE(m.type == kData || m.type == kDataEnd) << int{m.type};
    EXPECT_EQ(m.parameter, 0x40u);
    EXPECT_LE(m.payload.size(), 16u);
    all += m.payload;
    ++pieces;
    if (m.type == kDataEnd) break;
  }
  EXPECT_EQ(all, kIdn);
  EXPECT_EQ(pieces, static_cast<int>((kIdn.size() + 15) / 16));

  // Data above the server's maximum: refused with "message too large", its
  // payload passed over, and the session goes on.
  c.sync.Send(kDataEnd, 0, 0x42, ":CHAN1:DISP?" + std::string(5000, ' '));
  EXPECT_EQ(c.sync.Expect(kError).control, 4);
  c.async.Send(kAsyncMaximumMessageSize, 0, 0, BigEndian64(1 << 20));
  c.async.Expect(kAsyncMaximumMessageSizeResponse);
  EXPECT_EQ(c.Ask("*IDN?"), kIdn);
}

// Two queries, the second sent while the first's reply is still held by
// the slow fault.
void SendTwoQueries(Client& c) {
  c.Tell(":SIM:FAUL:DEL 400");
  c.Tell(":SIM:FAUL SLOW");
  c.sync.Send(kDataEnd, 0, 0x100, "*IDN?");
  c.sync.Send(kDataEnd, 0, 0x102, ":CHAN1:DISP?");
}

TEST(Hislip, SynchronizedModeInterruptsAnUnsentReplyAndOverlappedModeQueues) {
  {
    Vexsim sim({"--hislip"});
    Client c("127.0.0.1", PortOf(sim, "127.0.0.1"));
    SendTwoQueries(c);
    EXPECT_EQ(c.sync.Expect(kInterrupted).parameter, 0x102u);
    EXPECT_EQ(c.async.Expect(kAsyncInterrupted).parameter, 0x102u);
    const Message second = c.sync.Expect(kDataEnd);
    EXPECT_EQ(second.parameter, 0x102u);
    EXPECT_EQ(second.payload, "1\n");
    c.Tell(":SIM:FAUL NONE");
    EXPECT_EQ(c.Ask(":SYST:ERR?"), "-410,\"Query INTERRUPTED\"\n");

    // The client asks for overlapped mode when it completes a device clear.
    c.DeviceClear(1);
    SendTwoQueries(c);
    const Message first = c.sync.Expect(kDataEnd);
    EXPECT_EQ(first.parameter, 0x100u);
    EXPECT_EQ(first.payload, kIdn);
    EXPECT_EQ(c.sync.Expect(kDataEnd).parameter, 0x102u);
  }
  {
    Vexsim sim({"--hislip", "--hislip-overlapped"});
    Client c("127.0.0.1", PortOf(sim, "127.0.0.1"));
    EXPECT_EQ(c.init_control & 1, 1);
    SendTwoQueries(c);
    EXPECT_EQ(c.sync.Expect(kDataEnd).parameter, 0x100u);
    const Message second = c.sync.Expect(kDataEnd);
    EXPECT_EQ(second.parameter, 0x102u);
    EXPECT_EQ(second.payload, "1\n");
    EXPECT_FALSE(c.async.Receive(200ms)) << "no AsyncInterrupted in overlapped mode";
  }
}

TEST(Hislip, StatusQueryAndDeviceClearDiscardingAHeldReply) {
  Vexsim sim({"--hislip"});
  Client c("127.0.0.1", PortOf(sim, "127.0.0.1"));
  c.Tell("*CLS");
  EXPECT_EQ(c.Status(), 0);
  c.Tell(":BOGUS");
  EXPECT_EQ(c.Status() & 0x04, 0x04) << "error queue not empty";
  c.Tell("*CLS");

  c.Tell(":SIM:FAUL:DEL 1000");
  c.Tell(":SIM:FAUL SLOW");
  c.Tell(":CHAN1:DISP?");
  EXPECT_EQ(c.Status(), 0x10) << "a reply is waiting";
  c.DeviceClear(0);
  EXPECT_EQ(c.Status(), 0);
  c.Tell(":SIM:FAUL NONE");
  // The held "1" never comes: the first reply is the new query's.
  EXPECT_EQ(c.Ask("*IDN?"), kIdn);
  EXPECT_FALSE(c.sync.Receive(1200ms)) << "the cleared reply was sent after all";
}

TEST(Hislip, FaultsApplyToTheReplies) {
  Vexsim sim({"--hislip"});
  const int port = PortOf(sim, "127.0.0.1");
  {
    Client c("127.0.0.1", port);
    c.Tell(":SIM:FAUL GARB");
    const std::string garbage = c.Ask("*IDN?");
    EXPECT_EQ(garbage.size(), 49u);
    EXPECT_NE(garbage, kIdn);
  }
  Client c("127.0.0.1", port);
  c.Tell(":SIM:FAUL DROP");
  c.sync.Send(kDataEnd, 0, 0x20, ":WAV:DATA?");
  const Message half = c.sync.Expect(kData);
  EXPECT_TRUE(half.payload.starts_with("#8"));
  EXPECT_LT(half.payload.size(), 1000u);
  EXPECT_TRUE(c.sync.ClosedByServer());
  EXPECT_TRUE(c.async.ClosedByServer());
}

TEST(Hislip, ExclusiveAndSharedLocksAcrossSessions) {
  Vexsim sim({"--hislip"});
  const int port = PortOf(sim, "127.0.0.1");
  Client a("127.0.0.1", port);
  Client b("127.0.0.1", port);
  auto c = std::make_unique<Client>("127.0.0.1", port);

  EXPECT_EQ(a.Lock(1, 0), 1);
  EXPECT_EQ(a.Lock(1, 0), 3) << "the lock is held already";
  EXPECT_EQ(b.Lock(1, 0), 0);
  const auto start = Clock::now();
  EXPECT_EQ(b.Lock(1, 300), 0);
  EXPECT_GE(Clock::now() - start, 280ms);
  EXPECT_EQ(a.LockInfo(), std::make_pair(uint8_t{1}, uint32_t{0}));
  EXPECT_EQ(b.Lock(1, 0, "key"), 0) << "no shared lock beside an exclusive one";

  // B waits; the server goes on serving others meanwhile.
  b.async.Send(kAsyncLock, 1, 5000, "");
  EXPECT_EQ(a.Ask("*IDN?"), kIdn);
  EXPECT_FALSE(b.async.Receive(100ms));
  EXPECT_EQ(a.Lock(0, 0), 1);
  EXPECT_EQ(b.async.Expect(kAsyncLockResponse).control, 1) << "granted on release";
  EXPECT_EQ(b.Lock(0, 0), 1);
  EXPECT_EQ(b.Lock(0, 0), 3) << "nothing to release";

  // Shared locks of one name.
  EXPECT_EQ(a.Lock(1, 0, "key"), 1);
  EXPECT_EQ(c->Lock(1, 0, "key"), 1);
  EXPECT_EQ(a.LockInfo(), std::make_pair(uint8_t{0}, uint32_t{2}));
  EXPECT_EQ(b.Lock(1, 0, "other"), 0);
  EXPECT_EQ(b.Lock(1, 0), 0);
  EXPECT_EQ(a.Lock(0, 0), 2) << "a shared lock released";

  // C's shared lock ends with its session; B's waiting request is granted.
  b.async.Send(kAsyncLock, 1, 5000, "");
  EXPECT_FALSE(b.async.Receive(100ms));
  c.reset();
  EXPECT_EQ(b.async.Expect(kAsyncLockResponse).control, 1);
  EXPECT_EQ(a.LockInfo(), std::make_pair(uint8_t{1}, uint32_t{0}));
}

TEST(Hislip, FatalErrorsCloseTheConnection) {
  Vexsim sim({"--hislip", "--hislip-subaddress", "hislip5"});
  const int port = PortOf(sim, "127.0.0.1");
  {
    Channel ch("127.0.0.1", port);
    ch.SendRaw("GET / HTTP/1.0\r\n\r\n");
    const Message m = ch.Expect(kFatalError);
    EXPECT_EQ(m.control, 1);
    EXPECT_FALSE(m.payload.empty());
    EXPECT_TRUE(ch.ClosedByServer());
  }
  {
    Channel ch("127.0.0.1", port);
    ch.Send(kInitialize, 0, 0x01000000, "bogus7");
    const Message m = ch.Expect(kFatalError);
    EXPECT_EQ(m.control, 3);
    EXPECT_NE(m.payload.find("bogus7"), std::string::npos) << m.payload;
    EXPECT_TRUE(ch.ClosedByServer());
  }
  {
    Channel ch("127.0.0.1", port);
    ch.Send(kAsyncInitialize, 0, 0x7777);
    EXPECT_EQ(ch.Expect(kFatalError).control, 3);
    EXPECT_TRUE(ch.ClosedByServer());
  }
  {
    Client c("127.0.0.1", port, 0x0100, "hislip5");
    EXPECT_EQ(c.Ask("*IDN?"), kIdn);
    // A length no buffer could hold: refused from the header alone.
    c.sync.SendRaw(Header(kDataEnd, 0, 0x30, uint64_t{1} << 62));
    EXPECT_EQ(c.sync.Expect(kFatalError).control, 1);
    EXPECT_TRUE(c.sync.ClosedByServer());
    EXPECT_TRUE(c.async.ClosedByServer()) << "the session ends with its channel";
  }
  Client after("127.0.0.1", port);
  EXPECT_EQ(after.Ask("*IDN?"), kIdn);
}

TEST(Hislip, ServesIpv6Loopback) {
  Vexsim sim({"--hislip"});
  const int v6 = PortOf(sim, "[::1]");
  if (v6 == 0) GTEST_SKIP() << "no ::1 on this host: " << sim.banner();
  EXPECT_EQ(v6, PortOf(sim, "127.0.0.1")) << "the same port on both when free";
  Client c("::1", v6);
  EXPECT_EQ(c.Ask("*IDN?"), kIdn);
}

}  // namespace
