#include "vex/io/transport_factory.h"

#include "vex/io/hislip_transport.h"
#include "vex/io/serial_transport.h"
#include "vex/io/tcp_transport.h"
#ifdef VEX_IO_HAVE_VXI11
#include "vex/io/vxi11_transport.h"
#endif

namespace vex::io {

void TransportFactory::RegisterDefaults(std::optional<PortMap> ports) {
  Register(Address::Kind::kSerial, [ports](const Address& a) -> Result<std::unique_ptr<Transport>> {
    std::string device;
    if (ports) {
      device = ports->DevicePath(a.board);
    } else {
      PortMap now = PortMap::Load();
      ConfigReader::ReportOnce(now.problems());
      device = now.DevicePath(a.board);
    }
    if (device.empty())
      return Status(Errc::kNotOpen, a.interface_name() +
                                        " names no serial port: the port map (VEX_COM_PORTS, "
                                        "com-ports.conf) does not name it, and no further USB "
                                        "serial adapter or UART was found");
    return std::unique_ptr<Transport>(new SerialTransport(device, a.serial_settings()));
  });
  Register(Address::Kind::kTcpSocket, [](const Address& a) -> Result<std::unique_ptr<Transport>> {
    return std::unique_ptr<Transport>(new TcpTransport(a.host, a.port));
  });
  Register(Address::Kind::kHislip, [](const Address& a) -> Result<std::unique_ptr<Transport>> {
    HislipTransport::Options options;
    options.port = a.port;
    return std::unique_ptr<Transport>(new HislipTransport(a.host, a.device, options));
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
    f->RegisterDefaults();
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
