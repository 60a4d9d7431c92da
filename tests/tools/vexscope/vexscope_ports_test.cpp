// `vexscope ports` as users run it: a child process listing the COM port map
// and the GPIB board map from its environment and a board file, with a pty
// behind one COM name, a missing device behind another, and a malformed
// board line. It opens no instrument connection, so it needs no simulator.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ToolProcess.h"

namespace vex::scope::test {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

class VexscopePorts : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    pty_ = ::ptsname(master_);
    board_file_ = std::string(VEX_TEST_TMP) + "/vexscope-ports-boards.conf";
    std::ofstream(board_file_) << "0=sim\n1 = gateway.example\nthree=sim\n";
    ::setenv("VEX_COM_PORTS", ("COM2=" + pty_ + ",COM3=/dev/vex-no-such-port").c_str(), 1);
    ::setenv("VEX_COM_PORTS_FILE", "/nonexistent/com-ports.conf", 1);
    ::setenv("VEX_GPIB_BOARDS_FILE", board_file_.c_str(), 1);
    ::unsetenv("VEX_GPIB_BOARDS");
  }
  void TearDown() override {
    ::close(master_);
    ::unlink(board_file_.c_str());
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  int master_ = -1;
  std::string pty_;
  std::string board_file_;
};

TEST_F(VexscopePorts, ListsBothMapsAsTheComponentSeesThem) {
  ToolRun run = RunTool(VEXSCOPE_PATH, {"ports"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 7u) << run.out;  // COM1..COM4, two boards, one skipped line
  EXPECT_THAT(lines[0], MatchesRegex("COM1 .*"));
  EXPECT_THAT(lines[1],
              MatchesRegex("COM2 +" + pty_ + " +pty +free +port map, VEX_COM_PORTS entry 1"));
  EXPECT_THAT(lines[2], MatchesRegex("COM3 +/dev/vex-no-such-port +missing +- +port map, "
                                     "VEX_COM_PORTS entry 2"));
  EXPECT_THAT(lines[3], MatchesRegex("COM4 .*"));
  EXPECT_THAT(lines[4],
              MatchesRegex("GPIB0 +sim +simulated bus +- +board map, " + board_file_ + ":1"));
  EXPECT_THAT(lines[5], MatchesRegex("GPIB1 +gateway.example +VXI-11 gateway .*:2"));
  EXPECT_THAT(lines[6], HasSubstr("skipped: " + board_file_ + ":3: GPIB board entry"));
  EXPECT_EQ(run.err, "");
}

TEST_F(VexscopePorts, JsonSaysWhoHoldsAPort) {
  int holder = ::open(pty_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  ToolRun run = RunTool(VEXSCOPE_PATH, {"ports", "--json"});
  ::close(holder);
  ASSERT_EQ(run.status, 0) << run.err;
  auto doc = nlohmann::json::parse(run.out);
  ASSERT_EQ(doc["ports"].size(), 4u);
  const auto& com2 = doc["ports"][1];
  EXPECT_EQ(com2["name"], "COM2");
  EXPECT_EQ(com2["device"], pty_);
  EXPECT_EQ(com2["kind"], "pty");
  EXPECT_EQ(com2["source"], "port map");
  EXPECT_EQ(com2["held"], true);
  EXPECT_EQ(com2["holder_pid"], ::getpid());
  EXPECT_EQ(doc["ports"][2]["kind"], "missing");
  EXPECT_EQ(doc["ports"][2]["held"], false);
  ASSERT_EQ(doc["boards"].size(), 2u);
  EXPECT_EQ(doc["boards"][1]["target"], "gateway.example");
  EXPECT_EQ(doc["boards"][1]["kind"], "VXI-11 gateway");
  ASSERT_EQ(doc["problems"].size(), 1u);
  EXPECT_THAT(doc["problems"][0].get<std::string>(), HasSubstr(board_file_ + ":3"));
}

}  // namespace
}  // namespace vex::scope::test
