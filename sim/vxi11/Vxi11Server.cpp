#include "vxi11/Vxi11Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <thread>

#include "engine/ErrorQueue.h"
#include "vxi11.h"

// The dispatcher rpcgen writes for the program; its header does not declare it.
extern "C" void device_core_1(struct svc_req* request, SVCXPRT* transport);

namespace vex::sim {

namespace {

using Clock = std::chrono::steady_clock;

// Error codes of the core channel.
constexpr long kNoError = 0;
constexpr long kDeviceNotAccessible = 3;
constexpr long kInvalidLink = 4;
constexpr long kNotSupported = 8;
constexpr long kLocked = 11;
constexpr long kNoLockHeld = 12;
constexpr long kIoTimeout = 15;

// Flags of the write and read parameters, reasons of a read's end.
constexpr long kFlagEnd = 0x08;
constexpr long kFlagTermCharSet = 0x80;
constexpr long kReasonRequestCount = 0x01;
constexpr long kReasonTermChar = 0x02;
constexpr long kReasonEnd = 0x04;

// Largest write the simulator takes in one call; hosts split longer ones.
constexpr unsigned long kMaxReceiveSize = 1 << 20;

Vxi11Server* g_server = nullptr;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The number after `prefix` when `name` is prefix and digits only.
std::optional<int> NumberAfter(const std::string& name, std::string_view prefix) {
  if (!name.starts_with(prefix) || name.size() == prefix.size() ||
      name.size() > prefix.size() + 4) {
    return std::nullopt;
  }
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return std::nullopt;
  }
  return std::atoi(name.c_str() + prefix.size());
}

void SleepUntil(Clock::time_point t) {
  std::this_thread::sleep_until(t);
}

}  // namespace

Vxi11Server::Vxi11Server(Instrument& instrument, int gateway_address)
    : instrument_(instrument), gateway_address_(gateway_address) {}

Vxi11Server::~Vxi11Server() {
  if (registered_) pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
  if (transport_ != nullptr) {
    svc_unregister(DEVICE_CORE, DEVICE_CORE_VERSION);
    svc_destroy(static_cast<SVCXPRT*>(transport_));  // closes the socket
  } else if (socket_ >= 0) {
    close(socket_);
  }
  if (g_server == this) g_server = nullptr;
}

bool Vxi11Server::Start(const std::string& host, uint16_t port, std::string& error) {
  if (g_server != nullptr) {
    error = "a VXI-11 server already runs in this process";
    return false;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
    error = "not an IPv4 address: " + host;
    return false;
  }
  socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) {
    error = std::strerror(errno);
    return false;
  }
  const int one = 1;
  setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (bind(socket_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(socket_, SOMAXCONN) != 0) {
    error = std::strerror(errno);
    return false;
  }
  socklen_t len = sizeof addr;
  getsockname(socket_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);

  SVCXPRT* transport = svc_vc_create(socket_, 0, 0);
  if (transport == nullptr) {
    error = "cannot create the RPC transport";
    return false;
  }
  transport_ = transport;
  // Protocol 0: the RPC library registers the dispatcher without asking the
  // port mapper, which is done separately so that a missing port mapper
  // leaves a server reachable by its port.
  if (!svc_register(transport, DEVICE_CORE, DEVICE_CORE_VERSION, device_core_1, 0)) {
    error = "cannot register the VXI-11 core program";
    return false;
  }
  g_server = this;
  registered_ = pmap_set(DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, port_);
  if (!registered_) {
    // A mapping left behind by a simulator that did not end cleanly.
    pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    registered_ = pmap_set(DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, port_);
  }
  return true;
}

void Vxi11Server::AppendPollFds(std::vector<pollfd>& fds) {
  for (int i = 0; i < svc_max_pollfd; ++i) {
    if (svc_pollfd[i].fd >= 0) fds.push_back({svc_pollfd[i].fd, svc_pollfd[i].events, 0});
  }
}

void Vxi11Server::OnPolled(std::span<const pollfd> fds) {
  for (const pollfd& p : fds) {
    if (p.revents != 0) svc_getreq_common(p.fd);
  }
  for (int fd : drop_fds_) shutdown(fd, SHUT_RDWR);
  drop_fds_.clear();
  // Links whose connection has gone (closed by the host or dropped) end.
  std::set<int> live;
  for (int i = 0; i < svc_max_pollfd; ++i) live.insert(svc_pollfd[i].fd);
  std::erase_if(links_, [&](const auto& entry) {
    const bool gone = live.count(entry.second.fd) == 0;
    if (gone && lock_holder_ == entry.first) lock_holder_ = 0;
    return gone;
  });
}

