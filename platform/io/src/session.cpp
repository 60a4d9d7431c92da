#include "vex/io/session.h"

#include <utility>

#include "vex/com/hot_path.h"

namespace vex::io {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

Session::Session(std::unique_ptr<Transport> transport, std::string address, TrafficLog* log)
    : transport_(std::move(transport)),
      reader_(*transport_),
      address_(std::move(address)),
      log_(log) {}

Status Session::Open() {
  Status st = transport_->Open(NextDeadline());
  if (st.ok()) (void)reader_.Discard();
  return st;
}

VEX_HOT Status Session::Write(std::span<const std::uint8_t> data) {
  if (log_) log_->Record(address_, TrafficLog::Direction::kWrite, data);
  return transport_->WriteWithin(data, timeout_);
}

VEX_HOT Status Session::Write(std::string_view text) {
  return Write(Bytes(text));
}

VEX_HOT void Session::LogRead(std::span<const std::uint8_t> data) {
  if (log_) log_->Record(address_, TrafficLog::Direction::kRead, data);
}

Status Session::ReadMessage(ByteVector& out) {
  Status st = reader_.ReadMessage(out, NextDeadline());
  if (!out.empty() || st.ok()) LogRead(out);
  return st;
}

Status Session::ReadMessage(std::string& out) {
  Status st = reader_.ReadMessage(out, NextDeadline());
  if (!out.empty() || st.ok()) LogRead(Bytes(out));
  return st;
}

Status Session::ReadBlock(ByteVector& out, MessageReader::BlockHeader header,
                          MessageReader::BlockInfo* info) {
  Deadline deadline = NextDeadline();
  Status st = reader_.ReadBlock(out, deadline, header, info);
  if (st.code() == Errc::kMalformed) reader_.DiscardUntilQuiet(deadline);
  if (!out.empty() || st.ok()) LogRead(out);
  return st;
}

VEX_HOT Status Session::ReadReply(ByteVector& out, bool* is_block, MessageReader::BlockInfo* info) {
  Deadline deadline = NextDeadline();
  *is_block = false;
  auto first = reader_.PeekReplyStart(deadline);
  if (!first.ok()) return first.status();
  Status st;
  if (first.value() == '#') {
    *is_block = true;
    st = reader_.ReadBlock(out, deadline, MessageReader::BlockHeader::kKeep, info);
    if (st.code() == Errc::kMalformed) reader_.DiscardUntilQuiet(deadline);
  } else {
    st = reader_.ReadMessage(out, deadline);
  }
  if (!out.empty() || st.ok()) LogRead(out);
  return st;
}

Status Session::ReadBytes(std::size_t n, ByteVector& out) {
  Status st = reader_.ReadBytes(n, out, NextDeadline());
  if (!out.empty() || st.ok()) LogRead(out);
  return st;
}

}  // namespace vex::io
