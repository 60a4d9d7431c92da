// The HiSLIP client against a scripted server: two listeners on the
// loopback, and a thread per test that accepts both channels and plays its
// part message by message, including messages a correct server never sends.
#include "vex/io/hislip_transport.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "hislip_message.h"
#include "peers.h"
#include "vex/io/session.h"

namespace vex::io {
namespace {

using namespace std::chrono_literals;
using hislip::Type;
using testing::PeerThread;

constexpr std::uint32_t kSession = 0x1234;

int OpenFds() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (::readdir(d)) ++n;
    ::closedir(d);
  }
  return n;
}

struct Msg {
  hislip::Header h;
  std::string raw_header;
  std::string payload;
  bool ok = false;
};

// One side of the scripted server: a channel's accepted socket.
class Chan {
 public:
  int fd = -1;
  ~Chan() {
    if (fd >= 0) ::close(fd);
  }
  // The next message, waiting at most two seconds for each part.
  Msg Recv() {
    Msg m;
    m.raw_header = testing::ReadBytes(fd, hislip::kHeaderSize);
    if (m.raw_header.size() != hislip::kHeaderSize) return m;
    auto h = hislip::Decode(std::span<const std::uint8_t, hislip::kHeaderSize>(
        reinterpret_cast<const std::uint8_t*>(m.raw_header.data()), hislip::kHeaderSize));
    if (!h) return m;
    m.h = *h;
    m.payload = testing::ReadBytes(fd, static_cast<std::size_t>(m.h.length));
    m.ok = m.payload.size() == m.h.length;
    return m;
  }
  // The next message of this type, the others dropped.
  Msg RecvType(Type t) {
    for (;;) {
      Msg m = Recv();
      if (!m.ok || m.h.type == static_cast<std::uint8_t>(t)) return m;
    }
  }
  void Send(Type t, std::uint8_t control, std::uint32_t parameter,
            const std::string& payload = {}) {
    std::uint8_t head[hislip::kHeaderSize];
    hislip::Encode(hislip::Make(t, control, parameter, payload.size()), head);
    std::string bytes(reinterpret_cast<char*>(head), sizeof head);
    testing::WriteFully(fd, bytes + payload);
  }
  void SendRaw(const std::string& bytes) { testing::WriteFully(fd, bytes); }
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

int Listen(int family) {
  int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_storage ss{};
  socklen_t len;
  if (family == AF_INET) {
    auto* sa = reinterpret_cast<sockaddr_in*>(&ss);
    sa->sin_family = AF_INET;
    sa->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof *sa;
  } else {
    auto* sa = reinterpret_cast<sockaddr_in6*>(&ss);
    sa->sin6_family = AF_INET6;
    sa->sin6_addr = in6addr_loopback;
    len = sizeof *sa;
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(fd, 4) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int PortOf(int fd) {
  sockaddr_storage ss{};
  socklen_t len = sizeof ss;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
  return ss.ss_family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port)
                                 : ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port);
}

// Accepts within two seconds; -1 when no client came.
int AcceptWithin(int listen_fd) {
  pollfd p{listen_fd, POLLIN, 0};
  if (::poll(&p, 1, 2000) != 1) return -1;
  return ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
}

// The server: one listener (HiSLIP serves both channels on one port), the
// script on its own thread.
class Server {
 public:
  explicit Server(int family = AF_INET) : listen_(Listen(family)) {}
  ~Server() {
    thread_.Join();
    if (listen_ >= 0) ::close(listen_);
  }
  bool ok() const { return listen_ >= 0; }
  int port() const { return PortOf(listen_); }
  void Run(std::function<void(Server&)> script) {
    thread_ = PeerThread([this, script = std::move(script)] { script(*this); });
  }
  void Join() { thread_.Join(); }
  bool AcceptSync() {
    sync.fd = AcceptWithin(listen_);
    return sync.fd >= 0;
  }