Vxi11Server::Link* Vxi11Server::Find(long lid) {
  auto it = links_.find(lid);
  return it == links_.end() ? nullptr : &it->second;
}

long Vxi11Server::Check(long lid) {
  return Find(lid) != nullptr ? kNoError : kInvalidLink;
}

long Vxi11Server::CreateLink(const std::string& device, bool lock, int fd, long* lid) {
  *lid = 0;
  const std::string name = Lower(device);
  const bool instrument = NumberAfter(name, "inst").has_value();
  const auto address = NumberAfter(name, "gpib0,");
  if (!instrument && address != gateway_address_) return kDeviceNotAccessible;
  if (lock && lock_holder_ != 0) return kLocked;
  Link link;
  link.session = instrument_.OpenSession();
  link.fd = fd;
  *lid = next_lid_++;
  links_.emplace(*lid, std::move(link));
  if (lock) lock_holder_ = *lid;
  return kNoError;
}

long Vxi11Server::Write(long lid, unsigned long, long flags, const uint8_t* data,
                        std::size_t size) {
  Link* link = Find(lid);
  if (link == nullptr) return kInvalidLink;
  if (LockedByOther(lid)) return kLocked;
  if (link->has_reply) {
    // The host writes again before reading all of the reply: it is lost.
    link->has_reply = false;
    link->reply.clear();
    instrument_.PushError(error::kQueryInterrupted);
  }
  link->session->Write(std::span<const uint8_t>(data, size), (flags & kFlagEnd) != 0);
  return kNoError;
}

long Vxi11Server::Read(long lid, unsigned long request_size, unsigned long io_timeout, long flags,
                       char term_char, std::vector<uint8_t>& out, long* reason) {
  *reason = 0;
  Link* link = Find(lid);
  if (link == nullptr) return kInvalidLink;
  if (LockedByOther(lid)) return kLocked;
  const auto now = Clock::now();
  const auto deadline = now + std::chrono::milliseconds(io_timeout);
  if (!link->has_reply) {
    auto response = link->session->TakeResponse();
    if (!response) {
      SleepUntil(deadline);
      return kIoTimeout;
    }
    link->reply = std::move(response->bytes);
    link->offset = 0;
    link->has_reply = true;
    link->close_after = response->close_after;
    link->due = now + std::chrono::milliseconds(response->delay_ms);
  }
  if (link->due > deadline) {
    SleepUntil(deadline);
    return kIoTimeout;
  }
  SleepUntil(link->due);

  const std::size_t left = link->reply.size() - link->offset;
  std::size_t n = std::min<std::size_t>(left, request_size);
  const auto begin = link->reply.begin() + static_cast<std::ptrdiff_t>(link->offset);
  if ((flags & kFlagTermCharSet) != 0) {
    const auto found =
        std::find(begin, begin + static_cast<std::ptrdiff_t>(n), static_cast<uint8_t>(term_char));
    if (found != begin + static_cast<std::ptrdiff_t>(n)) {
      n = static_cast<std::size_t>(found - begin) + 1;
      *reason |= kReasonTermChar;
    }
  }
  out.assign(begin, begin + static_cast<std::ptrdiff_t>(n));
  link->offset += n;
  if (n == request_size) *reason |= kReasonRequestCount;
  if (link->offset == link->reply.size()) {
    *reason |= kReasonEnd;
    link->has_reply = false;
    link->reply.clear();
    if (link->close_after) drop_fds_.push_back(link->fd);
  }
  return kNoError;
}

long Vxi11Server::ReadStatusByte(long lid, uint8_t* stb) {
  Link* link = Find(lid);
  if (link == nullptr) return kInvalidLink;
  uint8_t value = instrument_.StatusByte(*link->session);
  if (link->has_reply) value |= 0x10;  // message available
  *stb = value;
  return kNoError;
}

long Vxi11Server::Clear(long lid) {
  Link* link = Find(lid);
  if (link == nullptr) return kInvalidLink;
  if (LockedByOther(lid)) return kLocked;
  link->session->DeviceClear();
  link->has_reply = false;
  link->reply.clear();
  return kNoError;
}

long Vxi11Server::Lock(long lid, long, unsigned long) {
  if (Find(lid) == nullptr) return kInvalidLink;
  if (LockedByOther(lid)) return kLocked;
  lock_holder_ = lid;
  return kNoError;
}

