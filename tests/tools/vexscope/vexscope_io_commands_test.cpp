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

#include "../../platform/io/address_cases.h"
#include "SilentPorts.h"
#include "ToolProcess.h"
#include "VexsimProcess.h"

namespace vex::scope::test {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

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

// Every address goes the same way through test, idn and the control's
// Address: refused by all three with the grammar's message, test and idn
// with the I/O component's status, before anything is probed; or taken by
// all three, the control keeping the grammar's canonical form. The COM names
// lead to paths that do not exist, GPIB0 is the embedded simulated bus.
TEST_F(IoCommands, TestIdnAndTheControlsAddressAgreeOnEveryAddress) {
  setenv("VEX_COM_PORTS",
         "COM1=/dev/vex-none-1,COM2=/dev/vex-none-2,COM3=/dev/vex-none-3,COM4=/dev/vex-none-4", 1);
  int index = 0;
  for (const io::test::AddressCase& c : io::test::AddressCases()) {
    SCOPED_TRACE(c.text);
    const std::string state = StatePath("agree-" + std::to_string(index++) + ".json");
    const ToolRun test = Scope({"-a", c.text, "test"});
    const ToolRun idn = Scope({"-a", c.text, "idn"});
    const ToolRun set = Scope({"--state", state, "set", "Address", "\"" + c.text + "\""});
    if (!c.accepted) {
      // test's message, which the other two must give word for word.
      const std::string prefix = "error 0x80070057: ";
      ASSERT_EQ(test.err.rfind(prefix, 0), 0u) << test.err;
      const std::string message =
          test.err.substr(prefix.size(), test.err.size() - prefix.size() - 1);
      EXPECT_EQ(message.rfind("invalid address \"", 0), 0u) << message;
      EXPECT_THAT(message, HasSubstr(c.canonical_or_reason));
      EXPECT_EQ(test.status, 1);
      EXPECT_EQ(test.out, "");  // no probe, so no verdict
      EXPECT_EQ(idn.status, 1);
      EXPECT_EQ(idn.out, "");
      EXPECT_EQ(idn.err, test.err);
      EXPECT_EQ(set.status, 1);
      EXPECT_EQ(set.err, "error 0x8004017C: " + message + "\n");
      continue;
    }
    ASSERT_EQ(set.status, 0) << set.err;
    const nlohmann::json values = State("agree-" + std::to_string(index - 1) + ".json")["values"];
    if (c.canonical_or_reason == "GPIB0::7::INSTR") {
      EXPECT_FALSE(values.contains("Address")) << values.dump();  // the default is not stored
    } else {
      EXPECT_EQ(values["Address"]["value"], c.canonical_or_reason) << values.dump();
    }
    if (!c.probe) continue;
    EXPECT_THAT(test.out, ContainsRegex("^code [0-5]\n")) << test.err;
    EXPECT_THAT(test.err, Not(HasSubstr("invalid address")));
    EXPECT_THAT(idn.err, Not(HasSubstr("invalid address")));
    if (c.canonical_or_reason == "GPIB0::7::INSTR") {
      EXPECT_EQ(test.status, 0) << test.out;
      EXPECT_EQ(idn.status, 0) << idn.err;
      EXPECT_THAT(idn.out, HasSubstr("model=VDS3004A"));
    }
  }
  unsetenv("VEX_COM_PORTS");
}

}  // namespace
}  // namespace vex::scope::test