  // The whole opening, as a server of version 2.0 with this mode and
  // maximum message size; the client's messages are kept.
  bool Open(bool overlap = false, std::uint64_t max_size = 1 << 20) {
    sync.fd = AcceptWithin(listen_);
    if (sync.fd < 0) return false;
    init = sync.Recv();
    sync.Send(Type::kInitializeResponse, overlap ? 1 : 0, (0x0200u << 16) | kSession);
    async.fd = AcceptWithin(listen_);
    if (async.fd < 0) return false;
    async_init = async.Recv();
    async.Send(Type::kAsyncInitializeResponse, 0, ('S' << 8) | 'V');
    max_msg = async.Recv();
    std::string size(8, '\0');
    for (int i = 0; i < 8; ++i) size[i] = static_cast<char>(max_size >> (56 - 8 * i));
    async.Send(Type::kAsyncMaximumMessageSizeResponse, 0, 0, size);
    return init.ok && async_init.ok && max_msg.ok;
  }
  // A whole client message: Data pieces up to DataEnd, their payloads
  // joined; the pieces are kept.
  std::string RecvMessage(std::uint32_t* id = nullptr) {
    std::string all;
    pieces.clear();
    for (;;) {
      Msg m = sync.Recv();
      if (!m.ok) return all;
      pieces.push_back(m);
      all += m.payload;
      if (m.h.type == static_cast<std::uint8_t>(Type::kDataEnd)) {
        if (id) *id = m.h.parameter;
        return all;
      }
    }
  }
  // The device clear handshake as a server; `between` runs after the
  // async acknowledgement, before DeviceClearComplete is read.
  Msg ServeClear(std::uint8_t setting, const std::function<void()>& between = {}) {
    async.RecvType(Type::kAsyncDeviceClear);
    if (between) between();
    async.Send(Type::kAsyncDeviceClearAcknowledge, setting, 0);
    Msg complete = sync.RecvType(Type::kDeviceClearComplete);
    sync.Send(Type::kDeviceClearAcknowledge, complete.h.control, 0);
    return complete;
  }

  Chan sync;
  Chan async;
  Msg init, async_init, max_msg;
  std::vector<Msg> pieces;

