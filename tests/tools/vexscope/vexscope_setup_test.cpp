// `vexscope setup` as a child process against the simulator over TCP (one
// instrument for all the runs): a setup taken, the instrument changed, the
// setup sent back restores it; saved to a file, opened into a fresh state
// file and sent again; and the commands that must not connect do not.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "ToolProcess.h"
#include "VexsimProcess.h"

namespace vex::scope::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace fs = std::filesystem;

class SetupCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("VEXSCOPE_ADDRESS");
    if (!std::getenv("VEXCOM_REGISTRY")) {
      setenv("VEXCOM_REGISTRY", (std::string(VEX_TEST_TMP) + "/setup-registry.json").c_str(), 1);
    }
    sim_ = new sim::test::Vexsim({"--tcp", "127.0.0.1:0"});
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override {
    folder_ = std::string(VEX_TEST_TMP) + "/setup-cli";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    address_ = "TCPIP0::127.0.0.1::" + std::to_string(sim_->port()) + "::SOCKET";
  }

  ToolRun Scope(std::vector<std::string> args) { return RunTool(VEXSCOPE_PATH, std::move(args)); }
  ToolRun Setup(const std::string& state, std::vector<std::string> args,
                const std::string& address = {}) {
    std::vector<std::string> all = {"--state", folder_ + "/" + state};
    if (!address.empty()) all.insert(all.end(), {"-a", address});
    all.push_back("setup");
    all.insert(all.end(), args.begin(), args.end());
    return Scope(all);
  }
  void SetRange(const std::string& value) {
    ASSERT_EQ(Scope({"-a", address_, "set", "Timebase.HorizontalRange", value}).status, 0);
  }
  std::string Range() { return Scope({"-a", address_, "get", "Timebase.HorizontalRange"}).out; }

  static sim::test::Vexsim* sim_;
  std::string folder_;
  std::string address_;
};
sim::test::Vexsim* SetupCommand::sim_ = nullptr;

