// One open connection to an instrument address: a transport, the framing
// above it, the transfer timeout and the traffic log.
//
// Each call is one transfer with one deadline, computed when the call starts
// (now + timeout), however many reads or writes it takes. A session is used
// by one thread at a time; only the traffic log is shared between threads.
//
// The link comes back by itself when the instrument drops it (a power
// cycle, a cable pulled and put back, a USB adapter re-plugged):
//   - a transfer that fails because the link broke (the peer closed or reset
//     it, a write found no reader, the RPC failed, the device node went
//     away) fails as it would anyway, and marks the link broken;
//   - the next transfer first reopens a broken link, and a write also
//     reopens a link whose peer is already known to have closed it while
//     it was idle (so that write goes out on the new link and succeeds);
//   - reopening retries until the transfer's own deadline, so a dead
//     instrument still fails each call within its timeout; a reopen that
//     fails says which link and why, and the next transfer tries again;
//   - a timeout on a link that is up never marks it broken (but see below
//     for the reply it waited for).
// Each reopen, and each failed one, is noted in the traffic log. The
// timeout, termination character and size limit stay as they were.
//
// No reply is ever given to the wrong query:
//   - each write first drops input that arrived and was not read (what an
//     earlier exchange left behind), as an IEEE 488.2 instrument drops an
//     unread reply when the next message comes;
//   - after a read that timed out, the reply it waited for may still come.
//     Before the next write, a transport that can (can_clear(): a device
//     clear, or a raw socket connected afresh, whose output queue starts
//     empty) makes the instrument drop it. Where that is not possible (a
//     serial line), the next write first waits for that late reply, for up
//     to half of its own timeout, and drops it; an instrument that never
//     answers (a query it did not know) so costs the next write half its
//     time, and a reply later than that can still reach the next query
//     there. A read that succeeds after the timeout (the caller reading
//     again) takes the late reply as its own, as asked.
// Each dropped late reply is noted in the traffic log.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vex/io/message_reader.h"
#include "vex/io/traffic_log.h"
#include "vex/io/transport.h"

namespace vex::io {

class Session {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

  // `address` labels log lines and messages; `log` may be null (no logging).
  Session(std::unique_ptr<Transport> transport, std::string address,
          TrafficLog* log = TrafficLog::FromEnvironment());

  Status Open();
  void Close();
  // Opened and not closed since. The link under an open session may be
  // down (link_broken()); the next transfer reopens it.
  bool is_open() const { return open_; }
  // A transfer failed because the link broke, and it has not been reopened.
  bool link_broken() const { return broken_; }
  // After an error: reopens a broken link or one whose peer closed it (one
  // attempt, within the timeout), else drops unread input.
  Status Recover();

  void set_timeout(std::chrono::milliseconds t) { timeout_ = t; }
  std::chrono::milliseconds timeout() const { return timeout_; }
  void set_term_char(int c) { reader_.set_term_char(c); }
  int term_char() const { return reader_.term_char(); }
  void set_max_size(std::size_t bytes) { reader_.set_max_size(bytes); }

  // Writes one message as given (the caller adds any line feed).
  Status Write(std::span<const std::uint8_t> data);
  Status Write(std::string_view text);

  Status ReadMessage(ByteVector& out);
  Status ReadMessage(std::string& out);
  Status ReadBlock(ByteVector& out,
                   MessageReader::BlockHeader header = MessageReader::BlockHeader::kStrip,
                   MessageReader::BlockInfo* info = nullptr);
  Status ReadBytes(std::size_t n, ByteVector& out);
  // One reply, whichever it is: a definite-length block ("#" and a digit,
  // read by its length, header kept; *is_block set) or a message to the
  // termination character. One deadline for the whole reply.
  Status ReadReply(ByteVector& out, bool* is_block, MessageReader::BlockInfo* info);
  // Drops unread input (before a new command after an error).
  Status Discard();

  const std::string& address() const { return address_; }
  Transport& transport() { return *transport_; }
  MessageReader& reader() { return reader_; }

 private:
  Deadline NextDeadline() const { return DeadlineAfter(timeout_); }
  void LogRead(std::span<const std::uint8_t> data);
  // Reopens a broken link before a transfer with this deadline.
  Status ReopenIfBroken(Deadline deadline) { return broken_ ? Reopen(deadline, true) : Status(); }
  // Closes and opens the transport again, until the deadline when `retry`.
  Status Reopen(Deadline deadline, bool retry);
  // Marks the link broken when `status` says the failure broke it.
  Status Track(Status status);
  // Notes whether a read left a reply that may still come (a timeout).
  Status TrackRead(Status status);
  // A block read by its length (header kept) or a message, whichever the
  // reply's first byte says; a malformed block is dropped to a quiet line.
  Status ReadAnyReply(ByteVector& out, Deadline deadline, bool* is_block,
                      MessageReader::BlockInfo* info);
  // Makes sure the reply to a read that timed out never answers the next
  // write (see above).
  Status DropLateReply(Deadline deadline);

  std::unique_ptr<Transport> transport_;
  MessageReader reader_;
  std::string address_;
  TrafficLog* log_;
  std::chrono::milliseconds timeout_ = kDefaultTimeout;
  bool open_ = false;
  bool broken_ = false;
  std::string broken_by_;  // what broke the link, for the log
  // A read timed out since the last complete one: its reply may come late.
  bool late_reply_ = false;
  // While a transfer waits, the thread's wait pump (vex/com/wait_pump.h)
  // may run handlers that reach this session again. Their transfers are
  // refused (Errc::kBusy) rather than mixing their bytes with the reply
  // being read, and their Close waits for the transfer to end.
  class Transfer;
  bool busy_ = false;
  bool close_when_done_ = false;
};

}  // namespace vex::io
