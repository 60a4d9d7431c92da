#include "hislip/HislipServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "engine/ErrorQueue.h"
#include "server/FdIo.h"

namespace vex::sim {

namespace {

using hislip::Encode;
using hislip::ErrorCode;
using hislip::FatalCode;
using hislip::Header;
using hislip::Type;

// How long a channel closing after a fatal error waits for the client to
// read the error and close its side.
constexpr auto kLingerTime = std::chrono::seconds(1);

constexpr uint8_t kMessageAvailable = 0x10;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Text of a client's bytes for an error message: printable ASCII kept,
// the rest as '?', at most 64 characters.
std::string Printable(std::span<const uint8_t> bytes) {
  std::string s;
  for (const uint8_t b : bytes.first(std::min<std::size_t>(bytes.size(), 64)))
    s.push_back(b >= 0x20 && b < 0x7f ? static_cast<char>(b) : '?');
  return s;
}

bool IsData(uint8_t type) {
  return type == static_cast<uint8_t>(Type::kData) || type == static_cast<uint8_t>(Type::kDataEnd);
}

int MillisUntil(HislipServer::Clock::time_point t, HislipServer::Clock::time_point now) {
  if (t <= now) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(t - now).count());
}

}  // namespace

HislipServer::HislipServer(Instrument& instrument, HislipOptions options)
    : instrument_(instrument), options_(std::move(options)) {
  options_.max_message = std::clamp<uint64_t>(options_.max_message, 1, kHardPayloadLimit);
}

HislipServer::~HislipServer() {
  for (auto& ch : channels_) CloseChannel(*ch);
  for (auto& l : listeners_) CloseFd(l.fd);
}

bool HislipServer::Listen(const std::string& host, uint16_t port, std::string& error) {
  std::string bare = host;
  if (bare.size() >= 2 && bare.front() == '[' && bare.back() == ']')
    bare = bare.substr(1, bare.size() - 2);
  sockaddr_storage storage{};
  socklen_t size = 0;
  const bool v6 = bare.find(':') != std::string::npos;
  if (v6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(port);
    if (inet_pton(AF_INET6, bare.c_str(), &a->sin6_addr) != 1) {
      error = "not an IPv6 address: " + host;
      return false;
    }
    size = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&storage);
    a->sin_family = AF_INET;
    a->sin_port = htons(port);
    if (inet_pton(AF_INET, bare.c_str(), &a->sin_addr) != 1) {
      error = "not an IPv4 address: " + host;
      return false;
    }
    size = sizeof *a;
  }
  const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (v6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
  if (bind(fd, reinterpret_cast<sockaddr*>(&storage), size) != 0 || listen(fd, 16) != 0) {
    error = std::string("bind/listen: ") + std::strerror(errno);
    CloseFd(fd);
    return false;
  }
  getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &size);
  Listener l;
  l.fd = fd;
  l.port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                    : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
  l.text = (v6 ? "[" + bare + "]" : bare) + ":" + std::to_string(l.port);
  listeners_.push_back(std::move(l));
  return true;
}

std::vector<HislipServer::Endpoint> HislipServer::endpoints() const {
  std::vector<Endpoint> out;
  for (const auto& l : listeners_) out.push_back({l.text, l.port});
  return out;
}

void HislipServer::AppendPollFds(std::vector<pollfd>& fds) {
  const auto now = Clock::now();
  polled_.clear();
  for (const auto& l : listeners_) {
    fds.push_back({l.fd, POLLIN, 0});
    polled_.push_back({&l, nullptr});
  }
  for (auto& ch : channels_) {
    if (ch->closed) continue;
    short events = POLLIN;
    if (!ch->out.empty() && ch->out.front().due <= now) events |= POLLOUT;
    fds.push_back({ch->fd, events, 0});
    polled_.push_back({nullptr, ch.get()});
  }
}

