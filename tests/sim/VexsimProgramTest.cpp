// Runs the vexsim program and talks to it over TCP on 127.0.0.1 and over its
// pty, as the host's transports will. Every wait is bounded.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "VexsimProcess.h"

namespace {

using namespace vex::sim::test;

bool HasLine(const std::string& s) {
  return s.find('\n') != std::string::npos;
}

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string Ask(int fd, const std::string& q) {
  WriteAll(fd, q + "\n");
  return ReadUntil(fd, HasLine);
}

// Complete when the block "#8<len>" and its terminator are in.
bool BlockDone(const std::string& s) {
  if (s.size() < 10) return false;
  return s.size() >= 10 + std::stoul(s.substr(2, 8)) + 1;
}

TEST(VexsimProgram, ServesTcpToSeveralHostsAndSurvivesTheirDeparture) {
  Vexsim sim({"--model", "VDS3024A", "--tcp", "127.0.0.1:0"});
  ASSERT_GT(sim.port(), 0) << sim.banner();
  EXPECT_EQ(sim.Endpoint("tcp").substr(0, 10), "127.0.0.1:");

  const int a = Connect(sim.port());
  const int b = Connect(sim.port());
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_EQ(Ask(a, "*IDN?"), "VEXAN TECHNOLOGIES,VDS3024A,SIM000001,A.03.00\n");
  EXPECT_EQ(Ask(a, ":CHAN4:DISP ON;:CHAN4:DISP?"), "1\n");
  EXPECT_EQ(Ask(b, "CHAN4:DISP?"), "1\n");  // one instrument behind both

  const std::string block = [&] {
    WriteAll(a, ":WAV:FORM BYTE;:WAV:SOUR CHAN1;:WAV:DATA?\n");
    return ReadUntil(a, BlockDone);
  }();
  ASSERT_EQ(block.size(), 10u + 1000u + 1u);
  EXPECT_EQ(block.substr(0, 10), "#800001000");

  // A host that asks for a large block and leaves without reading it.
  WriteAll(b, ":WAV:POIN 8000000;:WAV:DATA?\n");
  close(b);
  close(a);
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(sim.Alive());
  const int c = Connect(sim.port());
  ASSERT_GE(c, 0);
  EXPECT_EQ(Ask(c, ":WAV:POIN?"), "8000000\n");
  WriteAll(c, ":WAV:DATA?\n");
  EXPECT_EQ(ReadUntil(c, BlockDone, nullptr, 20s).size(), 10u + 8'000'000u + 1u);
  close(c);

  EXPECT_EQ(sim.Terminate(), 0);
}

TEST(VexsimProgram, FaultsFromTheCommandLineAndPerConnection) {
  Vexsim sim({"--fault", "DROP", "--fault-delay", "300"});
  ASSERT_GT(sim.port(), 0) << sim.banner();

  // Dropped halfway through the block, then closed.
  const int a = Connect(sim.port());
  WriteAll(a, ":WAV:DATA?\n");
  bool eof = false;
  const std::string cut = ReadUntil(a, BlockDone, &eof);
  EXPECT_TRUE(eof);
  EXPECT_EQ(cut.size(), 10u + 500u);
  close(a);

  // Another connection switches its own fault to a slow answer.
  const int b = Connect(sim.port());
  EXPECT_EQ(Ask(b, ":SIM:FAUL SLOW;:SIM:FAUL:DEL?"), "300\n");
  const auto start = Clock::now();
  EXPECT_EQ(Ask(b, "*TST?"), "+0\n");
  EXPECT_GE(Clock::now() - start, 250ms);

  // No answer: the query times out, and the connection still works after.
  EXPECT_EQ(Ask(b, ":SIM:FAUL NOAN;:SIM:FAUL?"), "NOAN\n");
  WriteAll(b, "*IDN?\n");
  EXPECT_EQ(ReadUntil(b, HasLine, nullptr, 300ms), "");
  EXPECT_EQ(Ask(b, ":SIM:FAUL NONE;*TST?"), "+0\n");
  close(b);
  EXPECT_EQ(sim.Terminate(), 0);
}

TEST(VexsimProgram, PtyActsAsASerialPortAndReportsTheLineSettings) {
  Vexsim sim({"--pty", "--model", "VDS3002A"});
  const std::string path = sim.Endpoint("pty");
  ASSERT_EQ(path.substr(0, 9), "/dev/pts/") << sim.banner();
  EXPECT_EQ(sim.port(), 0);  // only the pty was asked for

  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  termios t{};
  ASSERT_EQ(tcgetattr(fd, &t), 0);
  cfmakeraw(&t);
  cfsetispeed(&t, B19200);
  cfsetospeed(&t, B19200);
  t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);

  EXPECT_EQ(Ask(fd, "*IDN?"), "VEXAN TECHNOLOGIES,VDS3002A,SIM000001,A.03.00\n");
  // Recent Linux ptys always run 8 data bits without parity, whatever the
  // host asks, so only baud, stop bits and flow control are compared.
  const std::string line = Ask(fd, ":SIM:LINE?");
  EXPECT_EQ(line.substr(0, 6), "19200,") << line;
  EXPECT_EQ(line.substr(line.size() - 10), ",2,RTSCTS\n") << line;

  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | CSTOPB | CRTSCTS)) | CS8;
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
  EXPECT_EQ(Ask(fd, ":SIM:LINE?"), "9600,8,NONE,1,NONE\n");

  // Binary block data passes the raw line unchanged.
  WriteAll(fd, ":SIM:PATT ON;:WAV:POIN 300;:WAV:DATA?\n");
  const std::string block = ReadUntil(fd, BlockDone);
  ASSERT_EQ(block.size(), 10u + 300u + 1u);
  for (std::size_t i = 0; i < 300; ++i) {
    ASSERT_EQ(static_cast<uint8_t>(block[10 + i]), i % 256) << i;
  }
  // The host closes and reopens its port; the simulator carries on.
  close(fd);
  const int again = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(again, 0);
  EXPECT_EQ(Ask(again, "*TST?"), "+0\n");
  close(again);
  EXPECT_EQ(sim.Terminate(), 0);
}

TEST(VexsimProgram, RejectsBadOptions) {
  Vexsim sim({"--fault", "MELTDOWN"});
  EXPECT_EQ(sim.banner(), "");
  EXPECT_EQ(sim.Terminate(), 2);  // the usage status, not a server left running
}

}  // namespace
