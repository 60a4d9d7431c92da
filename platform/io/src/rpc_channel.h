// ONC RPC over one TCP connection, every step bounded by a deadline: the
// connect is non-blocking and waited for with poll, and each call tells
// libtirpc's clnt_call (clnt_control CLSET_TIMEOUT) how long it may wait for
// the reply, and the socket (SO_SNDTIMEO) how long a send may block.
//
// libtirpc writes to the socket with write(), which raises SIGPIPE when the
// peer has gone; each call blocks SIGPIPE on its thread and takes back one
// raised meanwhile, so the failure comes back as a status and the host's
// signal handling is left alone. Nothing here prints.
#pragma once

#include <rpc/rpc.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

#include "vex/io/transport.h"

namespace vex::io::detail {

// An IPv4 or IPv6 socket address with its length.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
  int family() const { return storage.ss_family; }
  std::uint16_t port() const;
  void set_port(std::uint16_t port);
  // "127.0.0.1:111", "[::1]:111".
  std::string ToString() const;
};

// What came of one call. A call that the server did not answer in time
// (no_answer) may still be running there.
struct RpcOutcome {
  clnt_stat stat = RPC_SUCCESS;
  int sys_errno = 0;  // for RPC_CANTSEND, RPC_CANTRECV, RPC_SYSTEMERROR

  bool answered() const { return stat == RPC_SUCCESS; }
  // No reply by the time allowed, or a send that the peer did not take.
  bool no_answer() const;
};

class RpcChannel {
 public:
  RpcChannel() = default;
  ~RpcChannel() { Close(); }
  RpcChannel(const RpcChannel&) = delete;
  RpcChannel& operator=(const RpcChannel&) = delete;

  // Connects to `address` within the deadline and makes the RPC client for
  // program/version on the connection. `what` names the peer in messages
  // ("the port mapper at 127.0.0.1:111").
  Status Connect(const SocketAddress& address, rpcprog_t program, rpcvers_t version,
                 Deadline deadline, const std::string& what);
  // Destroys the client and closes the connection; idempotent.
  void Close();
  bool is_open() const { return client_ != nullptr; }
  int fd() const { return fd_; }
  const std::string& what() const { return what_; }

  // One call; waits for the reply until `until` (at least 1 ms).
  RpcOutcome Call(rpcproc_t procedure, xdrproc_t encode, const void* args, xdrproc_t decode,
                  void* result, Clock::time_point until);
  // Sends a call without waiting for its reply; the send may block for
  // `send_for` at most.
  RpcOutcome Send(rpcproc_t procedure, xdrproc_t encode, const void* args, xdrproc_t decode,
                  void* result, Clock::duration send_for);
  // Waits until the connection has input (the reply to a call that gave up
  // waiting) or `until` passes.
  bool WaitReadable(Clock::time_point until) const;

 private:
  RpcOutcome Make(rpcproc_t procedure, xdrproc_t encode, const void* args, xdrproc_t decode,
                  void* result, timeval wait, Clock::duration send_for);
  void SetSendTimeout(Clock::duration d);

  int fd_ = -1;
  CLIENT* client_ = nullptr;
  std::string what_;
  long long send_timeout_us_ = -1;  // the socket's SO_SNDTIMEO, -1 unknown
};

// A call that failed, as a status naming `call` and the channel's peer: no
// answer is kTimeout, a connection the peer closed or reset kClosed, a reply
// that does not decode kMalformed, a program or procedure the server does
// not serve kUnsupported, the rest kIoError.
Status RpcFailure(const RpcOutcome& outcome, const std::string& call, const RpcChannel& channel,
                  Clock::duration waited);

// The TCP port the port mapper at `mapper` names for program/version
// (PMAPPROC_GETPORT, version 2, which rpcbind answers over IPv4 and IPv6
// alike), all of it before the deadline. 0 when nothing is registered.
Result<std::uint16_t> LookUpPort(const SocketAddress& mapper, rpcprog_t program, rpcvers_t version,
                                 Deadline deadline);

// Milliseconds rounded up, for messages and timeouts sent to devices.
long long CeilMs(Clock::duration d);

}  // namespace vex::io::detail
