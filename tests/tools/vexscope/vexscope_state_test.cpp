// The --state file under the conditions of real use, with vexscope run as a
// child process against the simulator over TCP: commands started at once on
// one file, and files whose setup entries were edited by hand into shapes
// the program never writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "ToolProcess.h"
#include "VexsimProcess.h"

namespace vex::scope::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using json = nlohmann::json;
namespace fs = std::filesystem;

class StateFileUse : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("VEXSCOPE_ADDRESS");
    if (!std::getenv("VEXCOM_REGISTRY")) {
      setenv("VEXCOM_REGISTRY", (std::string(VEX_TEST_TMP) + "/state-registry.json").c_str(), 1);
    }
    sim_ = new sim::test::Vexsim({"--tcp", "127.0.0.1:0"});
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override {
    folder_ = std::string(VEX_TEST_TMP) + "/state-use";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    state_ = folder_ + "/state.json";
    address_ = "TCPIP0::127.0.0.1::" + std::to_string(sim_->port()) + "::SOCKET";
  }

  ToolRun Scope(std::vector<std::string> args,
                std::chrono::seconds timeout = std::chrono::seconds(120)) {
    std::vector<std::string> all = {"--state", state_};
    all.insert(all.end(), args.begin(), args.end());
    return RunTool(VEXSCOPE_PATH, std::move(all), {}, timeout);
  }
  json Values() {
    std::ifstream in(state_);
    return json::parse(in)["values"];
  }
  // A state file holding `values` (the bag's entries, by key).
  void WriteState(const json& values) {
    std::ofstream(state_) << json{
        {"format", "vexcom-property-bag"},
        {"version", 1},
        {"values", values}}.dump(2);
  }
  static json Text(const std::string& text) { return {{"type", "VT_BSTR"}, {"value", text}}; }
  static json Short(int n) { return {{"type", "VT_I2"}, {"value", n}}; }
  // The setup names the file holds, in index order.
  std::vector<json> StoredNames() {
    const json values = Values();
    std::vector<json> names;
    for (int i = 1; values.contains("SetupName" + std::to_string(i)); ++i)
      names.push_back(values["SetupName" + std::to_string(i)]["value"]);
    return names;
  }

  static sim::test::Vexsim* sim_;
  std::string folder_;
  std::string state_;
  std::string address_;
};
sim::test::Vexsim* StateFileUse::sim_ = nullptr;

// Each command holds the file from reading to saving: twenty `setup get`s
// started at once add twenty setups (numbered entries that a merge of keys
// alone would overwrite), and seven `set`s of different properties all stay.
TEST_F(StateFileUse, CommandsStartedAtOnceEachKeepTheirChange) {
  ASSERT_EQ(Scope({"-a", address_, "set", "FontSize", "9"}).status, 0);
  constexpr int kGets = 20;
  std::vector<ToolRun> runs(kGets);
  {
    std::vector<std::thread> threads;
    for (int i = 0; i < kGets; ++i)
      threads.emplace_back([&, i] { runs[i] = Scope({"setup", "get", "S" + std::to_string(i)}); });
    for (auto& t : threads) t.join();
  }
  for (const auto& run : runs) EXPECT_EQ(run.status, 0) << run.err;
  std::set<std::string> names;
  for (const auto& name : StoredNames()) names.insert(name.get<std::string>());
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kGets));
  EXPECT_EQ(Values()["SetupCount"]["value"], kGets);

  // Property, value, and the key the file keeps it under (CountryCode is
  // left out: it sets the font as well).
  const std::vector<std::vector<std::string>> sets = {
      {"FontSize", "12", "FontSize"},
      {"FontName", "\"Mono\"", "FontName"},
      {"CheckIDOnInitialize", "true", "CheckIDOnIntialize"},
      {"TXDelay", "25", "TXDelay"},
      {"InitialSearchMode", "true", "InitialSearchMode"},
      {"LastIOHandshakeAddress", "\"GPIB0::3::INSTR\"", "LastIOHandshakeAddress"},
      {"ResetOnInitialize", "true", "ResetOnIntialize"}};
  {
    std::vector<ToolRun> set_runs(sets.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < sets.size(); ++i)
      threads.emplace_back([&, i] { set_runs[i] = Scope({"set", sets[i][0], sets[i][1]}); });
    for (auto& t : threads) t.join();
    for (const auto& run : set_runs) EXPECT_EQ(run.status, 0) << run.err;
  }
  const json values = Values();
  for (const auto& set : sets) EXPECT_TRUE(values.contains(set[2])) << set[2];
  EXPECT_EQ(values["FontSize"]["value"], 12);
  EXPECT_EQ(StoredNames().size(), static_cast<std::size_t>(kGets)) << "the setups stay";
}

