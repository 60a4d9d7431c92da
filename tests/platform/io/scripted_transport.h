// An in-memory transport that plays a script: data in chunks of a chosen
// size, interrupted reads that make no progress, delays, stalls and a close.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <thread>

#include "vex/io/transport.h"

namespace vex::io::testing {

class ScriptedTransport : public Transport {
 public:
  explicit ScriptedTransport(bool delivers_end = false) : delivers_end_(delivers_end) {}

  // Bytes to deliver; with `end`, the last one ends a message.
  ScriptedTransport& Data(std::string bytes, bool end = false) {
    steps_.push_back({Kind::kData, std::move(bytes), end, {}});
    return *this;
  }
  // One read that returns nothing, as after an interrupted wait.
  ScriptedTransport& Zero() {
    steps_.push_back({Kind::kZero, {}, false, {}});
    return *this;
  }
  // Nothing arrives for this long.
  ScriptedTransport& Delay(std::chrono::milliseconds d) {
    steps_.push_back({Kind::kDelay, {}, false, d});
    return *this;
  }
  ScriptedTransport& Hangup() {
    steps_.push_back({Kind::kClose, {}, false, {}});
    return *this;
  }
  // At most this many bytes per read.
  void set_max_chunk(std::size_t n) { max_chunk_ = n; }
  int reads() const { return reads_; }
  std::size_t pending_steps() const { return steps_.size(); }

  Status Open(Deadline) override {
    open_ = true;
    return {};
  }
  void Close() override { open_ = false; }
  bool is_open() const override { return open_; }
  Status Write(std::span<const std::uint8_t> data, Deadline) override {
    written_.append(reinterpret_cast<const char*>(data.data()), data.size());
    return {};
  }
  const std::string& written() const { return written_; }

  Result<ReadResult> Read(std::span<std::uint8_t> buffer, Deadline deadline) override {
    ++reads_;
    for (;;) {
      if (steps_.empty()) {
        // A stall: the peer never sends again.
        std::this_thread::sleep_until(deadline);
        return Status(Errc::kTimeout, "scripted stall");
      }
      Step& s = steps_.front();
      switch (s.kind) {
        case Kind::kZero:
          steps_.pop_front();
          return ReadResult{0, false};
        case Kind::kClose:
          return Status(Errc::kClosed, "scripted close");
        case Kind::kDelay: {
          auto now = Clock::now();
          if (now + s.delay > deadline) {
            std::this_thread::sleep_until(deadline);
            s.delay -= std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
            return Status(Errc::kTimeout, "scripted delay");
          }
          std::this_thread::sleep_for(s.delay);
          steps_.pop_front();
          continue;
        }
        case Kind::kData: {
          std::size_t n = std::min({buffer.size(), max_chunk_, s.bytes.size()});
          std::memcpy(buffer.data(), s.bytes.data(), n);
          s.bytes.erase(0, n);
          bool end = false;
          if (s.bytes.empty()) {
            end = s.end;
            steps_.pop_front();
          }
          return ReadResult{n, end};
        }
      }
    }
  }
  bool delivers_end() const override { return delivers_end_; }
  Status DiscardInput() override {
    while (!steps_.empty() && steps_.front().kind == Kind::kData) steps_.pop_front();
    return {};
  }
  std::string description() const override { return "script"; }

 private:
  enum class Kind { kData, kZero, kDelay, kClose };
  struct Step {
    Kind kind;
    std::string bytes;
    bool end;
    std::chrono::milliseconds delay;
  };
  std::deque<Step> steps_;
  std::size_t max_chunk_ = ~std::size_t{0};
  int reads_ = 0;
  bool open_ = false;
  bool delivers_end_;
  std::string written_;
};

}  // namespace vex::io::testing
