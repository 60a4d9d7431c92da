#include "vex/io/tcp_transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <utility>

#include "fd_io.h"
#include "vex/com/hot_path.h"
#include "vex/com/wait_pump.h"

namespace vex::io {

TcpTransport::TcpTransport(std::string host, int port)
    : TcpTransport(std::move(host), port, Options{}) {}

TcpTransport::TcpTransport(std::string host, int port, Options options)
    : host_(std::move(host)), port_(port), options_(options) {
  bool v6 = host_.find(':') != std::string::npos;
  label_ = (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

TcpTransport::~TcpTransport() {
  Close();
}

std::string TcpTransport::description() const {
  return label_;
}

Status TcpTransport::Open(Deadline deadline) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
  addrinfo* list = nullptr;
  std::string service = std::to_string(port_);
  int rc = ::getaddrinfo(host_.c_str(), service.c_str(), &hints, &list);
  if (rc != 0) {
    return Status(Errc::kIoError, "cannot resolve host \"" + host_ + "\": " + ::gai_strerror(rc));
  }
  Status last(Errc::kIoError, "no address for " + description());
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    int fd =
        ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
      last = Status::FromErrno("socket for " + description(), errno);
      continue;
    }
    if (options_.send_buffer > 0)
      ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &options_.send_buffer, sizeof options_.send_buffer);
    int one = options_.no_delay ? 1 : 0;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int c;
    do {
      c = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    } while (c < 0 && errno == EINTR);
    if (c < 0 && errno != EINPROGRESS) {
      last = Status::FromErrno("connect to " + description(), errno);
      ::close(fd);
      continue;
    }
    if (c < 0) {
      short rev = 0;
      Status st = detail::WaitFd(fd, POLLOUT, deadline, "connect to " + description(), &rev);
      if (!st.ok()) {
        ::close(fd);
        last = st;
        if (st.code() == Errc::kTimeout) break;
        continue;
      }
      int err = 0;
      socklen_t len = sizeof err;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      if (err != 0) {
        last = Status::FromErrno("connect to " + description(), err);
        ::close(fd);
        continue;
      }
    }
    // Reads block with a receive timeout (one system call for a reply
    // instead of a poll and a read); writes stay non-blocking per call.
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    receive_timeout_us_ = -1;
    fd_ = fd;
    ::freeaddrinfo(list);
    return {};
  }
  ::freeaddrinfo(list);
  return last;
}

void TcpTransport::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

VEX_HOT Status TcpTransport::Write(std::span<const std::uint8_t> data, Deadline deadline) {
  if (fd_ < 0) return Status(Errc::kNotOpen, description() + " is not open");
  return detail::WriteAll(fd_, detail::FdKind::kSocket, data, deadline, label_);
}

VEX_HOT Status TcpTransport::WriteWithin(std::span<const std::uint8_t> data,
                                         std::chrono::milliseconds timeout) {
  if (fd_ < 0) return Status(Errc::kNotOpen, description() + " is not open");
  return detail::WriteAllWithin(fd_, detail::FdKind::kSocket, data, timeout, label_);
}

VEX_HOT Result<ReadResult> TcpTransport::Read(std::span<std::uint8_t> buffer, Deadline deadline) {
  if (fd_ < 0) return Status(Errc::kNotOpen, description() + " is not open");
  if (buffer.empty()) return ReadResult{};
  // A blocking receive with a receive timeout costs one call per read, but
  // the kernel rounds that timeout up to its clock tick (up to 10 ms). So
  // the blocking receive waits until a guard time before the deadline, and
  // the rest is waited with a high-resolution poll: a read that times out
  // returns within a fraction of a millisecond of its deadline.
  constexpr long long kGuardUs = 25000;
  for (;;) {
    auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (left <= 0) return Status(Errc::kTimeout, "timed out waiting for " + label_);
    int flags = 0;
    // A thread with a wait pump waits in slices and runs the pump between
    // them.
    const bool pumping = com::WaitPumpActive();
    if (left <= kGuardUs || pumping) {
      const long long wait = pumping ? std::chrono::duration_cast<std::chrono::microseconds>(
                                           com::WaitSlice(std::chrono::microseconds(left)))
                                           .count()
                                     : left;
      pollfd p{fd_, POLLIN, 0};
      timespec ts{static_cast<time_t>(wait / 1000000), static_cast<long>(wait % 1000000) * 1000};
      int ready = ::ppoll(&p, 1, &ts, nullptr);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) {
        if (pumping) com::RunWaitPump();
        continue;  // the deadline check above decides
      }
      flags = MSG_DONTWAIT;
    } else {
      // The timeout is set again only when it would run past the guard or
      // falls short of it by more than 1 %: consecutive transfers with one
      // timeout set it once.
      long long wait = left - kGuardUs;
      long long slack = std::max<long long>(1000, wait / 100);
      if (receive_timeout_us_ <= 0 || receive_timeout_us_ > wait ||
          receive_timeout_us_ < wait - slack) {
        long long set = wait > slack ? wait - slack / 2 : wait;
        timeval tv{static_cast<time_t>(set / 1000000), static_cast<suseconds_t>(set % 1000000)};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        receive_timeout_us_ = set;
      }
    }
    ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), flags);
    if (n > 0) return ReadResult{static_cast<std::size_t>(n), false};
    if (n == 0) return Status(Errc::kClosed, label_ + " closed the connection");
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // The receive timeout ran out; only a passed deadline is a timeout.
      if (flags == 0) receive_timeout_us_ = 0;
      continue;
    }
    if (errno == ECONNRESET) return Status(Errc::kClosed, label_ + " closed the connection", errno);
    return Status::FromErrno("read from " + label_, errno);
  }
}

bool TcpTransport::PeerClosed() const {
  return detail::PeerGone(fd_);
}

Status TcpTransport::DiscardInput() {
  if (fd_ < 0) return Status(Errc::kNotOpen, description() + " is not open");
  detail::DrainInput(fd_, detail::FdKind::kSocket);
  return {};
}

Status TcpTransport::Clear(Deadline deadline) {
  if (fd_ < 0) return Status(Errc::kNotOpen, description() + " is not open");
  Close();
  return Open(deadline);
}

}  // namespace vex::io
