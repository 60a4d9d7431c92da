// One byte-stream connection (a TCP client or the pty) to the instrument.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "engine/Session.h"

namespace vex::sim {

// Reads what the host writes into the connection's session and sends the
// session's replies back, carrying out what a fault marked on them: a held
// reply waits for its time (replies behind it wait too, keeping order), and
// a reply marked to close ends the connection once its bytes are out.
class StreamConnection {
 public:
  using Clock = std::chrono::steady_clock;

  enum class Kind {
    kSocket,  // owns the descriptor; end of file or a close fault ends it
    kPty,     // the pty master: never closed here; a close fault only cuts the reply
  };

  StreamConnection(int fd, Kind kind, std::unique_ptr<Session> session);
  StreamConnection(const StreamConnection&) = delete;
  StreamConnection& operator=(const StreamConnection&) = delete;
  ~StreamConnection();

  int fd() const { return fd_; }
  Session& session() { return *session_; }
  bool closed() const { return closed_; }

  // Poll events wanted now.
  short Events(Clock::time_point now) const;
  // Milliseconds until a held reply is due, -1 when none is held.
  int MillisUntilDue(Clock::time_point now) const;

  void OnReadable();
  // Sends what is due; call after poll reports the descriptor writable, and
  // when a held reply's time has come.
  void Flush(Clock::time_point now);

 private:
  struct Outgoing {
    std::vector<uint8_t> bytes;
    std::size_t sent = 0;
    Clock::time_point due;
    bool close_after = false;
  };

  ssize_t DropFlowControl(std::span<uint8_t> bytes) const;
  void Collect();
  void Close();

  int fd_;
  Kind kind_;
  std::unique_ptr<Session> session_;
  std::deque<Outgoing> out_;
  bool closed_ = false;
};

}  // namespace vex::sim
