// vexscope with --state through the scope control, in child processes on the
// simulated bus: the control's own properties without a connection, the
// state written by one process and read by the next (only keys away from
// their defaults), instrument members through the control, and the
// control's errors in its language, with the file left as it was; setup,
// test and search working on the control's own setups and configuration.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "SilentPorts.h"
#include "ToolProcess.h"

namespace vex::scope::test {
namespace {

class ControlState : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("VEXSCOPE_ADDRESS");
    setenv("VEX_SIM_BUS", "7=VDS3004A", 1);
    if (!std::getenv("VEXCOM_REGISTRY"))
      setenv("VEXCOM_REGISTRY", (std::string(VEX_TEST_TMP) + "/control-registry.json").c_str(), 1);
    folder_ = std::string(VEX_TEST_TMP) + "/control-cli";
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    state_ = folder_ + "/scope.json";
  }
  ToolRun Scope(std::vector<std::string> args) {
    args.insert(args.begin(), {"--state", state_});
    return RunTool(VEXSCOPE_PATH, std::move(args));
  }
  std::string State() const {
    std::ifstream in(state_);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string folder_;
  std::string state_;
};

TEST_F(ControlState, OwnPropertiesPersistWithoutConnecting) {
  // An address where nothing answers: setting properties never connects.
  ToolRun run = Scope({"-a", "GPIB0::3::INSTR", "set", "TXDelay", "120"});
  ASSERT_EQ(run.status, 0) << run.err;
  run = Scope({"set", "ResetOnInitialize", "true"});
  ASSERT_EQ(run.status, 0) << run.err;
  run = Scope({"call", "Setups.Add", "\"Bench\""});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string text = State();
  EXPECT_NE(text.find("\"TXDelay\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"ResetOnIntialize\""), std::string::npos) << text;
  EXPECT_EQ(text.find("\"ResetOnInitialize\""), std::string::npos) << text;
  EXPECT_NE(text.find("GPIB0::3::INSTR"), std::string::npos) << text;
  EXPECT_EQ(text.find("\"CheckIDOnIntialize\""), std::string::npos) << text;  // at its default
  run = Scope({"get", "TXDelay"});
  EXPECT_EQ(run.out, "120\n");
  run = Scope({"get", "Setups.Count"});
  EXPECT_EQ(run.out, "1\n");
  run = Scope({"get", "InstrumentConnected"});
  EXPECT_EQ(run.out, "false\n");
}

// TXDelay waits at most ten seconds: the bound is taken, one more refused
// with the control's invalid-value error and the file kept; a state file
// holding more loads the default.
TEST_F(ControlState, TXDelayIsBoundedAndAStoredValueAboveTheBoundLoadsTheDefault) {
  ASSERT_EQ(Scope({"set", "TXDelay", "10000"}).status, 0);
  const std::string before = State();
  for (const char* refused : {"10001", "2147483647", "-1"}) {
    ToolRun run = Scope({"set", "TXDelay", refused});
    EXPECT_EQ(run.status, 1) << refused;
    EXPECT_EQ(run.err, "error 0x8004017C: Invalid property value.\n") << refused;
  }
  EXPECT_EQ(State(), before);
  EXPECT_EQ(Scope({"get", "TXDelay"}).out, "10000\n");

  std::string text = State();
  const std::size_t at = text.find("10000");
  ASSERT_NE(at, std::string::npos) << text;
  text.replace(at, 5, "2147483647");
  std::ofstream(state_) << text;
  ToolRun run = Scope({"get", "TXDelay"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "50\n");
}

TEST_F(ControlState, InstrumentMembersConnectThroughTheControl) {
  ToolRun run = Scope({"get", "Timebase.HorizontalRange"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(run.out.empty());
  run = Scope({"idn"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("VDS3004A"), std::string::npos);
  // The instrument's identity is remembered by the control.
  EXPECT_NE(State().find("ActiveAddressInstrumentID"), std::string::npos);
}

TEST_F(ControlState, ErrorsComeInTheControlsLanguageAndKeepTheFile) {
  ASSERT_EQ(Scope({"set", "CountryCode", "49"}).status, 0);
  const std::string before = State();
  ToolRun run = Scope({"-a", "GPIB0::3::INSTR", "call", "AutoScale"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("error 0x8004003B: Die Verbindung"), std::string::npos) << run.err;
  EXPECT_EQ(State(), before);
  run = Scope({"set", "CountryCode", "44"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("0x8004017C"), std::string::npos) << run.err;
}

TEST_F(ControlState, SetupsAreTheControlsOwnAndTheWholeStateIsKept) {
  ASSERT_EQ(Scope({"set", "TXDelay", "120"}).status, 0);
  ToolRun run = Scope({"setup", "get", "Bench", "--comments", "shelf 3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("Bench: taken from VDS3004A", 0), 0u) << run.out;
  // The control reads the setup the command stored, and its other
  // properties survived the command's save.
  run = Scope({"get", "Setups.Count"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "1\n");
  EXPECT_EQ(Scope({"get", "TXDelay"}).out, "120\n");
  run = Scope({"setup", "list"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("* Bench ", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("shelf 3"), std::string::npos) << run.out;
  // A setup added through the control's members is one the command sees.
  ASSERT_EQ(Scope({"call", "Setups.Add", "\"Spare\""}).status, 0);
  run = Scope({"setup", "show", "spare"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("name: Spare\n", 0), 0u) << run.out;

  ASSERT_EQ(Scope({"setup", "remove", "bench"}).status, 0);
  EXPECT_EQ(Scope({"get", "Setups.Count"}).out, "1\n");
  ASSERT_EQ(Scope({"setup", "remove", "Spare"}).status, 0);
  EXPECT_EQ(Scope({"get", "Setups.Count"}).out, "0\n");
  const std::string text = State();
  EXPECT_EQ(text.find("SetupName"), std::string::npos) << text;
  EXPECT_EQ(text.find("LearnString"), std::string::npos) << text;
  EXPECT_NE(text.find("\"TXDelay\""), std::string::npos) << text;
}

TEST_F(ControlState, SetupErrorsComeInTheControlsLanguageAndKeepTheFile) {
  ASSERT_EQ(Scope({"set", "CountryCode", "49"}).status, 0);
  const std::string before = State();
  const std::string notes = folder_ + "/notes.txt";
  std::ofstream(notes) << "not a setup\n";
  ToolRun run = Scope({"setup", "open", notes});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "error 0x80040141: Die ausgew\u00e4hlte Datei ist keine Konfigurationsdatei (" + notes +
                ").\n");
  // get connects through the control's Initialize: nothing answers there.
  run = Scope({"-a", "GPIB0::3::INSTR", "setup", "get", "Bench"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("error 0x8004003B: Die Verbindung"), std::string::npos) << run.err;
  EXPECT_EQ(State(), before);
}

TEST_F(ControlState, TestAndSearchUseTheControlsConfiguration) {
  ASSERT_EQ(Scope({"-a", "GPIB0::3::INSTR", "set", "TXDelay", "120"}).status, 0);
  ToolRun run = Scope({"test", "GPIB0::7::INSTR"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("code 0\n", 0), 0u) << run.out;
  // The tested address and the identity it gave are the control's now; the
  // rest of its state is kept.
  EXPECT_EQ(Scope({"get", "Address"}).out, "GPIB0::7::INSTR\n");
  EXPECT_NE(Scope({"get", "AddressInstrumentID"}).out.find("VDS3004A"), std::string::npos);
  EXPECT_EQ(Scope({"get", "TXDelay"}).out, "120\n");

  // The verdict box speaks the control's language.
  ASSERT_EQ(Scope({"set", "CountryCode", "49"}).status, 0);
  run = Scope({"test"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Ger\u00e4tetestergebnis"), std::string::npos) << run.out;

  SilentPorts ports;
  ASSERT_TRUE(ports.ok());
  setenv("VEX_COM_PORTS", ports.PortMap().c_str(), 1);
  run = Scope({"search"});
  unsetenv("VEX_COM_PORTS");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("* VDS3004A"), std::string::npos) << run.out;
  EXPECT_NE(State().find("SearchCriteria"), std::string::npos);
  EXPECT_EQ(Scope({"get", "CountryCode"}).out, "49\n");
}

}  // namespace
}  // namespace vex::scope::test
