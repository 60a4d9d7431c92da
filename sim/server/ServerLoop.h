// The simulator's event loop: a TCP listener, a pty, and their connections.
#pragma once

#include <poll.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <span>
#include <vector>

#include "engine/Instrument.h"
#include "server/PtyPort.h"
#include "server/StreamConnection.h"
#include "server/TcpListener.h"

namespace vex::sim {

// Every connection shares the one instrument, each with a session of its
// own (its faults, its pending replies). A host that closes or breaks its
// connection ends that connection only.
class ServerLoop {
 public:
  // A further server that runs in this loop on descriptors it manages
  // itself (the VXI-11 server): it adds them before each poll and handles
  // what the poll found.
  class PollClient {
   public:
    virtual ~PollClient() = default;
    virtual void AppendPollFds(std::vector<pollfd>& fds) = 0;
    // `fds` are the entries it appended, with their revents. Called after
    // every poll, also when none of them is ready, so timers can run here.
    virtual void OnPolled(std::span<const pollfd> fds) = 0;
    // Milliseconds until something of its own is due (a held reply, a
    // timeout), -1 when nothing is; the loop polls no longer than that.
    virtual int MillisUntilDue(std::chrono::steady_clock::time_point) const { return -1; }
  };

  explicit ServerLoop(Instrument& instrument) : instrument_(instrument) {}

  // Either may be absent; both are owned by the caller and outlive the loop.
  void ServeTcp(TcpListener* listener) { listener_ = listener; }
  void ServePty(PtyPort* pty);
  // Any number; owned by the caller, each outlives the loop.
  void Serve(PollClient* client) { clients_.push_back(client); }

  // Runs until `stop` becomes non-zero (set from a signal handler; the loop
  // looks at it at least every 100 ms).
  void Run(const volatile std::sig_atomic_t& stop);

  std::size_t connection_count() const { return connections_.size(); }

 private:
  Instrument& instrument_;
  TcpListener* listener_ = nullptr;
  std::vector<PollClient*> clients_;
  std::unique_ptr<StreamConnection> pty_connection_;
  std::vector<std::unique_ptr<StreamConnection>> connections_;
};

}  // namespace vex::sim
