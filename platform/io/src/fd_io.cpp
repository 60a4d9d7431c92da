#include "fd_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "vex/com/hot_path.h"
#include "vex/com/wait_pump.h"

namespace vex::io::detail {

Status WaitFd(int fd, short events, Deadline deadline, const std::string& what, short* revents) {
  for (;;) {
    pollfd p{fd, events, 0};
    int ms = PollSliceMs(deadline);
    int n = ::poll(&p, 1, ms);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::FromErrno("poll on " + what, errno);
    }
    if (n > 0) {
      *revents = p.revents;
      return {};
    }
    // poll may wake a little early (its clock granularity); only a passed
    // deadline is a timeout.
    if (Clock::now() >= deadline) return Status(Errc::kTimeout, "timed out waiting for " + what);
    com::RunWaitPump();
  }
}

namespace {

// A write's deadline, fixed when it is given or else at the first wait.
class WriteDeadline {
 public:
  explicit WriteDeadline(Deadline at) : at_(at), fixed_(true) {}
  explicit WriteDeadline(std::chrono::milliseconds timeout) : timeout_(timeout) {}
  Deadline Get() {
    if (!fixed_) {
      at_ = DeadlineAfter(timeout_);
      fixed_ = true;
    }
    return at_;
  }

 private:
  Deadline at_{};
  std::chrono::milliseconds timeout_{0};
  bool fixed_ = false;
};

VEX_HOT Status WriteAllBy(int fd, FdKind kind, std::span<const std::uint8_t> data,
                          WriteDeadline deadline, const std::string& what) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = kind == FdKind::kSocket ? ::send(fd, data.data() + done, data.size() - done,
                                                 MSG_NOSIGNAL | MSG_DONTWAIT)
                                        : ::write(fd, data.data() + done, data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      short rev = 0;
      Status st = WaitFd(fd, POLLOUT, deadline.Get(), what, &rev);
      if (st.code() == Errc::kTimeout)
        return Status(Errc::kTimeout, "timed out writing to " + what + " after " +
                                          std::to_string(done) + " of " +
                                          std::to_string(data.size()) + " bytes");
      if (!st.ok()) return st;
      if ((rev & (POLLERR | POLLHUP)) && !(rev & POLLOUT))
        return Status(Errc::kClosed, what + " hung up after " + std::to_string(done) + " of " +
                                         std::to_string(data.size()) + " bytes written");
      continue;
    }
    if (n < 0 && (errno == EPIPE || errno == ECONNRESET || errno == EIO))
      return Status(Errc::kClosed,
                    what + " closed after " + std::to_string(done) + " of " +
                        std::to_string(data.size()) + " bytes written",
                    errno);
    if (n < 0) return Status::FromErrno("write to " + what, errno);
    // A write of 0 bytes for a non-empty request: the peer takes no data.
    return Status(Errc::kIoError, "write to " + what + " made no progress after " +
                                      std::to_string(done) + " of " + std::to_string(data.size()) +
                                      " bytes");
  }
  return {};
}

}  // namespace

Status WriteAll(int fd, FdKind kind, std::span<const std::uint8_t> data, Deadline deadline,
                const std::string& what) {
  return WriteAllBy(fd, kind, data, WriteDeadline(deadline), what);
}

VEX_HOT Status WriteAllWithin(int fd, FdKind kind, std::span<const std::uint8_t> data,
                              std::chrono::milliseconds timeout, const std::string& what) {
  return WriteAllBy(fd, kind, data, WriteDeadline(timeout), what);
}

Result<ReadResult> ReadSome(int fd, FdKind kind, std::span<std::uint8_t> buffer, Deadline deadline,
                            const std::string& what) {
  short rev = 0;
  for (;;) {
    ssize_t n = kind == FdKind::kSocket ? ::recv(fd, buffer.data(), buffer.size(), 0)
                                        : ::read(fd, buffer.data(), buffer.size());
    if (n > 0) return ReadResult{static_cast<std::size_t>(n), false};
    if (n == 0) {
      if (kind == FdKind::kSocket) return Status(Errc::kClosed, what + " closed the connection");
      // A tty in raw mode with VMIN 0 reads 0 when nothing is there, and
      // also once the line hung up: poll tells the two apart.
      if (rev & (POLLHUP | POLLERR)) return Status(Errc::kClosed, what + " hung up");
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EIO || errno == ECONNRESET) {
      // EIO: the other side of a pty closed, or the line hung up.
      return Status(Errc::kClosed, what + " closed the connection", errno);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      return Status::FromErrno("read from " + what, errno);
    }
    Status st = WaitFd(fd, POLLIN, deadline, what, &rev);
    if (!st.ok()) return st;
    if ((rev & POLLNVAL)) return Status(Errc::kNotOpen, what + " is not open");
    // On POLLHUP or POLLERR the next read returns the data still queued,
    // then reports the reason (0, EIO or the pending socket error).
  }
}

void DrainInput(int fd, FdKind kind) {
  std::uint8_t buf[4096];
  for (;;) {
    ssize_t n = kind == FdKind::kSocket ? ::recv(fd, buf, sizeof buf, MSG_DONTWAIT)
                                        : ::read(fd, buf, sizeof buf);
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    return;
  }
}

bool PeerGone(int fd) {
  if (fd < 0) return false;
  pollfd p{fd, POLLRDHUP, 0};
  int n;
  do {
    n = ::poll(&p, 1, 0);
  } while (n < 0 && errno == EINTR);
  return n > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

}  // namespace vex::io::detail
