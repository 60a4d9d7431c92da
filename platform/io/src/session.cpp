#include "vex/io/session.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "vex/com/hot_path.h"

namespace vex::io {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Whether a failed transfer leaves the link unusable: the peer closed or
// reset it, a write found no reader, a system call on the link failed (an
// RPC failure, a tty whose device node went away: ENODEV, EIO, ENXIO), or the
// transport closed under the session. A timeout, a malformed or truncated
// reply and an oversized one leave the link as it is.
bool BreaksLink(const Status& status) {
  switch (status.code()) {
    case Errc::kClosed:
    case Errc::kIoError:
    case Errc::kNotOpen:
      return true;
    default:
      return false;
  }
}

// Pause between reopen attempts: short at first (a link that is back
// answers at once), growing so that a dead instrument costs few attempts.
constexpr std::chrono::milliseconds kFirstPause{10};
constexpr std::chrono::milliseconds kLongestPause{200};

}  // namespace

class Session::Transfer {
 public:
  explicit Transfer(Session& session) : session_(session), refused_(session.busy_) {
    session_.busy_ = true;
  }
  ~Transfer() {
    if (refused_) return;
    session_.busy_ = false;
    if (session_.close_when_done_) {
      session_.close_when_done_ = false;
      session_.Close();
    }
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  bool refused() const { return refused_; }
  Status Refusal() const {
    return Status(Errc::kBusy, session_.address_ +
                                   " is in the middle of another call; try again once it is done");
  }

 private:
  Session& session_;
  bool refused_;
};

Session::Session(std::unique_ptr<Transport> transport, std::string address, TrafficLog* log)
    : transport_(std::move(transport)),
      reader_(*transport_),
      address_(std::move(address)),
      log_(log) {}

Status Session::Open() {
  Transfer transfer(*this);
  if (transfer.refused()) [[unlikely]]
    return transfer.Refusal();
  Status st = transport_->Open(NextDeadline());
  open_ = st.ok();
  broken_ = false;
  late_reply_ = false;
  if (st.ok()) (void)reader_.Discard();
  return st;
}

void Session::Close() {
  if (busy_) {
    close_when_done_ = true;
    return;
  }
  transport_->Close();
  open_ = false;
  broken_ = false;
  late_reply_ = false;
}

Status Session::Track(Status status) {
  if (!status.ok() && open_ && BreaksLink(status)) {
    broken_ = true;
    broken_by_ = status.message();
  }
  return status;
}

Status Session::TrackRead(Status status) {
  if (status.ok())
    late_reply_ = false;
  else if (status.code() == Errc::kTimeout)
    late_reply_ = true;
  return Track(std::move(status));
}

Status Session::ReadAnyReply(ByteVector& out, Deadline deadline, bool* is_block,
                             MessageReader::BlockInfo* info) {
  auto first = reader_.PeekReplyStart(deadline);
  if (!first.ok()) return first.status();
  if (first.value() != '#') return reader_.ReadMessage(out, deadline);
  *is_block = true;
  Status st = reader_.ReadBlock(out, deadline, MessageReader::BlockHeader::kKeep, info);
  if (st.code() == Errc::kMalformed) reader_.DiscardUntilQuiet(deadline);
  return st;
}

Status Session::DropLateReply(Deadline deadline) {
  late_reply_ = false;
  if (transport_->can_clear()) {
    (void)reader_.Discard();
    Status st = transport_->Clear(deadline);
    if (!st.ok()) {
      return Track(Status(st.code(),
                          "cannot clear " + transport_->description() +
                              " of the late reply to a query that timed out: " + st.message(),
                          st.sys_errno()));
    }
    if (log_)
      log_->Note(address_, "cleared " + transport_->description() +
                               ": the late reply to a query that timed out cannot answer another");
    return {};
  }
  // The late reply is waited for and read like any reply, then dropped.
  // An instrument may also never answer (a query it did not know): the wait
  // takes half of this call's time, so that the write still goes out.
  const Deadline until = Clock::now() + (deadline - Clock::now()) / 2;
  ByteVector late;
  Status st;
  if (reader_.term_char() == MessageReader::kNoTermChar && !transport_->delivers_end()) {
    // Without a termination character a reply ends when the line is quiet.
    reader_.DiscardUntilQuiet(until);
  } else {
    bool is_block = false;
    st = ReadAnyReply(late, until, &is_block, nullptr);
  }
  if (!st.ok() && BreaksLink(st)) return Track(std::move(st));
  if (log_) {
    log_->Note(address_, st.code() == Errc::kTimeout
                             ? "no late reply to the query that timed out came within half "
                               "the timeout; it is taken as never coming"
                             : "dropped the late reply to a query that timed out (" +
                                   std::to_string(late.size()) + " bytes)");
  }
  (void)reader_.Discard();
  return {};
}

Status Session::Reopen(Deadline deadline, bool retry) {
  if (!broken_) broken_by_ = "the peer closed it";
  const std::string why = "after " + broken_by_;
  transport_->Close();
  broken_ = true;
  Status last;
  // The reason reported: the last refusal rather than a final attempt that
  // merely ran out of time.
  Status reason;
  auto pause = kFirstPause;
  for (;;) {
    last = transport_->Open(deadline);
    if (!last.ok() && (last.code() != Errc::kTimeout || reason.ok())) reason = last;
    if (last.ok() || !retry || last.code() == Errc::kTimeout) break;
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) break;
    SleepUntil(Clock::now() + std::min<Clock::duration>(pause, left));
    pause = std::min(pause * 2, kLongestPause);
  }
  if (!last.ok()) {
    Status failed(
        reason.code(),
        "cannot reopen " + transport_->description() + " " + why + ": " + reason.message(),
        reason.sys_errno());
    if (log_) log_->Note(address_, failed.message());
    return failed;
  }
  broken_ = false;
  late_reply_ = false;
  (void)reader_.Discard();
  if (log_) log_->Note(address_, "reopened " + transport_->description() + " " + why);
  return {};
}

