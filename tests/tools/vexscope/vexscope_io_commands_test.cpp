// `vexscope test` and `vexscope search` as a child process: the control's
// identification and search without the automation server, with the state
// file remembering the address and the search criteria between runs.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "SilentPorts.h"
#include "ToolProcess.h"
#include "VexsimProcess.h"

namespace vex::scope::test {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;

namespace fs = std::filesystem;

class IoCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("VEXSCOPE_ADDRESS");
    unsetenv("VEX_GPIB_BOARDS");
    setenv("VEX_GPIB_BOARDS_FILE", "/nonexistent", 1);
    if (!std::getenv("VEXCOM_REGISTRY")) {
      setenv("VEXCOM_REGISTRY", (std::string(VEX_TEST_TMP) + "/io-registry.json").c_str(), 1);
    }
  }
  void SetUp() override {
    folder_ = std::string(VEX_TEST_TMP) + "/io-cli";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  ToolRun Scope(std::vector<std::string> args) { return RunTool(VEXSCOPE_PATH, std::move(args)); }
  nlohmann::json State(const std::string& name) {
    std::ifstream file(folder_ + "/" + name);
    return nlohmann::json::parse(file);
  }
  std::string StatePath(const std::string& name) { return folder_ + "/" + name; }

  std::string folder_;
};

TEST_F(IoCommands, TestIdentifiesTheInstrumentAndTheStateRemembersTheAddress) {
  sim::test::Vexsim simulator({"--tcp", "127.0.0.1:0"});
  ASSERT_GT(simulator.port(), 0) << simulator.banner();
  const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(simulator.port()) + "::SOCKET";
  ToolRun run = Scope({"--state", StatePath("scope.json"), "test", address});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("code 0\nVexan 8100 Instrument Test Result\nSuccess -- "));
  EXPECT_THAT(run.out, HasSubstr("At address:"));
  const std::string saved = State("scope.json")["values"].dump();
  EXPECT_THAT(saved, HasSubstr(address));
  EXPECT_THAT(saved, HasSubstr("VEXAN TECHNOLOGIES"));

  // Without an address the state's is tested; JSON carries the same verdict.
  run = Scope({"--state", StatePath("scope.json"), "--json", "test"});
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json verdict = nlohmann::json::parse(run.out);
  EXPECT_EQ(verdict["code"], 0);
  EXPECT_EQ(verdict["address"], address);
  EXPECT_THAT(verdict["reply"].get<std::string>(), HasSubstr(",VDS"));
}

TEST_F(IoCommands, TestOfAMissingPortFailsAndLeavesTheStateAlone) {
  ToolRun run = Scope({"--state", StatePath("missing.json"), "test", "GPIB3::4::INSTR"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.out, HasSubstr("This I/O port was NOT found."));
  EXPECT_FALSE(fs::exists(StatePath("missing.json")));
}

TEST_F(IoCommands, SearchListsTheBusInstrumentsAndMarksTheActiveAddress) {
  SilentPorts ports;
  ASSERT_TRUE(ports.ok());
  setenv("VEX_COM_PORTS", ports.PortMap().c_str(), 1);
  setenv("VEX_SIM_BUS", "7=VDS3004A,9=VDS3002A", 1);
  ToolRun run = Scope({"--state", StatePath("search.json"), "-a", "GPIB0::9::INSTR", "search"});
  unsetenv("VEX_SIM_BUS");
  unsetenv("VEX_COM_PORTS");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("no instruments were found connected to them:\n    COM1\n"));
  EXPECT_THAT(run.out, ContainsRegex("  VDS3004A +X GPIB0::7 +VEXAN TECHNOLOGIES"));
  EXPECT_THAT(run.out, ContainsRegex("\\* VDS3002A +X GPIB0::9 +VEXAN TECHNOLOGIES"));
  EXPECT_THAT(run.err, HasSubstr("Search Complete."));
  // The address given and the criteria, with the ports the search installed.
  const nlohmann::json values = State("search.json")["values"];
  EXPECT_EQ(values["Address"]["value"], "GPIB0::9::INSTR") << values.dump();
  EXPECT_EQ(values["SearchCriteria"]["type"], "VT_ARRAY|VT_UI1") << values.dump();
}

}  // namespace
}  // namespace vex::scope::test
