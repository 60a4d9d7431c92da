// One host connection to the instrument.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/Fault.h"
#include "engine/MessageFramer.h"
#include "engine/Response.h"

namespace vex::sim {

class Instrument;

// What belongs to one connection: the partly received message, the header
// path for relative headers, the replies not yet read, and the fault that
// this connection injects. Settings, registers and the error queue belong to
// the Instrument and are shared by all its sessions, as on a real instrument
// with several interfaces.
//
// Not thread-safe: a session and its instrument are used from one thread.
class Session {
 public:
  // Supplies the serial line settings seen by a pty transport, as the
  // ":SIMulator:LINE?" reply; empty on transports without a line.
  using LineProbe = std::function<std::optional<std::string>()>;

  explicit Session(Instrument& instrument);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  // Feeds bytes the host wrote. A message ends at a line feed, or at the
  // last byte when `end` is set (GPIB END, the VXI-11 end flag). Each
  // complete message is executed at once.
  void Write(std::span<const uint8_t> bytes, bool end = false);

  // The oldest whole response message, if any.
  std::optional<Response> TakeResponse();
  bool HasResponse() const { return !responses_.empty(); }

  // Device clear (GPIB SDC/DCL, VXI-11 device_clear): drops the partly
  // received message and every unread reply. Settings and registers stay.
  void DeviceClear();

  Fault fault() const { return fault_; }
  void SetFault(Fault fault) { fault_ = fault; }
  unsigned fault_delay_ms() const { return fault_delay_ms_; }
  void SetFaultDelay(unsigned ms) { fault_delay_ms_ = ms; }
  // Whether this connection reads errors in the short form ("-113").
  bool short_errors() const { return short_errors_; }
  void SetShortErrors(bool on) { short_errors_ = on; }

  void SetLineProbe(LineProbe probe) { line_probe_ = std::move(probe); }
  std::optional<std::string> LineSettings() const;

 private:
  friend class Instrument;
  friend class CommandContext;

  struct Pending {
    Response response;
    uint64_t write_serial;  // which Write produced it
  };

  // Reply units of the message being executed, joined by ';' at its end.
  struct Reply {
    std::vector<uint8_t> bytes;
    std::optional<BlockSpan> block;
    bool any_public = false;  // at least one unit not from a simulator command
    bool any = false;
  };

  void BeginMessage();
  void AddReply(std::span<const uint8_t> bytes, bool is_block, bool simulator);
  void EndMessage();

  Instrument& instrument_;
  MessageFramer framer_;
  std::vector<std::string> path_;  // header path for relative headers
  Reply reply_;
  std::deque<Pending> responses_;
  uint64_t write_serial_ = 0;
  Fault fault_;
  unsigned fault_delay_ms_;
  bool short_errors_;
  LineProbe line_probe_;
};

}  // namespace vex::sim