 private:
  int listen_;
  PeerThread thread_;
};

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Reads one message to its END with a small buffer; the text, or the status.
Result<std::string> ReadReply(HislipTransport& t, Deadline deadline, std::size_t chunk = 3) {
  std::string out;
  std::vector<std::uint8_t> buf(chunk);
  for (;;) {
    auto r = t.Read(buf, deadline);
    if (!r.ok()) return r.status();
    out.append(reinterpret_cast<char*>(buf.data()), r->count);
    if (r->end) return out;
  }
}

HislipTransport::Options At(const Server& s, HislipTransport::Mode mode = {}) {
  HislipTransport::Options o;
  o.port = s.port();
  o.mode = mode;
  return o;
}

TEST(HislipTransport, OpensBothChannelsAndAnswersAQueryInPieces) {
  Server s;
  ASSERT_TRUE(s.ok());
  std::string query;
  std::uint32_t query_id = 0;
  s.Run([&](Server& sv) {
    if (!sv.Open()) return;
    query = sv.RecvMessage(&query_id);
    sv.sync.Send(Type::kData, 0, query_id, "VEX,");
    sv.sync.Send(Type::kData, 0, query_id, "VDS3004A,");
    sv.sync.Send(Type::kDataEnd, 0, query_id, "1.0\n");
    // The next message says the reply was delivered.
    sv.RecvMessage();
  });
  HislipTransport t("127.0.0.1", "hislip0", At(s));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  EXPECT_EQ(t.session_id(), kSession);
  EXPECT_EQ(t.server_version(), 0x0200);
  EXPECT_FALSE(t.overlapped());
  EXPECT_EQ(t.server_max_message(), 1u << 20);
  ASSERT_TRUE(t.Write(Bytes("*IDN?\n"), DeadlineAfter(2s)).ok());
  auto reply = ReadReply(t, DeadlineAfter(2s));
  ASSERT_TRUE(reply.ok()) << reply.status().ToString();
  EXPECT_EQ(*reply, "VEX,VDS3004A,1.0\n");
  ASSERT_TRUE(t.Write(Bytes("*OPC\n"), DeadlineAfter(2s)).ok());
  s.Join();

  // Initialize: "HS", type 0, control 0, version 2.0 and vendor "VX",
  // the sub-address as payload.
  EXPECT_EQ(s.init.raw_header, std::string("HS\x00\x00\x02\x00VX\0\0\0\0\0\0\0\x07", 16));
  EXPECT_EQ(s.init.payload, "hislip0");
  EXPECT_EQ(s.async_init.h.type, 17);
  EXPECT_EQ(s.async_init.h.parameter, kSession);
  EXPECT_EQ(s.max_msg.h.type, 15);
  EXPECT_EQ(s.max_msg.payload, std::string("\0\0\0\0\x04\0\0\0", 8));  // 64 MiB
  EXPECT_EQ(query, "*IDN?\n");
  EXPECT_EQ(query_id, HislipTransport::kFirstMessageId);
  // The second message: the next id, RMT-delivered set.
  ASSERT_EQ(s.pieces.size(), 1u);
  EXPECT_EQ(s.pieces[0].h.parameter, HislipTransport::kFirstMessageId + 2);
  EXPECT_EQ(s.pieces[0].h.control, 1);
}

TEST(HislipTransport, WritesInPiecesOfTheServersMaximumSize) {
  Server s;
  ASSERT_TRUE(s.ok());
  std::string got;
  s.Run([&](Server& sv) {
    if (!sv.Open(false, 8)) return;
    got = sv.RecvMessage();
  });
  HislipTransport t("127.0.0.1", "hislip0", At(s));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  const std::string text = ":DISPLAY:TEXT \"twenty\"\n";  // 23 bytes
  ASSERT_TRUE(t.Write(Bytes(text), DeadlineAfter(2s)).ok());
  s.Join();
  EXPECT_EQ(got, text);
  ASSERT_EQ(s.pieces.size(), 3u);
  std::uint32_t id = HislipTransport::kFirstMessageId;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(s.pieces[i].h.type, i < 2 ? 6 : 7);
    EXPECT_EQ(s.pieces[i].payload.size(), i < 2 ? 8u : 7u);
    EXPECT_EQ(s.pieces[i].h.parameter, id);
    id += 2;
  }
}

// Synchronized mode: a reply that carries an earlier query's id (late,
// after that query timed out) never answers the current one.
TEST(HislipTransport, DropsAReplyWithAnOldMessageId) {
  Server s;
  ASSERT_TRUE(s.ok());
  s.Run([&](Server& sv) {
    if (!sv.Open()) return;
    std::uint32_t first = 0, second = 0;
    sv.RecvMessage(&first);
    sv.RecvMessage(&second);
    sv.sync.Send(Type::kDataEnd, 0, first, "late\n");
    sv.sync.Send(Type::kDataEnd, 0, second, "fresh\n");
  });
  HislipTransport t("127.0.0.1", "hislip0", At(s));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  ASSERT_TRUE(t.Write(Bytes("A?\n"), DeadlineAfter(2s)).ok());
  std::uint8_t b[8];
  EXPECT_EQ(t.Read(b, DeadlineAfter(50ms)).status().code(), Errc::kTimeout);
  ASSERT_TRUE(t.Write(Bytes("B?\n"), DeadlineAfter(2s)).ok());
  auto reply = ReadReply(t, DeadlineAfter(2s));
  ASSERT_TRUE(reply.ok()) << reply.status().ToString();
  EXPECT_EQ(*reply, "fresh\n");
}

