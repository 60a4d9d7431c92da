#include "server/StreamConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <termios.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "server/FdIo.h"

namespace vex::sim {

StreamConnection::StreamConnection(int fd, Kind kind, std::unique_ptr<Session> session)
    : fd_(fd), kind_(kind), session_(std::move(session)) {}

StreamConnection::~StreamConnection() {
  Close();
}

void StreamConnection::Close() {
  if (closed_) return;
  closed_ = true;
  out_.clear();
  if (kind_ == Kind::kSocket) CloseFd(fd_);
}

short StreamConnection::Events(Clock::time_point now) const {
  if (closed_) return 0;
  short events = POLLIN;
  if (!out_.empty() && out_.front().due <= now) events |= POLLOUT;
  return events;
}

int StreamConnection::MillisUntilDue(Clock::time_point now) const {
  if (closed_ || out_.empty() || out_.front().due <= now) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(out_.front().due - now);
  return static_cast<int>(left.count());
}

// A serial instrument set for XON/XOFF takes the host's start and stop
// characters as flow control, never as input. The host's side of the pty
// sends them when its line is set so (IXOFF): they are dropped here, and
// the count of the bytes left is returned.
ssize_t StreamConnection::DropFlowControl(std::span<uint8_t> bytes) const {
  termios t{};
  if (::tcgetattr(fd_, &t) != 0 || (t.c_iflag & IXOFF) == 0)
    return static_cast<ssize_t>(bytes.size());
  const auto kept =
      std::remove_if(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0x11 || b == 0x13; });
  return kept - bytes.begin();
}

void StreamConnection::OnReadable() {
  std::array<uint8_t, 65536> buffer;
  for (;;) {
    ssize_t n = ReadSome(fd_, buffer);
    if (n > 0) {
      if (kind_ == Kind::kPty) n = DropFlowControl(std::span<uint8_t>(buffer.data(), n));
      session_->Write(std::span<const uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
      Collect();
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // End of file or an error: the host went away. A pty master reports EIO
    // while no host holds the line; that is not the end of the pty.
    if (kind_ == Kind::kSocket) Close();
    return;
  }
}

void StreamConnection::Collect() {
  const auto now = Clock::now();
  while (auto r = session_->TakeResponse()) {
    Outgoing o;
    o.bytes = std::move(r->bytes);
    o.due = now + std::chrono::milliseconds(r->delay_ms);
    // Keep the order of replies: one never overtakes an earlier held one.
    if (!out_.empty()) o.due = std::max(o.due, out_.back().due);
    o.close_after = r->close_after;
    out_.push_back(std::move(o));
  }
  Flush(now);
}

void StreamConnection::Flush(Clock::time_point now) {
  while (!closed_ && !out_.empty() && out_.front().due <= now) {
    Outgoing& o = out_.front();
    const auto rest = std::span<const uint8_t>(o.bytes).subspan(o.sent);
    const ssize_t n = WriteSome(fd_, rest, kind_ == Kind::kSocket);
    if (n < 0) {
      if (kind_ == Kind::kSocket)
        Close();
      else
        out_.pop_front();  // nobody reads the pty: the reply is lost, as on a wire
      return;
    }
    o.sent += static_cast<std::size_t>(n);
    if (o.sent < o.bytes.size()) return;  // wait for POLLOUT
    const bool close_after = o.close_after;
    out_.pop_front();
    if (close_after) {
      if (kind_ == Kind::kSocket) {
        shutdown(fd_, SHUT_RDWR);
        Close();
      }
      return;
    }
  }
}

}  // namespace vex::sim
