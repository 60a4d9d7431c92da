// Raw TCP socket transport ("TCPIP0::host::port::SOCKET").
#pragma once

#include <string>

#include "vex/io/transport.h"

namespace vex::io {

class TcpTransport final : public Transport {
 public:
  struct Options {
    // SO_SNDBUF in bytes; 0 keeps the system default.
    int send_buffer = 0;
    // TCP_NODELAY: commands are small and each one is waited for, so Nagle's
    // delay would only add latency.
    bool no_delay = true;
  };

  TcpTransport(std::string host, int port);
  TcpTransport(std::string host, int port, Options options);
  ~TcpTransport() override;

  // Resolves the host (getaddrinfo, which has no deadline of its own), then
  // connects to each address in turn with a non-blocking connect bounded by
  // the deadline.
  Status Open(Deadline deadline) override;
  void Close() override;
  bool is_open() const override { return fd_ >= 0; }
  Status Write(std::span<const std::uint8_t> data, Deadline deadline) override;
  Status WriteWithin(std::span<const std::uint8_t> data,
                     std::chrono::milliseconds timeout) override;
  Result<ReadResult> Read(std::span<std::uint8_t> buffer, Deadline deadline) override;
  Status DiscardInput() override;
  // Connects afresh: the instrument drops the output of the old connection,
  // so a reply still due on it never arrives on the new one.
  bool can_clear() const override { return true; }
  Status Clear(Deadline deadline) override;
  std::string description() const override;
  bool PeerClosed() const override;

  int native_handle() const { return fd_; }

 private:
  std::string host_;
  int port_;
  std::string label_;  // "host:port", for messages
  Options options_;
  int fd_ = -1;
  long long receive_timeout_us_ = -1;  // the socket's SO_RCVTIMEO, -1 unknown
};

}  // namespace vex::io
