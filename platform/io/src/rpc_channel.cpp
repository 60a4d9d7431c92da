#include "rpc_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <rpc/pmap_prot.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "fd_io.h"

namespace vex::io::detail {
namespace {

// The RPC library's send and receive buffers (it caps them at 256 KiB): a
// large device_read reply comes in with few reads.
constexpr u_int kBufferSize = 256 * 1024;

// The RPC library writes to its socket with plain write(), which raises
// SIGPIPE when the peer has closed the connection. A library must not end
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

// clnt_call's wait, rounded up to whole milliseconds: the library polls in
// milliseconds and drops the rest, which would end the wait early.
timeval WaitOf(Clock::duration d) {
  long long ms = std::max<long long>(1, CeilMs(d));
  return timeval{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
}

}  // namespace

long long CeilMs(Clock::duration d) {
  if (d <= Clock::duration::zero()) return 0;
  return std::chrono::ceil<std::chrono::milliseconds>(d).count();
}

std::uint16_t SocketAddress::port() const {
  if (family() == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

void SocketAddress::set_port(std::uint16_t port) {
  if (family() == AF_INET6)
    reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
  else
    reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
}

std::string SocketAddress::ToString() const {
  char text[INET6_ADDRSTRLEN] = "?";
  if (family() == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr, text,
                sizeof text);
    return "[" + std::string(text) + "]:" + std::to_string(port());
  }
  ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr, text,
              sizeof text);
  return std::string(text) + ":" + std::to_string(port());
}

bool RpcOutcome::no_answer() const {
  return stat == RPC_TIMEDOUT ||
         (stat == RPC_CANTSEND && (sys_errno == EAGAIN || sys_errno == EWOULDBLOCK));
}

Status RpcChannel::Connect(const SocketAddress& address, rpcprog_t program, rpcvers_t version,
                           Deadline deadline, const std::string& what) {
  Close();
  what_ = what;
  int fd = ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return Status::FromErrno("socket for " + what, errno);
  // Calls are small and each one is waited for: Nagle's delay would only
  // add latency.
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  int c;
  do {
    c = ::connect(fd, address.get(), address.length);
  } while (c < 0 && errno == EINTR);
  if (c < 0 && errno != EINPROGRESS) {
    int err = errno;
    ::close(fd);
    return Status::FromErrno("connect to " + what, err);
  }
  if (c < 0) {
    short rev = 0;
    Status st = WaitFd(fd, POLLOUT, deadline, what, &rev);
    if (!st.ok()) {
      ::close(fd);
      if (st.code() == Errc::kTimeout)
        return Status(Errc::kTimeout, "timed out connecting to " + what);
      return st;
    }
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0) {
      ::close(fd);
      return Status::FromErrno("connect to " + what, err);
    }
  }
  // The RPC library expects a blocking socket: it polls before each read,
  // and its writes are bounded by SO_SNDTIMEO instead.
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  netbuf peer{address.length, address.length, const_cast<sockaddr_storage*>(&address.storage)};
  CLIENT* client = ::clnt_vc_create(fd, &peer, program, version, kBufferSize, kBufferSize);
  if (client == nullptr) {
    ::close(fd);
    return Status(Errc::kIoError, "cannot set up RPC on the connection to " + what);
  }
  fd_ = fd;
  client_ = client;
  send_timeout_us_ = -1;
  return {};
}

void RpcChannel::Close() {
  if (client_ != nullptr) {
    // The client does not own the descriptor (no CLSET_FD_CLOSE): it is
    // closed here, after the client that refers to it.
    clnt_destroy(client_);
    client_ = nullptr;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void RpcChannel::SetSendTimeout(Clock::duration d) {
  // Set again only when it would run past the time allowed or falls short
  // of it by more than 10 %: consecutive calls with one timeout set it once.
  long long us =
      std::max<long long>(1000, std::chrono::duration_cast<std::chrono::microseconds>(d).count());
  if (send_timeout_us_ > 0 && send_timeout_us_ <= us && send_timeout_us_ >= us - us / 10) return;
  timeval tv{static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
  ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  send_timeout_us_ = us;
}

RpcOutcome RpcChannel::Make(rpcproc_t procedure, xdrproc_t encode, const void* args,
                            xdrproc_t decode, void* result, timeval wait,
                            Clock::duration send_for) {
  if (client_ == nullptr) return {RPC_CANTSEND, ENOTCONN};
  SetSendTimeout(send_for);
  if (wait.tv_sec != 0 || wait.tv_usec != 0) clnt_control(client_, CLSET_TIMEOUT, &wait);
  RpcOutcome outcome;
  {
    SigpipeGuard no_sigpipe;
    outcome.stat =
        clnt_call(client_, procedure, encode, const_cast<void*>(args), decode, result, wait);
  }
  if (outcome.stat != RPC_SUCCESS) {
    rpc_err err{};
    clnt_geterr(client_, &err);
    if (outcome.stat == RPC_CANTSEND || outcome.stat == RPC_CANTRECV ||
        outcome.stat == RPC_SYSTEMERROR)
      outcome.sys_errno = err.re_errno;
  }
  return outcome;
}

RpcOutcome RpcChannel::Call(rpcproc_t procedure, xdrproc_t encode, const void* args,
                            xdrproc_t decode, void* result, Clock::time_point until) {
  const auto left = until - Clock::now();
  if (left <= Clock::duration::zero()) return {RPC_TIMEDOUT, 0};
  return Make(procedure, encode, args, decode, result, WaitOf(left), left);
}

RpcOutcome RpcChannel::Send(rpcproc_t procedure, xdrproc_t encode, const void* args,
                            xdrproc_t decode, void* result, Clock::duration send_for) {
  // A zero wait makes clnt_call return as soon as the call is sent.
  return Make(procedure, encode, args, decode, result, timeval{0, 0}, send_for);
}

bool RpcChannel::WaitReadable(Clock::time_point until) const {
  if (fd_ < 0) return false;
  short rev = 0;
  return WaitFd(fd_, POLLIN, until, what_, &rev).ok() && (rev & POLLIN);
}

Status RpcFailure(const RpcOutcome& outcome, const std::string& call, const RpcChannel& channel,
                  Clock::duration waited) {
  const std::string& peer = channel.what();
  if (outcome.no_answer())
    return Status(Errc::kTimeout, "no answer from " + peer + " to " + call + " within " +
                                      std::to_string(CeilMs(waited)) + " ms");
  const int err = outcome.sys_errno;
  switch (outcome.stat) {
    case RPC_CANTSEND:
    case RPC_CANTRECV:
      if (err == ECONNRESET || err == EPIPE || err == ENOTCONN || err == 0)
        return Status(Errc::kClosed, peer + " closed the connection during " + call, err);
      return Status::FromErrno(call + " on " + peer, err);
    case RPC_CANTDECODERES:
      return Status(Errc::kMalformed, "the reply of " + peer + " to " + call + " does not decode");
    case RPC_PROGUNAVAIL:
    case RPC_PROGVERSMISMATCH:
    case RPC_PROCUNAVAIL:
      return Status(Errc::kUnsupported,
                    peer + " does not serve " + call + " (" + ::clnt_sperrno(outcome.stat) + ")");
    default:
      return Status(Errc::kIoError,
                    call + " on " + peer + " failed: " + ::clnt_sperrno(outcome.stat), err);
  }
}

Result<std::uint16_t> LookUpPort(const SocketAddress& mapper, rpcprog_t program, rpcvers_t version,
                                 Deadline deadline) {
  RpcChannel channel;
  Status st = channel.Connect(mapper, PMAPPROG, PMAPVERS, deadline,
                              "the port mapper at " + mapper.ToString());
  if (!st.ok()) return st;
  pmap query{program, version, IPPROTO_TCP, 0};
  u_long port = 0;
  const auto start = Clock::now();
  RpcOutcome outcome = channel.Call(PMAPPROC_GETPORT, reinterpret_cast<xdrproc_t>(xdr_pmap), &query,
                                    reinterpret_cast<xdrproc_t>(xdr_u_long), &port, deadline);
  if (!outcome.answered()) return RpcFailure(outcome, "GETPORT", channel, deadline - start);
  if (port > 65535)
    return Status(Errc::kMalformed, channel.what() + " named port " + std::to_string(port));
  return static_cast<std::uint16_t>(port);
}

}  // namespace vex::io::detail