int HislipServer::MillisUntilDue(Clock::time_point now) const {
  int best = -1;
  auto consider = [&](Clock::time_point t) {
    const int ms = MillisUntil(t, now);
    if (best < 0 || ms < best) best = ms;
  };
  for (const auto& ch : channels_) {
    if (ch->closed) continue;
    if (!ch->out.empty() && ch->out.front().due > now) consider(ch->out.front().due);
    if (ch->lingering) consider(ch->linger_until);
  }
  for (const auto& [id, s] : sessions_) {
    if (s.waiting) consider(s.waiting->deadline);
  }
  return best;
}

void HislipServer::OnPolled(std::span<const pollfd> fds) {
  for (std::size_t i = 0; i < fds.size() && i < polled_.size(); ++i) {
    const short got = fds[i].revents;
    if (got == 0) continue;
    if (polled_[i].listener != nullptr) {
      if ((got & POLLIN) != 0) Accept(*polled_[i].listener);
      continue;
    }
    Channel& ch = *polled_[i].channel;
    if (!ch.closed && (got & (POLLIN | POLLHUP | POLLERR)) != 0) Read(ch);
  }
  polled_.clear();
  const auto now = Clock::now();
  ServeLockWaits(now);
  for (std::size_t i = 0; i < channels_.size(); ++i) {
    Channel& ch = *channels_[i];
    if (ch.closed) continue;
    Flush(ch, now);
    if (ch.closed || !ch.lingering) continue;
    if (ch.out.empty() && !ch.shut) {
      shutdown(ch.fd, SHUT_WR);
      ch.shut = true;
    }
    if (now >= ch.linger_until) CloseChannel(ch);
  }
  std::erase_if(channels_, [](const auto& ch) { return ch->closed; });
}

void HislipServer::Accept(const Listener& listener) {
  for (;;) {
    const int fd = accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto ch = std::make_unique<Channel>();
    ch->fd = fd;
    channels_.push_back(std::move(ch));
  }
}

