// Cuts the host's byte stream into program messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vex::sim {

// A program message ends at a line feed or where the transport signals END
// (GPIB END, the VXI-11 end flag). A line feed inside a quoted string or
// inside a definite-length block argument ("#<n><len><data>") is data, so
// the framer tracks quotes and reads blocks by their announced length.
//
// A block that completes exactly at the end of the bytes written so far also
// ends the message: hosts write a setup or trace block raw, with no
// terminator after it, and wait for nothing. A line feed that then follows
// makes an empty message, which the instrument ignores.
class MessageFramer {
 public:
  using Message = std::vector<uint8_t>;

  // Adds bytes and appends every message they complete to `out`, without
  // its terminator. `end` marks the last byte as the end of a message.
  void Feed(std::span<const uint8_t> bytes, bool end, std::vector<Message>& out);

  // Forgets a partly received message (device clear).
  void Reset();

  // Bytes held for a message not yet complete.
  std::size_t Pending() const { return buffer_.size(); }

 private:
  enum class State { kText, kQuote, kHash, kLengthDigits, kBlockData, kIndefiniteBlock };

  void Complete(std::vector<Message>& out);

  std::vector<uint8_t> buffer_;
  State state_ = State::kText;
  uint8_t quote_ = 0;
  int digits_left_ = 0;
  uint64_t block_left_ = 0;
};

}  // namespace vex::sim
