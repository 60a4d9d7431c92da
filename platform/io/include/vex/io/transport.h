// The byte transport under every instrument connection.
//
// A transport moves bytes and knows nothing of messages: framing (termination
// characters, definite-length blocks) is done once above it, by
// MessageReader. Every call takes an absolute deadline, so that one transfer
// made of many calls is bounded by one timeout.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "vex/io/status.h"

namespace vex::io {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

inline Deadline DeadlineAfter(std::chrono::milliseconds timeout) {
  return Clock::now() + timeout;
}

// Milliseconds to pass to poll() for the time left before the deadline,
// rounded up so that a wait never ends before the deadline; 0 once it passed.
int PollTimeoutMs(Deadline deadline);

// Waits on a thread that has a wait pump (vex/com/wait_pump.h) are cut into
// slices with the pump run between them. The milliseconds of one slice
// toward the deadline: PollTimeoutMs(deadline) without a pump.
int PollSliceMs(Deadline deadline);
// Sleeps until `until`, running the thread's wait pump every slice.
void SleepUntil(Clock::time_point until);

struct ReadResult {
  std::size_t count = 0;  // bytes placed at the start of the buffer
  bool end = false;       // the last byte of a message (message transports only)
};

class Transport {
 public:
  virtual ~Transport() = default;
  Transport() = default;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  virtual Status Open(Deadline deadline) = 0;
  // Idempotent; a closed transport can be opened again.
  virtual void Close() = 0;
  virtual bool is_open() const = 0;

  // Writes every byte before the deadline, or fails. A timeout after part of
  // the data went out says how much was written.
  virtual Status Write(std::span<const std::uint8_t> data, Deadline deadline) = 0;
  // The same with a timeout that starts when the write first has to wait.
  // Most writes never wait; a transport that can tell without a clock read
  // overrides this (a clock read is cheap in a loop, not after a switch
  // between processes).
  virtual Status WriteWithin(std::span<const std::uint8_t> data,
                             std::chrono::milliseconds timeout) {
    return Write(data, DeadlineAfter(timeout));
  }

  // Waits until some bytes are available or the deadline passes and returns
  // what fits into the buffer. A result with count 0 and no END is allowed
  // (an interrupted wait); callers loop until their deadline. Fails with
  // kTimeout when the deadline passed with nothing read and kClosed when the
  // peer went away.
  virtual Result<ReadResult> Read(std::span<std::uint8_t> buffer, Deadline deadline) = 0;

  // True for message-oriented transports (VXI-11) whose reads mark the end of
  // a message; stream transports (TCP socket, serial) never set END.
  virtual bool delivers_end() const { return false; }

  // Drops input that arrived and was not read (after an error, before a new
  // command).
  virtual Status DiscardInput() { return {}; }

  // After a read timed out, the instrument may still send the reply it was
  // waiting for. Clear makes sure that late reply never answers a later
  // query: it drops what arrived and makes the instrument drop what it has
  // yet to send (a device clear, or a new connection whose output queue
  // starts empty), within the deadline. A transport that cannot do that (a
  // serial line) answers false from can_clear(); the session then waits for
  // the late reply and drops it itself.
  virtual bool can_clear() const { return false; }
  virtual Status Clear(Deadline deadline) {
    (void)deadline;
    return DiscardInput();
  }

  // What the transport is connected to, for messages ("127.0.0.1:5025",
  // "/dev/ttyS0").
  virtual std::string description() const = 0;

  // True when the far end is already known to be gone while the transport
  // is open and idle: the peer's close or reset is queued on the socket, or
  // the line hung up (a pty whose other side closed, a USB adapter pulled).
  // A write now would go nowhere, so the session reopens first. Does not
  // wait; a transport that cannot tell answers false.
  virtual bool PeerClosed() const { return false; }
};

}  // namespace vex::io
