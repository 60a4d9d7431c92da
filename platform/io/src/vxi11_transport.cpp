#include "vex/io/vxi11_transport.h"

#include <dirent.h>
#include <lxi.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <climits>
#include <map>
#include <mutex>
#include <utility>

#include "fd_io.h"

namespace vex::io {
namespace {

// liblxi keeps a process-wide session table that must be set up once.
void InitLxi() {
  static std::once_flag once;
  std::call_once(once, [] { lxi_init(); });
}

// The RPC library writes to its socket with plain write(), which raises
// SIGPIPE when the instrument has closed the link. A library must not end
// its host's process for that, nor change its signal handling: SIGPIPE is
// blocked on this thread for the call, and one raised meanwhile is taken
// back before it is unblocked, so the failure comes back as a status.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~SigpipeGuard() {
    if (!was_pending_) {
      sigset_t pending;
      sigpending(&pending);
      if (sigismember(&pending, SIGPIPE) == 1) {
        timespec zero{0, 0};
        sigtimedwait(&pipe_, nullptr, &zero);
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t pipe_, old_;
  bool was_pending_ = false;
};

// VXI-11 goes through the portmapper; the port argument is unused.
constexpr int kPortmapperPort = 111;

// A zero timeout would make liblxi fail at once; once the deadline passed
// the call is not made at all.
int LxiTimeoutMs(Deadline deadline) {
  return std::max(1, PollTimeoutMs(deadline));
}

// The process's descriptors that are sockets, with their inodes.
std::map<int, ino_t> Sockets() {
  std::map<int, ino_t> found;
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return found;
  while (dirent* entry = ::readdir(dir)) {
    char* end = nullptr;
    long fd = ::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    struct stat st {};
    if (::fstat(static_cast<int>(fd), &st) == 0 && S_ISSOCK(st.st_mode))
      found[static_cast<int>(fd)] = st.st_ino;
  }
  ::closedir(dir);
  return found;
}

// The TCP port a connected socket's peer listens on, or -1.
int PeerPort(int fd) {
  sockaddr_storage peer{};
  socklen_t len = sizeof peer;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0) return -1;
  if (peer.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&peer)->sin_port);
  if (peer.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&peer)->sin6_port);
  return -1;
}

}  // namespace

Vxi11Transport::Vxi11Transport(std::string host, std::string device)
    : host_(std::move(host)), device_(std::move(device)) {}

Vxi11Transport::~Vxi11Transport() {
  Close();
}

Status Vxi11Transport::Failure(const char* what, Deadline deadline) const {
  if (Clock::now() >= deadline)
    return Status(Errc::kTimeout, std::string("timed out in ") + what + " " + description());
  return Status(Errc::kIoError, std::string(what) + " " + description() + " failed");
}

Status Vxi11Transport::Open(Deadline deadline) {
  Close();
  InitLxi();
  if (PollTimeoutMs(deadline) == 0)
    return Status(Errc::kTimeout, "no time left to connect to " + description());
  // liblxi counts the connect timeout in whole seconds: a shorter one
  // fails at once, so opening a link gets at least one second.
  const auto before = Sockets();
  int id = lxi_connect(host_.c_str(), kPortmapperPort, device_.c_str(),
                       std::max(1000, LxiTimeoutMs(deadline)), VXI11);
  if (id == LXI_ERROR) return Failure("VXI-11 connect to", deadline);
  device_id_ = id;
  // The link's socket: new since the connect began, connected, and not to
  // the port mapper. Only a single such socket is taken as the link's.
  int candidates = 0;
  for (const auto& [fd, inode] : Sockets()) {
    auto old = before.find(fd);
    if (old != before.end() && old->second == inode) continue;
    int port = PeerPort(fd);
    if (port < 0 || port == kPortmapperPort) continue;
    ++candidates;
    link_fd_ = fd;
    link_inode_ = inode;
  }
  if (candidates != 1) link_fd_ = -1;
  return {};
}

void Vxi11Transport::Close() {
  link_fd_ = -1;
  if (device_id_ >= 0) {
    // Ending the link is an RPC too, and the instrument may be gone.
    SigpipeGuard no_sigpipe;
    lxi_disconnect(device_id_);
    device_id_ = -1;
  }
}

bool Vxi11Transport::PeerClosed() const {
  if (device_id_ < 0 || link_fd_ < 0) return false;
  // The descriptor still being the link's socket (same inode) is checked
  // first, so that a number reused elsewhere is never taken for it.
  struct stat st {};
  if (::fstat(link_fd_, &st) != 0 || st.st_ino != link_inode_) return false;
  return detail::PeerGone(link_fd_);
}

Status Vxi11Transport::Write(std::span<const std::uint8_t> data, Deadline deadline) {
  if (device_id_ < 0) return Status(Errc::kNotOpen, description() + " is not open");
  std::size_t done = 0;
  // liblxi takes an int length; larger writes go in pieces.
  while (done < data.size() || data.empty()) {
    if (PollTimeoutMs(deadline) == 0)
      return Status(Errc::kTimeout, "timed out writing to " + description() + " after " +
                                        std::to_string(done) + " of " +
                                        std::to_string(data.size()) + " bytes");
    int n = static_cast<int>(std::min<std::size_t>(data.size() - done, INT_MAX / 2));
    SigpipeGuard no_sigpipe;
    int sent = lxi_send(device_id_, reinterpret_cast<const char*>(data.data() + done), n,
                        LxiTimeoutMs(deadline));
    if (sent == LXI_ERROR || sent < 0) return Failure("write to", deadline);
    if (data.empty()) break;
    if (sent == 0)
      return Status(Errc::kIoError, "write to " + description() + " made no progress after " +
                                        std::to_string(done) + " of " +
                                        std::to_string(data.size()) + " bytes");
    done += static_cast<std::size_t>(sent);
  }
  return {};
}

Result<ReadResult> Vxi11Transport::Read(std::span<std::uint8_t> buffer, Deadline deadline) {
  if (device_id_ < 0) return Status(Errc::kNotOpen, description() + " is not open");
  if (buffer.empty()) return ReadResult{};
  if (PollTimeoutMs(deadline) == 0)
    return Status(Errc::kTimeout, "timed out reading " + description());
  int n = static_cast<int>(std::min<std::size_t>(buffer.size(), INT_MAX / 2));
  SigpipeGuard no_sigpipe;
  int got =
      lxi_receive(device_id_, reinterpret_cast<char*>(buffer.data()), n, LxiTimeoutMs(deadline));
  if (got == LXI_ERROR || got < 0) return Failure("read from", deadline);
  return ReadResult{static_cast<std::size_t>(got), got < n};
}

}  // namespace vex::io
