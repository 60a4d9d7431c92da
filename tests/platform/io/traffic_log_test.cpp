#include "vex/io/traffic_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace vex::io {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(TrafficLogTest, FormatsTextAndBinary) {
  using D = TrafficLog::Direction;
  EXPECT_EQ(TrafficLog::FormatMessage("COM1", D::kWrite, Bytes("*IDN?\n")),
            R"(COM1 > 6 "*IDN?\n")");
  EXPECT_EQ(
      TrafficLog::FormatMessage("COM1", D::kRead, Bytes("a\"b\\c\r\t\x7f, one odd byte in 20")),
      R"(COM1 < 28 "a\"b\\c\r\t\x7f, one odd byte in 20")");
  EXPECT_EQ(TrafficLog::FormatMessage("GPIB0::7::INSTR", D::kRead, Bytes("")),
            R"(GPIB0::7::INSTR < 0 "")");
  std::string bin(100, '\0');
  for (int i = 0; i < 100; ++i) bin[i] = static_cast<char>(i);
  std::string line = TrafficLog::FormatMessage("GPIB0::7::INSTR", D::kRead, Bytes(bin));
  EXPECT_EQ(line,
            "GPIB0::7::INSTR < 100 hex 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 "
            "13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f ... (+68)");
  std::string long_text(1000, 'v');
  line = TrafficLog::FormatMessage("COM2", D::kRead, Bytes(long_text));
  EXPECT_EQ(line, "COM2 < 1000 \"" + std::string(256, 'v') + "\" ... (+744)");
}

// A reopen is one line whatever its reason holds (a system message may
// carry a line end).
TEST(TrafficLogTest, NotesAreOneLineWithAStarForDirection) {
  EXPECT_EQ(TrafficLog::FormatNote("COM1", "reopened /dev/ttyUSB0 after\r\nit hung up"),
            "COM1 * reopened /dev/ttyUSB0 after  it hung up");
}

TEST(TrafficLogTest, ThreadsAppendWholeLines) {
  char path[] = "/tmp/vexio-traffic-XXXXXX";
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  {
    TrafficLog log(path);
    ASSERT_TRUE(log.enabled());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&log, t] {
        std::string msg = ":MEAS:FREQ? CHAN" + std::to_string(t) + "\n";
        for (int i = 0; i < 200; ++i) log.Record("COM1", TrafficLog::Direction::kWrite, Bytes(msg));
      });
    }
    for (auto& th : threads) th.join();
  }
  std::ifstream in(path);
  std::string line;
  int count = 0;
  const std::regex shape(
      R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z COM1 > 18 ":MEAS:FREQ\? CHAN[0-3]\\n")");
  while (std::getline(in, line)) {
    ++count;
    EXPECT_TRUE(std::regex_match(line, shape)) << line;
  }
  EXPECT_EQ(count, 800);
  ::unlink(path);

  TrafficLog nowhere("/nonexistent-dir/log.txt");
  EXPECT_FALSE(nowhere.enabled());
  nowhere.Record("COM1", TrafficLog::Direction::kWrite, Bytes("x"));
}

// The lines standard error got while `body` ran.
template <class Body>
std::vector<std::string> StderrLines(Body body) {
  ::testing::internal::CaptureStderr();
  body();
  const std::string text = ::testing::internal::GetCapturedStderr();
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string Warning(const std::string& path, const std::string& reason) {
  return std::string(program_invocation_short_name) + ": cannot write the I/O log " + path + ": " +
         reason;
}

// A log that cannot be opened or written says so once, naming the file and
// why, however often it is used and however many logs name the same file;
// the messages go on without it. A path below a regular file fails the same
// way for root.
TEST(TrafficLogTest, AnUnwritableLogSaysSoOnceOnStandardError) {
  char pattern[] = "/tmp/vexio-bad-log-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string plain = folder + "/plain";
  { std::ofstream(plain) << "a file\n"; }
  struct Case {
    std::string path;
    std::string reason;
  };
  std::vector<Case> cases = {{folder + "/missing/x.log", "No such file or directory"},
                             {folder, "Is a directory"},
                             {plain + "/x.log", "Not a directory"},
                             {"/dev/full", "No space left on device"}};
  if (::geteuid() != 0) {
    const std::string locked = folder + "/locked.log";
    { std::ofstream(locked) << ""; }
    ::chmod(locked.c_str(), 0444);
    cases.push_back({locked, "Permission denied"});
  }
  for (const Case& c : cases) {
    const auto lines = StderrLines([&] {
      for (int i = 0; i < 2; ++i) {
        TrafficLog log(c.path);
        for (int j = 0; j < 3; ++j) {
          log.Record("COM1", TrafficLog::Direction::kWrite, Bytes("*IDN?\n"));
          log.Note("COM1", "reopened");
        }
      }
    });
    EXPECT_EQ(lines, std::vector<std::string>{Warning(c.path, c.reason)}) << c.path;
  }
  std::filesystem::remove_all(folder);
}

// The user's switch: VEX_IO_LOG names the file (read once per process; no
// other test of this program asks for the process-wide log).
TEST(TrafficLogTest, EnvironmentSwitchesTheLogOn) {
  char path[] = "/tmp/vexio-env-log-XXXXXX";
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ::setenv("VEX_IO_LOG", path, 1);
  TrafficLog* log = TrafficLog::FromEnvironment();
  ::unsetenv("VEX_IO_LOG");
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(TrafficLog::FromEnvironment(), log);
  log->Record("COM4", TrafficLog::Direction::kRead, Bytes("+1.000E+00\n"));
  std::ifstream in(path);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_NE(line.find(" COM4 < 11 \"+1.000E+00\\n\""), std::string::npos) << line;
  ::unlink(path);
}

}  // namespace
}  // namespace vex::io
