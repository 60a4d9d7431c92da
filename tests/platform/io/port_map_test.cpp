// The configuration reader shared by the port map and the GPIB board map,
// the COM names given to the ports found in a fake device tree, what a device
// path is, and the probe of a port's lock.
#include "vex/io/port_map.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "vex/io/gpib_board_map.h"
#include "vex/io/serial_ports.h"

namespace vex::io {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

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

// A temporary folder with a fake /dev and /sys, and a configuration home.
class TempTree : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vexio-tree-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    top_ = fs::canonical(dir);
    root_.dev = (top_ / "dev").string();
    root_.sys = (top_ / "sys").string();
    fs::create_directories(top_ / "dev/serial/by-id");
    fs::create_directories(top_ / "sys/class/tty");
    fs::create_directories(top_ / "xdg/vex");
  }
  void TearDown() override { fs::remove_all(top_); }

  void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  // A device node (a plain file stands in for it) with its sysfs entry.
  void Node(const std::string& name, std::optional<int> uart_type = std::nullopt) {
    Write(top_ / "dev" / name, "");
    fs::create_directories(top_ / "sys/class/tty" / name);
    if (uart_type) Write(top_ / "sys/class/tty" / name / "type", std::to_string(*uart_type) + "\n");
  }
  void ById(const std::string& id, const std::string& node) {
    fs::create_symlink("../../" + node, top_ / "dev/serial/by-id" / id);
  }
  std::string Dev(const std::string& rel) const { return (top_ / "dev" / rel).string(); }

  fs::path top_;
  DeviceRoot root_;
};

using ConfigTest = TempTree;

TEST_F(ConfigTest, BothMapsReadTheSameFilesAndSkipOnlyTheBadLines) {
  ScopedEnv xdg("XDG_CONFIG_HOME", (top_ / "xdg").c_str());
  ScopedEnv no_port_file("VEX_COM_PORTS_FILE", nullptr);
  ScopedEnv no_board_file("VEX_GPIB_BOARDS_FILE", nullptr);
  ScopedEnv ports_env("VEX_COM_PORTS", "COM1=/dev/pts/3, COM3=/dev/pts/9");
  ScopedEnv boards_env("VEX_GPIB_BOARDS", "2=sim");
  const std::string port_file = (top_ / "xdg/vex/com-ports.conf").string();
  const std::string board_file = (top_ / "xdg/vex/gpib-boards.conf").string();
  Write(port_file,
        "# bench ports\n\nCOM2 = /dev/ttyUSB0\ncom3=/dev/ttyACM1  # left adapter\n"
        "bogus line\nCOM9=/dev/ttyS8\n");
  Write(board_file, "0=sim\nGPIB1 = gateway.example  # lab\n99=sim\n=sim\n3=10.0.0.7\n");

  PortMap ports = PortMap::Load(root_);
  EXPECT_EQ(ports.DevicePath(1), "/dev/pts/3");
  EXPECT_EQ(ports.DevicePath(2), "/dev/ttyUSB0");
  EXPECT_EQ(ports.DevicePath(3), "/dev/pts/9");  // the environment's entry wins
  EXPECT_EQ(ports.DevicePath(4), "");            // nothing found in the empty tree
  EXPECT_TRUE(ports.IsMapped(2));
  EXPECT_EQ(ports.entries().at(2).origin, port_file + ":3");
  EXPECT_EQ(ports.entries().at(1).origin, "VEX_COM_PORTS entry 1");
  // Malformed lines first, then entries that name no COM port.
  ASSERT_EQ(ports.problems().size(), 2u);
  EXPECT_EQ(ports.problems()[0].origin, port_file + ":5");
  EXPECT_THAT(ports.problems()[0].message, HasSubstr("\"bogus line\" is not key=value"));
  EXPECT_EQ(ports.problems()[1].origin, port_file + ":6");
  EXPECT_THAT(ports.problems()[1].message, HasSubstr("does not name COM1 to COM4"));

  GpibBoardMap boards = GpibBoardMap::Load();
  ASSERT_EQ(boards.Boards().size(), 4u);  // 0, 1, 3 from the file, 2 from the environment
  EXPECT_TRUE(boards.Find(0)->simulated);
  EXPECT_EQ(boards.Find(1)->gateway_host, "gateway.example");
  EXPECT_EQ(boards.Find(1)->origin, board_file + ":2");
  EXPECT_TRUE(boards.Find(2)->simulated);
  EXPECT_EQ(boards.Find(3)->gateway_host, "10.0.0.7");
  std::vector<std::string> board_problems;
  for (const auto& p : boards.problems()) board_problems.push_back(p.origin);
  EXPECT_THAT(board_problems,
              ::testing::UnorderedElementsAre(board_file + ":3", board_file + ":4"));

  // A file named by the _FILE variable replaces the one under XDG_CONFIG_HOME;
  // without XDG_CONFIG_HOME the file is under ~/.config.
  {
    ScopedEnv named("VEX_GPIB_BOARDS_FILE", port_file.c_str());
    EXPECT_EQ(ConfigReader::FilePath(kGpibBoardConfig), port_file);
  }
  ScopedEnv no_xdg("XDG_CONFIG_HOME", nullptr);
  ScopedEnv home("HOME", top_.c_str());
  EXPECT_EQ(ConfigReader::FilePath(kPortMapConfig), (top_ / ".config/vex/com-ports.conf").string());
}

