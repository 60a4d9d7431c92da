// The server core against the instrument simulator through the real I/O
// component: over a raw TCP socket, over a pty as a serial port, and at the
// default address "GPIB0::7::INSTR" on the simulated bus.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "VexsimProcess.h"
#include "core_vexr7100.h"
#include "model_table.h"

namespace vex::server {
namespace {

using namespace vex::com;

sim::test::Vexsim* g_sim = nullptr;

class SimulatorEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_sim = new sim::test::Vexsim({"--model", "VDS3004A", "--tcp", "127.0.0.1:0", "--pty"});
    ASSERT_GT(g_sim->port(), 0);
    setenv("VEX_COM_PORTS", ("COM2=" + g_sim->Endpoint("pty")).c_str(), 1);
    unsetenv("VEX_GPIB_BOARDS");
    setenv("VEX_GPIB_BOARDS_FILE", "/nonexistent", 1);
    ASSERT_EQ(RegisterServer(VEXIOUTILS_PATH), S_OK);
    ASSERT_EQ(RegisterServer(VEXSIMBUS_PATH), S_OK);
  }
  void TearDown() override { delete g_sim; }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SimulatorEnvironment);

std::string Tcp() {
  return "TCPIP0::127.0.0.1::" + std::to_string(g_sim->port()) + "::SOCKET";
}

class CoreOnSimulator : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    core = MakeObject<CCoreVexR7100>();
    address = GetParam() == "Tcp"      ? Tcp()
              : GetParam() == "Serial" ? "COM2::Baud=19200,Handshake=DTR_DSR"
                                       : "GPIB0::7::INSTR";
    ASSERT_EQ(core->Connect(Bstr(address), Bstr()), S_OK) << TakeErrorDetails().description.Str();
    ASSERT_EQ(core->Output(Variant(":SIM:FAUL NONE;*RST;*CLS")), S_OK);
  }
  void TearDown() override { (void)core->Close(); }
  ComPtr<CCoreVexR7100> core;
  std::string address;
};

TEST_P(CoreOnSimulator, ConnectsIdentifiesAndKnowsItsBus) {
  Bstr text;
  core->get_InstrumentModel(&text);
  EXPECT_EQ(text, "VDS3004A");
  core->get_InstrumentSerialNumber(&text);
  EXPECT_THAT(text.Str(), ::testing::StartsWith("SIM"));
  EXPECT_EQ(core->Model().model_index, 2);
  std::uint16_t expected = GetParam() == "Serial" ? 0x300 : 0x200;
  EXPECT_EQ(core->Model().option_flags, expected);
  IUnknown* io = nullptr;
  ASSERT_EQ(core->get_IO(&io), S_OK);
  ComPtr<io::IIO> typed;
  ASSERT_EQ(ComPtr<IUnknown>::Adopt(io).As(&typed), S_OK);
  std::int16_t term = 0;
  typed->get_TermChar(&term);
  EXPECT_EQ(term, 10);
  Bstr name;
  core->get_ConnectionName(&name);
  EXPECT_EQ(name.Str(), address);
}

TEST_P(CoreOnSimulator, RunControlAndPassThrough) {
  ASSERT_EQ(core->AutoScale(), S_OK);
  ASSERT_EQ(core->StopTrigger(), S_OK);
  ASSERT_EQ(core->SingleTrigger(), S_OK);
  EXPECT_EQ(core->Run(), E_FAIL) << "command set 4 has no run command";
  TakeErrorDetails();
  ASSERT_EQ(core->Output(Variant(":CHAN2:DISP ON")), S_OK);
  ASSERT_EQ(core->Digitize(), S_OK);
  ASSERT_EQ(core->Output(Variant("*IDN?")), S_OK);
  Variant reply;
  ASSERT_EQ(core->Enter(&reply, Bstr("K")), S_OK);
  EXPECT_THAT(reply.BstrVal().Str(), ::testing::HasSubstr("VDS3004A"));
  SafeArray bytes = SafeArray::FromBytes(std::vector<std::uint8_t>{'*', 'I', 'D', 'N', '?', '\n'});
  ASSERT_EQ(core->WriteBytes(6, bytes), S_OK);
  std::int32_t count = 6;
  SafeArray in = SafeArray::FromBytes(std::vector<std::uint8_t>(6));
  ASSERT_EQ(core->ReadBytes(&count, &in), S_OK);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(in.Span<const std::uint8_t>()[0], 'V');
  core->IOObject()->RecoverAfterError();
}

TEST_P(CoreOnSimulator, DeviceErrorsAndTheErrorQueue) {
  ASSERT_EQ(core->put_DetectDeviceErrors(VARIANT_TRUE), S_OK);
  EXPECT_EQ(core->Output(Variant(":BOGUS:COMMAND")), E_FAIL);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_EQ(details.description,
            "The following instrument device errors have been detected: \tCommand ");
  EXPECT_EQ(details.help_context, 1540u);
  ASSERT_EQ(core->put_DetectDeviceErrors(VARIANT_FALSE), S_OK);
  ASSERT_EQ(core->Output(Variant(":BOGUS:COMMAND")), S_OK);
  std::int32_t number = 0;
  Bstr description;
  // Both bad commands left their error in the queue, oldest first.
  for (int expected : {-113, -113, 0}) {
    ASSERT_EQ(core->QueryInstrumentError(&number, &description), S_OK);
    EXPECT_EQ(number, expected) << description.Str();
  }
}

