// VXI-11 transport, for "TCPIP0::host[::device]::INSTR": a client of the
// instrument's RPC core channel on connections it opens and owns. The device
// is "inst0" for an instrument, "gpibN,a" for address a behind a LAN/GPIB
// gateway. Hosts are IPv4 or IPv6 addresses (or names, whose lookup has no
// deadline of its own).
//
// One deadline per call, and every step of the call takes the time that
// remains: the port mapper's GETPORT, the connects, create_link, and each
// device_write, device_read, device_clear and device_lock, which also pass
// the time left to the device (io_timeout, lock_timeout). The RPC waits a
// margin longer than that (kReplyMargin below), so that the device's own
// timeout answer (VXI-11 error 15: a timeout that leaves the link up) comes
// first.
//
// When the RPC gets no answer even then (the server holds the call), the call
// is aborted on the device's abort channel, if it has one; if that does not
// bring the held call's answer within one more margin, the connection is
// dropped, without a destroy_link that would only queue behind the held call,
// and the next call makes a new link within its own deadline. So a failed
// call returns within its timeout and two margins, and the next call never
// waits behind a stale RPC. No descriptor outlives a failed call or Close.
//
// Writes go in pieces of at most the link's maxRecvSize, END on the last
// piece only (an empty write is one empty piece with END). A read asks for as
// many bytes as the buffer holds and a few more, which the next read gets
// first (a block read to its length then takes its line feed along in the
// same call), and reports END when the device ended the message (reason END
// or termination character). A write, a clear and DiscardInput drop what was
// read ahead, as the device drops the rest of a reply on a new message. Errors the device answers
// are reported by their meaning (vxi11_errors.def): a device the server does
// not know is Errc::kNotOpen ("no such device ..."), a device timeout
// Errc::kTimeout, a lock held elsewhere Errc::kBusy.
//
// Nothing is printed. The RPC library writes with write(): SIGPIPE is blocked
// on the calling thread around each call and taken back if raised.
//
// Limit: the RPC library bounds each wait for more of a reply, not the whole
// reply. A reply that keeps arriving, however slowly, is taken in full even
// when that runs past the deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vex/io/transport.h"

namespace vex::io {

namespace detail {
class RpcChannel;
struct RpcOutcome;
struct SocketAddress;
}  // namespace detail

class Vxi11Transport final : public Transport {
 public:
  struct Options {
    // The port mapper's TCP port on the host.
    int port_mapper_port = 111;
  };

  // How much longer than the time left the RPC waits for the device's
  // answer, and how long recovering from a held call may take after that:
  // 2 % of the time left plus 10 ms, at most 250 ms. That covers a device
  // answering at its io_timeout plus the way back over a LAN.
  static Clock::duration ReplyMargin(Clock::duration left);

  Vxi11Transport(std::string host, std::string device);
  Vxi11Transport(std::string host, std::string device, Options options);
  ~Vxi11Transport() override;

  // Asks the port mapper for the core channel's port, connects and makes
  // the link. A device the server refuses fails here (kNotOpen for an
  // unknown device), so no write is ever tried on a refused link.
  Status Open(Deadline deadline) override;
  // Ends the link (destroy_link, sent without waiting for its answer) and
  // closes every connection.
  void Close() override;
  bool is_open() const override { return open_; }
  Status Write(std::span<const std::uint8_t> data, Deadline deadline) override;
  Result<ReadResult> Read(std::span<std::uint8_t> buffer, Deadline deadline) override;
  bool delivers_end() const override { return true; }
  // Drops what was read ahead (see Read).
  Status DiscardInput() override;
  // device_clear, which makes the device drop the output it has yet to
  // send; a device that does not serve it gets a new link instead. A link
  // dropped after a held call is made anew first.
  bool can_clear() const override { return true; }
  Status Clear(Deadline deadline) override;
  // "127.0.0.1 inst0", "[::1] gpib0,7".
  std::string description() const override { return label_; }
  // Whether the server closed or reset the link's connection while idle.
  bool PeerClosed() const override;

  // Takes the device's lock for this link, waiting for another link's lock
  // until the deadline (kBusy when it is still held). A new link made after
  // a dropped connection asks for the lock again.
  Status Lock(Deadline deadline);
  Status Unlock(Deadline deadline);

  // What create_link answered: the largest piece a write sends, the abort
  // channel's port (0: none).
  std::size_t max_recv_size() const { return max_recv_size_; }
  int abort_port() const { return abort_port_; }

 private:
  // Port mapper, connect and create_link at one address of the host;
  // *answered is set once the server answered create_link.
  Status Connect(const detail::SocketAddress& host, Deadline deadline, bool* answered);
  Status CreateLink(Deadline deadline, bool* answered);
  // A new link on a new connection, after the old one was dropped.
  Status Relink(Deadline deadline);
  // Open, and relinked when the connection was dropped.
  Status Ready(Deadline deadline);
  // device_abort on the abort channel (connected on first use); true when
  // the device took it.
  bool Abort(Clock::time_point until);
  // The server did not answer a call in time: abort it, or drop the
  // connection so that the next call makes a new link.
  void OnNoAnswer(Clock::duration margin);
  void DropConnection();
  // A failed RPC (not a device error) as a status, after the recovery that
  // the failure calls for.
  Status CallFailed(const detail::RpcOutcome& outcome, const char* call, Clock::duration waited,
                    Clock::duration margin);
  // A device error as a status by its meaning (vxi11_errors.def).
  Status DeviceError(long error, const char* call);
  void DropReadAhead();

  std::string host_;
  std::string device_;
  Options options_;
  std::string label_;

  std::unique_ptr<detail::SocketAddress> address_;  // the host, core port set
  std::unique_ptr<detail::RpcChannel> core_;
  std::unique_ptr<detail::RpcChannel> abort_;
  bool open_ = false;
  bool relink_ = false;  // the connection was dropped; the next call relinks
  bool locked_ = false;
  long link_id_ = 0;
  long client_id_ = 0;
  int abort_port_ = 0;
  std::size_t max_recv_size_ = 0;
  // Bytes of the message being read that came past the caller's buffer.
  std::vector<std::uint8_t> ahead_;
  std::size_t ahead_at_ = 0;
  std::size_t ahead_count_ = 0;
  bool ahead_end_ = false;
};

}  // namespace vex::io
