#include "vex/io/hislip_transport.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "fd_io.h"
#include "hislip_message.h"
#include "vex/com/wait_pump.h"

namespace vex::io {
namespace {

using hislip::Header;
using hislip::kHeaderSize;
using hislip::Type;
using namespace std::chrono_literals;

constexpr std::uint8_t Code(Type t) {
  return static_cast<std::uint8_t>(t);
}

// Payloads of messages that carry no reply data (error texts, sizes) are
// read whole; longer ones are taken as a broken stream.
constexpr std::uint64_t kMaxControlPayload = 64 * 1024;
// FatalError codes the client sends.
constexpr std::uint8_t kFatalBadHeader = 1;
constexpr std::uint8_t kFatalUnidentified = 0;
// How long a FatalError to a server that is being left may block.
constexpr auto kFatalSendTime = 50ms;
// Control codes of AsyncLock and AsyncLockResponse.
constexpr std::uint8_t kLockRequest = 1;
constexpr std::uint8_t kLockRelease = 0;
constexpr std::uint8_t kLockFailed = 0;
constexpr std::uint8_t kLockError = 3;

// Whole milliseconds of a duration, rounded up, within 32 bits.
std::uint32_t CeilMs32(Clock::duration d) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
  return static_cast<std::uint32_t>(std::clamp<long long>(ms, 0, 0xffffffffLL));
}

// How much longer than the lock timeout given to the server the client
// waits for its answer, so that the server's own "not granted" comes first.
Clock::duration AnswerMargin(Clock::duration left) {
  const Clock::duration margin = std::max(left, Clock::duration::zero()) / 50 + 10ms;
  return std::min<Clock::duration>(margin, 250ms);
}

std::string HostLabel(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

struct Endpoint {
  sockaddr_storage storage{};
  socklen_t length = 0;
};

// The host's addresses with the port set: a numeric one as it is, a name
// through the resolver (which has no deadline).
Result<std::vector<Endpoint>> Resolve(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  const std::string service = std::to_string(port);
  addrinfo* list = nullptr;
  int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (rc == EAI_NONAME) {
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  }
  if (rc != 0)
    return Status(Errc::kIoError, "cannot resolve host \"" + host + "\": " + ::gai_strerror(rc));
  std::vector<Endpoint> found;
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    if ((ai->ai_family != AF_INET && ai->ai_family != AF_INET6) ||
        ai->ai_addrlen > sizeof(sockaddr_storage))
      continue;
    Endpoint e;
    std::memcpy(&e.storage, ai->ai_addr, ai->ai_addrlen);
    e.length = ai->ai_addrlen;
    found.push_back(e);
  }
  ::freeaddrinfo(list);
  if (found.empty()) return Status(Errc::kIoError, "no address for host \"" + host + "\"");
  return found;
}

// A non-blocking connect bounded by the deadline; the descriptor stays
// non-blocking.
Result<int> ConnectTo(const Endpoint& at, Deadline deadline, const std::string& what) {
  int fd = ::socket(at.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return Status::FromErrno("socket for " + what, errno);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  int c;
  do {
    c = ::connect(fd, reinterpret_cast<const sockaddr*>(&at.storage), at.length);
  } while (c < 0 && errno == EINTR);
  if (c < 0 && errno != EINPROGRESS) {
    const int err = errno;
    ::close(fd);
    return Status::FromErrno("connect to " + what, err);
  }
  if (c < 0) {
    short rev = 0;
    Status st = detail::WaitFd(fd, POLLOUT, deadline, "connect to " + what, &rev);
    if (!st.ok()) {
      ::close(fd);
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
  return fd;
}

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void Put64(std::uint8_t* out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(v >> (56 - 8 * i));
}

std::uint64_t Get64(const std::string& s) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | static_cast<std::uint8_t>(s[i]);
  return v;
}

// A server's text as part of a message: printable ASCII, the rest as \xNN,
// cut at 200 characters.
std::string Shown(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (out.size() >= 200) {
      out += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7f) {
      out += ch;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

HislipTransport::HislipTransport(std::string host, std::string sub_address)
    : HislipTransport(std::move(host), std::move(sub_address), Options{}) {}

HislipTransport::HislipTransport(std::string host, std::string sub_address, Options options)
    : host_(std::move(host)),
      sub_address_(std::move(sub_address)),
      options_(options),
      label_(HostLabel(host_) + ":" + std::to_string(options_.port) + " " + sub_address_) {}

HislipTransport::~HislipTransport() {
  Close();
}

void HislipTransport::Close() {
  for (Channel* ch : {&sync_, &async_}) {
    if (ch->fd >= 0) ::close(ch->fd);
    ch->fd = -1;
    ch->have = 0;
  }
  session_id_ = 0;
  server_version_ = 0;
  server_max_ = 0;
  overlapped_ = false;
  server_prefers_overlap_ = false;
  message_id_ = kFirstMessageId;
  last_sent_ = kFirstMessageId - 2;
  query_id_ = 0;
  sent_query_ = false;
  rmt_delivered_ = false;
  payload_left_ = 0;
  payload_end_ = false;
  skip_left_ = 0;
  await_interrupted_ = false;
  interrupted_first_ = false;
  service_request_ = false;
  owed_.clear();
}

Status HislipTransport::EnsureOpen() const {
  if (sync_.fd < 0) return Status(Errc::kNotOpen, label_ + " is not open");
  return {};
}

bool HislipTransport::PeerClosed() const {
  return sync_.fd >= 0 && (detail::PeerGone(sync_.fd) || detail::PeerGone(async_.fd));
}

bool HislipTransport::TakeServiceRequest() {
  return std::exchange(service_request_, false);
}

Status HislipTransport::Open(Deadline deadline) {
  Close();
  auto endpoints = Resolve(host_, options_.port);
  if (!endpoints.ok()) return endpoints.status();
  Status last;
  for (const Endpoint& at : *endpoints) {
    auto fd = ConnectTo(at, deadline, "the HiSLIP server " + label_);
    if (!fd.ok()) {
      last = fd.status();
      if (last.code() == Errc::kTimeout) break;
      continue;  // an address that cannot be reached: the next one
    }
    sync_.fd = *fd;
    last = Handshake(deadline);
    if (last.ok()) {
      auto afd = ConnectTo(at, deadline, "the HiSLIP server " + label_ + " (asynchronous channel)");
      if (!afd.ok()) {
        last = afd.status();
      } else {
        async_.fd = *afd;
        last = Handshake(deadline);
      }
    }
    if (last.ok()) return {};
    Close();
    break;  // the server answered, or the time is up
  }
  return last;
}

// Called twice by Open: the synchronous channel's Initialize when only it
// is connected, then the asynchronous channel's initialization, the
// maximum message size and the mode.
Status HislipTransport::Handshake(Deadline deadline) {
  Header h;
  std::string payload;
  if (async_.fd < 0) {
    const std::uint32_t parameter =
        (std::uint32_t{kClientVersion} << 16) | std::uint32_t{options_.vendor_id};
    Status st = Send(sync_, hislip::Make(Type::kInitialize, 0, parameter, sub_address_.size()),
                     Bytes(sub_address_), deadline, "Initialize");
    if (!st.ok()) return st;
    for (;;) {
      auto whole = ReadHeader(sync_, &h, deadline, "InitializeResponse");
      if (!whole.ok()) return whole.status();
      if (*whole) break;
    }
    if (h.type == Code(Type::kFatalError) || h.type == Code(Type::kError)) {
      st = ReadSmallPayload(sync_, h, &payload, deadline, "InitializeResponse");
      const std::string code = h.type == Code(Type::kFatalError) ? hislip::FatalErrorText(h.control)
                                                                 : hislip::ErrorText(h.control);
      return Status(Errc::kNotOpen, "the HiSLIP server " + label_ + " refused sub-address \"" +
                                        sub_address_ + "\": " + (st.ok() ? Shown(payload) : "") +
                                        " (" + hislip::TypeName(h.type) + " " +
                                        std::to_string(h.control) + ": " + code + ")");
    }
    if (h.type != Code(Type::kInitializeResponse) || h.length != 0)
      return Status(Errc::kMalformed, "the HiSLIP server " + label_ + " answered Initialize with " +
                                          hislip::TypeName(h.type) + " of " +
                                          std::to_string(h.length) + " bytes");
    server_version_ = static_cast<std::uint16_t>(h.parameter >> 16);
    session_id_ = static_cast<std::uint16_t>(h.parameter & 0xffff);
    server_prefers_overlap_ = (h.control & 1) != 0;
    overlapped_ = server_prefers_overlap_;
    return {};
  }

  Status st = Send(async_, hislip::Make(Type::kAsyncInitialize, 0, session_id_, 0), {}, deadline,
                   "AsyncInitialize");
  if (st.ok())
    st =
        AwaitAsync(Code(Type::kAsyncInitializeResponse), &h, &payload, deadline, "AsyncInitialize");
  if (!st.ok())
    return st.code() == Errc::kClosed && sync_.fd < 0
               ? Status(Errc::kNotOpen, st.message(), st.sys_errno())
               : st;
  std::uint8_t ours[8];
  Put64(ours, options_.max_message);
  st = Send(async_, hislip::Make(Type::kAsyncMaximumMessageSize, 0, 0, 8), ours, deadline,
            "AsyncMaximumMessageSize");
  if (st.ok())
    st = AwaitAsync(Code(Type::kAsyncMaximumMessageSizeResponse), &h, &payload, deadline,
                    "AsyncMaximumMessageSize");
  if (!st.ok()) return st;
  if (payload.size() != 8)
    return Status(Errc::kMalformed, "the HiSLIP server " + label_ +
                                        " answered AsyncMaximumMessageSize with " +
                                        std::to_string(payload.size()) + " bytes, not 8");
  server_max_ = Get64(payload);
  if (server_max_ == 0)
    return Status(Errc::kMalformed,
                  "the HiSLIP server " + label_ + " takes messages of at most 0 bytes");
  const bool want_overlap = options_.mode == Mode::kOverlapped;
  if (options_.mode != Mode::kServerChoice && want_overlap != overlapped_) {
    st = ClearChannels(deadline, want_overlap);
    if (!st.ok()) return st;
    if (overlapped_ != want_overlap)
      return Status(Errc::kUnsupported, "the HiSLIP server " + label_ + " does not serve " +
                                            (want_overlap ? "overlapped" : "synchronized") +
                                            " mode");
  }
  return {};
}

Status HislipTransport::Send(Channel& channel, const Header& header,
                             std::span<const std::uint8_t> payload, Deadline deadline,
                             const char* what) {
  std::uint8_t head[kHeaderSize];
  hislip::Encode(header, head);
  // Small messages go in one piece, so that header and payload leave in
  // one segment.
  std::vector<std::uint8_t> joined;
  std::span<const std::uint8_t> first(head, kHeaderSize);
  if (payload.size() <= 4096) {
    joined.assign(head, head + kHeaderSize);
    joined.insert(joined.end(), payload.begin(), payload.end());
    first = joined;
    payload = {};
  }
  const std::string desc = std::string(what) + " to " + label_;
  Status st = detail::WriteAll(channel.fd, detail::FdKind::kSocket, first, deadline, desc);
  if (st.ok() && !payload.empty())
    st = detail::WriteAll(channel.fd, detail::FdKind::kSocket, payload, deadline, desc);
  if (st.ok()) return {};
  // Part of a message may have gone out: the server's stream cannot be
  // followed any more.
  const Status failed = Lost(st);
  Close();
  return failed;
}

Status HislipTransport::Lost(const Status& st) {
  if (st.code() == Errc::kClosed) {
    Close();
    return Status(Errc::kClosed, "the HiSLIP server " + label_ + " closed the connection",
                  st.sys_errno());
  }
  if (st.code() != Errc::kTimeout) Close();
  return st;
}

Result<bool> HislipTransport::ReadHeader(Channel& channel, Header* header, Deadline deadline,
                                         const char* what) {
  auto got = detail::ReadSome(
      channel.fd, detail::FdKind::kSocket,
      std::span<std::uint8_t>(channel.head + channel.have, kHeaderSize - channel.have), deadline,
      std::string(what) + " from " + label_);
  if (!got.ok()) return Lost(got.status());
  channel.have += got->count;
  if (channel.have < kHeaderSize) return false;
  channel.have = 0;
  auto decoded = hislip::Decode(std::span<const std::uint8_t, kHeaderSize>(channel.head));
  if (!decoded)
    return Broken(Status(Errc::kMalformed, "the HiSLIP server " + label_ +
                                               " sent a message that does not start with \"HS\""),
                  kFatalBadHeader);
  *header = *decoded;
  return true;
}

Status HislipTransport::ReadSmallPayload(Channel& channel, const Header& header, std::string* out,
                                         Deadline deadline, const char* what) {
  if (header.length > kMaxControlPayload)
    return Broken(
        Status(Errc::kTooLarge, "the HiSLIP server " + label_ + " sent " +
                                    hislip::TypeName(header.type) + " with " +
                                    std::to_string(header.length) + " bytes of payload (at most " +
                                    std::to_string(kMaxControlPayload) + ")"),
        kFatalUnidentified);
  out->assign(static_cast<std::size_t>(header.length), '\0');
  std::size_t done = 0;
  while (done < out->size()) {
    auto got = detail::ReadSome(
        channel.fd, detail::FdKind::kSocket,
        std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(out->data()) + done,
                                out->size() - done),
        deadline, std::string(what) + " from " + label_);
    if (!got.ok()) {
      // The rest of the message is still to come: the stream is lost.
      Status st = Lost(got.status());
      Close();
      return st;
    }
    done += got->count;
  }
  return {};
}

Status HislipTransport::WaitInput(bool on_sync, bool on_async, Deadline deadline, bool* sync_ready,
                                  bool* async_ready) {
  *sync_ready = *async_ready = false;
  for (;;) {
    pollfd p[2] = {{on_sync ? sync_.fd : -1, POLLIN, 0}, {on_async ? async_.fd : -1, POLLIN, 0}};
    const int n = ::poll(p, 2, PollSliceMs(deadline));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::FromErrno("poll on " + label_, errno);
    }
    if (n > 0) {
      // A hang-up or error counts as input: the read reports it.
      *sync_ready = p[0].revents != 0;
      *async_ready = p[1].revents != 0;
      return {};
    }
    if (Clock::now() >= deadline) return Status(Errc::kTimeout, "timed out");
    com::RunWaitPump();
  }
}

Status HislipTransport::ServerFatal(const Header& header, const std::string& text, Errc code) {
  Close();
  return Status(code, "the HiSLIP server " + label_ + " ended the session: " + Shown(text) +
                          " (FatalError " + std::to_string(header.control) + ": " +
                          hislip::FatalErrorText(header.control) + ")");
}

Status HislipTransport::ServerError(const Header& header, const std::string& text) {
  return Status(Errc::kIoError, "the HiSLIP server " + label_ + " reported an error: " +
                                    Shown(text) + " (Error " + std::to_string(header.control) +
                                    ": " + hislip::ErrorText(header.control) + ")");
}

Status HislipTransport::Broken(Status why, std::uint8_t fatal_code) {
  if (sync_.fd >= 0) {
    const std::string& text = why.message();
    std::uint8_t head[kHeaderSize];
    hislip::Encode(hislip::Make(Type::kFatalError, fatal_code, 0, text.size()), head);
    std::vector<std::uint8_t> message(head, head + kHeaderSize);
    message.insert(message.end(), text.begin(), text.end());
    (void)detail::WriteAll(sync_.fd, detail::FdKind::kSocket, message,
                           Clock::now() + kFatalSendTime, label_);
  }
  Close();
  return why;
}

Status HislipTransport::ReadAsync(Header* header, std::string* payload, Deadline deadline) {
  for (;;) {
    auto whole = ReadHeader(async_, header, deadline, "the asynchronous channel");
    if (!whole.ok()) return whole.status();
    if (*whole) break;
  }
  return ReadSmallPayload(async_, *header, payload, deadline, "the asynchronous channel");
}

Status HislipTransport::OnAsync(const Header& header, const std::string& payload) {
  const auto owed = std::find(owed_.begin(), owed_.end(), header.type);
  if (owed != owed_.end()) {
    owed_.erase(owed);
    return {};
  }
  switch (static_cast<Type>(header.type)) {
    case Type::kFatalError:
      return ServerFatal(header, payload, Errc::kClosed);
    case Type::kError:
      return ServerError(header, payload);
    case Type::kAsyncServiceRequest:
      service_request_ = true;
      return {};
    case Type::kAsyncInterrupted:
      if (overlapped_) return {};
      if (interrupted_first_ && interrupted_id_ == header.parameter) {
        interrupted_first_ = false;
        return {};
      }
      // What the synchronous channel still has before its Interrupted
      // belongs to the reply the server abandoned.
      DropPendingReply();
      await_interrupted_ = true;
      return {};
    default:
      return {};  // an answer nobody waits for
  }
}

Status HislipTransport::AwaitAsync(std::uint8_t type, Header* header, std::string* payload,
                                   Deadline deadline, const char* call) {
  for (;;) {
    bool sync_ready = false, async_ready = false;
    Status st = WaitInput(false, true, deadline, &sync_ready, &async_ready);
    if (st.code() == Errc::kTimeout) {
      owed_.push_back(type);
      return Status(Errc::kTimeout,
                    "timed out waiting for the answer to " + std::string(call) + " from " + label_);
    }
    if (!st.ok()) return st;
    st = ReadAsync(header, payload, deadline);
    if (st.code() == Errc::kTimeout) continue;  // a header cut short: the rest is awaited
    if (!st.ok()) return st;
    if (header->type == type) {
      const auto owed = std::find(owed_.begin(), owed_.end(), type);
      if (owed == owed_.end()) return {};
      owed_.erase(owed);  // the late answer of an earlier call
      continue;
    }
    if (header->type == Code(Type::kFatalError))
      return ServerFatal(
          *header, *payload,
          sync_.fd >= 0 && async_.fd >= 0 && server_max_ > 0 ? Errc::kClosed : Errc::kNotOpen);
    st = OnAsync(*header, *payload);
    if (!st.ok()) return st;
  }
}

void HislipTransport::DropPendingReply() {
  skip_left_ += payload_left_;
  payload_left_ = 0;
  payload_end_ = false;
}

Result<HislipTransport::SyncEvent> HislipTransport::SyncStep(Deadline deadline, bool drop_data,
                                                             std::uint8_t* clear_control) {
  if (skip_left_ > 0) {
    std::uint8_t scratch[4096];
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(skip_left_, sizeof scratch));
    auto got = detail::ReadSome(sync_.fd, detail::FdKind::kSocket,
                                std::span<std::uint8_t>(scratch, n), deadline, label_);
    if (!got.ok()) return Lost(got.status());
    skip_left_ -= got->count;
    return SyncEvent::kNone;
  }
  Header h;
  auto whole = ReadHeader(sync_, &h, deadline, "the synchronous channel");
  if (!whole.ok()) return whole.status();
  if (!*whole) return SyncEvent::kNone;
  const bool data = h.type == Code(Type::kData) || h.type == Code(Type::kDataEnd);
  if (data) {
    if (h.length > options_.max_message)
      return Broken(
          Status(Errc::kTooLarge, "the HiSLIP server " + label_ + " sent a reply message of " +
                                      std::to_string(h.length) + " bytes (at most " +
                                      std::to_string(options_.max_message) + ")"),
          kFatalUnidentified);
    // A reply to an earlier query (in synchronized mode the reply carries
    // its query's message id), or one the server abandoned.
    const bool stale = !overlapped_ && sent_query_ && h.parameter != query_id_;
    if (drop_data || await_interrupted_ || stale) {
      skip_left_ = h.length;
      return SyncEvent::kNone;
    }
    payload_left_ = h.length;
    payload_end_ = h.type == Code(Type::kDataEnd);
    if (h.length == 0) return payload_end_ ? SyncEvent::kEmptyEnd : SyncEvent::kNone;
    return SyncEvent::kReply;
  }
  std::string text;
  switch (static_cast<Type>(h.type)) {
    case Type::kFatalError:
      if (Status st = ReadSmallPayload(sync_, h, &text, deadline, "FatalError"); !st.ok())
        return st;
      return ServerFatal(h, text, Errc::kClosed);
    case Type::kError:
      if (Status st = ReadSmallPayload(sync_, h, &text, deadline, "Error"); !st.ok()) return st;
      return ServerError(h, text);
    case Type::kInterrupted:
      // The end of an abandoned reply: what follows answers the new query.
      if (await_interrupted_) {
        await_interrupted_ = false;
      } else {
        interrupted_first_ = true;
        interrupted_id_ = h.parameter;
      }
      DropPendingReply();
      break;
    case Type::kDeviceClearAcknowledge:
      if (clear_control) {
        *clear_control = h.control;
        skip_left_ = std::min<std::uint64_t>(h.length, kMaxControlPayload);
        if (h.length > kMaxControlPayload) break;
        return SyncEvent::kClearAcknowledged;
      }
      break;
    default:
      break;
  }
  if (h.length > options_.max_message)
    return Broken(Status(Errc::kTooLarge, "the HiSLIP server " + label_ + " sent " +
                                              hislip::TypeName(h.type) + " of " +
                                              std::to_string(h.length) + " bytes"),
                  kFatalUnidentified);
  skip_left_ = h.length;
  return SyncEvent::kNone;
}

Status HislipTransport::Write(std::span<const std::uint8_t> data, Deadline deadline) {
  if (Status st = EnsureOpen(); !st.ok()) return st;
  // In synchronized mode a new message makes the server drop the rest of
  // the last reply; so does the client.
  if (!overlapped_) DropPendingReply();
  const std::size_t largest =
      static_cast<std::size_t>(std::min<std::uint64_t>(server_max_, SIZE_MAX));
  std::size_t done = 0;
  // An empty write still goes out: one empty DataEnd.
  do {
    const std::size_t piece = std::min(data.size() - done, largest);
    const bool last = done + piece == data.size();
    const std::uint8_t control = rmt_delivered_ ? 1 : 0;
    Status st =
        Send(sync_, hislip::Make(last ? Type::kDataEnd : Type::kData, control, message_id_, piece),
             data.subspan(done, piece), deadline, last ? "DataEnd" : "Data");
    if (!st.ok())
      return Status(st.code(),
                    st.message() + " after " + std::to_string(done) + " of " +
                        std::to_string(data.size()) + " bytes",
                    st.sys_errno());
    rmt_delivered_ = false;
    last_sent_ = message_id_;
    message_id_ += 2;
    done += piece;
    if (last) {
      query_id_ = last_sent_;
      sent_query_ = true;
    }
  } while (done < data.size());
  return {};
}

Result<ReadResult> HislipTransport::Read(std::span<std::uint8_t> buffer, Deadline deadline) {
  if (Status st = EnsureOpen(); !st.ok()) return st;
  if (buffer.empty()) return ReadResult{};
  for (;;) {
    if (payload_left_ > 0) {
      const auto n =
          static_cast<std::size_t>(std::min<std::uint64_t>(payload_left_, buffer.size()));
      auto got =
          detail::ReadSome(sync_.fd, detail::FdKind::kSocket, buffer.first(n), deadline, label_);
      if (!got.ok()) {
        if (got.status().code() == Errc::kTimeout)
          return Status(Errc::kTimeout, "timed out reading " + label_);
        return Lost(got.status());
      }
      payload_left_ -= got->count;
      const bool end = payload_left_ == 0 && payload_end_;
      if (end) rmt_delivered_ = true;
      return ReadResult{got->count, end};
    }
    bool sync_ready = false, async_ready = false;
    Status st = WaitInput(true, true, deadline, &sync_ready, &async_ready);
    if (st.code() == Errc::kTimeout) return Status(Errc::kTimeout, "timed out reading " + label_);
    if (!st.ok()) return st;
    // The asynchronous channel first: AsyncInterrupted tells what on the
    // synchronous channel is void.
    if (async_ready) {
      Header h;
      std::string payload;
      st = ReadAsync(&h, &payload, deadline);
      if (st.code() == Errc::kTimeout) continue;
      if (st.ok()) st = OnAsync(h, payload);
      if (!st.ok()) return st;
      continue;
    }
    if (!sync_ready) continue;
    auto event = SyncStep(deadline, false, nullptr);
    if (!event.ok()) {
      if (event.status().code() == Errc::kTimeout)
        return Status(Errc::kTimeout, "timed out reading " + label_);
      return event.status();
    }
    if (*event == SyncEvent::kEmptyEnd) {
      rmt_delivered_ = true;
      return ReadResult{0, true};
    }
  }
}

Status HislipTransport::DiscardInput() {
  if (Status st = EnsureOpen(); !st.ok()) return st;
  DropPendingReply();
  // What is there now goes, message by message; a message that is not
  // whole yet is dropped as it comes.
  for (;;) {
    bool sync_ready = false, async_ready = false;
    Status st = WaitInput(true, false, Clock::now(), &sync_ready, &async_ready);
    if (st.code() == Errc::kTimeout || !sync_ready) return {};
    if (!st.ok()) return st;
    auto event = SyncStep(Clock::now(), true, nullptr);
    if (!event.ok()) return event.status().code() == Errc::kTimeout ? Status() : event.status();
  }
}

Status HislipTransport::ClearChannels(Deadline deadline, bool want_overlap) {
  DropPendingReply();
  Status st = Send(async_, hislip::Make(Type::kAsyncDeviceClear, 0, 0, 0), {}, deadline,
                   "AsyncDeviceClear");
  if (!st.ok()) return st;
  // Until the server acknowledges, replies may still come on the
  // synchronous channel: they are read and dropped, so that a server
  // blocked on sending them can go on.
  for (;;) {
    bool sync_ready = false, async_ready = false;
    st = WaitInput(true, true, deadline, &sync_ready, &async_ready);
    if (st.code() == Errc::kTimeout)
      return Status(Errc::kTimeout,
                    "timed out waiting for " + label_ + " to acknowledge AsyncDeviceClear");
    if (!st.ok()) return st;
    if (async_ready) {
      Header h;
      std::string payload;
      st = ReadAsync(&h, &payload, deadline);
      if (st.code() == Errc::kTimeout) continue;
      if (!st.ok()) return st;
      if (h.type == Code(Type::kAsyncDeviceClearAcknowledge)) break;
      st = OnAsync(h, payload);
      if (!st.ok()) return st;
      continue;
    }
    auto event = SyncStep(deadline, true, nullptr);
    if (!event.ok() && event.status().code() != Errc::kTimeout) return event.status();
  }
  st = Send(sync_, hislip::Make(Type::kDeviceClearComplete, want_overlap ? 1 : 0, 0, 0), {},
            deadline, "DeviceClearComplete");
  if (!st.ok()) return st;
  std::uint8_t setting = 0;
  for (;;) {
    bool sync_ready = false, async_ready = false;
    st = WaitInput(true, true, deadline, &sync_ready, &async_ready);
    if (st.code() == Errc::kTimeout)
      return Status(Errc::kTimeout,
                    "timed out waiting for " + label_ + " to acknowledge DeviceClearComplete");
    if (!st.ok()) return st;
    if (async_ready) {
      Header h;
      std::string payload;
      st = ReadAsync(&h, &payload, deadline);
      if (st.code() == Errc::kTimeout) continue;
      if (st.ok()) st = OnAsync(h, payload);
      if (!st.ok()) return st;
      continue;
    }
    auto event = SyncStep(deadline, true, &setting);
    if (!event.ok()) {
      if (event.status().code() == Errc::kTimeout) continue;
      return event.status();
    }
    if (*event == SyncEvent::kClearAcknowledged) break;
  }
  overlapped_ = (setting & 1) != 0;
  message_id_ = kFirstMessageId;
  last_sent_ = kFirstMessageId - 2;
  sent_query_ = false;
  rmt_delivered_ = false;
  await_interrupted_ = false;
  interrupted_first_ = false;
  return {};
}

Status HislipTransport::Clear(Deadline deadline) {
  if (Status st = EnsureOpen(); !st.ok()) return st;
  const bool want_overlap = options_.mode == Mode::kServerChoice
                                ? server_prefers_overlap_
                                : options_.mode == Mode::kOverlapped;
  return ClearChannels(deadline, want_overlap);
}

Status HislipTransport::Lock(Deadline deadline) {
  return LockWith({}, deadline);
}

Status HislipTransport::LockShared(std::string_view name, Deadline deadline) {
  if (name.empty())
    return Status(Errc::kInvalidArgument, "a shared lock of " + label_ + " needs a name");
  return LockWith(name, deadline);
}

Status HislipTransport::LockWith(std::string_view name, Deadline deadline) {
  if (Status st = EnsureOpen(); !st.ok()) return st;
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return Status(Errc::kTimeout, "timed out locking " + label_);
  // The server waits for the lock for the time left; its "not granted"
  // comes a margin before the client gives up.
  const auto timeout_ms = CeilMs32(left);
  const std::string lock_name(name);
  Status st = Send(async_, hislip::Make(Type::kAsyncLock, kLockRequest, timeout_ms, name.size()),
                   Bytes(lock_name), deadline, "AsyncLock");
  if (!st.ok()) return st;
  Header h;
  std::string payload;
  st = AwaitAsync(Code(Type::kAsyncLockResponse), &h, &payload, deadline + AnswerMargin(left),
                  "AsyncLock");
  if (!st.ok()) return st;
  if (h.control == kLockFailed)
    return Status(Errc::kBusy, label_ + " stayed locked by another client for " +
                                   std::to_string(timeout_ms) + " ms (AsyncLockResponse: failure)");
  if (h.control == kLockError)
    return Status(
        Errc::kInvalidArgument,
        "the HiSLIP server " + label_ + " refused the lock request (AsyncLockResponse: error)");
  return {};
}

Status HislipTransport::Unlock(Deadline deadline) {
  if (Status st = EnsureOpen(); !st.ok()) return st;
  Status st = Send(async_, hislip::Make(Type::kAsyncLock, kLockRelease, last_sent_, 0), {},
                   deadline, "AsyncLock");
  if (!st.ok()) return st;
  Header h;
  std::string payload;
  st = AwaitAsync(Code(Type::kAsyncLockResponse), &h, &payload, deadline, "AsyncLock (release)");
  if (!st.ok()) return st;
  if (h.control == kLockError || h.control == kLockFailed)
    return Status(Errc::kInvalidArgument,
                  "the HiSLIP server " + label_ + " holds no lock of this client to release");
  return {};
}

Result<std::uint8_t> HislipTransport::ReadStatusByte(Deadline deadline) {
  if (Status st = EnsureOpen(); !st.ok()) return st;
  const std::uint8_t control = rmt_delivered_ ? 1 : 0;
  Status st = Send(async_, hislip::Make(Type::kAsyncStatusQuery, control, last_sent_, 0), {},
                   deadline, "AsyncStatusQuery");
  if (!st.ok()) return st;
  rmt_delivered_ = false;
  Header h;
  std::string payload;
  st = AwaitAsync(Code(Type::kAsyncStatusResponse), &h, &payload, deadline, "AsyncStatusQuery");
  if (!st.ok()) return st;
  return h.control;
}

}  // namespace vex::io
