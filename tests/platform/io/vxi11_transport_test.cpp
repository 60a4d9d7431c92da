// The VXI-11 transport against scripted servers (tests/platform/io/
// vxi11_peer.h: silent, refusing, slow and holding ones, reached through
// their own port mapper answers) and against the simulator behind a real
// port mapper (rpcbind; the program runs in a network namespace of its own).
//
// Failed calls are held to their timeout plus 10 %, with slack for a loaded
// machine and the sanitizer build; descriptors are counted before and after;
// nothing may appear on stderr while the transport works.
#include "vex/io/vxi11_transport.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <rpc/pmap_clnt.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "PortMapper.h"
#include "VexsimProcess.h"
#include "peers.h"
#include "rpc_channel.h"
#include "vex/io/transport_factory.h"
#include "vxi11_peer.h"

namespace vex::io {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using testing::kSanitized;
using testing::SilentListener;
using testing::Vxi11Peer;

// The longest a failed call may take.
milliseconds Bound(milliseconds timeout) {
  return timeout + timeout / 10 + (kSanitized ? 200ms : 50ms);
}

milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

int OpenDescriptors() {
  int n = 0;
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  while (dirent* entry = ::readdir(dir)) n += entry->d_name[0] != '.';
  ::closedir(dir);
  return n;
}

// fd 2 goes into a pipe while it runs; Stop gives what was written.
class StderrCapture {
 public:
  void Start() {
    ASSERT_EQ(::pipe2(pipe_, O_CLOEXEC), 0);
    // A full pipe drops output rather than blocking the writer.
    ::fcntl(pipe_[1], F_SETFL, O_NONBLOCK);
    std::fflush(stderr);
    saved_ = ::dup(2);
    ::dup2(pipe_[1], 2);
  }
  std::string Stop() {
    if (saved_ < 0) return {};
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
    saved_ = -1;
    ::close(pipe_[1]);
    std::string got;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipe_[0], buf, sizeof buf)) > 0)
      got.append(buf, static_cast<std::size_t>(n));
    ::close(pipe_[0]);
    return got;
  }

 private:
  int pipe_[2] = {-1, -1};
  int saved_ = -1;
};

// Reads one message in reads of `chunk` bytes; `ends` gets each read's END.
std::string ReadMessage(Transport& t, milliseconds timeout, std::size_t chunk,
                        std::vector<bool>* ends = nullptr) {
  const Deadline deadline = DeadlineAfter(timeout);
  std::string got;
  std::vector<std::uint8_t> buf(chunk);
  for (;;) {
    auto r = t.Read(buf, deadline);
    EXPECT_TRUE(r.ok()) << r.status().ToString();
    if (!r.ok()) return got;
    got.append(reinterpret_cast<const char*>(buf.data()), r->count);
    if (ends) ends->push_back(r->end);
    if (r->end) return got;
  }
}

Vxi11Transport::Options MapperAt(std::uint16_t port) {
  Vxi11Transport::Options o;
  o.port_mapper_port = port;
  return o;
}

// Every scripted case also checks that nothing was printed.
class Vxi11PeerTest : public ::testing::Test {
 protected:
  void SetUp() override { stderr_.Start(); }
  void TearDown() override { EXPECT_EQ(stderr_.Stop(), ""); }

  static std::unique_ptr<Vxi11Transport> To(const Vxi11Peer& peer, std::string device = "inst0") {
    return std::make_unique<Vxi11Transport>("127.0.0.1", std::move(device), MapperAt(peer.port()));
  }

  StderrCapture stderr_;
};

TEST_F(Vxi11PeerTest, QueryGoesThroughThePortMapperAndTheLastReadCarriesEnd) {
  Vxi11Peer peer({});
  ASSERT_TRUE(peer.ok());
  auto t = To(peer);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  EXPECT_EQ(t->description(), "127.0.0.1 inst0");
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  std::vector<bool> ends;
  EXPECT_EQ(ReadMessage(*t, 1s, 4, &ends), "VEXAN,PEER,0,1\n");
  EXPECT_EQ(ends, (std::vector<bool>{false, false, false, true}));
  // One connection to ask for the port, one for the link.
  EXPECT_EQ(peer.connections(), 2);
  EXPECT_EQ(peer.devices(), std::vector<std::string>{"inst0"});
}

