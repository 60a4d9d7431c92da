// How long a failed call takes, for timeouts of 500, 2000 and 5000 ms,
// against servers that do not answer:
//   - a port mapper that accepts the connection and never answers GETPORT;
//   - a VXI-11 core port that accepts the connection and never answers
//     create_link;
//   - a raw TCP socket that never sends (TcpTransport's read);
//   - a VXI-11 server that holds a read for 60 s, without and with an abort
//     channel, and the call after it;
//   - a VXI-11 device that answers its own I/O timeout (error 15).
// The servers are the scripted ones of the transport tests
// (tests/platform/io/vxi11_peer.h), on the loopback address; no port mapper
// of the host is used. Prints one row per call: timeout, case, elapsed ms,
// elapsed over timeout, and the status.
//
//   timeout_bench             500, 2000 and 5000 ms
//   timeout_bench MS...       the timeouts given
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "vex/io/tcp_transport.h"
#include "vex/io/vxi11_transport.h"
#include "vxi11_peer.h"

using namespace vex::io;
using namespace std::chrono_literals;
using testing::SilentListener;
using testing::Vxi11Peer;

namespace {

std::span<const std::uint8_t> Bytes(const char* s) {
  return {reinterpret_cast<const std::uint8_t*>(s), std::char_traits<char>::length(s)};
}

Vxi11Transport::Options MapperAt(std::uint16_t port) {
  Vxi11Transport::Options o;
  o.port_mapper_port = port;
  return o;
}

void Row(int timeout_ms, const char* what, const std::function<Status()>& call) {
  const auto start = Clock::now();
  Status st = call();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::printf("%8d  %-38s %10.1f %7.3f  %s\n", timeout_ms, what, ms, ms / timeout_ms,
              st.ok() ? "ok" : ErrcName(st.code()));
  std::fflush(stdout);
}

Status ReadOnce(Transport& t, Deadline deadline) {
  std::uint8_t buf[256];
  auto r = t.Read(buf, deadline);
  return r.ok() ? Status() : r.status();
}

// A held read, then a query on the same transport.
void Held(int timeout_ms, bool abort_channel) {
  Vxi11Peer::Script script;
  script.hold = 60s;
  script.held_reads = 1;
  script.abort_channel = abort_channel;
  Vxi11Peer peer(script);
  Vxi11Transport t("127.0.0.1", "inst0", MapperAt(peer.port()));
  const std::chrono::milliseconds timeout(timeout_ms);
  if (!t.Open(DeadlineAfter(timeout)).ok() ||
      !t.Write(Bytes("*IDN?\n"), DeadlineAfter(timeout)).ok()) {
    std::printf("cannot set up the holding server\n");
    return;
  }
  Row(timeout_ms, abort_channel ? "held reply 60 s, abort channel" : "held reply 60 s",
      [&] { return ReadOnce(t, DeadlineAfter(timeout)); });
  Row(timeout_ms,
      abort_channel ? "  next query (write+read)" : "  next query (write+read, new link)", [&] {
        const Deadline deadline = DeadlineAfter(timeout);
        Status st = t.Write(Bytes("*IDN?\n"), deadline);
        return st.ok() ? ReadOnce(t, deadline) : st;
      });
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> timeouts;
  for (int i = 1; i < argc; ++i) timeouts.push_back(std::atoi(argv[i]));
  if (timeouts.empty()) timeouts = {500, 2000, 5000};
  std::printf("%8s  %-38s %10s %7s  %s\n", "timeout", "case", "elapsed", "ratio", "status");
  for (int timeout_ms : timeouts) {
    const std::chrono::milliseconds timeout(timeout_ms);
    {
      SilentListener mapper;
      Vxi11Transport t("127.0.0.1", "inst0", MapperAt(mapper.port()));
      Row(timeout_ms, "port mapper silent (open)", [&] { return t.Open(DeadlineAfter(timeout)); });
    }
    {
      SilentListener core;
      Vxi11Peer::Script script;
      script.core_port = core.port();
      Vxi11Peer mapper(script);
      Vxi11Transport t("127.0.0.1", "inst0", MapperAt(mapper.port()));
      Row(timeout_ms, "VXI-11 core port silent (open)",
          [&] { return t.Open(DeadlineAfter(timeout)); });
    }
    {
      SilentListener socket;
      TcpTransport t("127.0.0.1", socket.port());
      if (t.Open(DeadlineAfter(timeout)).ok())
        Row(timeout_ms, "raw SOCKET silent (read)",
            [&] { return ReadOnce(t, DeadlineAfter(timeout)); });
    }
    Held(timeout_ms, false);
    Held(timeout_ms, true);
    {
      Vxi11Peer::Script script;
      script.read_error = 15;
      Vxi11Peer peer(script);
      Vxi11Transport t("127.0.0.1", "inst0", MapperAt(peer.port()));
      if (t.Open(DeadlineAfter(timeout)).ok())
        Row(timeout_ms, "device answers error 15 (read)",
            [&] { return ReadOnce(t, DeadlineAfter(timeout)); });
    }
  }
  return 0;
}