// Overlapped mode: replies answer the queries in order, whatever id.
TEST(HislipTransport, OverlappedModeTakesRepliesInOrder) {
  Server s;
  ASSERT_TRUE(s.ok());
  s.Run([&](Server& sv) {
    if (!sv.Open(true)) return;
    std::uint32_t first = 0, second = 0;
    sv.RecvMessage(&first);
    sv.RecvMessage(&second);
    sv.sync.Send(Type::kDataEnd, 0, first, "one\n");
    sv.sync.Send(Type::kDataEnd, 0, second, "two\n");
  });
  HislipTransport t("127.0.0.1", "hislip0", At(s));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  EXPECT_TRUE(t.overlapped());
  ASSERT_TRUE(t.Write(Bytes("A?\n"), DeadlineAfter(2s)).ok());
  ASSERT_TRUE(t.Write(Bytes("B?\n"), DeadlineAfter(2s)).ok());
  auto one = ReadReply(t, DeadlineAfter(2s));
  auto two = ReadReply(t, DeadlineAfter(2s));
  ASSERT_TRUE(one.ok() && two.ok());
  EXPECT_EQ(*one, "one\n");
  EXPECT_EQ(*two, "two\n");
}

// A mode asked for in the options is requested with a device clear at
// Open, and the server's acknowledgement decides it.
TEST(HislipTransport, AForcedModeIsRequestedAtOpen) {
  Server s;
  ASSERT_TRUE(s.ok());
  Msg complete;
  s.Run([&](Server& sv) {
    if (!sv.Open(false)) return;
    complete = sv.ServeClear(0);
  });
  HislipTransport t("127.0.0.1", "hislip0", At(s, HislipTransport::Mode::kOverlapped));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  EXPECT_TRUE(t.overlapped());
  s.Join();
  EXPECT_EQ(complete.h.control, 1);
}

TEST(HislipTransport, ARefusedSubAddressFailsOpenFastWithTheServersText) {
  Server s;
  ASSERT_TRUE(s.ok());
  s.Run([&](Server& sv) {
    if (!sv.AcceptSync()) return;
    sv.init = sv.sync.Recv();
    sv.sync.Send(Type::kFatalError, 3, 0, "no such sub-address hislip7");
    testing::ReadBytes(sv.sync.fd, 1);  // until the client closes
    sv.sync.Close();
  });
  const int before = OpenFds();
  HislipTransport t("127.0.0.1", "hislip7", At(s));
  const auto start = Clock::now();
  Status st = t.Open(DeadlineAfter(5s));
  EXPECT_LT(Clock::now() - start, 1s);
  EXPECT_EQ(st.code(), Errc::kNotOpen) << st.ToString();
  EXPECT_NE(st.message().find("no such sub-address hislip7"), std::string::npos) << st.message();
  EXPECT_FALSE(t.is_open());
  s.Join();
  EXPECT_EQ(OpenFds(), before);
  EXPECT_EQ(s.init.payload, "hislip7");
}

// A server that accepts and never answers Initialize: Open gives up at its
// deadline and leaves no descriptor behind.
TEST(HislipTransport, AServerThatNeverAnswersTimesOutAtTheDeadline) {
  Server s;
  ASSERT_TRUE(s.ok());
  s.Run([&](Server& sv) {
    if (!sv.AcceptSync()) return;
    testing::ReadBytes(sv.sync.fd, 10000);  // reads until the client closes
    sv.sync.Close();
  });
  const int before = OpenFds();
  HislipTransport t("127.0.0.1", "hislip0", At(s));
  const auto start = Clock::now();
  Status st = t.Open(start + 300ms);
  const auto took = Clock::now() - start;
  EXPECT_EQ(st.code(), Errc::kTimeout) << st.ToString();
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, testing::kSanitized ? 1500ms : 450ms);
  EXPECT_FALSE(t.is_open());
  s.Join();
  EXPECT_EQ(OpenFds(), before);
}