TEST_F(ConfigTest, BoardZeroIsSimulatedOnlyWhenNothingIsConfigured) {
  ScopedEnv xdg("XDG_CONFIG_HOME", (top_ / "xdg").c_str());
  ScopedEnv no_file("VEX_GPIB_BOARDS_FILE", nullptr);
  {
    ScopedEnv none("VEX_GPIB_BOARDS", nullptr);
    GpibBoardMap boards = GpibBoardMap::Load();
    ASSERT_EQ(boards.Boards().size(), 1u);
    EXPECT_TRUE(boards.Find(0)->simulated);
    EXPECT_EQ(boards.Find(0)->origin, "default");
  }
  ScopedEnv empty("VEX_GPIB_BOARDS", "");
  EXPECT_TRUE(GpibBoardMap::Load().Boards().empty());
  EXPECT_FALSE(GpibBoardMap::Parse("0=sim,16=sim").ok());
  EXPECT_TRUE(GpibBoardMap::Parse("GPIB0=sim, 1=host").ok());
}

// A gateway is a numeric address or a well-formed name, with an optional
// port of its port mapper; a bad host, a bad port or a board one source maps
// twice is skipped with the file and line (or the variable's entry) and the
// reason. The variable's entry still replaces the file's.
TEST_F(ConfigTest, BoardMapRefusesBadGatewaysAndDuplicatesByFileAndLine) {
  ScopedEnv xdg("XDG_CONFIG_HOME", (top_ / "xdg").c_str());
  ScopedEnv no_file("VEX_GPIB_BOARDS_FILE", nullptr);
  ScopedEnv boards_env("VEX_GPIB_BOARDS", "4=sim, 5=sim, GPIB5=10.0.0.9");
  const std::string file = (top_ / "xdg/vex/gpib-boards.conf").string();
  Write(file,
        "0=127.0.0.1:99999\n1=bogus host\n2=10.0.0.7:1024\nGPIB2=sim\n3=[::1]:5111\n"
        "4=gw-4.lab.example\n0=sim\n6=999.1.1.1\n7=10.0.0.8:\n");

  GpibBoardMap boards = GpibBoardMap::Load();
  std::vector<std::string> problems;
  for (const auto& p : boards.problems()) problems.push_back(p.ToString());
  ASSERT_EQ(problems.size(), 6u) << ::testing::PrintToString(problems);
  EXPECT_THAT(problems[0],
              HasSubstr(file + ":1: GPIB board entry \"0=127.0.0.1:99999\": the "
                               "gateway port \"99999\" is not a number from 1 to 65535"));
  EXPECT_THAT(problems[1], HasSubstr(file + ":2: GPIB board entry \"1=bogus host\": the gateway "
                                            "host \"bogus host\" holds a blank"));
  EXPECT_THAT(problems[2], HasSubstr(file +
                                     ":4: GPIB board entry \"GPIB2=sim\": board 2 is "
                                     "already mapped by " +
                                     file + ":3; the entry is skipped"));
  EXPECT_THAT(problems[3], HasSubstr(file + ":8: GPIB board entry \"6=999.1.1.1\": the gateway "
                                            "host \"999.1.1.1\" is not an IPv4 address"));
  EXPECT_THAT(problems[4], HasSubstr(file + ":9:"));
  EXPECT_THAT(problems[4], HasSubstr("no port after ':'"));
  EXPECT_THAT(problems[5], HasSubstr("VEX_GPIB_BOARDS entry 3: GPIB board entry "
                                     "\"GPIB5=10.0.0.9\": board 5 is already mapped by "
                                     "VEX_GPIB_BOARDS entry 2"));

  EXPECT_EQ(boards.Find(1), nullptr);
  EXPECT_EQ(boards.Find(6), nullptr);
  EXPECT_EQ(boards.Find(7), nullptr);
  ASSERT_NE(boards.Find(0), nullptr);  // the refused line 1 did not take board 0
  EXPECT_TRUE(boards.Find(0)->simulated);
  EXPECT_EQ(boards.Find(0)->origin, file + ":7");
  ASSERT_NE(boards.Find(2), nullptr);
  EXPECT_EQ(boards.Find(2)->gateway_host, "10.0.0.7");
  EXPECT_EQ(boards.Find(2)->gateway_port, 1024);
  ASSERT_NE(boards.Find(3), nullptr);
  EXPECT_EQ(boards.Find(3)->gateway_host, "::1");
  EXPECT_EQ(boards.Find(3)->gateway_port, 5111);
  ASSERT_NE(boards.Find(4), nullptr);
  EXPECT_TRUE(boards.Find(4)->simulated);
  EXPECT_EQ(boards.Find(4)->origin, "VEX_GPIB_BOARDS entry 1");
  ASSERT_NE(boards.Find(5), nullptr);
  EXPECT_TRUE(boards.Find(5)->simulated);

  // The text form fails on the first such entry, naming it.
  auto bad_host = GpibBoardMap::Parse("0=bogus host");
  ASSERT_FALSE(bad_host.ok());
  EXPECT_THAT(bad_host.status().message(),
              HasSubstr("GPIB board map entry 1: GPIB board entry \"0=bogus host\""));
  auto bad_port = GpibBoardMap::Parse("0=127.0.0.1:99999");
  ASSERT_FALSE(bad_port.ok());
  EXPECT_THAT(bad_port.status().message(), HasSubstr("port \"99999\""));
  auto twice = GpibBoardMap::Parse("0=sim, GPIB0=10.0.0.1");
  ASSERT_FALSE(twice.ok());
  EXPECT_THAT(twice.status().message(),
              HasSubstr("GPIB board map entry 2: GPIB board entry \"GPIB0=10.0.0.1\": board 0 is "
                        "already mapped by GPIB board map entry 1"));
  auto gateway = GpibBoardMap::Parse("1=gw.lab.example, 2=10.0.0.5:4111");
  ASSERT_TRUE(gateway.ok()) << gateway.status().message();
  EXPECT_EQ(gateway->Find(1)->gateway_port, kPortMapperPort);
  EXPECT_EQ(gateway->Find(2)->gateway_port, 4111);
}

