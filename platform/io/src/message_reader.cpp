#include "vex/io/message_reader.h"

#include <algorithm>
#include <cstring>

#include "vex/com/hot_path.h"

namespace vex::io {
namespace {

bool IsDigit(std::uint8_t c) {
  return c >= '0' && c <= '9';
}
bool IsSpace(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string ShowByte(std::uint8_t c) {
  static const char kHex[] = "0123456789abcdef";
  std::string s = "0x";
  s += kHex[c >> 4];
  s += kHex[c & 15];
  if (c >= 0x20 && c < 0x7F) s += std::string(" '") + static_cast<char>(c) + "'";
  return s;
}

std::string Of(std::size_t got, std::size_t want) {
  return std::to_string(got) + " of " + std::to_string(want) + " bytes";
}

}  // namespace

MessageReader::MessageReader(Transport& transport, std::size_t buffer_size)
    : transport_(transport), buf_(std::max<std::size_t>(buffer_size, 64)) {}

VEX_HOT Status MessageReader::Fill(Deadline deadline) {
  if (begin_ == end_) begin_ = end_ = 0;
  if (end_ == buf_.size()) {
    // Keep the unread part and make room behind it.
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    auto r = transport_.Read(std::span(buf_.data() + end_, buf_.size() - end_), deadline);
    if (!r.ok()) return r.status();
    end_ += r->count;
    end_pending_ = r->end;
    if (r->count > 0 || r->end) return {};
    // An interrupted wait made no progress; the transport's next call sees
    // the deadline, but do not rely on it to stop a tight loop.
    if (Clock::now() >= deadline)
      return Status(Errc::kTimeout, "timed out reading " + transport_.description());
  }
}

VEX_HOT Status MessageReader::Need(std::size_t n, Deadline deadline) {
  while (buffered() < n) {
    if (end_pending_)
      return Status(Errc::kTruncated,
                    "message ended after " + std::to_string(buffered()) + " bytes");
    Status st = Fill(deadline);
    if (!st.ok()) return st;
  }
  return {};
}

VEX_HOT Status MessageReader::ReadToTerminator(ByteVector& out, std::size_t prefix,
                                               Deadline deadline) {
  out.resize(prefix);
  const bool stream_without_term = term_char_ == kNoTermChar && !transport_.delivers_end();
  for (;;) {
    if (buffered() > 0) {
      const std::uint8_t* start = buf_.data() + begin_;
      const std::uint8_t* hit =
          term_char_ == kNoTermChar
              ? nullptr
              : static_cast<const std::uint8_t*>(std::memchr(start, term_char_, buffered()));
      std::size_t take = hit ? static_cast<std::size_t>(hit - start) : buffered();
      if (out.size() + take > max_size_)
        return Status(Errc::kTooLarge, "reply from " + transport_.description() +
                                           " is longer than the limit of " +
                                           std::to_string(max_size_) + " bytes");
      out.insert(out.end(), start, start + take);
      begin_ += take;
      if (hit) {
        ++begin_;  // the termination character itself
        if (begin_ == end_) end_pending_ = false;
        return {};
      }
    }
    if (end_pending_) {
      end_pending_ = false;
      return {};
    }
    Status st = Fill(deadline);
    if (!st.ok()) {
      // Without a terminator or END, a stream reply is whatever came in time.
      if (st.code() == Errc::kTimeout && stream_without_term && out.size() > prefix) return {};
      if (st.code() == Errc::kTimeout && out.size() > prefix)
        return Status(Errc::kTimeout, "timed out after " + std::to_string(out.size() - prefix) +
                                          " bytes of a reply from " + transport_.description() +
                                          " without its termination character");
      return st;
    }
  }
}

VEX_HOT Status MessageReader::ReadMessage(ByteVector& out, Deadline deadline) {
  return ReadToTerminator(out, 0, deadline);
}

Status MessageReader::ReadMessage(std::string& out, Deadline deadline) {
  ByteVector bytes;
  Status st = ReadToTerminator(bytes, 0, deadline);
  out.assign(bytes.begin(), bytes.end());
  return st;
}

Status MessageReader::ReadExact(std::uint8_t* dest, std::size_t n, Deadline deadline,
                                std::size_t* got, bool* ended) {
  *got = 0;
  *ended = false;
  // Read-ahead bytes first.
  std::size_t from_buf = std::min(n, buffered());
  if (from_buf > 0) {
    std::memcpy(dest, buf_.data() + begin_, from_buf);
    begin_ += from_buf;
    *got = from_buf;
  }
  while (*got < n) {
    if (buffered() == 0 && end_pending_) {
      end_pending_ = false;
      *ended = true;
      return {};
    }
    std::size_t left = n - *got;
    if (left >= buf_.size() / 2) {
      // Large remainder: straight into the destination, no copy.
      auto r = transport_.Read(std::span(dest + *got, left), deadline);
      if (!r.ok()) return r.status();
      *got += r->count;
      if (r->end) {
        if (*got < n) {
          *ended = true;
          return {};
        }
        end_pending_ = true;  // END came with the last byte asked for
      } else if (r->count == 0 && Clock::now() >= deadline) {
        return Status(Errc::kTimeout, "timed out reading " + transport_.description());
      }
    } else {
      // Small remainder: through the buffer, which also picks up what
      // follows (a trailing line feed) in the same read.
      Status st = Fill(deadline);
      if (!st.ok()) return st;
      std::size_t take = std::min(left, buffered());
      std::memcpy(dest + *got, buf_.data() + begin_, take);
      begin_ += take;
      *got += take;
    }
  }
  return {};
}

void MessageReader::SwallowTrailer(Deadline deadline) {
  if (term_char_ == kNoTermChar) return;
  if (buffered() == 0) {
    // The data ended a message: nothing follows it.
    if (end_pending_) {
      end_pending_ = false;
      return;
    }
    Deadline grace = std::min(deadline, Clock::now() + trailer_grace_);
    if (!Fill(grace).ok()) return;
    if (buffered() == 0) return;
  }
  if (buf_[begin_] == static_cast<std::uint8_t>(term_char_)) {
    ++begin_;
    if (begin_ == end_) end_pending_ = false;
  }
}

VEX_HOT Result<std::uint8_t> MessageReader::PeekReplyStart(Deadline deadline) {
  for (;;) {
    Status st = Need(1, deadline);
    if (!st.ok()) return st;
    while (buffered() > 0 && IsSpace(buf_[begin_])) ++begin_;
    if (buffered() > 0) return buf_[begin_];
    if (end_pending_) return static_cast<std::uint8_t>('\n');  // an empty message
  }
}

Status MessageReader::ReadBlock(ByteVector& out, Deadline deadline, BlockHeader header,
                                BlockInfo* info) {
  out.clear();
  const std::string from = " from " + transport_.description();
  // Skip line ends left over from an earlier reply.
  for (;;) {
    Status st = Need(1, deadline);
    if (!st.ok()) {
      if (st.code() == Errc::kTimeout)
        return Status(Errc::kTimeout, "timed out waiting for a block" + from);
      return st;
    }
    while (buffered() > 0 && IsSpace(buf_[begin_])) ++begin_;
    if (buffered() > 0) break;
    if (end_pending_)
      return Status(Errc::kMalformed, "empty reply" + from + " where a block was expected");
  }
  if (buf_[begin_] != '#')
    return Status(Errc::kMalformed,
                  "block" + from + " does not start with '#' (got " + ShowByte(buf_[begin_]) + ")");
  if (Status st = Need(2, deadline); !st.ok()) return st;
  std::uint8_t n_char = buf_[begin_ + 1];
  if (!IsDigit(n_char))
    return Status(Errc::kMalformed, "block header" + from + ": length digit count " +
                                        ShowByte(n_char) + " is not a digit");
  const std::size_t n = n_char - '0';
  if (n == 0) {
    // Indefinite block: the data runs to the termination character (or END).
    begin_ += 2;
    std::size_t prefix = header == BlockHeader::kKeep ? 2 : 0;
    Status st = ReadToTerminator(out, prefix, deadline);
    if (prefix) {
      out[0] = '#';
      out[1] = '0';
    }
    if (info) *info = BlockInfo{2, out.size() - prefix, true};
    return st;
  }
  if (Status st = Need(2 + n, deadline); !st.ok()) {
    if (st.code() == Errc::kTruncated)
      return Status(Errc::kMalformed, "block header" + from + " ends inside its length field");
    return st;
  }
  std::uint64_t length = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t c = buf_[begin_ + 2 + i];
    if (!IsDigit(c))
      return Status(Errc::kMalformed, "block header" + from + ": length field holds " +
                                          ShowByte(c) + ", not a digit");
    length = length * 10 + (c - '0');
  }
  if (length > max_size_)
    return Status(Errc::kTooLarge, "block" + from + " announces " + std::to_string(length) +
                                       " bytes, more than the limit of " +
                                       std::to_string(max_size_));
  const std::size_t header_size = 2 + n;
  const std::size_t prefix = header == BlockHeader::kKeep ? header_size : 0;
  out.resize(prefix + static_cast<std::size_t>(length));
  if (prefix) std::memcpy(out.data(), buf_.data() + begin_, header_size);
  begin_ += header_size;
  if (info) *info = BlockInfo{header_size, static_cast<std::size_t>(length), false};

