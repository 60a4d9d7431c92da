// An IVI-6.1 HiSLIP server (versions 1.0 and 2.0, without encryption or
// credentials) for the simulated instrument, served in the simulator's
// event loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/Instrument.h"
#include "hislip/HislipMessage.h"
#include "server/ServerLoop.h"

namespace vex::sim {

struct HislipOptions {
  // The mode InitializeResponse and AsyncDeviceClearAcknowledge offer.
  bool prefer_overlapped = false;
  // The largest Data payload the server takes, as it answers
  // AsyncMaximumMessageSize; at most kHardPayloadLimit.
  uint64_t max_message = uint64_t{1} << 20;
  // Sub-addresses besides "hislip0"; all reach the one instrument.
  std::vector<std::string> subaddresses;
  uint16_t vendor_id = 0x5658;  // "VX"
};

// Each HiSLIP session (a synchronous and an asynchronous channel) gets a
// Session of its own on the shared instrument: its own fault, unread
// replies and message framing.
//
// Replies go out as Data messages ending with DataEnd, carrying the message
// id of the client message that completed the query, split at the payload
// size the client announced with AsyncMaximumMessageSize. A reply held by
// the slow fault waits in the channel's queue (later messages wait behind
// it). In synchronized mode a new Data, DataEnd or Trigger while a reply
// is not wholly sent drops what is not yet sent of it, queues -410 and
// answers Interrupted and AsyncInterrupted; in overlapped mode replies
// simply queue.
//
// Locks: one exclusive holder at a time, or any number of sessions sharing
// a lock of one name; a request that cannot be granted waits (without
// holding up the loop) until granted or its timeout passes. A session's
// locks end with it.
class HislipServer : public ServerLoop::PollClient {
 public:
  using Clock = std::chrono::steady_clock;

  // No payload above this is ever read into memory: a header announcing
  // more is a fatal error.
  static constexpr uint64_t kHardPayloadLimit = uint64_t{64} << 20;
  // Payload limit for the messages other than Data and DataEnd (the
  // sub-address, a lock name).
  static constexpr uint64_t kControlPayloadLimit = 4096;

  HislipServer(Instrument& instrument, HislipOptions options);
  HislipServer(const HislipServer&) = delete;
  HislipServer& operator=(const HislipServer&) = delete;
  ~HislipServer() override;

  // Listens on host:port, host an IPv4 or IPv6 literal ("[::1]" or "::1");
  // port 0 picks a free one. May be called for several addresses. False
  // with `error` set on failure, leaving the others.
  bool Listen(const std::string& host, uint16_t port, std::string& error);

  struct Endpoint {
    std::string text;  // "127.0.0.1:4880", "[::1]:4880"
    uint16_t port = 0;
  };
  std::vector<Endpoint> endpoints() const;

  void AppendPollFds(std::vector<pollfd>& fds) override;
  void OnPolled(std::span<const pollfd> fds) override;
  int MillisUntilDue(Clock::time_point now) const override;

 private:
  struct Outgoing {
    std::vector<uint8_t> bytes;
    std::size_t sent = 0;
    Clock::time_point due;
    bool reply = false;        // a piece of an instrument reply
    bool close_after = false;  // end the session once sent (drop fault)
  };

  enum class Role { kNew, kSync, kAsync };

  struct Channel {
    int fd = -1;
    Role role = Role::kNew;
    uint16_t session = 0;  // 0 until initialized
    std::vector<uint8_t> in;
    uint64_t skip = 0;  // payload bytes of a refused message still to discard
    std::deque<Outgoing> out;
    // After a fatal error: the error goes out, the sending side is shut,
    // and input is discarded until the client closes or the time is up.
    bool lingering = false;
    bool shut = false;
    Clock::time_point linger_until;
    bool closed = false;
  };

  struct LockWait {
    bool exclusive = false;
    std::string name;
    Clock::time_point deadline;
    uint64_t order = 0;
  };

  struct HislipSession {
    std::unique_ptr<Session> session;
    Channel* sync = nullptr;
    Channel* async = nullptr;
    uint16_t version = hislip::kVersion1_0;
    bool overlapped = false;
    bool clearing = false;  // between AsyncDeviceClear and DeviceClearComplete
    uint64_t client_max = UINT64_MAX;
    bool exclusive = false;
    std::optional<std::string> shared;
    std::optional<LockWait> waiting;
  };

  struct Listener {
    int fd = -1;
    std::string text;
    uint16_t port = 0;
  };

  void Accept(const Listener& listener);
  void Read(Channel& ch);
  void Process(Channel& ch);
  void Handle(Channel& ch, const hislip::Header& h, std::span<const uint8_t> payload);
  void Initialize(Channel& ch, const hislip::Header& h, std::span<const uint8_t> payload);
  void AsyncInitialize(Channel& ch, const hislip::Header& h);
  void HandleSync(Channel& ch, HislipSession& s, const hislip::Header& h,
                  std::span<const uint8_t> payload);
  void HandleAsync(Channel& ch, HislipSession& s, const hislip::Header& h,
                   std::span<const uint8_t> payload);
  void Lock(HislipSession& s, const hislip::Header& h, std::span<const uint8_t> payload);
  bool CanGrant(const HislipSession& s, bool exclusive, const std::string& name) const;
  void Grant(HislipSession& s, bool exclusive, const std::string& name);
  void ServeLockWaits(Clock::time_point now);

  // Sends what the session's instrument replies, tagged with `message_id`.
  void CollectReplies(HislipSession& s, uint32_t message_id);
  void Interrupt(HislipSession& s, uint32_t message_id);
  // Drops the reply pieces not yet begun on the synchronous channel.
  static void DropReplies(HislipSession& s);
  static bool ReplyPending(const HislipSession& s);

  void Queue(Channel& ch, std::vector<uint8_t> bytes);
  void Queue(Channel& ch, Outgoing o);
  void Flush(Channel& ch, Clock::time_point now);
  void SendError(Channel& ch, hislip::ErrorCode code, const std::string& text);
  void Fatal(Channel& ch, hislip::FatalCode code, const std::string& text);
  void CloseChannel(Channel& ch);
  // Ends a session and closes its channels (a lingering one stays to finish).
  void EndSession(uint16_t id);
  HislipSession* Find(uint16_t id);

  Instrument& instrument_;
  HislipOptions options_;
  std::vector<Listener> listeners_;
  std::vector<std::unique_ptr<Channel>> channels_;
  std::map<uint16_t, HislipSession> sessions_;
  uint16_t next_session_ = 1;
  uint64_t next_wait_order_ = 0;
  // What AppendPollFds added, in order: a listener or a channel.
  struct PollEntry {
    const Listener* listener = nullptr;
    Channel* channel = nullptr;
  };
  std::vector<PollEntry> polled_;
};

}  // namespace vex::sim