TEST_F(ConfigTest, PortMapRefusesAPortOneSourceMapsTwice) {
  ScopedEnv xdg("XDG_CONFIG_HOME", (top_ / "xdg").c_str());
  ScopedEnv no_file("VEX_COM_PORTS_FILE", nullptr);
  ScopedEnv ports_env("VEX_COM_PORTS", "COM3=/dev/pts/7, COM2=/dev/pts/8, com2=/dev/pts/9");
  const std::string file = (top_ / "xdg/vex/com-ports.conf").string();
  Write(file, "COM1=/dev/ttyUSB0\nCOM3=/dev/ttyUSB1\ncom1=/dev/ttyUSB2\n");

  PortMap ports = PortMap::FromConfig(ConfigReader::Read(kPortMapConfig));
  ASSERT_EQ(ports.problems().size(), 2u);
  EXPECT_EQ(ports.problems()[0].origin, file + ":3");
  EXPECT_EQ(ports.problems()[0].message,
            "COM1 is already mapped by " + file + ":1; the entry is skipped");
  EXPECT_EQ(ports.problems()[1].origin, "VEX_COM_PORTS entry 3");
  EXPECT_EQ(ports.problems()[1].message,
            "COM2 is already mapped by VEX_COM_PORTS entry 2; the entry is skipped");
  EXPECT_EQ(ports.DevicePath(1), "/dev/ttyUSB0");
  EXPECT_EQ(ports.DevicePath(2), "/dev/pts/8");
  EXPECT_EQ(ports.DevicePath(3), "/dev/pts/7");  // the variable replaces the file's entry

  auto twice = PortMap::Parse("COM1=/dev/pts/1,COM1=/dev/pts/2");
  ASSERT_FALSE(twice.ok());
  EXPECT_THAT(twice.status().message(), HasSubstr("port map entry 2: COM1 is already mapped by "
                                                  "port map entry 1"));
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

using DetectionTest = TempTree;

TEST_F(DetectionTest, AdaptersInByIdOrderComeFirstThenUartsAndAMapPinsItsNames) {
  Node("ttyUSB0");
  Node("ttyUSB1");
  Node("ttyACM0");  // udev gave it no by-id name
  Node("ttyS0", 4);
  Node("ttyS1", 0);  // a node without a UART
  Node("ttyS10", 4);
  Node("ttyS2", 4);
  ById("usb-Prolific_PL2303-if00-port0", "ttyUSB0");
  ById("usb-FTDI_FT232R_A1B2-if00-port0", "ttyUSB1");

  std::vector<std::string> found;
  for (const auto& d : DetectSerialPorts(root_)) found.push_back(d.path);
  EXPECT_THAT(found, ElementsAre(Dev("serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0"),
                                 Dev("serial/by-id/usb-Prolific_PL2303-if00-port0"), Dev("ttyACM0"),
                                 Dev("ttyS0"), Dev("ttyS2"), Dev("ttyS10")));

  PortMap plain;
  plain.FillFree(DetectSerialPorts(root_));
  EXPECT_EQ(plain.DevicePath(1), Dev("serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0"));
  EXPECT_EQ(plain.DevicePath(4), Dev("ttyS0"));
  EXPECT_FALSE(plain.IsMapped(1));

  // An adapter plugged in later sorts before the others and shifts them...
  Node("ttyUSB2");
  ById("usb-Arduino_Uno_75830-if00", "ttyUSB2");
  PortMap shifted;
  shifted.FillFree(DetectSerialPorts(root_));
  EXPECT_EQ(shifted.DevicePath(1), Dev("serial/by-id/usb-Arduino_Uno_75830-if00"));
  EXPECT_EQ(shifted.DevicePath(2), Dev("serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0"));

  // ...unless a map pins them; a pinned device is not given a second name.
  auto pinned = PortMap::Parse("COM1=" + Dev("ttyUSB1") + ",COM3=" + Dev("ttyS0"));
  ASSERT_TRUE(pinned.ok());
  pinned->FillFree(DetectSerialPorts(root_));
  EXPECT_EQ(pinned->DevicePath(1), Dev("ttyUSB1"));
  EXPECT_EQ(pinned->DevicePath(2), Dev("serial/by-id/usb-Arduino_Uno_75830-if00"));
  EXPECT_EQ(pinned->DevicePath(3), Dev("ttyS0"));
  EXPECT_EQ(pinned->DevicePath(4), Dev("serial/by-id/usb-Prolific_PL2303-if00-port0"));
}

TEST_F(DetectionTest, TellsWhatStandsAtAPath) {
  Node("ttyUSB0");
  Node("ttyS0", 4);
  Node("ttyS1", 0);
  Node("ttyACM3");
  ById("usb-FTDI_FT232R_A1B2-if00-port0", "ttyUSB0");

  SerialDevice by_id =
      DescribeSerialDevice(Dev("serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0"), root_);
  EXPECT_EQ(by_id.kind, SerialKind::kUsbAdapter);
  EXPECT_EQ(by_id.id, "usb-FTDI_FT232R_A1B2-if00-port0");
  EXPECT_EQ(by_id.resolved, Dev("ttyUSB0"));
  // The node itself is known by its by-id name too.
  EXPECT_EQ(DescribeSerialDevice(Dev("ttyUSB0"), root_).id, "usb-FTDI_FT232R_A1B2-if00-port0");
  SerialDevice acm = DescribeSerialDevice(Dev("ttyACM3"), root_);
  EXPECT_EQ(acm.kind, SerialKind::kUsbAdapter);
  EXPECT_EQ(acm.id, "");
  EXPECT_EQ(DescribeSerialDevice(Dev("ttyS0"), root_).kind, SerialKind::kUart);
  EXPECT_EQ(DescribeSerialDevice(Dev("ttyS1"), root_).kind, SerialKind::kNoUart);
  EXPECT_EQ(DescribeSerialDevice(Dev("ttyS7"), root_).kind, SerialKind::kMissing);
  EXPECT_EQ(DescribeSerialDevice("/dev/null").kind, SerialKind::kOther);
  EXPECT_STREQ(SerialKindName(SerialKind::kNoUart), "no-uart");
}

TEST(SerialPortsTest, APtyIsListedWhenMappedAndItsLockIsSeenWithoutOpeningIt) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(0, ::grantpt(master));
  ASSERT_EQ(0, ::unlockpt(master));
  std::string slave = ::ptsname(master);
  EXPECT_EQ(DescribeSerialDevice(slave).kind, SerialKind::kPty);

  auto map = PortMap::Parse("COM2=" + slave + ",COM3=/dev/does-not-exist");
  ASSERT_TRUE(map.ok());
  auto ports = ListComPorts(*map);
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].name, "COM2");
  EXPECT_EQ(ports[0].device, slave);
  EXPECT_TRUE(ports[0].mapped);

  EXPECT_FALSE(ProbePortHolder(slave).held);
  int holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  PortHolder probe = ProbePortHolder(slave);
  EXPECT_TRUE(probe.held);
  EXPECT_EQ(probe.pid, ::getpid());
  ::close(holder);
  EXPECT_FALSE(ProbePortHolder(slave).held);
  EXPECT_FALSE(ProbePortHolder("/dev/does-not-exist").held);
  ::close(master);
}

}  // namespace
}  // namespace vex::io
