// The vexscope program as users run it: a child process with its own
// standard streams, against the simulated instrument on the embedded GPIB
// bus ("GPIB0::7::INSTR", whose state lives as long as one vexscope process)
// and against a vexsim process over TCP (whose state outlives them).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ToolProcess.h"
#include "VexsimProcess.h"
#include "vex/com/class_registry.h"

namespace vex::scope::test {
namespace {

using ::testing::ContainsRegex;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

namespace fs = std::filesystem;

const std::string kOutDir = std::string(VEX_TEST_TMP) + "/vexscope-test-out";

class ToolEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // The default board map: board 0 is the simulated bus with a VDS3004A at 7.
    unsetenv("VEX_GPIB_BOARDS");
    unsetenv("VEX_SIM_BUS");
    unsetenv("VEXSCOPE_ADDRESS");
    setenv("VEX_GPIB_BOARDS_FILE", "/nonexistent", 1);
    // Run by hand, the tests still never touch the user's registry.
    if (!std::getenv("VEXCOM_REGISTRY"))
      setenv("VEXCOM_REGISTRY", (std::string(VEX_TEST_TMP) + "/vexscope-registry.json").c_str(), 1);
    fs::remove_all(kOutDir);
    fs::create_directories(kOutDir);
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ToolEnvironment);

ToolRun Scope(std::vector<std::string> args, const std::string& input = {}) {
  return RunTool(VEXSCOPE_PATH, std::move(args), input);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool IsPng(const std::string& path) {
  const std::string bytes = ReadFile(path);
  return bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
}

std::string Out(const std::string& name) {
  return kOutDir + "/" + name;
}

TEST(VexscopeIdentity, TextAndJson) {
  ToolRun run = Scope({"idn"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(Lines(run.out), ElementsAreArray({"manufacturer=VEXAN TECHNOLOGIES", "model=VDS3004A",
                                                "serial_number=SIM-GPIB0-07", "firmware=A.03.00",
                                                "supported=true"}));
  EXPECT_THAT(run.err, IsEmpty());

  run = Scope({"--json", "idn"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["model"], "VDS3004A");
  EXPECT_EQ(json["supported"], true);
}

// An identity holding ESC, CSI (0x9B) and a NUL-free run of controls: the
// terminal gets them as \xNN, JSON stays parseable.
TEST(VexscopeIdentity, ControlsAndBadBytesFromTheInstrumentAreEscaped) {
  sim::test::Vexsim simulator({"--tcp", "127.0.0.1:0", "--serial",
                               "SN\x1b[2J\x9b"
                               "31m\x07"});
  const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(simulator.port()) + "::SOCKET";
  ToolRun run = Scope({"-a", address, "idn"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("serial_number=SN\\x1b[2J\\x9b31m\\x07\n"));
  EXPECT_EQ(run.out.find_first_of("\x1b\x9b\x07"), std::string::npos) << run.out;

  run = Scope({"-a", address, "--json", "idn"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto json = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_FALSE(json.is_discarded()) << run.out;
  EXPECT_THAT(json["serial_number"].get<std::string>(), StartsWith("SN\x1b[2J"));
}

// One script on one connection, so every setting is read back from the
// instrument it was written to.
TEST(VexscopeSubsystems, ShellReadsBackWhatItSet) {
  const char* script = R"(# every subsystem through set, get and call
set Acquisition.Type VexR7100_AcquisitionType_Average
get Acquisition.Type
set Acquisition.Count 16
get Acquisition.Count
get AnalogChannels.Count
set AnalogChannels.Item(2).ProbeAttenuation VexR7100_ProbeAttenuation_X10
get AnalogChannels.Item(2).ProbeAttenuation
set AnalogChannels.Item(2).Enabled TRUE
get analogchannels.item(2).enabled

set Timebase.HorizontalRange 0.002
get Timebase.HorizontalRange
set Timebase.Reference VexR7100_TimeReference_Left
call Timebase.Reference
get Trace.TotalMemories
set Trigger.Slope VexR7100_TriggerSlope_Negative
get Trigger.Slope
set Trigger.TriggerLevel -0.5
get Trigger.TriggerLevel
set Utilities.Timeout 3000
get Utilities.Timeout
call Utilities.QueryInstrumentError
get ConnectionName
call Output "*IDN?"
call Enter
call AutoScale
call Digitize
)";
  ToolRun run = Scope({"shell"}, script);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, IsEmpty());
  EXPECT_THAT(
      Lines(run.out),
      ElementsAreArray({"1", "16", "4", "10", "true", "0.002", "3", "3", "2", "-0.5", "3000",
                        "ErrorNumber=0", "ErrorDescription=\"No error\"", "GPIB0::7::INSTR",
                        "Result=VEXAN TECHNOLOGIES,VDS3004A,SIM-GPIB0-07,A.03.00"}));
}

TEST(VexscopeSubsystems, SingleCommandsAndGlobalOptions) {
  ToolRun run = Scope({"get", "Timebase.HorizontalRange"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "0.001\n");

  run = Scope({"set", "Trigger.Slope", "VexR7100_TriggerSlope_Negative"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");

  run = Scope({"call", "Measure.Frequency", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(std::stod(run.out), 1000.0, 0.5);

  run = Scope({"call", "Measure.RMSVoltage", "VexR7100_Channel_1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(std::stod(run.out), 2.83, 0.01);

  run = Scope({"get", "AnalogChannels.Item(2).ProbeAttenuation"});
  EXPECT_EQ(run.out, "1\n") << run.err;
  run = Scope({"get", "Acquisition.CompletionMinimum"});
  EXPECT_EQ(run.out, "100\n") << run.err;
  run = Scope({"get", "Utilities.Options"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("Communication"));
  run = Scope({"call", "Utilities.SelfTest"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(Lines(run.out), ElementsAreArray({"TestResult=0", "ResultMessage=0"}));

  // The global options act right after connecting.
  run = Scope({"--timeout", "2500", "--detect-errors", "--no-range-checking", "shell"},
              "get Utilities.Timeout\nget Utilities.DetectDeviceErrors\n"
              "get Utilities.RangeChecking\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(Lines(run.out), ElementsAreArray({"2500", "true", "false"}));
}

// Members the simulated model does not have are still reached: the server
// refuses them (status 1), they are not usage errors.
TEST(VexscopeSubsystems, MembersTheModelLacksAreRefusedByTheServer) {
  const char* script =
      "get LogicChannel.EnableStatus\n"
      "set LogicChannel.BitEnabled(VexR7100_Logic_D3) true\n"
      "call Trace.Save 1\n"
      "set Trace.Enabled(1) true\n";
  ToolRun run = Scope({"shell"}, script);
  EXPECT_EQ(run.status, 1);
  const std::string refused =
      "error 0x80004005: This method (or property) is not supported for the currently connected "
      "instrument.";
  EXPECT_THAT(Lines(run.err), ElementsAreArray({refused, refused, refused, refused}));
}

TEST(VexscopeErrors, UsageErrorsExitTwoAndNameTheWord) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{"get", "Timebase.HorizntalRange"}, {"'HorizntalRange'", "nearest: HorizontalRange"}},
      {{"get", "Timbase.Mode"}, {"'Timbase'", "Timebase"}},
      {{"set", "Timebase.HorizontalRange", "1.2.3"}, {"'1.2.3' is not a number"}},
      {{"get", "AnalogChannels.Item(x"}, {"unbalanced parenthesis in 'Item(x'"}},
      {{"set", "Trigger.Slope", "VexR7100_TriggerSlope_Negativ"},
       {"'VexR7100_TriggerSlope_Negativ'", "VexR7100_TriggerSlope_Negative"}},
      {{"set", "Trigger.Slope", "Negative"}, {"'Negative' is not a number"}},
      {{"call", "Measure.Frequency"}, {"'Measure.Frequency' takes 1 argument (Channel), 0 given"}},
      {{"call", "Measure.Frequency", "1", "2"}, {"2 given"}},
      {{"call", "Digitize", "1"}, {"'Digitize' takes 0 arguments"}},
      {{"set", "Utilities.Options", "1"}, {"cannot be set", "call Utilities.Options"}},
      {{"get", "Digitize"}, {"use: call Digitize"}},
      {{"get", "Timebase.HorizontalRange.Foo"}, {"not an object"}},
      {{"set", "Acquisition.Count", "99999999999"}, {"out of range"}},
      {{"screen", Out("x.img"), "--format", "JPEG"}, {"unknown image format 'JPEG'"}},
      {{"frobnicate"}, {"frobnicate"}},
      {{}, {"a command is required"}},
      {{"get"}, {"PATH"}},
  };
  for (const auto& c : cases) {
    ToolRun run = Scope(c.args);
    EXPECT_EQ(run.status, 2) << ::testing::PrintToString(c.args);
    for (const auto& text : c.expected) EXPECT_THAT(run.err, HasSubstr(text));
    EXPECT_THAT(run.err, HasSubstr("usage: vexscope"));
    EXPECT_EQ(run.out, "");
  }
}

TEST(VexscopeErrors, AutomationErrorsExitOneWithStatusAndDescription) {
  ToolRun run = Scope({"get", "AnalogChannels.Item(5).Enabled"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "error 0x80004005: This method or an input value is not legal for the currently "
            "connected instrument.\n");

  run = Scope({"--detect-errors", "call", "Output", ":BOGUS"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, StartsWith("error 0x80004005: The following instrument device errors have "
                                  "been detected"));

  run = Scope({"-a", "TCPIP0::127.0.0.1::1::SOCKET", "idn"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, MatchesRegex("error 0x[0-9A-F]{8}: .+\n"));
}

// The I/O timeout is at most ten minutes: the bound is taken, one more is
// refused as out of range, as --timeout.
TEST(VexscopeErrors, TheTimeoutIsBoundedToTenMinutes) {
  ToolRun run = Scope({"shell"}, "set Utilities.Timeout 600000\nget Utilities.Timeout\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "600000\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"set", "Utilities.Timeout", "600001"},
        std::vector<std::string>{"--timeout", "600001", "idn"}}) {
    run = Scope(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, StartsWith("error 0x8000FFFF: "));
    EXPECT_THAT(run.err, HasSubstr("out of range"));
  }
}

// VEX_IO_LOG naming a file that cannot be opened or written costs one line
// on standard error, naming the file and why; the command runs as without
// the log.
TEST(VexscopeIoLog, AnUnwritableLogIsSaidOnceAndTheCommandRuns) {
  const std::string plain = Out("plain");
  std::ofstream(plain) << "a file\n";
  const std::pair<std::string, std::string> logs[] = {
      {Out("missing/x.log"), "No such file or directory"},
      {kOutDir, "Is a directory"},
      {plain + "/x.log", "Not a directory"},
      {"/dev/full", "No space left on device"}};
  for (const auto& [path, reason] : logs) {
    setenv("VEX_IO_LOG", path.c_str(), 1);
    ToolRun run =
        Scope({"shell"}, "call Output \"*IDN?\"\ncall Enter\nget Timebase.HorizontalRange\n");
    unsetenv("VEX_IO_LOG");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("VDS3004A"));
    EXPECT_EQ(run.err, "vexscope: cannot write the I/O log " + path + ": " + reason + "\n");
  }
}

TEST(VexscopeData, OneWaveformAsCsvPlotAndJson) {
  ToolRun run = Scope({"waveform", "1", "--csv", Out("ch1.csv"), "--plot", Out("ch1.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(Lines(run.out), ElementsAreArray({Out("ch1.csv"), Out("ch1.png")}));
  // Standard error is no terminal here: no progress.
  EXPECT_THAT(run.err, IsEmpty());
  const auto csv = Lines(ReadFile(Out("ch1.csv")));
  ASSERT_EQ(csv.size(), 1001u);
  EXPECT_EQ(csv[0], "time,volts");
  double time = 0, volts = 0;
  ASSERT_EQ(std::sscanf(csv[1].c_str(), "%lf,%lf", &time, &volts), 2) << csv[1];
  EXPECT_NEAR(time, -0.0005, 1e-9);
  EXPECT_TRUE(IsPng(Out("ch1.png")));

  // Without files the CSV goes to standard output. The record length the
  // instrument reports decides the count, whatever Points says.
  run = Scope({"waveform", "VexR7100_Channel_1", "--points", "VexR7100_DataPoints_500"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out).size(), 1001u);
  EXPECT_EQ(Lines(run.out)[0], "time,volts");
  run = Scope({"--json", "waveform", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["time"].size(), 1000u);
  EXPECT_EQ(json["volts"].size(), 1000u);

  run = Scope({"waveform", "1", "--plot", "/nonexistent/dir/x.png"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("/nonexistent/dir/x.png"));
}

TEST(VexscopeData, AllWaveformsTable) {
  const char* script =
      "set AnalogChannels.Item(2).Enabled true\n"
      "call Digitize\n"
      "waveforms --csv \"" VEX_TEST_TMP "/vexscope-test-out/all.csv\" --plot " VEX_TEST_TMP
      "/vexscope-test-out/all.png\n";
  ToolRun run = Scope({"shell"}, script);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto csv = Lines(ReadFile(Out("all.csv")));
  ASSERT_EQ(csv.size(), 1001u);
  EXPECT_EQ(csv[0], "time,CHAN1,CHAN2");
  EXPECT_TRUE(IsPng(Out("all.png")));

  run = Scope({"--json", "waveforms"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto table = nlohmann::json::parse(run.out);
  ASSERT_EQ(table.size(), 1001u);
  EXPECT_EQ(table[0][0], "Time");
  EXPECT_EQ(table[0][1], "CHAN1");
  EXPECT_TRUE(table[1][1].is_number());
}

TEST(VexscopeData, ScreenAsPngAndBmp) {
  ToolRun run = Scope({"screen", Out("screen.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Out("screen.png") + "\n");
  EXPECT_TRUE(IsPng(Out("screen.png")));

  run = Scope({"screen", Out("screen.bmp")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string bmp = ReadFile(Out("screen.bmp"));
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(bmp.size(), 308278u);

  run = Scope({"screen", Out("forced.bmp"), "--format", "BMP"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(Out("forced.bmp")).substr(0, 2), "BM");
}

// --timeout reaches the server, and the screen transfer waits 30 times it:
// against an instrument whose screen block stops halfway, `screen` gives up
// after 30 × 100 ms and says so, on its own and through the scope control
// of a --state file (whose type library lacks the default UseSuffix).
TEST(VexscopeData, ScreenWaitsThirtyTimesTheGivenTimeout) {
  sim::test::Vexsim simulator({"--model", "VDS3004A", "--tcp", "127.0.0.1:0", "--fault", "TRUN"});
  ASSERT_GT(simulator.port(), 0) << simulator.banner();
  const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(simulator.port()) + "::SOCKET";
  fs::remove(Out("screen-state.json"));
  for (std::vector<std::string> args :
       {std::vector<std::string>{},
        std::vector<std::string>{"--state", Out("screen-state.json")}}) {
    SCOPED_TRACE(args.empty() ? "server" : "control");
    args.insert(args.end(), {"-a", address, "--timeout", "100", "screen", Out("cut.bmp")});
    const auto start = std::chrono::steady_clock::now();
    ToolRun run = Scope(args);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("The screen image transfer timed out after 3000 ms (30 \u00d7 "
                                   "the 100 ms timeout)."));
    EXPECT_GE(elapsed, 3.0);
    EXPECT_LT(elapsed, 9.0) << "the program's own start and connection included";
    EXPECT_FALSE(fs::exists(Out("cut.bmp")));
  }
  EXPECT_EQ(simulator.Terminate(), 0);
}

// With detection on, a query written with Output is answered to the Enter
// that reads it; the device-error check follows that read.
TEST(VexscopeShell, OutputAndEnterOfAQueryWithDeviceErrorDetection) {
  ToolRun run = Scope({"--detect-errors", "shell"},
                      "call Output \"*IDN?\"\ncall Enter\ncall Output \"*IDN?;:BOGUS\"\n"
                      "call Enter\n");
  EXPECT_EQ(run.status, 1);
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1u) << run.out << run.err;
  EXPECT_THAT(lines[0], HasSubstr("VDS3004A"));
  const auto errors = Lines(run.err);
  ASSERT_EQ(errors.size(), 1u) << run.err;
  EXPECT_THAT(errors[0], HasSubstr("The following instrument device errors have been detected: "
                                   "\tCommand"));
}

TEST(VexscopeShell, DeviceErrorsOnOneConnectionAndTheScriptGoesOn) {
  const char* script =
      "set Utilities.DetectDeviceErrors true\n"
      "\n"
      "   # the instrument does not know this header\n"
      "call Output \":BOGUS\"\n"
      "get Utilities.DetectDeviceErrors\n"
      "get Timebase.Nonsense\n"
      "call Output \"*IDN?\n"
      "get Acquisition.Type\n";
  ToolRun run = Scope({"shell"}, script);
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(Lines(run.out), ElementsAreArray({"true", "6"}));
  const auto errors = Lines(run.err);
  ASSERT_EQ(errors.size(), 3u) << run.err;
  EXPECT_THAT(errors[0], StartsWith("error 0x80004005: The following instrument device errors "
                                    "have been detected"));
  EXPECT_THAT(errors[1], HasSubstr("'Nonsense'"));
  EXPECT_THAT(errors[2], HasSubstr("unterminated quote"));

  // A clean script ends with status 0; JSON results come one a line.
  run = Scope({"--json", "shell"}, "get Timebase.HorizontalRange\ncall Utilities.SelfTest\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(nlohmann::json::parse(lines[0]).get<double>(), 0.001);
  EXPECT_EQ(nlohmann::json::parse(lines[1])["TestResult"], 0);
}

TEST(VexscopeDemo, WritesItsFilesAndTheMeasurements) {
  const std::string dir = Out("demo");
  ToolRun run = Scope({"demo", "--out", dir});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"waveforms.csv", "waveforms.png", "screen.png", "measurements.csv"}) {
    const std::string path = dir + "/" + name;
    EXPECT_THAT(run.out, HasSubstr("wrote " + path + "\n"));
    EXPECT_GT(fs::file_size(path), 0u) << path;
  }
  EXPECT_TRUE(IsPng(dir + "/waveforms.png"));
  EXPECT_TRUE(IsPng(dir + "/screen.png"));
  EXPECT_THAT(run.out, HasSubstr("model=VDS3004A"));
  EXPECT_THAT(run.out, ContainsRegex("Frequency +1000 "));
  const auto table = Lines(ReadFile(dir + "/measurements.csv"));
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(table[0], "measurement,CHAN1,CHAN2,CHAN3,CHAN4");
  EXPECT_EQ(Lines(ReadFile(dir + "/waveforms.csv"))[0], "time,CHAN1,CHAN2,CHAN3,CHAN4");

  run = Scope({"--json", "demo", "--out", dir});
  ASSERT_EQ(run.status, 0) << run.err;
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["files"].size(), 4u);
  EXPECT_NEAR(json["measurements"]["CHAN2"]["PeakToPeakVolts"].get<double>(), 3.0, 0.05);
}

TEST(VexscopeRegistration, RegistersTheServersBesideTheProgramWhenMissing) {
  const std::string registry = Out("fresh-registry.json");
  const std::string saved = std::getenv("VEXCOM_REGISTRY");
  setenv("VEXCOM_REGISTRY", registry.c_str(), 1);
  ToolRun run = Scope({"get", "Utilities.InstrumentModel"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "VDS3004A\n");
  const std::string text = ReadFile(registry);
  EXPECT_THAT(text, HasSubstr("VexR7100X.VexR7100EZ"));
  EXPECT_THAT(text, HasSubstr("VexSim.Bus"));

  // A registration whose library is gone is replaced by the one beside the program.
  const std::string copy = Out("libVex9100TB-moved.so");
  fs::copy_file(VEX9100TB_PATH, copy, fs::copy_options::overwrite_existing);
  ASSERT_EQ(com::RegisterServer(copy), com::S_OK);
  ASSERT_THAT(ReadFile(registry), HasSubstr("libVex9100TB-moved.so"));
  fs::remove(copy);
  run = Scope({"get", "Utilities.InstrumentModel"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(ReadFile(registry), ::testing::Not(HasSubstr("libVex9100TB-moved.so")));
  setenv("VEXCOM_REGISTRY", saved.c_str(), 1);
}

// --object reaches any registered class by name, here the resource library
// (registered beside the program on first use), without an instrument: the
// address names nothing that could answer.
TEST(VexscopeObject, DrivesTheResourceLibraryByNameWithoutAnInstrument) {
  const std::string object = "VexR7100ResLib.VexR7100Resources";
  ToolRun run = Scope(
      {"-a", "TCPIP0::127.0.0.1::1::SOCKET", "--object", object, "call", "LoadResString", "606"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Get\n");
  run = Scope({"--object", object, "--json", "call", "loadresstring", "4606"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out), "Abrufen");
  run = Scope({"--object", object, "call", "LoadResString", "1281"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "\n");
  run = Scope({"--object", object, "shell"}, "call LoadResString 105\ncall LoadResStrin 1\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Vexan 8100 Series Scope Control\n");
  EXPECT_THAT(run.err, HasSubstr("nearest: LoadResString"));

  run = Scope({"--object", object, "idn"});
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.err, HasSubstr("--object works with get, set, call and shell"));
  run = Scope({"--object", "No.SuchClass", "get", "Anything"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("creating No.SuchClass"));
}

// `vexscope sim` runs vexsim in its place; every connection shares its
// instrument, so a setting outlives the process that made it.
TEST(VexscopeSim, SimulatorOverTcp) {
  sim::test::Vexsim simulator({"sim", "--model", "VDS3002A", "--tcp", "127.0.0.1:0"},
                              VEXSCOPE_PATH);
  ASSERT_GT(simulator.port(), 0) << simulator.banner();
  const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(simulator.port()) + "::SOCKET";
  ToolRun run = Scope({"-a", address, "get", "Utilities.InstrumentModel"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "VDS3002A\n");
  run = Scope({"-a", address, "set", "Timebase.HorizontalRange", "5e-3"});
  ASSERT_EQ(run.status, 0) << run.err;
  setenv("VEXSCOPE_ADDRESS", address.c_str(), 1);
  run = Scope({"get", "Timebase.HorizontalRange"});
  unsetenv("VEXSCOPE_ADDRESS");
  EXPECT_EQ(run.out, "0.005\n") << run.err;
  run = Scope({"-a", address, "get", "AnalogChannels.Count"});
  EXPECT_EQ(run.out, "2\n") << run.err;
  EXPECT_EQ(simulator.Terminate(), 0);
}

}  // namespace
}  // namespace vex::scope::test
