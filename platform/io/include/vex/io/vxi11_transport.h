// VXI-11 transport through liblxi, for "TCPIP0::host[::device]::INSTR".
//
// VXI-11 is message-oriented: a read returns data up to the device's END, so
// this transport sets delivers_end(). liblxi reads until END or until the
// buffer is full and reports only the count; a read that fills the buffer
// exactly is taken as not ended (the rest of the message, if any, comes with
// the next read). liblxi's calls take a relative timeout in milliseconds,
// which each call computes from the transfer's deadline. The device name is
// "inst0" for an instrument, "gpibN,a" for address a behind a LAN/GPIB
// gateway.
//
// liblxi keeps the RPC client, and with it the link's socket, to itself.
// Open notes which TCP socket the link opened (the one new connected socket
// that is not the port mapper's), so that PeerClosed can see an instrument
// that closed the link while idle; when that socket cannot be told apart,
// PeerClosed answers false and the next call finds out instead.
#pragma once

#include <sys/types.h>

#include <string>

#include "vex/io/transport.h"

namespace vex::io {

class Vxi11Transport final : public Transport {
 public:
  Vxi11Transport(std::string host, std::string device);
  ~Vxi11Transport() override;

  Status Open(Deadline deadline) override;
  void Close() override;
  bool is_open() const override { return device_id_ >= 0; }
  Status Write(std::span<const std::uint8_t> data, Deadline deadline) override;
  Result<ReadResult> Read(std::span<std::uint8_t> buffer, Deadline deadline) override;
  bool delivers_end() const override { return true; }
  std::string description() const override { return host_ + " " + device_; }
  bool PeerClosed() const override;

 private:
  // liblxi gives no error detail: a failure after the deadline is a timeout.
  Status Failure(const char* what, Deadline deadline) const;

  std::string host_;
  std::string device_;
  int device_id_ = -1;
  // The link's socket as Open found it (descriptor and inode), or -1.
  int link_fd_ = -1;
  ino_t link_inode_ = 0;
};

}  // namespace vex::io
