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

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kTimeout = 5s;

// Reads from fd until `done` says the bytes are complete, EOF, or the deadline.
// Returns what was read; `eof` tells whether the peer closed.
std::string ReadUntil(int fd, const std::function<bool(const std::string&)>& done,
                      bool* eof = nullptr, std::chrono::milliseconds timeout = kTimeout) {
  const auto deadline = Clock::now() + timeout;
  std::string got;
  if (eof != nullptr) *eof = false;
  while (!done(got)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    char buf[65536];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      if (eof != nullptr) *eof = true;
      break;
    }
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

bool HasLine(const std::string& s) {
  return s.find('\n') != std::string::npos;
}

void WriteAll(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = write(fd, s.data() + done, s.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ASSERT_GT(n, 0) << std::strerror(errno);
    done += static_cast<std::size_t>(n);
  }
}

// The vexsim program as a child process, stopped by SIGTERM at the end.
class Vexsim {
 public:
  explicit Vexsim(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      std::string path = VEXSIM_PATH;
      argv.push_back(path.data());
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(path.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
    // The endpoints are announced before "ready".
    banner_ = ReadUntil(
        out_, [](const std::string& s) { return s.find("ready\n") != std::string::npos; });
  }

  ~Vexsim() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // The value of the banner line starting with `kind` ("tcp", "pty").
  std::string Endpoint(const std::string& kind) const {
    const auto at = banner_.find(kind + " ");
    if (at == std::string::npos) return {};
    const auto end = banner_.find('\n', at);
    return banner_.substr(at + kind.size() + 1, end - at - kind.size() - 1);
  }

  int port() const {
    const std::string ep = Endpoint("tcp");
    return ep.empty() ? 0 : std::stoi(ep.substr(ep.rfind(':') + 1));
  }

  // Sends SIGTERM; the exit status, or -1 when it did not end in time.
  int Terminate() {
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + kTimeout;
    while (Clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

  bool Alive() const { return pid_ > 0 && kill(pid_, 0) == 0; }
  const std::string& banner() const { return banner_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string banner_;
};

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