Status Session::Recover() {
  Transfer transfer(*this);
  if (transfer.refused()) [[unlikely]]
    return transfer.Refusal();
  if (!open_) return {};
  if (broken_ || transport_->PeerClosed()) return Reopen(NextDeadline(), false);
  // A late reply is cleared now where the transport can; a serial line
  // leaves it to the next write, which waits for it.
  if (late_reply_ && transport_->can_clear()) return DropLateReply(NextDeadline());
  (void)reader_.Discard();
  return {};
}

VEX_HOT Status Session::Write(std::span<const std::uint8_t> data) {
  Transfer transfer(*this);
  if (transfer.refused()) [[unlikely]]
    return transfer.Refusal();
  // A link that broke, or that the instrument closed while idle, is
  // reopened first; the write then shares the reopen's deadline.
  if (broken_ || transport_->PeerClosed()) [[unlikely]] {
    Deadline deadline = NextDeadline();
    Status st = Reopen(deadline, true);
    if (!st.ok()) return st;
    if (log_) log_->Record(address_, TrafficLog::Direction::kWrite, data);
    return Track(transport_->Write(data, deadline));
  }
  if (late_reply_) [[unlikely]] {
    Deadline deadline = NextDeadline();
    if (Status st = DropLateReply(deadline); !st.ok()) return st;
    if (log_) log_->Record(address_, TrafficLog::Direction::kWrite, data);
    return Track(transport_->Write(data, deadline));
  }
  (void)reader_.Discard();
  if (log_) log_->Record(address_, TrafficLog::Direction::kWrite, data);
  Status st = transport_->WriteWithin(data, timeout_);
  if (!st.ok()) [[unlikely]]
    return Track(std::move(st));
  return st;
}

VEX_HOT Status Session::Write(std::string_view text) {
  return Write(Bytes(text));
}

VEX_HOT void Session::LogRead(std::span<const std::uint8_t> data) {
  if (log_) log_->Record(address_, TrafficLog::Direction::kRead, data);
}

Status Session::ReadMessage(ByteVector& out) {
  Transfer transfer(*this);
  if (transfer.refused()) [[unlikely]]
    return transfer.Refusal();
  Deadline deadline = NextDeadline();
  if (Status st = ReopenIfBroken(deadline); !st.ok()) return st;
  Status st = reader_.ReadMessage(out, deadline);
  if (!out.empty() || st.ok()) LogRead(out);
  return TrackRead(std::move(st));
}

Status Session::ReadMessage(std::string& out) {
  Transfer transfer(*this);
  if (transfer.refused()) [[unlikely]]
    return transfer.Refusal();
  Deadline deadline = NextDeadline();
  if (Status st = ReopenIfBroken(deadline); !st.ok()) return st;
  Status st = reader_.ReadMessage(out, deadline);
  if (!out.empty() || st.ok()) LogRead(Bytes(out));
  return TrackRead(std::move(st));
}

Status Session::ReadBlock(ByteVector& out, MessageReader::BlockHeader header,
                          MessageReader::BlockInfo* info) {
  Transfer transfer(*this);
  if (transfer.refused()) [[unlikely]]
    return transfer.Refusal();
  Deadline deadline = NextDeadline();
  if (Status st = ReopenIfBroken(deadline); !st.ok()) return st;
  Status st = reader_.ReadBlock(out, deadline, header, info);
  if (st.code() == Errc::kMalformed) reader_.DiscardUntilQuiet(deadline);
  if (!out.empty() || st.ok()) LogRead(out);
  return TrackRead(std::move(st));
}

VEX_HOT Status Session::ReadReply(ByteVector& out, bool* is_block, MessageReader::BlockInfo* info) {
  Transfer transfer(*this);
  if (transfer.refused()) [[unlikely]]
    return transfer.Refusal();
  Deadline deadline = NextDeadline();
  *is_block = false;
  if (broken_) [[unlikely]] {
    if (Status st = Reopen(deadline, true); !st.ok()) return st;
  }
  Status st = ReadAnyReply(out, deadline, is_block, info);
  if (!out.empty() || st.ok()) LogRead(out);
  if (!st.ok()) [[unlikely]]
    return TrackRead(std::move(st));
  late_reply_ = false;
  return st;
}

Status Session::ReadBytes(std::size_t n, ByteVector& out) {
  Transfer transfer(*this);
  if (transfer.refused()) [[unlikely]]
    return transfer.Refusal();
  Deadline deadline = NextDeadline();
  if (Status st = ReopenIfBroken(deadline); !st.ok()) return st;
  Status st = reader_.ReadBytes(n, out, deadline);
  if (!out.empty() || st.ok()) LogRead(out);
  return TrackRead(std::move(st));
}

Status Session::Discard() {
  Transfer transfer(*this);
  if (transfer.refused()) return transfer.Refusal();
  return broken_ ? Status() : reader_.Discard();
}

}  // namespace vex::io
