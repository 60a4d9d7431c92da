// A listening TCP socket on a local address.
#pragma once

#include <cstdint>
#include <string>

namespace vex::sim {

class TcpListener {
 public:
  TcpListener() = default;
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;
  ~TcpListener();

  // Binds host:port (port 0 picks a free one) and listens. False with
  // `error` set on failure.
  bool Listen(const std::string& host, uint16_t port, std::string& error);

  // A new non-blocking connection, or -1 when none is waiting.
  int Accept();

  int fd() const { return fd_; }
  uint16_t port() const { return port_; }
  const std::string& host() const { return host_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  std::string host_;
};

}  // namespace vex::sim
