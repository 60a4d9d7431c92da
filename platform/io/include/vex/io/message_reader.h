// Framing of instrument replies, above any transport.
//
// A MessageReader owns a read-ahead buffer over one transport and turns its
// bytes into responses:
//   - a message up to the termination character (returned without it), or,
//     with no termination character, up to END on a message transport, or on
//     a stream transport everything that arrives before the deadline;
//   - an IEEE 488.2 definite-length block "#<n><length><data>", read by its
//     length and not by terminator (a termination character right after the
//     data is swallowed), or an indefinite block "#0<data>" read to the
//     termination character;
//   - exactly N raw bytes.
// Every read takes one absolute deadline for the whole transfer. Large blocks
// are read straight into the caller's vector, with reads as large as the
// remaining length, so an 8 MB block costs a handful of system calls and no
// per-byte work.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vex/com/byte_vector.h"
#include "vex/io/transport.h"

namespace vex::io {

// Reply bytes: a byte vector that a read of a known length fills without
// zeroing it first.
using ByteVector = com::ByteVector;

class MessageReader {
 public:
  static constexpr int kNoTermChar = -1;
  static constexpr std::size_t kDefaultMaxSize = std::size_t{256} << 20;  // 256 MiB
  static constexpr std::size_t kDefaultBufferSize = std::size_t{64} << 10;

  enum class BlockHeader { kStrip, kKeep };
  struct BlockInfo {
    std::size_t header_size = 0;  // "#<n><length>" bytes, 2 for "#0"
    std::size_t data_size = 0;
    bool indefinite = false;
  };

  explicit MessageReader(Transport& transport, std::size_t buffer_size = kDefaultBufferSize);

  // -1 (kNoTermChar) or a byte value 0..255; line feed by default.
  void set_term_char(int c) { term_char_ = c; }
  int term_char() const { return term_char_; }
  // Largest message or block accepted; a block header announcing more fails
  // with kTooLarge before anything is allocated.
  void set_max_size(std::size_t bytes) { max_size_ = bytes; }
  std::size_t max_size() const { return max_size_; }
  // How long to wait for a termination character after a block's data when
  // it has not arrived yet (bounded by the deadline too). Devices that end
  // blocks without one cost this much per block.
  void set_trailer_grace(std::chrono::milliseconds grace) { trailer_grace_ = grace; }

  // One message, replacing `out`. On a failure `out` holds what was read.
  Status ReadMessage(ByteVector& out, Deadline deadline);
  Status ReadMessage(std::string& out, Deadline deadline);

  // One block, replacing `out` with its data (and its header with kKeep).
  // Leading white space (left-over line ends) is skipped. A malformed header
  // leaves the reply unread, so that the caller can read it as a message or
  // drop it with Discard.
  Status ReadBlock(ByteVector& out, Deadline deadline, BlockHeader header = BlockHeader::kStrip,
                   BlockInfo* info = nullptr);

  // Waits for the first byte of the next reply, skipping line ends left
  // over from an earlier one, and returns it without consuming it: "#"
  // starts a block.
  Result<std::uint8_t> PeekReplyStart(Deadline deadline);

  // Exactly n bytes into `out`; fewer only when a message transport ends the
  // message first (END) or on failure (then `out` holds what was read).
  Status ReadBytes(std::size_t n, ByteVector& out, Deadline deadline);

  // Drops read-ahead data and the transport's pending input.
  Status Discard();
  // Drops the rest of a reply that cannot be parsed (a block whose header
  // is not one, so its length is unknown): everything that arrives until the
  // input has been quiet for `quiet`, or the message ends (END), or the
  // deadline passes. The next command then reads its own reply, not the
  // tail of this one.
  void DiscardUntilQuiet(Deadline deadline,
                         std::chrono::milliseconds quiet = std::chrono::milliseconds(50));
  std::size_t buffered() const { return end_ - begin_; }

 private:
  // Reads more into the buffer (at least one byte or an END).
  Status Fill(Deadline deadline);
  // Makes at least n bytes available in the buffer; kTruncated when the
  // message ends (END) first.
  Status Need(std::size_t n, Deadline deadline);
  Status ReadToTerminator(ByteVector& out, std::size_t prefix, Deadline deadline);
  Status ReadExact(std::uint8_t* dest, std::size_t n, Deadline deadline, std::size_t* got,
                   bool* ended);
  void SwallowTrailer(Deadline deadline);

  Transport& transport_;
  std::vector<std::uint8_t> buf_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  // The last byte in the buffer ended a message (END).
  bool end_pending_ = false;
  int term_char_ = '\n';
  std::size_t max_size_ = kDefaultMaxSize;
  std::chrono::milliseconds trailer_grace_{50};
};

}  // namespace vex::io
