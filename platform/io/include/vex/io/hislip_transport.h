// IVI-6.1 HiSLIP transport, for "TCPIP0::host::hislipN[,port]::INSTR": a
// client of protocol versions 1.0 and 2.0 (without TLS) on two connections
// it opens and owns, the synchronous channel that carries the messages and
// the asynchronous one for device clear, locks and the status byte. Hosts
// are IPv4 or IPv6 addresses (or names, whose lookup has no deadline of its
// own).
//
// One deadline per call, and every step of the call takes the time that
// remains: both connects, the initialization of both channels and the
// maximum-message-size exchange in Open; each message and its answer after
// that. No descriptor outlives a failed Open or Close.
//
// Writes go as Data messages of at most the server's maximum message size,
// the last one as DataEnd; each message takes the next message id (from
// 0xFFFFFF00, up by 2). A read returns reply bytes as they come, into as
// many calls as the caller's buffer needs, and reports END on the last byte
// of a DataEnd. In synchronized mode a reply whose message id is not the
// last query's (a late reply to a query that timed out) is dropped; in
// overlapped mode replies answer the queries in order. The mode is the
// server's choice unless Options asks for one, which Open then requests with
// a device clear.
//
// The server's FatalError, at any time, closes both channels and fails the
// call with the server's text as Errc::kClosed, so the session opens anew
// as after a dropped connection; an Error the server sends is reported with
// its text. A header that does not start with "HS", or a payload longer than
// the limit in Options, is answered with a FatalError and closes the
// transport as well. Writes never raise SIGPIPE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vex/io/transport.h"

namespace vex::io {

namespace hislip {
struct Header;
}  // namespace hislip

class HislipTransport final : public Transport {
 public:
  enum class Mode { kServerChoice, kSynchronized, kOverlapped };

  struct Options {
    int port = 4880;
    Mode mode = Mode::kServerChoice;
    // Sent in Initialize: the client's vendor id, two ASCII characters.
    std::uint16_t vendor_id = ('V' << 8) | 'X';
    // The largest message payload taken from the server (also offered to
    // it as our maximum message size); longer ones fail the call.
    std::uint64_t max_message = 64u << 20;
  };

  // The protocol version sent in Initialize: 2.0.
  static constexpr std::uint16_t kClientVersion = 0x0200;
  // The first message id of a session and after each device clear.
  static constexpr std::uint32_t kFirstMessageId = 0xFFFFFF00u;

  HislipTransport(std::string host, std::string sub_address);
  HislipTransport(std::string host, std::string sub_address, Options options);
  ~HislipTransport() override;

  // Connects both channels and initializes them. A server that refuses the
  // sub-address (FatalError or Error) fails here, kNotOpen with its text.
  Status Open(Deadline deadline) override;
  void Close() override;
  bool is_open() const override { return sync_.fd >= 0; }
  Status Write(std::span<const std::uint8_t> data, Deadline deadline) override;
  Result<ReadResult> Read(std::span<std::uint8_t> buffer, Deadline deadline) override;
  bool delivers_end() const override { return true; }
  // Drops what arrived of replies and was not read.
  Status DiscardInput() override;
  // The device clear of both channels: the server drops what it has yet to
  // send, the message ids start again.
  bool can_clear() const override { return true; }
  Status Clear(Deadline deadline) override;
  // "127.0.0.1:4880 hislip0", "[::1]:4881 hislip0".
  std::string description() const override { return label_; }
  bool PeerClosed() const override;

  // Takes the device's exclusive lock, or a shared lock of that name,
  // waiting for another client's lock until the deadline (kBusy when the
  // server did not grant it).
  Status Lock(Deadline deadline);
  Status LockShared(std::string_view name, Deadline deadline);
  Status Unlock(Deadline deadline);
  // The status byte, through AsyncStatusQuery.
  Result<std::uint8_t> ReadStatusByte(Deadline deadline);
  // Whether the server sent a service request (AsyncServiceRequest) since
  // the last call; clears the note.
  bool TakeServiceRequest();