// A new message makes the device drop the rest of the last reply; nothing
// of it may come before the new reply, however much a read took ahead.
TEST_F(Vxi11PeerTest, NewMessageDropsTheRestOfTheLastReply) {
  Vxi11Peer peer({});
  auto t = To(peer);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  std::uint8_t head[4];
  auto r = t->Read(head, DeadlineAfter(1s));
  ASSERT_TRUE(r.ok()) << r.status().ToString();
  EXPECT_EQ(r->count, 4u);
  EXPECT_FALSE(r->end);
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  EXPECT_EQ(ReadMessage(*t, 1s, 64), "VEXAN,PEER,0,1\n");
}

// A device the server refuses fails the open by what the server said, and
// no write goes to a link that does not exist.
TEST_F(Vxi11PeerTest, RefusedLinkFailsOpenByItsMeaningAndNothingIsWritten) {
  Vxi11Peer::Script script;
  script.link_error = 3;
  Vxi11Peer peer(script);
  auto t = To(peer, "inst7");
  Status st = t->Open(DeadlineAfter(1s));
  EXPECT_EQ(st.code(), Errc::kNotOpen) << st.ToString();
  EXPECT_NE(st.message().find("no such device \"inst7\" at 127.0.0.1"), std::string::npos)
      << st.message();
  EXPECT_FALSE(t->is_open());
  EXPECT_EQ(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).code(), Errc::kNotOpen);
  EXPECT_EQ(peer.calls(), std::vector<std::string>{"create_link"});

  struct Case {
    std::uint32_t error;
    Errc code;
    const char* text;
  };
  for (const Case& c : {Case{11, Errc::kBusy, "device locked by another link (VXI-11 error 11)"},
                        Case{21, Errc::kBadAddress, "invalid address (VXI-11 error 21)"},
                        Case{9, Errc::kIoError, "out of resources (VXI-11 error 9)"},
                        Case{42, Errc::kIoError, "device error (VXI-11 error 42)"}}) {
    script.link_error = c.error;
    Vxi11Peer other(script);
    Status refused = To(other, "gpib0,8")->Open(DeadlineAfter(1s));
    EXPECT_EQ(refused.code(), c.code) << c.error;
    EXPECT_NE(refused.message().find(c.text), std::string::npos) << refused.message();
  }
}

TEST_F(Vxi11PeerTest, WritesGoInPiecesOfMaxRecvSizeWithEndOnTheLastOnly) {
  Vxi11Peer::Script script;
  script.max_recv_size = 1024;
  Vxi11Peer peer(script);
  auto t = To(peer);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  EXPECT_EQ(t->max_recv_size(), 1024u);
  const std::string big(3000, 'x');
  for (std::size_t size : {std::size_t{1036}, std::size_t{3000}, std::size_t{0}}) {
    const std::size_t before = peer.pieces().size();
    Status st = t->Write(Bytes(std::string_view(big).substr(0, size)), DeadlineAfter(2s));
    ASSERT_TRUE(st.ok()) << size << ": " << st.ToString();
    auto pieces = peer.pieces();
    pieces.erase(pieces.begin(), pieces.begin() + static_cast<std::ptrdiff_t>(before));
    std::vector<std::size_t> sizes;
    for (const auto& p : pieces) {
      sizes.push_back(p.size);
      EXPECT_EQ((p.flags & Vxi11Peer::kFlagEnd) != 0, &p == &pieces.back()) << size;
      // The device gets the time left as its I/O timeout.
      EXPECT_GT(p.io_timeout, 0u);
      EXPECT_LE(p.io_timeout, 2000u);
    }
    const std::vector<std::size_t> expected = size == 1036 ? std::vector<std::size_t>{1024, 12}
                                              : size == 3000
                                                  ? std::vector<std::size_t>{1024, 1024, 952}
                                                  : std::vector<std::size_t>{0};
    EXPECT_EQ(sizes, expected);
  }
}

