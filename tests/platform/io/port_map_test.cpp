#include "vex/io/port_map.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "vex/io/serial_ports.h"

namespace vex::io {
namespace {

// Sets or clears an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(PortMapTest, EnvironmentOverridesFileOverridesDefault) {
  char path[] = "/tmp/vexio-ports-XXXXXX";
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  {
    std::ofstream f(path);
    f << "# bench ports\n\nCOM2 = /dev/ttyUSB0\ncom3=/dev/ttyACM1\nbogus line\n";
  }
  ScopedEnv file("VEX_COM_PORTS_FILE", path);
  ScopedEnv env("VEX_COM_PORTS", "COM1=/dev/pts/3, COM3=/dev/pts/9");
  PortMap map = PortMap::FromEnvironment();
  ::unlink(path);
  EXPECT_EQ(map.DevicePath(1), "/dev/pts/3");
  EXPECT_EQ(map.DevicePath(2), "/dev/ttyUSB0");
  EXPECT_EQ(map.DevicePath(3), "/dev/pts/9");
  EXPECT_EQ(map.DevicePath(4), "/dev/ttyS3");
  EXPECT_TRUE(map.IsMapped(2));
  EXPECT_FALSE(map.IsMapped(4));

  ScopedEnv none("VEX_COM_PORTS", nullptr);
  ScopedEnv nofile("VEX_COM_PORTS_FILE", "/nonexistent/vex-ports.conf");
  PortMap plain = PortMap::FromEnvironment();
  EXPECT_TRUE(plain.entries().empty());
  EXPECT_EQ(plain.DevicePath(1), "/dev/ttyS0");
}

TEST(PortMapTest, ParseRejectsBadEntries) {
  EXPECT_TRUE(PortMap::Parse("COM1=/dev/pts/1,COM4=/dev/ttyUSB3").ok());
  for (const char* bad :
       {"COM5=/dev/ttyS4", "COM1", "COM1=", "LPT1=/dev/lp0", "COM1::Baud=9600=/dev/x"}) {
    SCOPED_TRACE(bad);
    auto r = PortMap::Parse(bad);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.status().message().find("port map entry"), std::string::npos)
        << r.status().message();
  }
}

TEST(PortMapTest, ListsMappedPtyAndSkipsAbsentDevices) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(0, ::grantpt(master));
  ASSERT_EQ(0, ::unlockpt(master));
  std::string slave = ::ptsname(master);
  auto map = PortMap::Parse("COM2=" + slave + ",COM3=/dev/does-not-exist");
  ASSERT_TRUE(map.ok());
  auto ports = ListComPorts(*map);
  bool com2 = false;
  for (const auto& p : ports) {
    EXPECT_NE(p.name, "COM3");
    if (p.name == "COM2") {
      com2 = true;
      EXPECT_EQ(p.device, slave);
      EXPECT_TRUE(p.mapped);
    }
    // Unmapped ports are listed only when a UART is behind them.
    if (!p.mapped) {
      EXPECT_TRUE(IsSerialDevicePresent(p.device, false));
    }
  }
  EXPECT_TRUE(com2);
  // A pty is never taken for a real port unless it is mapped.
  EXPECT_FALSE(IsSerialDevicePresent(slave, false));
  for (const auto& dev : ListSerialDevices()) EXPECT_NE(dev.rfind("/dev/", 0), std::string::npos);
  ::close(master);
}

}  // namespace
}  // namespace vex::io