  // What Open learned.
  bool overlapped() const { return overlapped_; }
  std::uint16_t session_id() const { return session_id_; }
  std::uint16_t server_version() const { return server_version_; }
  std::uint64_t server_max_message() const { return server_max_; }

 private:
  // A channel's descriptor and the header bytes of its next message that
  // came so far (a wait that ends inside a header goes on from there).
  struct Channel {
    int fd = -1;
    std::uint8_t head[16] = {};
    std::size_t have = 0;
  };
  enum class SyncEvent { kNone, kReply, kEmptyEnd, kClearAcknowledged };

  Status Handshake(Deadline deadline);
  Status Send(Channel& channel, const hislip::Header& header, std::span<const std::uint8_t> payload,
              Deadline deadline, const char* what);
  // Reads what the channel has of its next header; true once it is whole.
  Result<bool> ReadHeader(Channel& channel, hislip::Header* header, Deadline deadline,
                          const char* what);
  // The whole payload of a message that is not data, bounded.
  Status ReadSmallPayload(Channel& channel, const hislip::Header& header, std::string* out,
                          Deadline deadline, const char* what);
  // Waits until one of the channels has input; kTimeout at the deadline.
  Status WaitInput(bool on_sync, bool on_async, Deadline deadline, bool* sync_ready,
                   bool* async_ready);
  // One message (or part of one) from the synchronous channel.
  Result<SyncEvent> SyncStep(Deadline deadline, bool drop_data, std::uint8_t* clear_control);
  // One whole message from the asynchronous channel.
  Status ReadAsync(hislip::Header* header, std::string* payload, Deadline deadline);
  // What arrived on the asynchronous channel unasked (a service request,
  // AsyncInterrupted, an answer owed to a wait that timed out); a FatalError
  // or Error fails.
  Status OnAsync(const hislip::Header& header, const std::string& payload);
  // Waits for the answer of `type` on the asynchronous channel.
  Status AwaitAsync(std::uint8_t type, hislip::Header* header, std::string* payload,
                    Deadline deadline, const char* call);
  Status ServerFatal(const hislip::Header& header, const std::string& text, Errc code);
  Status ServerError(const hislip::Header& header, const std::string& text);
  // The stream cannot be followed any more: FatalError to the server (best
  // effort), both channels closed.
  Status Broken(Status why, std::uint8_t fatal_code);
  // A failed read or write on a channel; a closed connection closes both.
  Status Lost(const Status& st);
  Status LockWith(std::string_view name, Deadline deadline);
  Status EnsureOpen() const;
  Status ClearChannels(Deadline deadline, bool want_overlap);
  void DropPendingReply();

  std::string host_;
  std::string sub_address_;
  Options options_;
  std::string label_;

  Channel sync_;
  Channel async_;
  std::uint16_t session_id_ = 0;
  std::uint16_t server_version_ = 0;
  std::uint64_t server_max_ = 0;
  bool overlapped_ = false;
  bool server_prefers_overlap_ = false;

  std::uint32_t message_id_ = kFirstMessageId;  // the id the next message takes
  std::uint32_t last_sent_ = kFirstMessageId - 2;
  std::uint32_t query_id_ = 0;  // the id of the last DataEnd sent
  bool sent_query_ = false;     // a DataEnd went out since Open or the last clear
  bool rmt_delivered_ = false;  // a whole reply was delivered since the last write
  // The reply message being read: payload bytes still on the socket.
  std::uint64_t payload_left_ = 0;
  bool payload_end_ = false;  // that message is a DataEnd
  // Payload bytes of a dropped message still on the socket.
  std::uint64_t skip_left_ = 0;
  // AsyncInterrupted came first: the synchronous channel's messages are
  // dropped until its Interrupted. Or Interrupted came first: the id the
  // AsyncInterrupted of the pair carries.
  bool await_interrupted_ = false;
  bool interrupted_first_ = false;
  std::uint32_t interrupted_id_ = 0;
  bool service_request_ = false;
  // Answers on the asynchronous channel that a timed-out wait left owed,
  // by message type: dropped when they come.
  std::vector<std::uint8_t> owed_;
};

}  // namespace vex::io
