// One open connection to an instrument address: a transport, the framing
// above it, the transfer timeout and the traffic log.
//
// Each call is one transfer with one deadline, computed when the call starts
// (now + timeout), however many reads or writes it takes. A session is used
// by one thread at a time; only the traffic log is shared between threads.
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
  void Close() { transport_->Close(); }
  bool is_open() const { return transport_->is_open(); }

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
  Status Discard() { return reader_.Discard(); }

  const std::string& address() const { return address_; }
  Transport& transport() { return *transport_; }
  MessageReader& reader() { return reader_; }

 private:
  Deadline NextDeadline() const { return DeadlineAfter(timeout_); }
  void LogRead(std::span<const std::uint8_t> data);

  std::unique_ptr<Transport> transport_;
  MessageReader reader_;
  std::string address_;
  TrafficLog* log_;
  std::chrono::milliseconds timeout_ = kDefaultTimeout;
};

}  // namespace vex::io
