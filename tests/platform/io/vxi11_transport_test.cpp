#ifdef VEX_IO_HAVE_VXI11
#include "vex/io/vxi11_transport.h"

#include <gtest/gtest.h>

#include "vex/io/transport_factory.h"

namespace vex::io {
namespace {

using std::chrono::milliseconds;

// No portmapper listens on the loopback address in the test environment: the
// connect fails, promptly and naming the host, rather than hanging.
TEST(Vxi11TransportTest, ConnectWithoutAServerFailsClearly) {
  TransportFactory f;
  f.RegisterDefaults(PortMap{});
  auto t = f.Make(*ParseAddress("TCPIP0::127.0.0.1::inst0::INSTR"));
  ASSERT_TRUE(t.ok()) << t.status().ToString();
  EXPECT_TRUE((*t)->delivers_end());
  EXPECT_EQ((*t)->description(), "127.0.0.1 inst0");
  auto start = Clock::now();
  Status st = (*t)->Open(DeadlineAfter(milliseconds(1000)));
  EXPECT_FALSE(st.ok());
  EXPECT_NE(st.message().find("127.0.0.1"), std::string::npos) << st.message();
  EXPECT_LT(Clock::now() - start, milliseconds(3000));
  EXPECT_FALSE((*t)->is_open());
  std::uint8_t buf[4];
  EXPECT_EQ((*t)->Read(buf, DeadlineAfter(milliseconds(10))).status().code(), Errc::kNotOpen);
}

}  // namespace
}  // namespace vex::io
#endif