  std::size_t got = 0;
  bool ended = false;
  Status st =
      ReadExact(out.data() + prefix, static_cast<std::size_t>(length), deadline, &got, &ended);
  if (!st.ok() || ended) {
    out.resize(prefix + got);
    std::string what = "block" + from + " truncated: received " + Of(got, length);
    if (ended) return Status(Errc::kTruncated, what + " before the end of the message");
    if (st.code() == Errc::kTimeout) return Status(Errc::kTimeout, what + " before the timeout");
    if (st.code() == Errc::kClosed)
      return Status(Errc::kClosed, what + " before the connection closed", st.sys_errno());
    return Status(st.code(), what + ": " + st.message(), st.sys_errno());
  }
  SwallowTrailer(deadline);
  return {};
}

Status MessageReader::ReadBytes(std::size_t n, ByteVector& out, Deadline deadline) {
  if (n > max_size_)
    return Status(Errc::kTooLarge, "read of " + std::to_string(n) + " bytes exceeds the limit of " +
                                       std::to_string(max_size_));
  out.resize(n);
  std::size_t got = 0;
  bool ended = false;
  Status st = ReadExact(out.data(), n, deadline, &got, &ended);
  out.resize(got);
  // END on the last byte asked for ends this message, not the next one.
  if (st.ok() && buffered() == 0) end_pending_ = false;
  if (!st.ok() && st.code() == Errc::kTimeout)
    return Status(Errc::kTimeout,
                  "timed out after " + Of(got, n) + " from " + transport_.description());
  return st;
}

void MessageReader::DiscardUntilQuiet(Deadline deadline, std::chrono::milliseconds quiet) {
  const bool ended = end_pending_;
  begin_ = end_ = 0;
  end_pending_ = false;
  if (ended) return;
  std::vector<std::uint8_t> scratch(64 * 1024);
  for (;;) {
    Deadline until = std::min(deadline, Clock::now() + quiet);
    auto got = transport_.Read(scratch, until);
    if (!got.ok() || got.value().end) return;
  }
}

Status MessageReader::Discard() {
  begin_ = end_ = 0;
  end_pending_ = false;
  return transport_.DiscardInput();
}

}  // namespace vex::io
