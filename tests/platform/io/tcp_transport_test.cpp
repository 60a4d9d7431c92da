#include "vex/io/tcp_transport.h"

#include <gtest/gtest.h>

#include "peers.h"
#include "vex/io/transport_factory.h"

namespace vex::io {
namespace {

using std::chrono::milliseconds;

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(TcpTransportTest, RefusedConnectAndUseWhenClosed) {
  // A port that was just free: nothing listens there.
  int port;
  {
    testing::TcpPeer probe;
    ASSERT_TRUE(probe.Start());
    port = probe.port();
  }
  TcpTransport t("127.0.0.1", port);
  Status st = t.Open(DeadlineAfter(milliseconds(1000)));
  EXPECT_EQ(st.code(), Errc::kIoError);
  EXPECT_EQ(st.sys_errno(), ECONNREFUSED);
  EXPECT_NE(st.message().find("127.0.0.1:" + std::to_string(port)), std::string::npos);
  EXPECT_FALSE(t.is_open());
  std::uint8_t buf[4];
  EXPECT_EQ(t.Read(buf, DeadlineAfter(milliseconds(10))).status().code(), Errc::kNotOpen);
  EXPECT_EQ(t.Write(Bytes("x"), DeadlineAfter(milliseconds(10))).code(), Errc::kNotOpen);
}

TEST(TransportFactoryTest, MakesByKindAndTakesRegistrations) {
  auto map = PortMap::Parse("COM2=/dev/pts/77");
  ASSERT_TRUE(map.ok());
  TransportFactory f;
  f.RegisterDefaults(*map);
  auto serial = f.Make(*ParseAddress("COM2::Baud=19200"));
  ASSERT_TRUE(serial.ok());
  EXPECT_EQ((*serial)->description(), "/dev/pts/77");
  auto tcp = f.Make(*ParseAddress("TCPIP0::127.0.0.1::5025::SOCKET"));
  ASSERT_TRUE(tcp.ok());
  EXPECT_EQ((*tcp)->description(), "127.0.0.1:5025");

  auto gpib = f.Make(*ParseAddress("GPIB0::7::INSTR"));
  ASSERT_FALSE(gpib.ok());
  EXPECT_EQ(gpib.status().code(), Errc::kUnsupported);
  EXPECT_NE(gpib.status().message().find("GPIB0::7::INSTR"), std::string::npos);

  int made = 0;
  f.Register(Address::Kind::kGpib, [&made](const Address& a) -> Result<std::unique_ptr<Transport>> {
    ++made;
    return std::unique_ptr<Transport>(new TcpTransport("127.0.0.1", 1000 + a.gpib_address));
  });
  gpib = f.Make(*ParseAddress("GPIB1::9::INSTR"));
  ASSERT_TRUE(gpib.ok());
  EXPECT_EQ(made, 1);
  EXPECT_EQ((*gpib)->description(), "127.0.0.1:1009");
}

}  // namespace
}  // namespace vex::io