// A server that takes part of a piece gets the rest in the next one; END
// stays on the piece that reaches the end.
TEST_F(Vxi11PeerTest, PieceTakenInPartIsSentOnAndEndStaysLast) {
  Vxi11Peer::Script script;
  script.max_recv_size = 1024;
  script.take_per_write = 1000;
  Vxi11Peer peer(script);
  auto t = To(peer);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  ASSERT_TRUE(t->Write(Bytes(std::string(2500, 'y')), DeadlineAfter(2s)).ok());
  auto pieces = peer.pieces();
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].size, 1024u);
  EXPECT_EQ(pieces[1].size, 1024u);
  EXPECT_EQ(pieces[2].size, 500u);
  EXPECT_EQ(pieces[0].flags | pieces[1].flags, 0u);
  EXPECT_EQ(pieces[2].flags, Vxi11Peer::kFlagEnd);
}

// The device's own timeout answer is a timeout like any other; the link is
// not reopened for it.
TEST_F(Vxi11PeerTest, DeviceTimeoutIsATimeoutAndTheLinkStays) {
  Vxi11Peer::Script script;
  script.read_error = 15;
  Vxi11Peer peer(script);
  auto t = To(peer);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  std::uint8_t buf[64];
  const auto start = Clock::now();
  auto r = t->Read(buf, DeadlineAfter(300ms));
  EXPECT_EQ(r.status().code(), Errc::kTimeout) << r.status().ToString();
  EXPECT_NE(r.status().message().find("VXI-11 error 15"), std::string::npos);
  EXPECT_GE(Since(start), 295ms);
  EXPECT_LE(Since(start), Bound(300ms));
  EXPECT_FALSE(t->PeerClosed());
  EXPECT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  EXPECT_EQ(peer.links(), 1);
  EXPECT_EQ(peer.connections(), 2);
}

// A server that holds a read (60 s here) and has no abort channel: the
// read fails in time, the held connection is dropped without destroy_link,
// and the next call makes a new link within its own timeout.
TEST_F(Vxi11PeerTest, HeldReadDropsTheConnectionAndTheNextCallRelinksInTime) {
  Vxi11Peer::Script script;
  script.hold = 60s;
  script.held_reads = 1;
  Vxi11Peer peer(script);
  const int descriptors = OpenDescriptors();
  auto t = To(peer);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  EXPECT_EQ(t->abort_port(), 0);
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  std::uint8_t buf[64];
  auto start = Clock::now();
  auto r = t->Read(buf, DeadlineAfter(500ms));
  EXPECT_EQ(r.status().code(), Errc::kTimeout) << r.status().ToString();
  EXPECT_GE(Since(start), 500ms);
  EXPECT_LE(Since(start), Bound(500ms));
  EXPECT_TRUE(t->is_open());

  start = Clock::now();
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(500ms)).ok());
  EXPECT_EQ(ReadMessage(*t, 500ms, 64), "VEXAN,PEER,0,1\n");
  EXPECT_LE(Since(start), Bound(500ms));
  EXPECT_EQ(peer.links(), 2);
  for (const std::string& call : peer.calls()) EXPECT_NE(call, "destroy_link");

  t->Close();
  EXPECT_TRUE(peer.WaitIdle());
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

