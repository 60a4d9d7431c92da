// The VXI-11 core channel of the simulated instrument, served in the
// simulator's event loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/Instrument.h"
#include "server/ServerLoop.h"

namespace vex::sim {

// Links ("inst0", "instN", and "gpib0,<address>" for the instrument behind
// a simulated LAN/GPIB gateway at the one address it answers on) each get a
// session of their own, with their own fault and unread reply, on the one
// shared instrument.
//
// Reads honour requestSize, the termination character when the read asks
// for it, and END; a reply that is not there when the read's io_timeout
// runs out gives error 15. A slow reply that is due after the timeout stays
// queued for the next read. The drop fault closes the link's connection
// once the cut reply is out.
//
// The RPC library keeps its server state in globals, so a process serves at
// most one Vxi11Server at a time. Handlers run inside the event loop, so a
// read waiting for its timeout holds up the loop's other connections.
class Vxi11Server : public ServerLoop::PollClient {
 public:
  Vxi11Server(Instrument& instrument, int gateway_address);
  Vxi11Server(const Vxi11Server&) = delete;
  Vxi11Server& operator=(const Vxi11Server&) = delete;
  ~Vxi11Server() override;

  // Listens on host:port (port 0 picks a free one) and registers the core
  // channel with the port mapper when one runs. False with `error` set
  // when the socket or the RPC transport cannot be made.
  bool Start(const std::string& host, uint16_t port, std::string& error);
  uint16_t port() const { return port_; }
  // Whether the port mapper accepted the registration.
  bool registered() const { return registered_; }

  void AppendPollFds(std::vector<pollfd>& fds) override;
  void OnPolled(std::span<const pollfd> fds) override;

  // The RPC procedures; each fills its reply and returns its error code.
  struct Link {
    std::unique_ptr<Session> session;
    int fd = -1;                 // the connection it was made on
    std::vector<uint8_t> reply;  // the reply being read, from `offset`
    std::size_t offset = 0;
    bool has_reply = false;
    bool close_after = false;  // drop the connection once the reply is read
    std::chrono::steady_clock::time_point due;
  };
  long CreateLink(const std::string& device, bool lock, int fd, long* lid);
  long Write(long lid, unsigned long io_timeout, long flags, const uint8_t* data, std::size_t size);
  long Read(long lid, unsigned long request_size, unsigned long io_timeout, long flags,
            char term_char, std::vector<uint8_t>& out, long* reason);
  long ReadStatusByte(long lid, uint8_t* stb);
  long Clear(long lid);
  long Lock(long lid, long flags, unsigned long lock_timeout);
  long Unlock(long lid);
  long Check(long lid);
  long DestroyLink(long lid);

 private:
  Link* Find(long lid);
  // A link other than `lid` holds the lock.
  bool LockedByOther(long lid) const { return lock_holder_ != 0 && lock_holder_ != lid; }

  Instrument& instrument_;
  int gateway_address_;
  int socket_ = -1;
  void* transport_ = nullptr;  // SVCXPRT
  uint16_t port_ = 0;
  bool registered_ = false;
  long next_lid_ = 1;
  long lock_holder_ = 0;
  std::map<long, Link> links_;
  std::vector<int> drop_fds_;  // connections to close after this dispatch
};

}  // namespace vex::sim