void HislipServer::Read(Channel& ch) {
  std::array<uint8_t, 65536> buffer;
  while (!ch.closed) {
    const ssize_t n = ReadSome(ch.fd, buffer);
    if (n > 0) {
      if (ch.lingering) continue;
      ch.in.insert(ch.in.end(), buffer.begin(), buffer.begin() + n);
      Process(ch);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // The client closed its side or the connection broke.
    if (ch.session != 0)
      EndSession(ch.session);
    else
      CloseChannel(ch);
    return;
  }
}

void HislipServer::Process(Channel& ch) {
  std::size_t pos = 0;
  while (!ch.closed && !ch.lingering) {
    if (ch.skip > 0) {
      const auto n = static_cast<std::size_t>(std::min<uint64_t>(ch.skip, ch.in.size() - pos));
      pos += n;
      ch.skip -= n;
      if (ch.skip > 0) break;
      continue;
    }
    if (ch.in.size() - pos < hislip::kHeaderSize) break;
    const auto header = hislip::DecodeHeader(std::span<const uint8_t>(ch.in).subspan(pos));
    if (!header) {
      Fatal(ch, FatalCode::kBadHeader,
            "poorly formed message header: \"" +
                Printable(std::span<const uint8_t>(ch.in).subspan(pos, 2)) +
                "\" where the \"HS\" prologue belongs");
      break;
    }
    const uint64_t limit = IsData(header->type) ? kHardPayloadLimit : kControlPayloadLimit;
    if (header->length > limit) {
      Fatal(ch, FatalCode::kBadHeader,
            "message type " + std::to_string(header->type) + " announces a payload of " +
                std::to_string(header->length) + " bytes, over the limit of " +
                std::to_string(limit));
      break;
    }
    if (IsData(header->type) && header->length > options_.max_message) {
      // Larger than the size announced to the client: refused, and its
      // payload passed over as it arrives.
      SendError(ch, ErrorCode::kMessageTooLarge,
                "data message of " + std::to_string(header->length) +
                    " bytes, over the maximum message size of " +
                    std::to_string(options_.max_message));
      pos += hislip::kHeaderSize;
      ch.skip = header->length;
      continue;
    }
    const std::size_t length = static_cast<std::size_t>(header->length);
    if (ch.in.size() - pos - hislip::kHeaderSize < length) break;
    const std::vector<uint8_t> payload(
        ch.in.begin() + static_cast<std::ptrdiff_t>(pos + hislip::kHeaderSize),
        ch.in.begin() + static_cast<std::ptrdiff_t>(pos + hislip::kHeaderSize + length));
    pos += hislip::kHeaderSize + length;
    Handle(ch, *header, payload);
  }
  if (ch.closed || ch.lingering)
    ch.in.clear();
  else
    ch.in.erase(ch.in.begin(), ch.in.begin() + static_cast<std::ptrdiff_t>(pos));
}

void HislipServer::Handle(Channel& ch, const Header& h, std::span<const uint8_t> payload) {
  if (ch.role == Role::kNew) {
    if (h.type == static_cast<uint8_t>(Type::kInitialize)) {
      Initialize(ch, h, payload);
    } else if (h.type == static_cast<uint8_t>(Type::kAsyncInitialize)) {
      AsyncInitialize(ch, h);
    } else {
      Fatal(ch, FatalCode::kInvalidInitialization,
            "message type " + std::to_string(h.type) + " before Initialize or AsyncInitialize");
    }
    return;
  }
  HislipSession* s = Find(ch.session);
  if (s == nullptr) {
    CloseChannel(ch);
    return;
  }
  if (h.type == static_cast<uint8_t>(Type::kInitialize) ||
      h.type == static_cast<uint8_t>(Type::kAsyncInitialize)) {
    Fatal(ch, FatalCode::kInvalidInitialization, "the channel is already initialized");
    return;
  }
  if (ch.role == Role::kSync)
    HandleSync(ch, *s, h, payload);
  else
    HandleAsync(ch, *s, h, payload);
}

void HislipServer::Initialize(Channel& ch, const Header& h, std::span<const uint8_t> payload) {
  std::string sub(payload.begin(), payload.end());
  if (sub.empty()) sub = "hislip0";
  bool known = Lower(sub) == "hislip0";
  for (const auto& name : options_.subaddresses) known = known || Lower(name) == Lower(sub);
  if (!known) {
    Fatal(ch, FatalCode::kInvalidInitialization,
          "unknown sub-address \"" + Printable(payload) + "\"");
    return;
  }
  if (sessions_.size() >= 0xfffe) {
    Fatal(ch, FatalCode::kTooManyClients, "no free session id");
    return;
  }
  while (next_session_ == 0 || sessions_.count(next_session_) != 0) ++next_session_;
  const uint16_t id = next_session_++;
  HislipSession& s = sessions_[id];
  s.session = instrument_.OpenSession();
  s.sync = &ch;
  const uint16_t client_version = static_cast<uint16_t>(h.parameter >> 16);
  s.version = client_version >= hislip::kVersion2_0 ? hislip::kVersion2_0 : hislip::kVersion1_0;
  s.overlapped = options_.prefer_overlapped;
  ch.role = Role::kSync;
  ch.session = id;
  Queue(ch, Encode(Type::kInitializeResponse, options_.prefer_overlapped ? 1 : 0,
                   (uint32_t{s.version} << 16) | id));
}

void HislipServer::AsyncInitialize(Channel& ch, const Header& h) {
  const auto id = static_cast<uint16_t>(h.parameter & 0xffff);
  HislipSession* s = (h.parameter >> 16) == 0 ? Find(id) : nullptr;
  if (s == nullptr || s->async != nullptr) {
    Fatal(ch, FatalCode::kInvalidInitialization,
          "no session " + std::to_string(h.parameter) + " awaits its asynchronous channel");
    return;
  }
  s->async = &ch;
  ch.role = Role::kAsync;
  ch.session = id;
  Queue(ch, Encode(Type::kAsyncInitializeResponse, 0, options_.vendor_id));
}

void HislipServer::HandleSync(Channel& ch, HislipSession& s, const Header& h,
                              std::span<const uint8_t> payload) {
  switch (static_cast<Type>(h.type)) {
    case Type::kData:
    case Type::kDataEnd:
    case Type::kTrigger: {
      if (s.async == nullptr) {
        Fatal(ch, FatalCode::kChannelsNotEstablished,
              "data before the asynchronous channel is initialized");
        return;
      }
      if (s.clearing) return;  // discarded until DeviceClearComplete
      if (!s.overlapped && ReplyPending(s)) Interrupt(s, h.parameter);
      if (h.type == static_cast<uint8_t>(Type::kTrigger)) {
        static constexpr uint8_t kTrigger[] = {'*', 'T', 'R', 'G'};
        s.session->Write(kTrigger, true);
      } else {
        s.session->Write(payload, h.type == static_cast<uint8_t>(Type::kDataEnd));
      }
      CollectReplies(s, h.parameter);
      return;
    }
    case Type::kDeviceClearComplete:
      s.session->DeviceClear();
      DropReplies(s);
      s.clearing = false;
      s.overlapped = (h.control & 1) != 0;
      Queue(ch, Encode(Type::kDeviceClearAcknowledge, s.overlapped ? 1 : 0, 0));
      return;
    default:
      break;
  }
  SendError(ch, h.type >= 128 ? ErrorCode::kUnrecognizedVendorType : ErrorCode::kUnrecognizedType,
            "message type " + std::to_string(h.type) + " is not taken on the synchronous channel");
}

void HislipServer::HandleAsync(Channel& ch, HislipSession& s, const Header& h,
                               std::span<const uint8_t> payload) {
  switch (static_cast<Type>(h.type)) {
    case Type::kAsyncLock:
      Lock(s, h, payload);
      return;
    case Type::kAsyncLockInfo: {
      uint32_t shared = 0;
      bool exclusive = false;
      for (const auto& [id, other] : sessions_) {
        exclusive = exclusive || other.exclusive;
        if (other.shared) ++shared;
      }
      Queue(ch, Encode(Type::kAsyncLockInfoResponse, exclusive ? 1 : 0, shared));
      return;
    }
    case Type::kAsyncRemoteLocalControl:
      Queue(ch, Encode(Type::kAsyncRemoteLocalResponse, 0, 0));
      return;
    case Type::kAsyncDeviceClear:
      // Input arriving on the synchronous channel is discarded until the
      // client completes the clear there.
      s.clearing = true;
      DropReplies(s);
      s.session->DeviceClear();
      Queue(ch, Encode(Type::kAsyncDeviceClearAcknowledge, options_.prefer_overlapped ? 1 : 0, 0));
      return;
    case Type::kAsyncStatusQuery: {
      uint8_t stb = instrument_.StatusByte(*s.session);
      if (ReplyPending(s)) stb |= kMessageAvailable;
      Queue(ch, Encode(Type::kAsyncStatusResponse, stb, 0));
      return;
    }
    case Type::kAsyncMaximumMessageSize: {
      if (payload.size() != 8) {
        SendError(ch, ErrorCode::kUnidentified,
                  "AsyncMaximumMessageSize needs an 8-byte payload, got " +
                      std::to_string(payload.size()));
        return;
      }
      s.client_max = std::max<uint64_t>(1, hislip::ReadU64(payload));
      std::vector<uint8_t> size;
      hislip::AppendU64(size, options_.max_message);
      Queue(ch, Encode(Type::kAsyncMaximumMessageSizeResponse, 0, 0, size));
      return;
    }
    default:
      break;
  }
  SendError(ch, h.type >= 128 ? ErrorCode::kUnrecognizedVendorType : ErrorCode::kUnrecognizedType,
            "message type " + std::to_string(h.type) + " is not taken on the asynchronous channel");
}

// --- Locks ---

bool HislipServer::CanGrant(const HislipSession& s, bool exclusive, const std::string& name) const {
  for (const auto& [id, other] : sessions_) {
    if (&other == &s) continue;
    if (other.exclusive) return false;
    if (other.shared && (exclusive || *other.shared != name)) return false;
  }
  return true;
}

void HislipServer::Grant(HislipSession& s, bool exclusive, const std::string& name) {
  if (exclusive)
    s.exclusive = true;
  else
    s.shared = name;
}

void HislipServer::Lock(HislipSession& s, const Header& h, std::span<const uint8_t> payload) {
  auto respond = [&](uint8_t code) {
    if (s.async != nullptr) Queue(*s.async, Encode(Type::kAsyncLockResponse, code, 0));
  };
  if (h.control == hislip::kLockRelease) {
    if (s.exclusive) {
      s.exclusive = false;
      respond(hislip::kLockSuccess);
    } else if (s.shared) {
      s.shared.reset();
      respond(hislip::kLockSharedReleased);
    } else {
      respond(hislip::kLockError);
    }
    ServeLockWaits(Clock::now());
    return;
  }
  if (h.control != hislip::kLockRequest) {
    SendError(*s.async, ErrorCode::kUnrecognizedControlCode,
              "AsyncLock control code " + std::to_string(h.control));
    return;
  }
  const std::string name(payload.begin(), payload.end());
  const bool exclusive = name.empty();
  // One request at a time, and no second lock of a kind already held.
  if (s.waiting || (exclusive && s.exclusive) || (!exclusive && s.shared)) {
    respond(hislip::kLockError);
    return;
  }
  if (CanGrant(s, exclusive, name)) {
    Grant(s, exclusive, name);
    respond(hislip::kLockSuccess);
    return;
  }
  if (h.parameter == 0) {
    respond(hislip::kLockFailure);
    return;
  }
  s.waiting = LockWait{exclusive, name, Clock::now() + std::chrono::milliseconds(h.parameter),
                       next_wait_order_++};
}

void HislipServer::ServeLockWaits(Clock::time_point now) {
  // Oldest request first, so a waiting session is not overtaken by a later one.
  std::vector<HislipSession*> waiting;
  for (auto& [id, s] : sessions_) {
    if (s.waiting) waiting.push_back(&s);
  }
  std::sort(waiting.begin(), waiting.end(), [](const HislipSession* a, const HislipSession* b) {
    return a->waiting->order < b->waiting->order;
  });
  for (HislipSession* s : waiting) {
    const LockWait w = *s->waiting;
    uint8_t code;
    if (CanGrant(*s, w.exclusive, w.name)) {
      Grant(*s, w.exclusive, w.name);
      code = hislip::kLockSuccess;
    } else if (now >= w.deadline) {
      code = hislip::kLockFailure;
    } else {
      continue;
    }
    s->waiting.reset();
    if (s->async != nullptr) Queue(*s->async, Encode(Type::kAsyncLockResponse, code, 0));
  }
}

// --- Replies ---

bool HislipServer::ReplyPending(const HislipSession& s) {
  if (s.sync == nullptr) return false;
  return std::any_of(s.sync->out.begin(), s.sync->out.end(),
                     [](const Outgoing& o) { return o.reply; });
}

void HislipServer::DropReplies(HislipSession& s) {
  if (s.sync == nullptr) return;
  // A message partly written stays: the stream must stay whole.
  std::erase_if(s.sync->out, [](const Outgoing& o) { return o.reply && o.sent == 0; });
}

void HislipServer::Interrupt(HislipSession& s, uint32_t message_id) {
  DropReplies(s);
  instrument_.PushError(error::kQueryInterrupted);
  Queue(*s.sync, Encode(Type::kInterrupted, 0, message_id));
  Queue(*s.async, Encode(Type::kAsyncInterrupted, 0, message_id));
}

void HislipServer::CollectReplies(HislipSession& s, uint32_t message_id) {
  const auto now = Clock::now();
  while (auto r = s.session->TakeResponse()) {
    const auto due = now + std::chrono::milliseconds(r->delay_ms);
    const std::span<const uint8_t> bytes(r->bytes);
    std::size_t offset = 0;
    do {
      const auto n =
          static_cast<std::size_t>(std::min<uint64_t>(s.client_max, bytes.size() - offset));
      const bool last = offset + n == bytes.size();
      Outgoing o;
      // A reply cut by the drop fault never ends: the connection closes instead.
      o.bytes = Encode(last && !r->close_after ? Type::kDataEnd : Type::kData, 0, message_id,
                       bytes.subspan(offset, n));
      o.due = due;
      o.reply = true;
      o.close_after = last && r->close_after;
      Queue(*s.sync, std::move(o));
      offset += n;
    } while (offset < bytes.size());
  }
  Flush(*s.sync, now);
}

// --- Output and closing ---

void HislipServer::Queue(Channel& ch, std::vector<uint8_t> bytes) {
  Outgoing o;
  o.bytes = std::move(bytes);
  o.due = Clock::now();
  Queue(ch, std::move(o));
}

void HislipServer::Queue(Channel& ch, Outgoing o) {
  if (ch.closed || ch.lingering) return;
  // Messages keep their order: none overtakes a held reply.
  if (!ch.out.empty()) o.due = std::max(o.due, ch.out.back().due);
  ch.out.push_back(std::move(o));
}

void HislipServer::Flush(Channel& ch, Clock::time_point now) {
  while (!ch.closed && !ch.out.empty() && ch.out.front().due <= now) {
    Outgoing& o = ch.out.front();
    const ssize_t n =
        WriteSome(ch.fd, std::span<const uint8_t>(o.bytes).subspan(o.sent), /*is_socket=*/true);
    if (n < 0) {
      if (ch.session != 0)
        EndSession(ch.session);
      else
        CloseChannel(ch);
      return;
    }
    o.sent += static_cast<std::size_t>(n);
    if (o.sent < o.bytes.size()) return;  // wait for POLLOUT
    const bool close_after = o.close_after;
    ch.out.pop_front();
    if (close_after && ch.session != 0) {
      EndSession(ch.session);
      return;
    }
  }
}

void HislipServer::SendError(Channel& ch, ErrorCode code, const std::string& text) {
  Queue(ch, Encode(Type::kError, static_cast<uint8_t>(code), 0, text));
}

void HislipServer::Fatal(Channel& ch, FatalCode code, const std::string& text) {
  if (ch.closed || ch.lingering) return;
  // Held messages are dropped; one partly written is finished first.
  std::erase_if(ch.out, [](const Outgoing& o) { return o.sent == 0; });
  const auto now = Clock::now();
  Outgoing o;
  o.bytes = Encode(Type::kFatalError, static_cast<uint8_t>(code), 0, text);
  o.due = now;
  ch.out.push_back(std::move(o));
  ch.lingering = true;
  ch.linger_until = now + kLingerTime;
  ch.in.clear();
  if (ch.session != 0) EndSession(ch.session);
  Flush(ch, now);
}

void HislipServer::CloseChannel(Channel& ch) {
  if (ch.closed) return;
  ch.closed = true;
  ch.out.clear();
  ch.in.clear();
  shutdown(ch.fd, SHUT_RDWR);
  CloseFd(ch.fd);
}

void HislipServer::EndSession(uint16_t id) {
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return;
  HislipSession s = std::move(it->second);
  sessions_.erase(it);
  for (Channel* ch : {s.sync, s.async}) {
    if (ch == nullptr) continue;
    ch->session = 0;
    if (!ch->lingering) CloseChannel(*ch);
  }
  // Its locks go with it; whoever waits for them may now have them.
  ServeLockWaits(Clock::now());
}

HislipServer::HislipSession* HislipServer::Find(uint16_t id) {
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : &it->second;
}

}  // namespace vex::sim
