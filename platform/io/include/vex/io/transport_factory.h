// Makes the transport for an address, from a table keyed by the address's
// kind. The I/O component registers the makers this layer cannot provide
// (the in-process GPIB bus, a GPIB board map) and may replace the defaults.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "vex/io/address.h"
#include "vex/io/port_map.h"
#include "vex/io/transport.h"

namespace vex::io {

class TransportFactory {
 public:
  using Maker = std::function<Result<std::unique_ptr<Transport>>(const Address&)>;

  // An empty table.
  TransportFactory() = default;
  TransportFactory(const TransportFactory&) = delete;
  TransportFactory& operator=(const TransportFactory&) = delete;

  // Registers this layer's transports: serial through `ports`, TCP sockets,
  // HiSLIP, and VXI-11 when built with liblxi. Without `ports`, a serial transport
  // looks its COM name up in the port map as configured at that moment
  // (PortMap::Load), as listing does, and its problems are reported once.
  void RegisterDefaults(std::optional<PortMap> ports = std::nullopt);
  // The process-wide table, with the defaults over the configured port map.
  static TransportFactory& Global();

  void Register(Address::Kind kind, Maker maker);
  bool Supports(Address::Kind kind) const;
  // kUnsupported when nothing is registered for the address's kind. The
  // transport is made closed; the caller opens it.
  Result<std::unique_ptr<Transport>> Make(const Address& address) const;

 private:
  mutable std::mutex mutex_;
  std::map<Address::Kind, Maker> makers_;
};

}  // namespace vex::io
