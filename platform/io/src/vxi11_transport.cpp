#include "vex/io/vxi11_transport.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "fd_io.h"
#include "rpc_channel.h"
#include "vxi11.h"

namespace vex::io {
namespace {

using detail::CeilMs;
using detail::RpcChannel;
using detail::RpcOutcome;
using detail::SocketAddress;
using namespace std::chrono_literals;

// Flags of the calls and reasons of a read's end.
constexpr long kFlagWaitLock = 0x01;
constexpr long kFlagEnd = 0x08;
constexpr long kReasonTermChar = 0x02;
constexpr long kReasonEnd = 0x04;

// Device error codes this transport acts on.
constexpr long kErrorNoDevice = 3;
constexpr long kErrorInvalidLink = 4;
constexpr long kErrorLocked = 11;
constexpr long kErrorIoTimeout = 15;

// The smallest maxRecvSize a server may give; a server that answers less
// (some answer 0) is taken to mean it.
constexpr std::size_t kSmallestRecvSize = 1024;
// Request sizes and piece lengths travel as 32-bit values.
constexpr std::size_t kLargestRequest = 0x7fffffff;
// Each read asks for this much more than the caller's buffer holds, and
// keeps what comes past it for the next read: a block read to its length
// then gets its trailing line feed with the same call.
constexpr std::size_t kReadAhead = 64;
// How long Close may block sending destroy_link.
constexpr auto kCloseSendTime = 100ms;

struct DeviceErrorRow {
  long code;
  const char* text;
  Errc errc;
  int sys_errno;
};

constexpr DeviceErrorRow kDeviceErrors[] = {
#define VXI11_ERROR(code, text, errc, sys_errno) {code, text, Errc::errc, sys_errno},
#include "vxi11/vxi11_errors.def"
};

const DeviceErrorRow* FindDeviceError(long code) {
  for (const DeviceErrorRow& row : kDeviceErrors)
    if (row.code == code) return &row;
  return nullptr;
}

template <class F>
xdrproc_t Xdr(F* f) {
  return reinterpret_cast<xdrproc_t>(f);
}

// device_read's reply, its data decoded straight into the caller's buffer
// and what is past it into the read-ahead; a reply with more data than was
// asked for does not decode.
struct ReadInto {
  std::uint8_t* data;
  u_int capacity;
  std::uint8_t* ahead;
  u_int ahead_capacity;
  long error = 0;
  long reason = 0;
  u_int count = 0;
  u_int ahead_count = 0;
};

bool_t XdrReadInto(XDR* xdrs, ReadInto* into) {
  if (!xdr_Device_ErrorCode(xdrs, &into->error) || !xdr_long(xdrs, &into->reason)) return FALSE;
  u_int length = 0;
  if (!xdr_u_int(xdrs, &length) || length > into->capacity + into->ahead_capacity) return FALSE;
  const u_int direct = std::min(length, into->capacity);
  const u_int rest = length - direct;
  char padding[4];
  if ((direct > 0 && !XDR_GETBYTES(xdrs, reinterpret_cast<char*>(into->data), direct)) ||
      (rest > 0 && !XDR_GETBYTES(xdrs, reinterpret_cast<char*>(into->ahead), rest)) ||
      (length % 4 != 0 && !XDR_GETBYTES(xdrs, padding, 4 - length % 4)))
    return FALSE;
  into->count = direct;
  into->ahead_count = rest;
  return TRUE;
}

std::string Of(std::size_t done, std::size_t size) {
  return std::to_string(done) + " of " + std::to_string(size) + " bytes";
}

Status WithSuffix(const Status& st, const std::string& suffix) {
  return Status(st.code(), st.message() + suffix, st.sys_errno());
}

std::string HostLabel(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

// The host's addresses: a numeric one as it is, a name through the
// resolver (which has no deadline).
Result<std::vector<SocketAddress>> Resolve(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* list = nullptr;
  int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (rc == EAI_NONAME) {
    hints.ai_flags = AI_ADDRCONFIG;
    rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
  }
  if (rc != 0)
    return Status(Errc::kIoError, "cannot resolve host \"" + host + "\": " + ::gai_strerror(rc));
  std::vector<SocketAddress> found;
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    if ((ai->ai_family != AF_INET && ai->ai_family != AF_INET6) ||
        ai->ai_addrlen > sizeof(sockaddr_storage))
      continue;
    SocketAddress a;
    std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
    a.length = ai->ai_addrlen;
    found.push_back(a);
  }
  ::freeaddrinfo(list);
  if (found.empty()) return Status(Errc::kIoError, "no address for host \"" + host + "\"");
  return found;
}

std::atomic<long> g_next_client_id{1};

}  // namespace

Clock::duration Vxi11Transport::ReplyMargin(Clock::duration left) {
  const Clock::duration margin = std::max(left, Clock::duration::zero()) / 50 + 10ms;
  return std::min<Clock::duration>(margin, 250ms);
}

Vxi11Transport::Vxi11Transport(std::string host, std::string device)
    : Vxi11Transport(std::move(host), std::move(device), Options{}) {}

Vxi11Transport::Vxi11Transport(std::string host, std::string device, Options options)
    : host_(std::move(host)),
      device_(std::move(device)),
      options_(options),
      label_(HostLabel(host_) + " " + device_),
      address_(std::make_unique<SocketAddress>()),
      core_(std::make_unique<RpcChannel>()),
      abort_(std::make_unique<RpcChannel>()),
      client_id_(g_next_client_id++),
      ahead_(kReadAhead) {}

Vxi11Transport::~Vxi11Transport() {
  Close();
}

Status Vxi11Transport::Open(Deadline deadline) {
  Close();
  auto addresses = Resolve(host_);
  if (!addresses.ok()) return addresses.status();
  Status last;
  for (const SocketAddress& host : *addresses) {
    bool answered = false;
    last = Connect(host, deadline, &answered);
    if (last.ok()) {
      open_ = true;
      return {};
    }
    // A server that refused the link, or a deadline that passed, ends the
    // search; only a host that could not be reached moves on to the next
    // address.
    if (answered || last.code() == Errc::kTimeout) break;
  }
  return last;
}

Status Vxi11Transport::Connect(const SocketAddress& host, Deadline deadline, bool* answered) {
  SocketAddress mapper = host;
  mapper.set_port(static_cast<std::uint16_t>(options_.port_mapper_port));
  auto port = detail::LookUpPort(mapper, DEVICE_CORE, DEVICE_CORE_VERSION, deadline);
  if (!port.ok()) return port.status();
  if (*port == 0)
    return Status(
        Errc::kIoError,
        "the port mapper at " + mapper.ToString() + " names no VXI-11 server for " + label_,
        ECONNREFUSED);
  *address_ = host;
  address_->set_port(*port);
  Status st = core_->Connect(*address_, DEVICE_CORE, DEVICE_CORE_VERSION, deadline,
                             "the VXI-11 server at " + address_->ToString());
  if (!st.ok()) return st;
  st = CreateLink(deadline, answered);
  if (!st.ok()) core_->Close();
  return st;
}

Status Vxi11Transport::CreateLink(Deadline deadline, bool* answered) {
  Create_LinkParms p{};
  p.clientId = client_id_;
  p.lockDevice = locked_;
  p.lock_timeout = static_cast<u_long>(PollTimeoutMs(deadline));
  p.device = const_cast<char*>(device_.c_str());
  Create_LinkResp r{};
  const auto start = Clock::now();
  RpcOutcome outcome = core_->Call(create_link, Xdr(xdr_Create_LinkParms), &p,
                                   Xdr(xdr_Create_LinkResp), &r, deadline);
  // Without a link there is nothing to abort: the caller closes the
  // connection.
  if (!outcome.answered())
    return detail::RpcFailure(outcome, "create_link", *core_, deadline - start);
  if (answered) *answered = true;
  if (r.error == kErrorNoDevice)
    return Status(Errc::kNotOpen, "no such device \"" + device_ + "\" at " + HostLabel(host_) +
                                      " (create_link: device not accessible, VXI-11 error 3)");
  if (r.error != 0) return DeviceError(r.error, "create_link");
  link_id_ = r.lid;
  abort_port_ = r.abortPort;
  max_recv_size_ = std::clamp<std::size_t>(static_cast<std::size_t>(r.maxRecvSize),
                                           kSmallestRecvSize, kLargestRequest);
  return {};
}

void Vxi11Transport::Close() {
  if (core_->is_open() && !relink_) {
    // The server ends the link when the connection closes anyway; asking
    // it to is polite, but not worth a wait on an instrument that is gone.
    Device_Link lid = link_id_;
    Device_Error r{};
    (void)core_->Send(destroy_link, Xdr(xdr_Device_Link), &lid, Xdr(xdr_Device_Error), &r,
                      kCloseSendTime);
  }
  core_->Close();
  abort_->Close();
  DropReadAhead();
  open_ = false;
  relink_ = false;
  locked_ = false;
  link_id_ = 0;
  abort_port_ = 0;
  max_recv_size_ = 0;
}

bool Vxi11Transport::PeerClosed() const {
  return open_ && !relink_ && core_->is_open() && detail::PeerGone(core_->fd());
}

Status Vxi11Transport::Ready(Deadline deadline) {
  if (!open_) return Status(Errc::kNotOpen, label_ + " is not open");
  if (relink_) return Relink(deadline);
  return {};
}

Status Vxi11Transport::Relink(Deadline deadline) {
  core_->Close();
  abort_->Close();
  Status st = core_->Connect(*address_, DEVICE_CORE, DEVICE_CORE_VERSION, deadline,
                             "the VXI-11 server at " + address_->ToString());
  if (st.ok()) {
    st = CreateLink(deadline, nullptr);
    if (!st.ok()) core_->Close();
  } else if (st.code() != Errc::kTimeout) {
    // The server may be back on another port: ask the port mapper again.
    const SocketAddress host = *address_;
    st = Connect(host, deadline, nullptr);
  }
  if (!st.ok())
    return Status(st.code(), "cannot make a new link to " + label_ + ": " + st.message(),
                  st.sys_errno());
  relink_ = false;
  return {};
}

void Vxi11Transport::DropConnection() {
  DropReadAhead();
  core_->Close();
  abort_->Close();
  if (open_) relink_ = true;
}

bool Vxi11Transport::Abort(Clock::time_point until) {
  if (abort_port_ == 0) return false;
  if (!abort_->is_open()) {
    SocketAddress at = *address_;
    at.set_port(static_cast<std::uint16_t>(abort_port_));
    if (!abort_
             ->Connect(at, DEVICE_ASYNC, DEVICE_ASYNC_VERSION, until,
                       "the abort channel at " + at.ToString())
             .ok())
      return false;
  }
  Device_Link lid = link_id_;
  Device_Error r{};
  RpcOutcome outcome =
      abort_->Call(device_abort, Xdr(xdr_Device_Link), &lid, Xdr(xdr_Device_Error), &r, until);
  if (!outcome.answered()) {
    abort_->Close();
    return false;
  }
  return r.error == 0;
}

void Vxi11Transport::OnNoAnswer(Clock::duration margin) {
  const auto until = Clock::now() + margin;
  // The aborted call answers (error 23) on the core channel; the next call
  // there skips that answer by its transaction id, so the link stays.
  if (Abort(until) && core_->WaitReadable(until)) return;
  DropConnection();
}

Status Vxi11Transport::CallFailed(const RpcOutcome& outcome, const char* call,
                                  Clock::duration waited, Clock::duration margin) {
  Status st = detail::RpcFailure(outcome, call, *core_, waited);
  if (outcome.stat == RPC_TIMEDOUT) {
    OnNoAnswer(margin);
  } else if (st.code() != Errc::kUnsupported) {
    // A send cut short, a reply that did not decode, a closed connection:
    // the stream is of no further use.
    DropConnection();
  }
  return st;
}

Status Vxi11Transport::DeviceError(long error, const char* call) {
  // The server no longer knows the link: the next call makes a new one.
  if (error == kErrorInvalidLink) DropConnection();
  const DeviceErrorRow* row = FindDeviceError(error);
  return Status(row ? row->errc : Errc::kIoError,
                std::string(call) + " on " + label_ + ": " + (row ? row->text : "device error") +
                    " (VXI-11 error " + std::to_string(error) + ")",
                row ? row->sys_errno : 0);
}

Status Vxi11Transport::Write(std::span<const std::uint8_t> data, Deadline deadline) {
  if (Status st = Ready(deadline); !st.ok()) return st;
  // A new message makes the device drop what it had yet to send of the
  // last reply; what was read ahead of it goes too.
  DropReadAhead();
  std::size_t done = 0;
  // An empty write still goes out: one empty piece with END.
  do {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
      return Status(Errc::kTimeout,
                    "timed out writing to " + label_ + " after " + Of(done, data.size()));
    const std::size_t piece = std::min(data.size() - done, max_recv_size_);
    Device_WriteParms p{};
    p.lid = link_id_;
    p.io_timeout = static_cast<u_long>(CeilMs(left));
    p.lock_timeout = p.io_timeout;
    p.flags = done + piece == data.size() ? kFlagEnd : 0;
    p.data.data_len = static_cast<u_int>(piece);
    p.data.data_val = reinterpret_cast<char*>(const_cast<std::uint8_t*>(data.data() + done));
    Device_WriteResp r{};
    const auto margin = ReplyMargin(left);
    RpcOutcome outcome = core_->Call(device_write, Xdr(xdr_Device_WriteParms), &p,
                                     Xdr(xdr_Device_WriteResp), &r, deadline + margin);
    if (!outcome.answered())
      return WithSuffix(CallFailed(outcome, "device_write", left + margin, margin),
                        " after " + Of(done, data.size()));
    if (r.error == kErrorIoTimeout)
      return Status(Errc::kTimeout, "timed out writing to " + label_ + " after " +
                                        Of(done, data.size()) +
                                        " (the device's I/O timeout, VXI-11 error 15)");
    if (r.error != 0)
      return WithSuffix(DeviceError(r.error, "device_write"), " after " + Of(done, data.size()));
    if (r.size == 0 && piece > 0)
      return Status(Errc::kIoError, "device_write on " + label_ + " took none of a piece of " +
                                        std::to_string(piece) + " bytes after " +
                                        Of(done, data.size()));
    done += std::min<std::size_t>(r.size, piece);
  } while (done < data.size());
  return {};
}

Result<ReadResult> Vxi11Transport::Read(std::span<std::uint8_t> buffer, Deadline deadline) {
  if (Status st = Ready(deadline); !st.ok()) return st;
  if (buffer.empty()) return ReadResult{};
  if (ahead_at_ < ahead_count_) {
    const std::size_t n = std::min(buffer.size(), ahead_count_ - ahead_at_);
    std::memcpy(buffer.data(), ahead_.data() + ahead_at_, n);
    ahead_at_ += n;
    const bool end = ahead_at_ == ahead_count_ && ahead_end_;
    if (ahead_at_ == ahead_count_) DropReadAhead();
    return ReadResult{n, end};
  }
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return Status(Errc::kTimeout, "timed out reading " + label_);
  Device_ReadParms p{};
  p.lid = link_id_;
  const std::size_t direct = std::min(buffer.size(), kLargestRequest - kReadAhead);
  p.requestSize = static_cast<u_long>(direct + kReadAhead);
  p.io_timeout = static_cast<u_long>(CeilMs(left));
  p.lock_timeout = p.io_timeout;
  ReadInto into{buffer.data(), static_cast<u_int>(direct), ahead_.data(),
                static_cast<u_int>(kReadAhead)};
  const auto margin = ReplyMargin(left);
  RpcOutcome outcome = core_->Call(device_read, Xdr(xdr_Device_ReadParms), &p, Xdr(XdrReadInto),
                                   &into, deadline + margin);
  if (!outcome.answered()) return CallFailed(outcome, "device_read", left + margin, margin);
  if (into.error != 0 && into.error != kErrorIoTimeout)
    return DeviceError(into.error, "device_read");
  const bool end = (into.reason & (kReasonEnd | kReasonTermChar)) != 0 && into.error == 0;
  if (into.ahead_count > 0) {
    ahead_count_ = into.ahead_count;
    ahead_at_ = 0;
    ahead_end_ = end;
  }
  if (into.count > 0) return ReadResult{into.count, end && into.ahead_count == 0};
  if (into.error == kErrorIoTimeout)
    return Status(Errc::kTimeout,
                  "timed out reading " + label_ + " (the device's I/O timeout, VXI-11 error 15)");
  return ReadResult{0, end};
}

Status Vxi11Transport::DiscardInput() {
  DropReadAhead();
  return {};
}

void Vxi11Transport::DropReadAhead() {
  ahead_at_ = 0;
  ahead_count_ = 0;
  ahead_end_ = false;
}

Status Vxi11Transport::Clear(Deadline deadline) {
  if (Status st = Ready(deadline); !st.ok()) return st;
  DropReadAhead();
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero())
    return Status(Errc::kTimeout, "timed out clearing " + label_);
  Device_GenericParms p{};
  p.lid = link_id_;
  p.io_timeout = static_cast<u_long>(CeilMs(left));
  p.lock_timeout = p.io_timeout;
  Device_Error r{};
  const auto margin = ReplyMargin(left);
  RpcOutcome outcome = core_->Call(device_clear, Xdr(xdr_Device_GenericParms), &p,
                                   Xdr(xdr_Device_Error), &r, deadline + margin);
  if (!outcome.answered()) {
    Status st = CallFailed(outcome, "device_clear", left + margin, margin);
    // What the old link still owed went with its connection; a new link
    // starts with nothing to send.
    if (relink_ && Clock::now() < deadline && Relink(deadline).ok()) return {};
    return st;
  }
  if (r.error == 0) return {};
  if (r.error == kErrorLocked) return DeviceError(r.error, "device_clear");
  // A device that cannot clear gets a new link on a new connection instead.
  DropConnection();
  return Relink(deadline);
}

