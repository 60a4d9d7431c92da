// Scripted VXI-11 servers for the transport's tests and benchmarks.
//
// Vxi11Peer listens on 127.0.0.1 or ::1 and answers, on every connection,
// hand-encoded RPC records of three programs: the port mapper's GETPORT
// (naming its own port, or the port its script says), the core channel and
// the abort channel. What it answers comes from its Script; what it was sent
// is recorded. Each connection has a thread of its own, so a call held on one
// connection does not hold up a new link on another. A held call ends when
// it is aborted, when its client closes the connection, or when the peer
// stops.
//
// SilentListener accepts connections in the kernel and never answers: as a
// port mapper or a core port it is a server that has hung.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vex::io::testing {

// A listening TCP socket on the loopback address; port 0 picks a free one.
inline int ListenOnLoopback(bool ipv6, int backlog, std::uint16_t* port) {
  int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_storage ss{};
  socklen_t len;
  if (ipv6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
    a->sin6_family = AF_INET6;
    a->sin6_addr = in6addr_loopback;
    len = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&ss);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof *a;
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(fd, backlog) != 0) {
    ::close(fd);
    return -1;
  }
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
  *port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port
                     : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  return fd;
}

class SilentListener {
 public:
  // `backlog` connections complete in the kernel; a connect beyond them
  // never completes.
  explicit SilentListener(int backlog = 64, bool ipv6 = false)
      : fd_(ListenOnLoopback(ipv6, backlog, &port_)) {}
  ~SilentListener() {
    if (fd_ >= 0) ::close(fd_);
  }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  bool ok() const { return fd_ >= 0; }
  std::uint16_t port() const { return port_; }

 private:
  std::uint16_t port_ = 0;
  int fd_;
};

class Vxi11Peer {
 public:
  static constexpr std::uint32_t kPortMapper = 100000;
  static constexpr std::uint32_t kCore = 0x0607AF;
  static constexpr std::uint32_t kAsync = 0x0607B0;
  static constexpr std::uint32_t kFlagEnd = 0x08;
  static constexpr std::uint32_t kReasonRequestCount = 0x01;
  static constexpr std::uint32_t kReasonEnd = 0x04;

  struct Script {
    bool ipv6 = false;
    // What GETPORT names for the core program; unset: the peer's own port.
    std::optional<std::uint16_t> core_port;
    // create_link's error (3: no such device).
    std::uint32_t link_error = 0;
    std::uint32_t max_recv_size = 1 << 20;
    // Take at most this many bytes of each piece (0: all of it).
    std::uint32_t take_per_write = 0;
    // Name the peer's own port as the abort channel.
    bool abort_channel = false;
    // The first `held_reads` reads are held this long, whatever their
    // io_timeout, unless aborted (error 23) or the client leaves.
    std::chrono::milliseconds hold{0};
    int held_reads = 0;
    // Reads answer this error once their io_timeout passed (15: the
    // device's I/O timeout).
    std::uint32_t read_error = 0;
    // What a read answers after a write that ended with END.
    std::string reply = "VEXAN,PEER,0,1\n";
    std::uint32_t clear_error = 0;
  };

  struct Piece {
    std::size_t size = 0;
    std::uint32_t flags = 0;
    std::uint32_t io_timeout = 0;
  };

  explicit Vxi11Peer(Script script) : script_(std::move(script)) {
    listen_fd_ = ListenOnLoopback(script_.ipv6, 64, &port_);
    if (listen_fd_ < 0 || ::pipe2(stop_pipe_, O_CLOEXEC) != 0) return;
    accept_thread_ = std::thread([this] { AcceptLoop(); });
  }

  ~Vxi11Peer() {
    stop_ = true;
    if (stop_pipe_[1] >= 0) {
      char c = 1;
      (void)!::write(stop_pipe_[1], &c, 1);
    }
    if (accept_thread_.joinable()) accept_thread_.join();
    for (std::thread& t : threads_) t.join();
    if (listen_fd_ >= 0) ::close(listen_fd_);
    for (int fd : stop_pipe_)
      if (fd >= 0) ::close(fd);
  }
  Vxi11Peer(const Vxi11Peer&) = delete;
  Vxi11Peer& operator=(const Vxi11Peer&) = delete;

  bool ok() const { return listen_fd_ >= 0 && stop_pipe_[0] >= 0; }
  std::uint16_t port() const { return port_; }