// With detection on, a query written with Output is read by Enter, and the
// device-error check comes after that read: it neither takes the reply nor
// misses the errors the message raised.
TEST_P(CoreOnSimulator, PassThroughQueriesWithDeviceErrorDetection) {
  ASSERT_EQ(core->put_DetectDeviceErrors(VARIANT_TRUE), S_OK);
  ASSERT_EQ(core->Output(Variant("*IDN?")), S_OK) << TakeErrorDetails().description.Str();
  Variant reply;
  ASSERT_EQ(core->Enter(&reply, Bstr("K")), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_THAT(reply.BstrVal().Str(), ::testing::HasSubstr("VDS3004A"));

  ASSERT_EQ(core->Output(Variant("*IDN?;:BOGUS:COMMAND")), S_OK)
      << TakeErrorDetails().description.Str();
  reply.Clear();
  EXPECT_EQ(core->Enter(&reply, Bstr("K")), E_FAIL);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_EQ(details.description,
            "The following instrument device errors have been detected: \tCommand ");
  EXPECT_EQ(details.help_context, 1540u);
  EXPECT_THAT(reply.BstrVal().Str(), ::testing::HasSubstr("VDS3004A"));

  // A command is checked as soon as it is written.
  EXPECT_EQ(core->Output(Variant(":BOGUS:COMMAND")), E_FAIL);
  TakeErrorDetails();
  ASSERT_EQ(core->Output(Variant("*CLS")), S_OK) << TakeErrorDetails().description.Str();
}

// A screen transfer that stops halfway over a stream (a socket, a serial
// line) fails when 30 times the working timeout has passed, and says so; on
// the bus the end of the cut message is marked, so it fails at once. Either
// way the working timeout is in place afterwards.
TEST_P(CoreOnSimulator, ATruncatedScreenWaitsThirtyTimesTheTimeout) {
  constexpr std::int32_t kTimeout = 200;
  const bool stream = GetParam() != "Gpib";
  ASSERT_EQ(core->put_Timeout(kTimeout), S_OK);
  ASSERT_EQ(core->Output(Variant(":SIM:FAUL TRUN")), S_OK);
  const std::string file =
      (std::filesystem::temp_directory_path() /
       ("vex-core-screen-" + std::to_string(getpid()) + "-" + GetParam() + ".bmp"))
          .string();
  const auto start = std::chrono::steady_clock::now();
  HRESULT hr = core->SaveScreenImage(Bstr(file), VexR7100_ImageFormat_BMP);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string description = TakeErrorDetails().description.Str();
  const std::string expired =
      "The screen image transfer timed out after 6000 ms (30 \u00d7 the 200 ms timeout).\n";
  if (stream) {
    EXPECT_EQ(hr, CCoreVexR7100::kIOTimeoutStatus);
    EXPECT_THAT(description, ::testing::HasSubstr(expired));
    EXPECT_GE(elapsed, 6.0);
    EXPECT_LE(elapsed, 6.6);
  } else {
    EXPECT_TRUE(FAILED(hr));
    EXPECT_THAT(description, ::testing::HasSubstr("truncated"));
    EXPECT_THAT(description, ::testing::Not(::testing::HasSubstr("timed out")));
    EXPECT_LT(elapsed, 1.0);
  }
  std::int32_t timeout = 0;
  ASSERT_EQ(core->IOObject()->get_Timeout(&timeout), S_OK);
  EXPECT_EQ(timeout, kTimeout);

  ASSERT_EQ(core->Output(Variant(":SIM:FAUL NONE;*CLS")), S_OK);
  EXPECT_EQ(core->SaveScreenImage(Bstr(file), VexR7100_ImageFormat_BMP), S_OK)
      << TakeErrorDetails().description.Str();
  std::filesystem::remove(file);
}

TEST_P(CoreOnSimulator, TimeoutsAndReconnection) {
  std::int32_t timeout = 0;
  ASSERT_EQ(core->put_Timeout(400), S_OK);
  ASSERT_EQ(core->get_Timeout(&timeout), S_OK);
  EXPECT_EQ(timeout, 400);
  ASSERT_EQ(core->Output(Variant(":SIM:FAUL NOAN")), S_OK);
  EXPECT_TRUE(FAILED(core->Digitize()));
  EXPECT_THAT(
      TakeErrorDetails().description.Str(),
      ::testing::StartsWith("VexR7100EZ::Digitize method "
                            "failed.\nCCoreVexR7100::QueryForBstrResult() method failed.\n"));
  ASSERT_EQ(core->Output(Variant(":SIM:FAUL NONE")), S_OK);
  ASSERT_EQ(core->Close(), S_OK);
  ASSERT_EQ(core->Connect(Bstr(address), Bstr()), S_OK) << "the kept I/O object reopens";
  ASSERT_EQ(core->AutoScale(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Buses, CoreOnSimulator, ::testing::Values("Tcp", "Serial", "Gpib"),
                         [](const auto& info) { return info.param; });

TEST(CoreConnect, AClearFailureForAnAddressWithNothingBehindIt) {
  auto core = MakeObject<CCoreVexR7100>();
  EXPECT_TRUE(FAILED(core->Connect(Bstr("GPIB0::9::INSTR"), Bstr())));
  EXPECT_THAT(
      TakeErrorDetails().description.Str(),
      ::testing::StartsWith(
          "VexR7100EZ::Connect method failed.\nCCoreVexR7100::CreateNewIO() method failed.\n"));
  EXPECT_FALSE(core->Connected());
}

}  // namespace
}  // namespace vex::server
