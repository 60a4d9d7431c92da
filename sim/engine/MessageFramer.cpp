#include "engine/MessageFramer.h"

#include <algorithm>

namespace vex::sim {

namespace {

bool IsDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

// Lengths beyond this are not believed; the parser reports the block invalid.
constexpr uint64_t kMaxBlock = uint64_t{1} << 32;

}  // namespace

void MessageFramer::Reset() {
  buffer_.clear();
  state_ = State::kText;
}

void MessageFramer::Complete(std::vector<Message>& out) {
  out.push_back(std::move(buffer_));
  buffer_.clear();
  state_ = State::kText;
}

void MessageFramer::Feed(std::span<const uint8_t> bytes, bool end, std::vector<Message>& out) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const uint8_t c = bytes[i];
    switch (state_) {
      case State::kText:
        ++i;
        if (c == '\n') {
          Complete(out);
          continue;
        }
        buffer_.push_back(c);
        if (c == '"' || c == '\'') {
          quote_ = c;
          state_ = State::kQuote;
        } else if (c == '#') {
          state_ = State::kHash;
        }
        break;
      case State::kQuote:
        ++i;
        buffer_.push_back(c);
        if (c == quote_) state_ = State::kText;  // a doubled quote re-enters at once
        break;
      case State::kHash:
        // Decide from the byte after '#' whether a block starts; a non-digit
        // (for example "#H1F") is ordinary text and is handled there.
        if (!IsDigit(c)) {
          state_ = State::kText;
          break;
        }
        ++i;
        buffer_.push_back(c);
        digits_left_ = c - '0';
        block_left_ = 0;
        state_ = digits_left_ == 0 ? State::kIndefiniteBlock : State::kLengthDigits;
        break;
      case State::kLengthDigits:
        if (!IsDigit(c)) {
          // Malformed header: let the parser report it at the message end.
          state_ = State::kText;
          break;
        }
        ++i;
        buffer_.push_back(c);
        block_left_ = std::min(kMaxBlock, block_left_ * 10 + (c - '0'));
        if (--digits_left_ == 0) state_ = State::kBlockData;
        break;
      case State::kBlockData: {
        const std::size_t take =
            static_cast<std::size_t>(std::min<uint64_t>(block_left_, bytes.size() - i));
        buffer_.insert(buffer_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                       bytes.begin() + static_cast<std::ptrdiff_t>(i + take));
        i += take;
        block_left_ -= take;
        break;
      }
      case State::kIndefiniteBlock:
        ++i;
        if (c == '\n') {
          Complete(out);
          continue;
        }
        buffer_.push_back(c);
        break;
    }
    if (state_ == State::kBlockData && block_left_ == 0) {
      state_ = State::kText;
      if (i == bytes.size() && !end) Complete(out);
    }
  }
  if (end && (!buffer_.empty() || state_ != State::kText)) Complete(out);
}

}  // namespace vex::sim