// With an abort channel the held read is aborted; its late answer is
// skipped and the link goes on.
TEST_F(Vxi11PeerTest, HeldReadIsAbortedAndTheLinkStays) {
  Vxi11Peer::Script script;
  script.hold = 60s;
  script.held_reads = 1;
  script.abort_channel = true;
  Vxi11Peer peer(script);
  const int descriptors = OpenDescriptors();
  auto t = To(peer);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  EXPECT_EQ(t->abort_port(), peer.port());
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  std::uint8_t buf[64];
  const auto start = Clock::now();
  auto r = t->Read(buf, DeadlineAfter(500ms));
  EXPECT_EQ(r.status().code(), Errc::kTimeout) << r.status().ToString();
  EXPECT_LE(Since(start), Bound(500ms));
  EXPECT_EQ(peer.aborts(), 1);

  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(500ms)).ok());
  EXPECT_EQ(ReadMessage(*t, 500ms, 64), "VEXAN,PEER,0,1\n");
  EXPECT_EQ(peer.links(), 1);

  t->Close();
  EXPECT_TRUE(peer.WaitIdle());
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(Vxi11PeerTest, SilentPortMapperFailsEachOpenInTimeAndLeavesNoDescriptor) {
  SilentListener mapper;
  ASSERT_TRUE(mapper.ok());
  const int descriptors = OpenDescriptors();
  Vxi11Transport t("127.0.0.1", "inst0", MapperAt(mapper.port()));
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    Status st = t.Open(DeadlineAfter(300ms));
    EXPECT_EQ(st.code(), Errc::kTimeout) << st.ToString();
    EXPECT_NE(st.message().find("port mapper"), std::string::npos) << st.message();
    EXPECT_GE(Since(start), 295ms);
    EXPECT_LE(Since(start), Bound(300ms));
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(Vxi11PeerTest, SilentCorePortFailsOpenInTimeAndLeavesNoDescriptor) {
  SilentListener core;
  Vxi11Peer::Script script;
  script.core_port = core.port();
  Vxi11Peer mapper(script);
  const int descriptors = OpenDescriptors();
  Vxi11Transport t("127.0.0.1", "inst0", MapperAt(mapper.port()));
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    Status st = t.Open(DeadlineAfter(300ms));
    EXPECT_EQ(st.code(), Errc::kTimeout) << st.ToString();
    EXPECT_NE(st.message().find("create_link"), std::string::npos) << st.message();
    EXPECT_LE(Since(start), Bound(300ms));
  }
  EXPECT_TRUE(mapper.WaitIdle());
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

// A connect that never completes (the listener's queue is full, so the
// kernel drops the handshake) is bounded like the rest.
TEST_F(Vxi11PeerTest, ConnectThatNeverCompletesIsBounded) {
  SilentListener full(0);
  // One connection fills a queue of length 0.
  int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(full.port());
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  const int descriptors = OpenDescriptors();
  Vxi11Transport t("127.0.0.1", "inst0", MapperAt(full.port()));
  const auto start = Clock::now();
  Status st = t.Open(DeadlineAfter(300ms));
  EXPECT_EQ(st.code(), Errc::kTimeout) << st.ToString();
  EXPECT_LE(Since(start), Bound(300ms));
  EXPECT_EQ(OpenDescriptors(), descriptors);
  ::close(filler);
}

TEST_F(Vxi11PeerTest, ClearMakesTheDeviceDropItsReply) {
  Vxi11Peer peer({});
  auto t = To(peer);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  EXPECT_TRUE(t->can_clear());
  ASSERT_TRUE(t->Clear(DeadlineAfter(1s)).ok());
  std::uint8_t buf[64];
  EXPECT_EQ(t->Read(buf, DeadlineAfter(200ms)).status().code(), Errc::kTimeout);
  EXPECT_EQ(peer.links(), 1);
}

// A device that cannot clear gets a new link, as does a link whose
// connection was dropped after a held call.
TEST_F(Vxi11PeerTest, ClearFallsBackToANewLink) {
  Vxi11Peer::Script script;
  script.clear_error = 8;
  Vxi11Peer unsupported(script);
  auto t = To(unsupported);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  ASSERT_TRUE(t->Clear(DeadlineAfter(1s)).ok());
  EXPECT_EQ(unsupported.links(), 2);

  script = {};
  script.hold = 60s;
  script.held_reads = 1;
  Vxi11Peer holding(script);
  t = To(holding);
  ASSERT_TRUE(t->Open(DeadlineAfter(1s)).ok());
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  std::uint8_t buf[64];
  EXPECT_EQ(t->Read(buf, DeadlineAfter(300ms)).status().code(), Errc::kTimeout);
  const auto start = Clock::now();
  ASSERT_TRUE(t->Clear(DeadlineAfter(500ms)).ok());
  EXPECT_LE(Since(start), Bound(500ms));
  EXPECT_EQ(holding.links(), 2);
  EXPECT_EQ(holding.calls().back(), "device_clear");
}

TEST_F(Vxi11PeerTest, Ipv6LiteralReachesTheServer) {
  Vxi11Peer::Script script;
  script.ipv6 = true;
  Vxi11Peer peer(script);
  ASSERT_TRUE(peer.ok());
  auto address = ParseAddress("TCPIP0::[::1]::INSTR");
  ASSERT_TRUE(address.ok());
  Vxi11Transport t(address->host, address->device, MapperAt(peer.port()));
  EXPECT_EQ(t.description(), "[::1] inst0");
  ASSERT_TRUE(t.Open(DeadlineAfter(1s)).ok());
  ASSERT_TRUE(t.Write(Bytes("*IDN?\n"), DeadlineAfter(1s)).ok());
  EXPECT_EQ(ReadMessage(t, 1s, 64), "VEXAN,PEER,0,1\n");
}

bool_t XdrNothing(XDR*, void*) {
  return TRUE;
}

// The RPC library writes with write(): on a connection the peer reset, a
// write raises SIGPIPE, which must come back as a status instead of ending
// the process.
TEST(Vxi11RpcTest, SigpipeFromTheRpcLibraryIsTakenBack) {
  std::uint16_t port = 0;
  int listener = testing::ListenOnLoopback(false, 4, &port);
  ASSERT_GE(listener, 0);
  detail::SocketAddress to;
  auto* in = reinterpret_cast<sockaddr_in*>(&to.storage);
  in->sin_family = AF_INET;
  in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  in->sin_port = htons(port);
  to.length = sizeof *in;
  detail::RpcChannel channel;
  ASSERT_TRUE(channel.Connect(to, Vxi11Peer::kCore, 1, DeadlineAfter(1s), "the test's peer").ok());
  int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  ASSERT_GE(peer, 0);
  linger reset{1, 0};
  ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(peer);
  pollfd p{channel.fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  // The reset's error taken, the next write finds the connection shut: EPIPE.
  int err = 0;
  socklen_t len = sizeof err;
  ::getsockopt(channel.fd(), SOL_SOCKET, SO_ERROR, &err, &len);
  EXPECT_EQ(err, ECONNRESET);
  detail::RpcOutcome outcome =
      channel.Call(0, reinterpret_cast<xdrproc_t>(XdrNothing), nullptr,
                   reinterpret_cast<xdrproc_t>(XdrNothing), nullptr, DeadlineAfter(1s));
  EXPECT_EQ(outcome.stat, RPC_CANTSEND);
  EXPECT_EQ(outcome.sys_errno, EPIPE);
  EXPECT_EQ(detail::RpcFailure(outcome, "NULLPROC", channel, 1s).code(), Errc::kClosed);
  sigset_t pending;
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));
  ::close(listener);
}