// A malformed setup entry is skipped with a warning naming its key, the
// others load, and an unrelated save keeps the skipped one in the file.
TEST_F(StateFileUse, MalformedSetupEntriesAreSkippedWithAWarningAndKept) {
  WriteState({{"SetupCount", Short(6)},
              {"SetupName1", Text("Alpha")},
              {"SetupName2", Text("")},
              {"SetupName3", Text("ALPHA")},
              {"SetupName4", Text("x|y")},
              {"SetupName5", {{"type", "VT_I4"}, {"value", 7}}},
              {"SetupComments5", Text("kept with it")},
              {"SetupName6", Text("Beta")}});
  ToolRun list = Scope({"setup", "list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_THAT(list.out, HasSubstr("Alpha"));
  EXPECT_THAT(list.out, HasSubstr("Beta"));
  EXPECT_THAT(list.out, Not(HasSubstr("x|y")));
  for (const char* key : {"SetupName2", "SetupName3", "SetupName4", "SetupName5"})
    EXPECT_THAT(list.err, HasSubstr(key));
  EXPECT_THAT(list.err, HasSubstr("is taken by an earlier setup"));
  EXPECT_THAT(list.err, HasSubstr("holds VT_I4"));

  ToolRun set = Scope({"set", "FontSize", "12"});
  ASSERT_EQ(set.status, 0) << set.err;
  const std::vector<json> names = StoredNames();
  EXPECT_EQ(names, (std::vector<json>{"Alpha", "Beta", "", "ALPHA", "x|y", 7}));
  const json values = Values();
  EXPECT_EQ(values["SetupCount"]["value"], 2) << "the count is of the setups that load";
  EXPECT_EQ(values["SetupComments6"]["value"], "kept with it") << "an entry moves whole";
  ToolRun again = Scope({"setup", "list"});
  EXPECT_THAT(again.err, HasSubstr("SetupName6")) << "the kept entries are still reported";
  EXPECT_EQ(values["FontSize"]["value"], 12);
}

// A count that is wrong (too large, of the wrong type, or absurd) is
// reported and the entries the file holds load; nothing is sized from it.
TEST_F(StateFileUse, ABadSetupCountLoadsTheEntriesThere) {
  const std::vector<json> counts = {{{"type", "VT_I4"}, {"value", 1000000}},
                                    {{"type", "VT_I4"}, {"value", 2000000000}},
                                    Text("many")};
  for (const json& count : counts) {
    SCOPED_TRACE(count.dump());
    WriteState({{"SetupCount", count}, {"SetupName1", Text("One")}, {"SetupName2", Text("Two")}});
    const auto start = std::chrono::steady_clock::now();
    ToolRun set = Scope({"set", "FontSize", "12"}, std::chrono::seconds(30));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_THAT(set.err, HasSubstr("SetupCount"));
    EXPECT_EQ(StoredNames(), (std::vector<json>{"One", "Two"}));
    EXPECT_EQ(Values()["SetupCount"]["value"], 2);
    ToolRun list = Scope({"setup", "list"});
    EXPECT_THAT(list.out, HasSubstr("One"));
    EXPECT_THAT(list.out, HasSubstr("Two"));
  }
  // An entry past a good count is not loaded, and not lost either.
  WriteState({{"SetupCount", Short(1)}, {"SetupName1", Text("One")}, {"SetupName2", Text("Two")}});
  ToolRun set = Scope({"set", "FontSize", "12"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_THAT(set.err, HasSubstr("SetupName2"));
  EXPECT_EQ(StoredNames(), (std::vector<json>{"One", "Two"}));
  EXPECT_EQ(Values()["SetupCount"]["value"], 1);
  EXPECT_THAT(Scope({"setup", "list"}).out, Not(HasSubstr("Two")));
}

// A stored address or language the control refuses is reported with why
// and what is used instead.
TEST_F(StateFileUse, ARefusedAddressOrLanguageIsReported) {
  WriteState({{"Address", Text("COM1::Parity=Z")},
              {"CountryCode", {{"type", "VT_I4"}, {"value", 12345}}}});
  ToolRun get = Scope({"get", "FontSize"});
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_THAT(get.err, HasSubstr("Address is skipped: invalid address \"COM1::Parity=Z\""));
  EXPECT_THAT(get.err, HasSubstr("GPIB0::7::INSTR is used instead"));
  EXPECT_THAT(get.err, HasSubstr("CountryCode is skipped"));
}

// A command run with the debug log on logs what happened, and no assertion
// that did not fail: loading and saving the state is no fault.
TEST_F(StateFileUse, ARunWithTheDebugLogOnLogsNoFalseAssertion) {
  const std::string logs = folder_ + "/logs";
  fs::create_directories(logs);
  const json on = {{"type", "VT_BOOL"}, {"value", true}};
  WriteState({{"DebugEnabled", on}, {"DebugEnableMessageLog", on}, {"DebugAssert", on}});
  const char* saved = std::getenv("TMPDIR");
  const std::string kept = saved ? saved : "";
  setenv("TMPDIR", logs.c_str(), 1);
  // Each run starts the log afresh.
  const auto log_of = [&](std::vector<std::string> args) {
    ToolRun run = Scope(std::move(args));
    EXPECT_EQ(run.status, 0) << run.err;
    std::ifstream in(logs + "/VexScope.DBG");
    EXPECT_TRUE(in) << "the debug log is written";
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const std::string saving = log_of({"set", "FontSize", "12"});
  const std::string listing = log_of({"setup", "list"});
  if (kept.empty())
    unsetenv("TMPDIR");
  else
    setenv("TMPDIR", kept.c_str(), 1);
  EXPECT_THAT(saving, HasSubstr("UserControl_WriteProperties"));
  EXPECT_THAT(saving, Not(HasSubstr("Assertion")));
  EXPECT_THAT(listing, Not(HasSubstr("Assertion")));
}

}  // namespace
}  // namespace vex::scope::test
