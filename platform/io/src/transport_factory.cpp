#include "vex/io/transport_factory.h"

#include "vex/io/serial_transport.h"
#include "vex/io/tcp_transport.h"
#ifdef VEX_IO_HAVE_VXI11
#include "vex/io/vxi11_transport.h"
#endif

namespace vex::io {

void TransportFactory::RegisterDefaults(PortMap ports) {
  Register(Address::Kind::kSerial, [ports](const Address& a) -> Result<std::unique_ptr<Transport>> {
    return std::unique_ptr<Transport>(
        new SerialTransport(ports.DevicePath(a.board), a.serial_settings()));
  });
  Register(Address::Kind::kTcpSocket, [](const Address& a) -> Result<std::unique_ptr<Transport>> {
    return std::unique_ptr<Transport>(new TcpTransport(a.host, a.port));
  });
#ifdef VEX_IO_HAVE_VXI11
  Register(Address::Kind::kVxi11, [](const Address& a) -> Result<std::unique_ptr<Transport>> {
    return std::unique_ptr<Transport>(new Vxi11Transport(a.host, a.device));
  });
#endif
}

TransportFactory& TransportFactory::Global() {
  static TransportFactory* global = [] {
    auto* f = new TransportFactory;
    f->RegisterDefaults(PortMap::FromEnvironment());
    return f;
  }();
  return *global;
}

void TransportFactory::Register(Address::Kind kind, Maker maker) {
  std::lock_guard<std::mutex> lock(mutex_);
  makers_[kind] = std::move(maker);
}

bool TransportFactory::Supports(Address::Kind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return makers_.count(kind) != 0;
}

Result<std::unique_ptr<Transport>> TransportFactory::Make(const Address& address) const {
  Maker maker;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = makers_.find(address.kind);
    if (it == makers_.end())
      return Status(Errc::kUnsupported, "no transport serves " + address.bus_type() +
                                            " address \"" + address.ToString() + "\"");
    maker = it->second;
  }
  return maker(address);
}

}  // namespace vex::io
