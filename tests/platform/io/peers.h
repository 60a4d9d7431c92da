// The far ends that the transport tests talk to: a TCP listener on
// 127.0.0.1 and a pseudo-terminal whose slave side stands behind a COM name.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "vex/io/address.h"
#include "vex/io/port_map.h"
#include "vex/io/tcp_transport.h"
#include "vex/io/transport_factory.h"

namespace vex::io::testing {

// Sanitized builds run several times slower; timing bounds widen there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

// Blocking helpers for the peer side.
inline bool WriteFully(int fd, const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

inline bool WriteFully(int fd, const std::string& s) {
  return WriteFully(fd, s.data(), s.size());
}

// Reads up to and including a line feed; empty on close.
inline std::string ReadLine(int fd) {
  std::string line;
  char c;
  for (;;) {
    ssize_t r = ::read(fd, &c, 1);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return line;
    line += c;
    if (c == '\n') return line;
  }
}

// Reads n bytes, waiting at most a second for each; fewer on close or when
// none comes.
inline std::string ReadBytes(int fd, std::size_t n) {
  std::string bytes;
  while (bytes.size() < n) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 1000) != 1) return bytes;
    char c;
    ssize_t r = ::read(fd, &c, 1);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return bytes;
    bytes += c;
  }
  return bytes;
}

// A thread for the peer that never takes SIGALRM, so that the timer signals
// of the interruption test land on the thread doing the transfer.
class PeerThread {
 public:
  PeerThread() = default;
  explicit PeerThread(std::function<void()> fn) {
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &block, &old);
    thread_ = std::thread(std::move(fn));
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
  }
  PeerThread(PeerThread&&) = default;
  PeerThread& operator=(PeerThread&& o) {
    Join();
    thread_ = std::move(o.thread_);
    return *this;
  }
  ~PeerThread() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

// One connected transport and the peer's blocking descriptor.
class Peer {
 public:
  virtual ~Peer() = default;
  // Makes and opens the transport under test; false on setup failure.
  virtual bool Start() = 0;
  virtual std::unique_ptr<Transport>& transport() = 0;
  virtual int fd() const = 0;
  virtual void ClosePeer() = 0;
  virtual std::string address() const = 0;
};

class TcpPeer : public Peer {
 public:
  explicit TcpPeer(TcpTransport::Options options = {}) : options_(options) {}
  ~TcpPeer() override {
    ClosePeer();
    if (listen_fd_ >= 0) ::close(listen_fd_);
  }
  bool Start() override {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = 0;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return false;
    if (::listen(listen_fd_, 1) != 0) return false;
    socklen_t len = sizeof sa;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
    transport_ = std::make_unique<TcpTransport>("127.0.0.1", port_, options_);
    if (!transport_->Open(DeadlineAfter(std::chrono::seconds(2))).ok()) return false;
    fd_ = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    return fd_ >= 0;
  }
  std::unique_ptr<Transport>& transport() override { return transport_; }
  int fd() const override { return fd_; }
  void ClosePeer() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::string address() const override {
    return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET";
  }
  int port() const { return port_; }

 private:
  TcpTransport::Options options_;
  int listen_fd_ = -1;
  int fd_ = -1;
  int port_ = 0;
  std::unique_ptr<Transport> transport_;
};

// The transport is made through the port map and the transport table from a
// COM address, as the I/O component will make it.
class PtyPeer : public Peer {
 public:
  explicit PtyPeer(std::string keywords = "Baud=115200,Handshake=NONE")
      : keywords_(std::move(keywords)) {}
  ~PtyPeer() override {
    transport_.reset();
    ClosePeer();
  }
  bool Start() override {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0) return false;
    slave_ = ::ptsname(fd_);
    auto map = PortMap::Parse("COM3=" + slave_);
    if (!map.ok()) return false;
    TransportFactory factory;
    factory.RegisterDefaults(*map);
    auto address = ParseAddress(address_text());
    if (!address.ok()) return false;
    auto made = factory.Make(*address);
    if (!made.ok()) return false;
    transport_ = std::move(*made);
    return transport_->Open(DeadlineAfter(std::chrono::seconds(2))).ok();
  }
  std::unique_ptr<Transport>& transport() override { return transport_; }
  int fd() const override { return fd_; }
  void ClosePeer() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::string address() const override { return address_text(); }
  const std::string& slave_path() const { return slave_; }

 private:
  std::string address_text() const { return "COM3::" + keywords_; }
  std::string keywords_;
  int fd_ = -1;
  std::string slave_;
  std::unique_ptr<Transport> transport_;
};

}  // namespace vex::io::testing