// The simulator serves the core channel and registers it with the port
// mapper, which this program starts in its network namespace.
class Vxi11SimulatorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    mapper_ = new sim::test::PortMapper();
    if (!mapper_->available()) return;
    sim_ = new sim::test::Vexsim({"--vxi11"});
  }
  static void TearDownTestSuite() {
    if (sim_) sim_->Terminate();
    delete sim_;
    sim_ = nullptr;
    delete mapper_;
    mapper_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(mapper_->available()) << "no port mapper (rpcbind) could be reached or started";
    ASSERT_NE(sim_->Endpoint("vxi11"), "");
    stderr_.Start();
  }
  void TearDown() override { EXPECT_EQ(stderr_.Stop(), ""); }

  // Made from the address text as the I/O component makes it.
  static std::unique_ptr<Transport> Make(const std::string& address) {
    TransportFactory f;
    f.RegisterDefaults(PortMap{});
    auto parsed = ParseAddress(address);
    EXPECT_TRUE(parsed.ok()) << parsed.status().ToString();
    auto t = f.Make(*parsed);
    EXPECT_TRUE(t.ok()) << t.status().ToString();
    return std::move(*t);
  }
  static std::unique_ptr<Transport> OpenLink(const std::string& address) {
    auto t = Make(address);
    Status st = t->Open(DeadlineAfter(2s));
    EXPECT_TRUE(st.ok()) << st.ToString();
    return t;
  }
  static std::string Query(Transport& t, const std::string& query) {
    EXPECT_TRUE(t.Write(Bytes(query), DeadlineAfter(2s)).ok());
    return ReadMessage(t, 2s, 4096);
  }

  static sim::test::PortMapper* mapper_;
  static sim::test::Vexsim* sim_;
  StderrCapture stderr_;
};