Status Vxi11Transport::Lock(Deadline deadline) {
  if (Status st = Ready(deadline); !st.ok()) return st;
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return Status(Errc::kTimeout, "timed out locking " + label_);
  Device_LockParms p{};
  p.lid = link_id_;
  p.flags = kFlagWaitLock;
  p.lock_timeout = static_cast<u_long>(CeilMs(left));
  Device_Error r{};
  const auto margin = ReplyMargin(left);
  RpcOutcome outcome = core_->Call(device_lock, Xdr(xdr_Device_LockParms), &p,
                                   Xdr(xdr_Device_Error), &r, deadline + margin);
  if (!outcome.answered()) return CallFailed(outcome, "device_lock", left + margin, margin);
  if (r.error == kErrorLocked)
    return Status(Errc::kBusy, label_ + " stayed locked by another link for " +
                                   std::to_string(p.lock_timeout) +
                                   " ms (device_lock: VXI-11 error 11)");
  if (r.error != 0) return DeviceError(r.error, "device_lock");
  locked_ = true;
  return {};
}

Status Vxi11Transport::Unlock(Deadline deadline) {
  if (Status st = Ready(deadline); !st.ok()) return st;
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero())
    return Status(Errc::kTimeout, "timed out unlocking " + label_);
  Device_Link lid = link_id_;
  Device_Error r{};
  RpcOutcome outcome =
      core_->Call(device_unlock, Xdr(xdr_Device_Link), &lid, Xdr(xdr_Device_Error), &r, deadline);
  if (!outcome.answered()) return CallFailed(outcome, "device_unlock", left, ReplyMargin(left));
  locked_ = false;
  if (r.error != 0) return DeviceError(r.error, "device_unlock");
  return {};
}

}  // namespace vex::io
