#include "engine/Session.h"

#include "engine/ErrorQueue.h"
#include "engine/Instrument.h"

namespace vex::sim {

Session::Session(Instrument& instrument)
    : instrument_(instrument),
      fault_(instrument.options().fault),
      fault_delay_ms_(instrument.options().fault_delay_ms),
      short_errors_(instrument.options().short_errors) {}

Session::~Session() = default;

void Session::Write(std::span<const uint8_t> bytes, bool end) {
  ++write_serial_;
  std::vector<MessageFramer::Message> messages;
  framer_.Feed(bytes, end, messages);
  for (const auto& m : messages) instrument_.Execute(*this, m);
}

std::optional<Response> Session::TakeResponse() {
  if (responses_.empty()) return std::nullopt;
  Response r = std::move(responses_.front().response);
  responses_.pop_front();
  return r;
}

void Session::DeviceClear() {
  framer_.Reset();
  responses_.clear();
  path_.clear();
}

std::optional<std::string> Session::LineSettings() const {
  if (!line_probe_) return std::nullopt;
  return line_probe_();
}

void Session::BeginMessage() {
  // A reply the host left unread when it wrote a new message is stale: the
  // host has given up on it. Replies produced by this same write stay, so a
  // stream host may send several queries at once and read all the answers.
  bool interrupted = false;
  while (!responses_.empty() && responses_.front().write_serial != write_serial_) {
    responses_.pop_front();
    interrupted = true;
  }
  if (interrupted) instrument_.PushError(error::kQueryInterrupted);
  path_.clear();
  reply_ = Reply{};
}

void Session::AddReply(std::span<const uint8_t> bytes, bool is_block, bool simulator) {
  if (reply_.any) reply_.bytes.push_back(';');
  if (is_block && !reply_.block) {
    BlockSpan span;
    span.offset = reply_.bytes.size();
    span.header = bytes.size() > 1 ? 2 + static_cast<std::size_t>(bytes[1] - '0') : bytes.size();
    span.data = bytes.size() - span.header;
    reply_.block = span;
  }
  reply_.bytes.insert(reply_.bytes.end(), bytes.begin(), bytes.end());
  reply_.any = true;
  reply_.any_public = reply_.any_public || !simulator;
}

void Session::EndMessage() {
  if (!reply_.any) return;
  const Fault fault = reply_.any_public ? fault_ : Fault::kNone;
  if (fault == Fault::kNoAnswer) return;
  Response response;
  response.bytes = std::move(reply_.bytes);
  response.bytes.push_back('\n');
  ApplyFault(fault, fault_delay_ms_, reply_.block, response);
  responses_.push_back({std::move(response), write_serial_});
  reply_ = Reply{};
}

}  // namespace vex::sim