TEST_F(SetupCommand, RoundTripThroughTheInstrumentAndThroughAFile) {
  // Nothing listens at this address: commands that do not connect still work.
  const std::string nowhere = "TCPIP0::127.0.0.1::1::SOCKET";
  SetRange("0.002");
  ToolRun got = Setup("first.json", {"get", "Bench", "--comments", "shelf 3"}, address_);
  ASSERT_EQ(got.status, 0) << got.err;
  EXPECT_THAT(got.out, StartsWith("Bench: taken from "));

  SetRange("5e-06");
  ToolRun sent = Setup("first.json", {"send", "Bench"}, address_);
  ASSERT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(Range(), "0.002\n");

  const std::string file = folder_ + "/bench.cfg.scp";
  ASSERT_EQ(Setup("first.json", {"save", "Bench", file}, nowhere).status, 0);
  ToolRun list = Setup("first.json", {"list"}, nowhere);
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_THAT(list.out, StartsWith("* Bench "));
  EXPECT_THAT(list.out, HasSubstr("shelf 3"));

  SetRange("5e-06");
  ToolRun opened = Setup("second.json", {"open", file}, nowhere);
  ASSERT_EQ(opened.status, 0) << opened.err;
  EXPECT_THAT(opened.out, StartsWith("bench: "));  // cut at the first "."
  ASSERT_EQ(Setup("second.json", {"send", "bench"}, address_).status, 0);
  EXPECT_EQ(Range(), "0.002\n");

  ToolRun json = Scope({"--state", folder_ + "/second.json", "--json", "setup", "list"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto parsed = nlohmann::json::parse(json.out);
  ASSERT_EQ(parsed["setups"].size(), 1u);
  EXPECT_EQ(parsed["setups"][0]["name"], "bench");
  EXPECT_EQ(parsed["setups"][0]["comments"], "shelf 3");
  EXPECT_EQ(parsed["setups"][0]["last_instrument_setup"], true);
  EXPECT_GT(parsed["setups"][0]["data_length"].get<int>(), 0);
}

// Names are bytes from the command line: one that is not UTF-8 is kept in
// the state file byte for byte.
TEST_F(SetupCommand, NamesThatAreNotUtf8AreKeptByteForByte) {
  const std::string name = "X\xff";
  ToolRun got = Setup("bytes.json", {"get", name}, address_);
  ASSERT_EQ(got.status, 0) << got.err;
  ToolRun list = Setup("bytes.json", {"list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_THAT(list.out, StartsWith("* " + name + " "));
  // JSON cannot hold the byte: it is shown replaced, and the output parses.
  ToolRun json = Scope({"--json", "--state", folder_ + "/bytes.json", "setup", "list"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_THAT(json.out, HasSubstr("\"X\xef\xbf\xbd\""));

  const std::string file = folder_ +
                           "/\xff"
                           "bad.scp";
  ASSERT_EQ(Setup("bytes.json", {"save", name, file}).status, 0);
  ToolRun opened = Setup("other.json", {"open", file});
  ASSERT_EQ(opened.status, 0) << opened.err;
  EXPECT_THAT(opened.out, StartsWith("\xff"
                                     "bad: "));
  list = Setup("other.json", {"list"});
  EXPECT_THAT(list.out, StartsWith("  \xff"
                                   "bad "));
}

TEST_F(SetupCommand, RefusalsPrintStatusAndDescription) {
  const std::string file = folder_ + "/bench.scp";
  ASSERT_EQ(Setup("s.json", {"get", "Bench"}, address_).status, 0);
  ASSERT_EQ(Setup("s.json", {"save", "Bench", file}).status, 0);

  ToolRun again = Setup("s.json", {"open", file});
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.err, StartsWith("error 0x800A01C9: "));
  EXPECT_EQ(Setup("s.json", {"open", file, "--replace"}).status, 0);

  // A space in a file name is fine: the setup it gives is named with "_".
  fs::copy_file(file, folder_ + "/Lab 1.scp");
  ToolRun spaced = Setup("s.json", {"open", folder_ + "/Lab 1.scp"});
  EXPECT_EQ(spaced.status, 0) << spaced.err;
  EXPECT_THAT(spaced.out, StartsWith("Lab_1: "));
  ToolRun hidden = Setup("s.json", {"open", folder_ + "/.scp"});
  EXPECT_EQ(hidden.status, 2);
  EXPECT_THAT(hidden.err, HasSubstr("gives no setup name"));

  ToolRun missing = Setup("s.json", {"send", "Nope"}, address_);
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("Nope"));

  std::ofstream(folder_ + "/notes.txt") << "not a setup\n";
  ToolRun notes = Setup("s.json", {"open", folder_ + "/notes.txt"});
  EXPECT_EQ(notes.err, "error 0x80040141: The selected file is not a setup file (" + folder_ +
                           "/notes.txt).\n");

  ASSERT_EQ(Setup("s.json", {"remove", "bench"}).status, 0);
  ASSERT_EQ(Setup("s.json", {"remove", "Lab_1"}).status, 0);
  EXPECT_EQ(Setup("s.json", {"list"}).out, "");
}

// A file that cannot be read or written fails at once naming it and the
// system's reason, in the control's language around the file name; the
// state file is kept as it was.
TEST_F(SetupCommand, FileErrorsNameTheFileAndWhy) {
  ASSERT_EQ(Setup("f.json", {"get", "Bench"}, address_).status, 0);
  const std::string plain = folder_ + "/plain";
  std::ofstream(plain) << "a file, not a folder\n";
  const std::string below = plain + "/bench.scp";
  ToolRun saved = Setup("f.json", {"save", "Bench", below});
  EXPECT_EQ(saved.status, 1);
  EXPECT_EQ(saved.err,
            "error 0x8004793D: Error while saving to file " + below + ": Not a directory\n");
  const std::string missing = folder_ + "/missing.scp";
  ToolRun opened = Setup("f.json", {"open", missing});
  EXPECT_EQ(opened.status, 1);
  EXPECT_EQ(opened.err, "error 0x8004793D: Error while loading from file " + missing +
                            ": No such file or directory\n");

  const std::string fifo = folder_ + "/pipe.scp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  ToolRun piped = Setup("f.json", {"open", fifo});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(piped.err, "error 0x8004793D: Error while loading from file " + fifo +
                           ": a FIFO, not a regular file\n");
  piped = Setup("f.json", {"save", "Bench", fifo});
  EXPECT_EQ(piped.err, "error 0x8004793D: Error while saving to file " + fifo +
                           ": a FIFO, not a regular file\n");

  ASSERT_EQ(Scope({"--state", folder_ + "/f.json", "set", "CountryCode", "49"}).status, 0);
  saved = Setup("f.json", {"save", "Bench", below});
  EXPECT_EQ(saved.err, "error 0x8004793D: Fehler beim Speichern in die Datei " + below +
                           ": Not a directory\n");
  ToolRun list = Setup("f.json", {"list"});
  EXPECT_THAT(list.out, StartsWith("* Bench "));
}

}  // namespace
}  // namespace vex::scope::test