long Vxi11Server::Unlock(long lid) {
  if (Find(lid) == nullptr) return kInvalidLink;
  if (lock_holder_ != lid) return kNoLockHeld;
  lock_holder_ = 0;
  return kNoError;
}

long Vxi11Server::DestroyLink(long lid) {
  if (links_.erase(lid) == 0) return kInvalidLink;
  if (lock_holder_ == lid) lock_holder_ = 0;
  return kNoError;
}

}  // namespace vex::sim

// The procedures rpcgen's dispatcher calls. Each fills the reply in place;
// TRUE sends it.
using vex::sim::g_server;

extern "C" {

bool_t create_link_1_svc(Create_LinkParms* p, Create_LinkResp* r, struct svc_req* request) {
  r->error = g_server->CreateLink(p->device != nullptr ? p->device : "", p->lockDevice != 0,
                                  request->rq_xprt->xp_fd, &r->lid);
  r->abortPort = 0;
  r->maxRecvSize = vex::sim::kMaxReceiveSize;
  return TRUE;
}

bool_t device_write_1_svc(Device_WriteParms* p, Device_WriteResp* r, struct svc_req*) {
  r->error = g_server->Write(p->lid, p->io_timeout, p->flags,
                             reinterpret_cast<const uint8_t*>(p->data.data_val), p->data.data_len);
  r->size = r->error == vex::sim::kNoError ? p->data.data_len : 0;
  return TRUE;
}

bool_t device_read_1_svc(Device_ReadParms* p, Device_ReadResp* r, struct svc_req*) {
  std::vector<uint8_t> bytes;
  r->error = g_server->Read(p->lid, p->requestSize, p->io_timeout, p->flags, p->termChar, bytes,
                            &r->reason);
  r->data.data_len = static_cast<u_int>(bytes.size());
  // Freed by device_core_1_freeresult through xdr_free.
  r->data.data_val = static_cast<char*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (!bytes.empty()) std::memcpy(r->data.data_val, bytes.data(), bytes.size());
  return TRUE;
}

bool_t device_readstb_1_svc(Device_GenericParms* p, Device_ReadStbResp* r, struct svc_req*) {
  uint8_t stb = 0;
  r->error = g_server->ReadStatusByte(p->lid, &stb);
  r->stb = stb;
  return TRUE;
}

bool_t device_trigger_1_svc(Device_GenericParms* p, Device_Error* r, struct svc_req*) {
  r->error = g_server->Check(p->lid);
  return TRUE;
}

bool_t device_clear_1_svc(Device_GenericParms* p, Device_Error* r, struct svc_req*) {
  r->error = g_server->Clear(p->lid);
  return TRUE;
}

bool_t device_remote_1_svc(Device_GenericParms* p, Device_Error* r, struct svc_req*) {
  r->error = g_server->Check(p->lid);
  return TRUE;
}

bool_t device_local_1_svc(Device_GenericParms* p, Device_Error* r, struct svc_req*) {
  r->error = g_server->Check(p->lid);
  return TRUE;
}

bool_t device_lock_1_svc(Device_LockParms* p, Device_Error* r, struct svc_req*) {
  r->error = g_server->Lock(p->lid, p->flags, p->lock_timeout);
  return TRUE;
}

bool_t device_unlock_1_svc(Device_Link* lid, Device_Error* r, struct svc_req*) {
  r->error = g_server->Unlock(*lid);
  return TRUE;
}

bool_t device_enable_srq_1_svc(Device_EnableSrqParms* p, Device_Error* r, struct svc_req*) {
  r->error = g_server->Check(p->lid);
  return TRUE;
}

bool_t device_docmd_1_svc(Device_DocmdParms*, Device_DocmdResp* r, struct svc_req*) {
  r->error = vex::sim::kNotSupported;
  r->data_out.data_out_len = 0;
  r->data_out.data_out_val = nullptr;
  return TRUE;
}

bool_t destroy_link_1_svc(Device_Link* lid, Device_Error* r, struct svc_req*) {
  r->error = g_server->DestroyLink(*lid);
  return TRUE;
}

bool_t create_intr_chan_1_svc(Device_RemoteFunc*, Device_Error* r, struct svc_req*) {
  r->error = vex::sim::kNotSupported;
  return TRUE;
}

bool_t destroy_intr_chan_1_svc(void*, Device_Error* r, struct svc_req*) {
  r->error = vex::sim::kNotSupported;
  return TRUE;
}

int device_core_1_freeresult(SVCXPRT*, xdrproc_t xdr_result, caddr_t result) {
  xdr_free(xdr_result, result);
  return 1;
}

}  // extern "C"