// The whole clear: AsyncDeviceClear, its acknowledgement, DeviceClearComplete
// and its acknowledgement; the reply data that arrives meanwhile is dropped
// and the message ids start again.
TEST(HislipTransport, DeviceClearDropsDataArrivingMeanwhile) {
  Server s;
  ASSERT_TRUE(s.ok());
  Msg complete;
  std::uint32_t after = 0;
  s.Run([&](Server& sv) {
    if (!sv.Open()) return;
    std::uint32_t id = 0;
    sv.RecvMessage(&id);
    complete = sv.ServeClear(0, [&] {
      sv.sync.Send(Type::kData, 0, id, std::string(100000, 'x'));
      sv.sync.Send(Type::kDataEnd, 0, id, "old\n");
    });
    sv.RecvMessage(&after);
    sv.sync.Send(Type::kDataEnd, 0, after, "new\n");
  });
  HislipTransport t("127.0.0.1", "hislip0", At(s));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  ASSERT_TRUE(t.Write(Bytes("CURVE?\n"), DeadlineAfter(2s)).ok());
  Status st = t.Clear(DeadlineAfter(2s));
  ASSERT_TRUE(st.ok()) << st.ToString();
  ASSERT_TRUE(t.Write(Bytes("*IDN?\n"), DeadlineAfter(2s)).ok());
  auto reply = ReadReply(t, DeadlineAfter(2s));
  ASSERT_TRUE(reply.ok()) << reply.status().ToString();
  EXPECT_EQ(*reply, "new\n");
  s.Join();
  EXPECT_EQ(complete.h.control, 0);
  EXPECT_EQ(after, HislipTransport::kFirstMessageId);
}

TEST(HislipTransport, LocksAndStatusByte) {
  Server s;
  ASSERT_TRUE(s.ok());
  std::vector<Msg> asked;
  s.Run([&](Server& sv) {
    if (!sv.Open()) return;
    Msg m = sv.async.Recv();  // exclusive lock: granted
    asked.push_back(m);
    sv.async.Send(Type::kAsyncLockResponse, 1, 0);
    m = sv.async.Recv();  // shared lock: denied
    asked.push_back(m);
    sv.async.Send(Type::kAsyncLockResponse, 0, 0);
    m = sv.async.Recv();  // no answer: the client times out
    asked.push_back(m);
    m = sv.async.Recv();  // the status query, after the late lock answer
    asked.push_back(m);
    sv.async.Send(Type::kAsyncLockResponse, 0, 0);
    sv.async.Send(Type::kAsyncServiceRequest, 0x40, 0);
    sv.async.Send(Type::kAsyncStatusResponse, 0x51, 0);
    m = sv.async.Recv();  // release
    asked.push_back(m);
    sv.async.Send(Type::kAsyncLockResponse, 1, 0);
  });
  HislipTransport t("127.0.0.1", "hislip0", At(s));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  EXPECT_TRUE(t.Lock(DeadlineAfter(2s)).ok());
  Status denied = t.LockShared("bench", DeadlineAfter(2s));
  EXPECT_EQ(denied.code(), Errc::kBusy) << denied.ToString();
  const auto start = Clock::now();
  Status timeout = t.Lock(start + 200ms);
  EXPECT_EQ(timeout.code(), Errc::kTimeout) << timeout.ToString();
  EXPECT_LT(Clock::now() - start, testing::kSanitized ? 1500ms : 600ms);
  auto stb = t.ReadStatusByte(DeadlineAfter(2s));
  ASSERT_TRUE(stb.ok()) << stb.status().ToString();
  EXPECT_EQ(*stb, 0x51);
  EXPECT_TRUE(t.TakeServiceRequest());
  EXPECT_FALSE(t.TakeServiceRequest());
  EXPECT_TRUE(t.Unlock(DeadlineAfter(2s)).ok());
  s.Join();
  ASSERT_EQ(asked.size(), 5u);
  EXPECT_EQ(asked[0].h.type, 4);
  EXPECT_EQ(asked[0].h.control, 1);
  EXPECT_GT(asked[0].h.parameter, 1000u);  // the time left, in ms
  EXPECT_EQ(asked[0].payload, "");
  EXPECT_EQ(asked[1].payload, "bench");
  EXPECT_EQ(asked[3].h.type, 21);
  EXPECT_EQ(asked[4].h.type, 4);
  EXPECT_EQ(asked[4].h.control, 0);
}