  std::vector<Piece> pieces() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pieces_;
  }
  std::vector<std::string> devices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return devices_;
  }
  // The core procedures called, in order ("create_link", "device_write", ...).
  std::vector<std::string> calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  int links() const { return Count("create_link"); }
  int aborts() const { return Count("device_abort"); }
  int connections() const { return connections_; }
  // Waits until the peer holds no connection open (the client closed all).
  bool WaitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(3)) const {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (open_connections_ > 0) {
      if (std::chrono::steady_clock::now() >= until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

 private:
  // XDR reading over one decoded record.
  struct In {
    const std::vector<std::uint8_t>& b;
    std::size_t at = 0;
    bool ok = true;
    std::uint32_t U32() {
      if (at + 4 > b.size()) {
        ok = false;
        return 0;
      }
      std::uint32_t v = std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
                        std::uint32_t(b[at + 2]) << 8 | b[at + 3];
      at += 4;
      return v;
    }
    std::string Opaque() {
      std::uint32_t n = U32();
      if (!ok || at + n > b.size()) {
        ok = false;
        return {};
      }
      std::string s(reinterpret_cast<const char*>(b.data() + at), n);
      at += (n + 3) & ~3u;
      return s;
    }
    void SkipAuth() {
      U32();
      Opaque();
    }
  };
  struct Out {
    std::vector<std::uint8_t> b;
    void U32(std::uint32_t v) {
      for (int shift = 24; shift >= 0; shift -= 8) b.push_back(std::uint8_t(v >> shift));
    }
    void Opaque(const std::string& s) {
      U32(static_cast<std::uint32_t>(s.size()));
      b.insert(b.end(), s.begin(), s.end());
      while (b.size() % 4) b.push_back(0);
    }
  };

  int Count(const char* call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const auto& c : calls_) n += c == call;
    return n;
  }

  void Note(const char* call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  }

  // Waits for input on fd; false when the peer stops first.
  bool WaitInput(int fd) {
    for (;;) {
      pollfd p[2] = {{fd, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
      int n = ::poll(p, 2, -1);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || (p[1].revents & POLLIN)) return false;
      return true;
    }
  }

  bool ReadExact(int fd, std::uint8_t* out, std::size_t n) {
    while (n > 0) {
      if (!WaitInput(fd)) return false;
      ssize_t r = ::recv(fd, out, n, 0);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      out += r;
      n -= static_cast<std::size_t>(r);
    }
    return true;
  }

  // One RPC record (all its fragments); false on close or stop.
  bool ReadRecord(int fd, std::vector<std::uint8_t>& record) {
    record.clear();
    for (;;) {
      std::uint8_t h[4];
      if (!ReadExact(fd, h, 4)) return false;
      std::uint32_t mark =
          std::uint32_t(h[0]) << 24 | std::uint32_t(h[1]) << 16 | std::uint32_t(h[2]) << 8 | h[3];
      std::size_t len = mark & 0x7fffffffu;
      std::size_t at = record.size();
      record.resize(at + len);
      if (len > 0 && !ReadExact(fd, record.data() + at, len)) return false;
      if (mark & 0x80000000u) return true;
    }
  }

  static bool Send(int fd, std::uint32_t xid, std::uint32_t accept_stat, const Out& result) {
    Out m;
    m.U32(0);  // record mark, filled in below
    m.U32(xid);
    m.U32(1);  // REPLY
    m.U32(0);  // MSG_ACCEPTED
    m.U32(0);  // verifier AUTH_NONE
    m.U32(0);
    m.U32(accept_stat);
    m.b.insert(m.b.end(), result.b.begin(), result.b.end());
    std::uint32_t mark = 0x80000000u | static_cast<std::uint32_t>(m.b.size() - 4);
    for (int i = 0; i < 4; ++i) m.b[i] = std::uint8_t(mark >> (24 - 8 * i));
    std::size_t done = 0;
    while (done < m.b.size()) {
      ssize_t w = ::send(fd, m.b.data() + done, m.b.size() - done, MSG_NOSIGNAL);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += static_cast<std::size_t>(w);
    }
    return true;
  }

  // Sleeps until `until`; false when the client left, the peer stopped or
  // (with `abortable`) an abort came.
  bool Hold(int fd, std::chrono::steady_clock::time_point until, bool abortable, bool* aborted) {
    const int aborts_before = abort_count_;
    for (;;) {
      if (abortable && abort_count_ != aborts_before) {
        *aborted = true;
        return false;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      until - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) return true;
      pollfd p[2] = {{fd, POLLRDHUP, 0}, {stop_pipe_[0], POLLIN, 0}};
      int n = ::poll(p, 2, static_cast<int>(std::min<long long>(left, 2)));
      if (n > 0) return false;
    }
  }

  void AcceptLoop() {
    for (;;) {
      pollfd p[2] = {{listen_fd_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
      int n = ::poll(p, 2, -1);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || (p[1].revents & POLLIN)) return;
      int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      ++open_connections_;
      threads_.emplace_back([this, fd] {
        Serve(fd);
        ::close(fd);
        --open_connections_;
      });
    }
  }

  void Serve(int fd) {
    std::vector<std::uint8_t> record;
    while (!stop_ && ReadRecord(fd, record)) {
      In in{record};
      std::uint32_t xid = in.U32();
      in.U32();  // CALL
      in.U32();  // RPC version
      std::uint32_t prog = in.U32(), vers = in.U32(), proc = in.U32();
      in.SkipAuth();
      in.SkipAuth();
      if (!in.ok) return;
      Out out;
      std::uint32_t stat = 0;  // SUCCESS
      if (prog == kPortMapper && vers == 2) {
        if (proc == 3) {
          std::uint32_t wanted = in.U32();
          in.U32();
          std::uint32_t protocol = in.U32();
          out.U32(wanted == kCore && protocol == IPPROTO_TCP ? script_.core_port.value_or(port_)
                                                             : 0);
        } else if (proc != 0) {
          stat = 3;  // PROC_UNAVAIL
        }
      } else if (prog == kCore && vers == 1) {
        if (!Core(fd, proc, in, out, &stat)) return;
      } else if (prog == kAsync && vers == 1 && proc == 1) {
        in.U32();
        Note("device_abort");
        ++abort_count_;
        out.U32(0);
      } else {
        stat = 1;  // PROG_UNAVAIL
      }
      if (!Send(fd, xid, stat, out)) return;
    }
  }

  // One core procedure; false when the connection is to end.
  bool Core(int fd, std::uint32_t proc, In& in, Out& out, std::uint32_t* stat) {
    using Clock = std::chrono::steady_clock;
    switch (proc) {
      case 10: {  // create_link
        in.U32();
        in.U32();
        in.U32();
        std::string device = in.Opaque();
        {
          std::lock_guard<std::mutex> lock(mutex_);
          calls_.push_back("create_link");
          devices_.push_back(device);
        }
        out.U32(script_.link_error);
        out.U32(script_.link_error ? 0 : static_cast<std::uint32_t>(++next_lid_));
        out.U32(script_.abort_channel ? port_ : 0);
        out.U32(script_.max_recv_size);
        return true;
      }
      case 11: {  // device_write
        in.U32();
        std::uint32_t io_timeout = in.U32();
        in.U32();
        std::uint32_t flags = in.U32();
        std::string data = in.Opaque();
        std::size_t take = data.size();
        if (script_.take_per_write) take = std::min<std::size_t>(take, script_.take_per_write);
        take = std::min<std::size_t>(take, script_.max_recv_size);
        {
          std::lock_guard<std::mutex> lock(mutex_);
          calls_.push_back("device_write");
          pieces_.push_back({data.size(), flags, io_timeout});
          // Only a message taken whole with END asks for the reply.
          if ((flags & kFlagEnd) && take == data.size()) pending_ = script_.reply;
        }
        out.U32(0);
        out.U32(static_cast<std::uint32_t>(take));
        return true;
      }
      case 12: {  // device_read
        in.U32();
        std::uint32_t request = in.U32();
        std::uint32_t io_timeout = in.U32();
        Note("device_read");
        const auto start = Clock::now();
        bool held = false;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (held_so_far_ < script_.held_reads) {
            ++held_so_far_;
            held = true;
          }
        }
        if (held) {
          bool aborted = false;
          if (!Hold(fd, start + script_.hold, true, &aborted)) {
            if (!aborted) return false;
            out.U32(23);  // abort
            out.U32(0);
            out.Opaque({});
            return true;
          }
        }
        std::string data;
        std::uint32_t reason = 0;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (!script_.read_error && !pending_.empty()) {
            data = pending_.substr(0, request);
            pending_.erase(0, data.size());
            reason = pending_.empty() ? kReasonEnd : kReasonRequestCount;
          }
        }
        if (data.empty()) {
          bool aborted = false;
          if (!Hold(fd, start + std::chrono::milliseconds(io_timeout), false, &aborted))
            return false;
          out.U32(script_.read_error ? script_.read_error : 15);
        } else {
          out.U32(0);
        }
        out.U32(reason);
        out.Opaque(data);
        return true;
      }
      case 15: {  // device_clear
        Note("device_clear");
        {
          std::lock_guard<std::mutex> lock(mutex_);
          pending_.clear();
        }
        out.U32(script_.clear_error);
        return true;
      }
      case 18:  // device_lock
      case 19:  // device_unlock
      case 23:  // destroy_link
        Note(proc == 18 ? "device_lock" : proc == 19 ? "device_unlock" : "destroy_link");
        out.U32(0);
        return true;
      default:
        *stat = 3;  // PROC_UNAVAIL
        return true;
    }
  }

  Script script_;
  int listen_fd_ = -1;
  int stop_pipe_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread accept_thread_;
  std::list<std::thread> threads_;  // touched by the accept thread only
  std::atomic<int> connections_{0};
  std::atomic<int> open_connections_{0};
  std::atomic<int> abort_count_{0};
  mutable std::mutex mutex_;
  std::vector<Piece> pieces_;
  std::vector<std::string> devices_;
  std::vector<std::string> calls_;
  std::string pending_;
  int held_so_far_ = 0;
  long next_lid_ = 0;
};

}  // namespace vex::io::testing