sim::test::PortMapper* Vxi11SimulatorTest::mapper_ = nullptr;
sim::test::Vexsim* Vxi11SimulatorTest::sim_ = nullptr;

TEST_F(Vxi11SimulatorTest, QueryAnswersInPiecesWithEndOnTheLast) {
  auto t = OpenLink("TCPIP0::127.0.0.1::INSTR");
  EXPECT_TRUE(t->delivers_end());
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(2s)).ok());
  std::vector<bool> ends;
  std::string idn = ReadMessage(*t, 2s, 8, &ends);
  EXPECT_EQ(idn.rfind("VEXAN TECHNOLOGIES,", 0), 0u) << idn;
  EXPECT_EQ(idn.back(), '\n');
  ASSERT_GE(ends.size(), 2u);
  EXPECT_TRUE(ends.back());
  EXPECT_EQ(std::count(ends.begin(), ends.end(), true), 1);
}

TEST_F(Vxi11SimulatorTest, GatewayAnswersAtItsAddressOnly) {
  auto gateway = OpenLink("TCPIP0::127.0.0.1::gpib0,7::INSTR");
  EXPECT_EQ(Query(*gateway, "*IDN?\n").rfind("VEXAN", 0), 0u);
  auto absent = Make("TCPIP0::127.0.0.1::gpib0,8::INSTR");
  Status st = absent->Open(DeadlineAfter(2s));
  EXPECT_EQ(st.code(), Errc::kNotOpen) << st.ToString();
  EXPECT_NE(st.message().find("no such device \"gpib0,8\" at 127.0.0.1"), std::string::npos)
      << st.message();
}

// 1.5 MB is more than the simulator takes per write: the block goes in two
// pieces, and only the last one ends the message.
TEST_F(Vxi11SimulatorTest, WriteLargerThanMaxRecvSizeArrivesWhole) {
  auto t = OpenLink("TCPIP0::127.0.0.1::INSTR");
  std::string data(1500000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 256);
  const std::string block = "#7" + std::to_string(data.size()) + data;
  ASSERT_GT(block.size(), static_cast<Vxi11Transport&>(*t).max_recv_size());
  ASSERT_TRUE(t->Write(Bytes(":TRAC:DATA 1," + block + "\n"), DeadlineAfter(5s)).ok());
  // The simulator answers blocks with eight length digits.
  const std::string back = Query(*t, ":TRAC:DATA? 1\n");
  EXPECT_EQ(back.size(), data.size() + 11);
  EXPECT_EQ(back.substr(0, 10), "#801500000");
  EXPECT_TRUE(back.compare(10, data.size(), data) == 0) << "the data came back changed";
}

// The simulator's slow reply is due after the read's timeout: the device
// answers error 15 and keeps the reply for a later read. Clear makes it drop
// that reply, so it never answers a later query.
TEST_F(Vxi11SimulatorTest, DeviceTimeoutKeepsTheLinkAndClearDropsTheLateReply) {
  auto t = OpenLink("TCPIP0::127.0.0.1::INSTR");
  ASSERT_TRUE(t->Write(Bytes(":SIM:FAUL SLOW;:SIM:FAUL:DEL 1000\n"), DeadlineAfter(2s)).ok());
  ASSERT_TRUE(t->Write(Bytes("*IDN?\n"), DeadlineAfter(2s)).ok());
  const auto asked = Clock::now();
  std::uint8_t buf[256];
  auto r = t->Read(buf, DeadlineAfter(300ms));
  EXPECT_EQ(r.status().code(), Errc::kTimeout) << r.status().ToString();
  EXPECT_LE(Since(asked), Bound(300ms));
  const auto start = Clock::now();
  ASSERT_TRUE(t->Clear(DeadlineAfter(1s)).ok());
  EXPECT_LE(Since(start), Bound(1s));
  std::this_thread::sleep_until(asked + 1100ms);
  r = t->Read(buf, DeadlineAfter(200ms));
  EXPECT_EQ(r.status().code(), Errc::kTimeout)
      << "the late reply came: " << std::string(buf, buf + (r.ok() ? r->count : 0));
  ASSERT_TRUE(t->Write(Bytes(":SIM:FAUL NONE\n"), DeadlineAfter(2s)).ok());
  EXPECT_EQ(Query(*t, "*ESE 5;*ESE?\n"), "+5\n");
}