// AsyncInterrupted on the asynchronous channel: what the synchronous one
// still has before its Interrupted belongs to the abandoned reply.
TEST(HislipTransport, InterruptedReplyIsDropped) {
  Server s;
  ASSERT_TRUE(s.ok());
  s.Run([&](Server& sv) {
    if (!sv.Open()) return;
    std::uint32_t id = 0;
    sv.RecvMessage(&id);
    sv.async.Send(Type::kAsyncInterrupted, 0, id);
    std::this_thread::sleep_for(50ms);
    sv.sync.Send(Type::kData, 0, id, "abandoned");
    sv.sync.Send(Type::kInterrupted, 0, id);
    sv.sync.Send(Type::kDataEnd, 0, id, "kept\n");
  });
  HislipTransport t("127.0.0.1", "hislip0", At(s));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  ASSERT_TRUE(t.Write(Bytes("Q?\n"), DeadlineAfter(2s)).ok());
  auto reply = ReadReply(t, DeadlineAfter(2s));
  ASSERT_TRUE(reply.ok()) << reply.status().ToString();
  EXPECT_EQ(*reply, "kept\n");
}

// What the network may bring: a message without "HS", a length past the
// limit, a FatalError mid-session, a close in the middle of a reply. Each
// fails the read cleanly and leaves the transport closed.
TEST(HislipTransport, BrokenStreamsFailCleanly) {
  struct Case {
    const char* name;
    std::function<void(Server&, std::uint32_t)> reply;
    Errc code;
    const char* text;
  };
  const Case cases[] = {
      {"bad prologue",
       [](Server& sv, std::uint32_t) {
         sv.sync.SendRaw(std::string("XS\x07\0\0\0\0\0", 8) + std::string(8, '\0'));
       },
       Errc::kMalformed, "does not start with \"HS\""},
      {"huge length",
       [](Server& sv, std::uint32_t id) {
         std::uint8_t head[16];
         hislip::Encode(hislip::Make(Type::kDataEnd, 0, id, 1ull << 62), head);
         sv.sync.SendRaw(std::string(reinterpret_cast<char*>(head), 16));
       },
       Errc::kTooLarge, "at most"},
      {"fatal error",
       [](Server& sv, std::uint32_t) { sv.async.Send(Type::kFatalError, 0, 0, "power fail"); },
       Errc::kClosed, "power fail"},
      {"close mid-read",
       [](Server& sv, std::uint32_t id) {
         sv.sync.SendRaw([&] {
           std::uint8_t head[16];
           hislip::Encode(hislip::Make(Type::kDataEnd, 0, id, 100), head);
           return std::string(reinterpret_cast<char*>(head), 16) + "part";
         }());
         sv.sync.Close();
         sv.async.Close();
       },
       Errc::kClosed, "closed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Server s;
    ASSERT_TRUE(s.ok());
    s.Run([&](Server& sv) {
      if (!sv.Open()) return;
      std::uint32_t id = 0;
      sv.RecvMessage(&id);
      c.reply(sv, id);
      testing::ReadBytes(sv.sync.fd, 100000);  // until the client closes
    });
    HislipTransport t("127.0.0.1", "hislip0", At(s));
    ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
    ASSERT_TRUE(t.Write(Bytes("Q?\n"), DeadlineAfter(2s)).ok());
    auto reply = ReadReply(t, DeadlineAfter(2s), 64 * 1024);
    ASSERT_FALSE(reply.ok());
    EXPECT_EQ(reply.status().code(), c.code) << reply.status().ToString();
    EXPECT_NE(reply.status().message().find(c.text), std::string::npos) << reply.status().message();
    EXPECT_FALSE(t.is_open());
  }
}

TEST(HislipTransport, WorksOverIpv6) {
  Server s(AF_INET6);
  if (!s.ok()) GTEST_SKIP() << "no IPv6 loopback";
  s.Run([&](Server& sv) {
    if (!sv.Open()) return;
    std::uint32_t id = 0;
    sv.RecvMessage(&id);
    sv.sync.Send(Type::kDataEnd, 0, id, "v6\n");
  });
  HislipTransport t("::1", "hislip0", At(s));
  ASSERT_TRUE(t.Open(DeadlineAfter(2s)).ok());
  EXPECT_EQ(t.description(), "[::1]:" + std::to_string(s.port()) + " hislip0");
  ASSERT_TRUE(t.Write(Bytes("Q?\n"), DeadlineAfter(2s)).ok());
  auto reply = ReadReply(t, DeadlineAfter(2s));
  ASSERT_TRUE(reply.ok()) << reply.status().ToString();
  EXPECT_EQ(*reply, "v6\n");
}

// The session over HiSLIP: after a query timed out, the next write clears
// the device first (the whole handshake), so the late reply never answers
// the next query.
TEST(HislipTransport, TheSessionClearsALateReplyBeforeTheNextQuery) {
  Server s;
  ASSERT_TRUE(s.ok());
  bool cleared = false;
  s.Run([&](Server& sv) {
    if (!sv.Open()) return;
    std::uint32_t first = 0, second = 0;
    sv.RecvMessage(&first);
    cleared = sv.ServeClear(0, [&] { sv.sync.Send(Type::kDataEnd, 0, first, "late\n"); }).ok;
    sv.RecvMessage(&second);
    sv.sync.Send(Type::kDataEnd, 0, second, "fresh\n");
  });
  Session session(std::make_unique<HislipTransport>("127.0.0.1", "hislip0", At(s)), "hislip",
                  nullptr);
  session.set_timeout(200ms);
  ASSERT_TRUE(session.Open().ok());
  ASSERT_TRUE(session.Write("A?\n").ok());
  std::string reply;
  EXPECT_EQ(session.ReadMessage(reply).code(), Errc::kTimeout);
  session.set_timeout(2000ms);
  ASSERT_TRUE(session.Write("B?\n").ok());
  Status st = session.ReadMessage(reply);
  ASSERT_TRUE(st.ok()) << st.ToString();
  EXPECT_EQ(reply, "fresh");  // the session drops the line feed
  s.Join();
  EXPECT_TRUE(cleared);
}

// A FatalError (the instrument restarting) fails the read as a closed link;
// the session's next write opens a new HiSLIP session.
TEST(HislipTransport, TheSessionReopensAfterAFatalError) {
  Server s;
  ASSERT_TRUE(s.ok());
  s.Run([&](Server& sv) {
    if (!sv.Open()) return;
    sv.RecvMessage();
    sv.async.Send(Type::kFatalError, 0, 0, "restarting");
    testing::ReadBytes(sv.sync.fd, 100000);  // until the client closes
    sv.sync.Close();
    sv.async.Close();
    if (!sv.Open()) return;
    std::uint32_t id = 0;
    sv.RecvMessage(&id);
    sv.sync.Send(Type::kDataEnd, 0, id, "back\n");
  });
  Session session(std::make_unique<HislipTransport>("127.0.0.1", "hislip0", At(s)), "hislip",
                  nullptr);
  ASSERT_TRUE(session.Open().ok());
  ASSERT_TRUE(session.Write("A?\n").ok());
  std::string reply;
  Status st = session.ReadMessage(reply);
  EXPECT_EQ(st.code(), Errc::kClosed) << st.ToString();
  EXPECT_NE(st.message().find("restarting"), std::string::npos) << st.message();
  ASSERT_TRUE(session.Write("B?\n").ok());
  st = session.ReadMessage(reply);
  ASSERT_TRUE(st.ok()) << st.ToString();
  EXPECT_EQ(reply, "back");
}

// The transport table makes a HiSLIP transport for a hislip address, on the
// port the address names.
TEST(HislipTransport, TheFactoryServesHislipAddresses) {
  Server s;
  ASSERT_TRUE(s.ok());
  s.Run([&](Server& sv) { sv.Open(); });
  auto address = ParseAddress("TCPIP0::127.0.0.1::hislip0," + std::to_string(s.port()) + "::INSTR");
  ASSERT_TRUE(address.ok());
  TransportFactory factory;
  factory.RegisterDefaults();
  auto made = factory.Make(*address);
  ASSERT_TRUE(made.ok()) << made.status().ToString();
  EXPECT_TRUE((*made)->delivers_end());
  EXPECT_TRUE((*made)->can_clear());
  Status st = (*made)->Open(DeadlineAfter(2s));
  EXPECT_TRUE(st.ok()) << st.ToString();
}

}  // namespace
}  // namespace vex::io