TEST_F(Vxi11SimulatorTest, LockKeepsOtherLinksOut) {
  auto a = OpenLink("TCPIP0::127.0.0.1::INSTR");
  auto b = OpenLink("TCPIP0::127.0.0.1::inst0::INSTR");
  auto& va = static_cast<Vxi11Transport&>(*a);
  auto& vb = static_cast<Vxi11Transport&>(*b);
  ASSERT_TRUE(va.Lock(DeadlineAfter(1s)).ok());
  const auto start = Clock::now();
  Status st = vb.Lock(DeadlineAfter(300ms));
  EXPECT_EQ(st.code(), Errc::kBusy) << st.ToString();
  EXPECT_LE(Since(start), Bound(300ms));
  st = b->Write(Bytes("*IDN?\n"), DeadlineAfter(1s));
  EXPECT_EQ(st.code(), Errc::kBusy) << st.ToString();
  EXPECT_NE(st.message().find("device locked by another link"), std::string::npos);
  ASSERT_TRUE(va.Unlock(DeadlineAfter(1s)).ok());
  ASSERT_TRUE(vb.Lock(DeadlineAfter(1s)).ok());
  ASSERT_TRUE(vb.Unlock(DeadlineAfter(1s)).ok());
  EXPECT_EQ(vb.Unlock(DeadlineAfter(1s)).code(), Errc::kInvalidArgument);
}

// The drop fault closes the link's connection after a cut block; the
// transport sees that on its own connection while idle.
TEST_F(Vxi11SimulatorTest, PeerClosedSeesTheServerDropTheLink) {
  auto t = OpenLink("TCPIP0::127.0.0.1::INSTR");
  EXPECT_FALSE(t->PeerClosed());
  ASSERT_TRUE(t->Write(Bytes(":SIM:FAUL DROP;:WAV:POIN 1000\n"), DeadlineAfter(2s)).ok());
  ASSERT_TRUE(t->Write(Bytes(":WAV:DATA?\n"), DeadlineAfter(2s)).ok());
  (void)ReadMessage(*t, 2s, 65536);
  const auto until = Clock::now() + 2s;
  while (!t->PeerClosed() && Clock::now() < until) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(t->PeerClosed());
}

// rpcbind answers the IPv4 port query over IPv6 too: a server on ::1
// registered with it is found at "TCPIP0::[::1]::INSTR".
TEST_F(Vxi11SimulatorTest, Ipv6ThroughThePortMapper) {
  Vxi11Peer::Script script;
  script.ipv6 = true;
  Vxi11Peer peer(script);
  ASSERT_TRUE(peer.ok());
  pmap_unset(Vxi11Peer::kCore, 1);
  ASSERT_TRUE(pmap_set(Vxi11Peer::kCore, 1, IPPROTO_TCP, peer.port()));
  auto t = Make("TCPIP0::[::1]::INSTR");
  Status st = t->Open(DeadlineAfter(2s));
  // The simulator's registration back, whatever happened.
  pmap_unset(Vxi11Peer::kCore, 1);
  const std::string sim = sim_->Endpoint("vxi11");
  pmap_set(Vxi11Peer::kCore, 1, IPPROTO_TCP,
           static_cast<u_short>(std::stoi(sim.substr(sim.rfind(':') + 1))));
  ASSERT_TRUE(st.ok()) << st.ToString();
  EXPECT_EQ(Query(*t, "*IDN?\n"), "VEXAN,PEER,0,1\n");
}

}  // namespace
}  // namespace vex::io
