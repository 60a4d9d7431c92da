// An instrument that is power-cycled comes back by itself: the registered
// server, called by name as its clients call it, against a simulator
// process that is killed and started again, over a raw TCP socket (restarted
// on the same port), VXI-11 (found again through the port mapper) and a
// serial line (the port map's entry a symbolic link re-pointed to the new
// simulator's pty, as a re-plugged USB adapter appears under a new node).
//
// VEX_POWER_CYCLE_TIMES=1 prints how long each call on a dead instrument
// took against its timeout.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PortMapper.h"
#include "VexsimProcess.h"
#include "vex/com/com.h"
#include "vex/io/io_interfaces.h"
#include "vex/server/vexr7100.h"

namespace vex::server {
namespace {

using namespace vex::com;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kWorkingTimeout = 2000;  // ms
#if defined(__SANITIZE_ADDRESS__)
constexpr long kSlackMs = 250;  // the sanitizer slows every call
#else
constexpr long kSlackMs = 0;
#endif

constexpr std::uint16_t kGet = DISPATCH_PROPERTYGET;
constexpr std::uint16_t kCall = DISPATCH_METHOD;

sim::test::PortMapper* g_mapper = nullptr;
std::string g_com1_link;

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_mapper = new sim::test::PortMapper();
    ASSERT_TRUE(g_mapper->available()) << "no port mapper (rpcbind) could be reached or started";
    g_com1_link = std::string(VEX_TEST_TMP) + "/power-cycle-com1";
    // Read once, before anything in this process reads the port map.
    setenv("VEX_COM_PORTS", ("COM1=" + g_com1_link).c_str(), 1);
    ASSERT_EQ(RegisterServer(VEXIOUTILS_PATH), S_OK);
    ASSERT_EQ(RegisterServer(VEX9100TB_PATH), S_OK);
  }
  void TearDown() override {
    std::filesystem::remove(g_com1_link);
    delete g_mapper;
    g_mapper = nullptr;
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The simulated instrument behind one address, switched off (killed) and
// on (started again where the address finds it) at will.
class Instrument {
 public:
  explicit Instrument(std::string bus) : bus_(std::move(bus)) {}

  void SwitchOn() {
    std::vector<std::string> args{"--model", "VDS3004A"};
    if (bus_ == "Tcp") args.insert(args.end(), {"--tcp", "127.0.0.1:" + std::to_string(port_)});
    if (bus_ == "Vxi11") args.push_back("--vxi11");
    if (bus_ == "Serial") args.push_back("--pty");
    sim_ = std::make_unique<sim::test::Vexsim>(args);
    ASSERT_NE(sim_->banner().find("ready"), std::string::npos) << sim_->banner();
    if (bus_ == "Tcp") port_ = sim_->port();
    if (bus_ == "Serial") {
      // Replaced in one step, as udev replaces a device's link.
      const std::string next = g_com1_link + ".new";
      std::filesystem::remove(next);
      std::filesystem::create_symlink(sim_->Endpoint("pty"), next);
      std::filesystem::rename(next, g_com1_link);
    }
  }
  // Power off: the process dies at once, its links with it. A serial
  // adapter's link goes with its device, as udev removes it: the pty's
  // number may be reused at once by any other program on the machine.
  void SwitchOff() {
    // A VXI-11 instrument takes its port mapper down with it, so nothing
    // names its old port any more; here the port mapper is the host's, so
    // the simulator is ended with SIGTERM, which withdraws its
    // registration. A registration left behind would name a port that
    // another test's listener may have taken meanwhile.
    if (bus_ == "Vxi11" && sim_) (void)sim_->Terminate();
    sim_.reset();
    if (bus_ == "Serial") std::filesystem::remove(g_com1_link);
  }

  std::string Address() const {
    if (bus_ == "Tcp") return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET";
    if (bus_ == "Vxi11") return "TCPIP0::127.0.0.1::INSTR";
    return "COM1::Baud=115200,Handshake=NONE";
  }

 private:
  std::string bus_;
  int port_ = 0;  // the TCP port, kept across restarts
  std::unique_ptr<sim::test::Vexsim> sim_;
};

class PowerCycle : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    instrument = std::make_unique<Instrument>(GetParam());
    instrument->SwitchOn();
    ASSERT_EQ(CreateObjectByProgID(kVexR7100EZProgID, &top), S_OK);
    ASSERT_EQ(Call(top.Get(), "Connect", kCall, {Variant(instrument->Address())}), S_OK)
        << TakeErrorDetails().description.Str();
    Variant utilities_value;
    ASSERT_EQ(GetProperty(top.Get(), "Utilities", &utilities_value), S_OK);
    utilities = utilities_value.Dispatch();
    Variant timebase_value;
    ASSERT_EQ(GetProperty(top.Get(), "Timebase", &timebase_value), S_OK);
    timebase = timebase_value.Dispatch();
    ASSERT_EQ(PutProperty(utilities.Get(), "Timeout", Variant(kWorkingTimeout)), S_OK);
  }
  void TearDown() override {
    if (top) (void)Call(top.Get(), "Close", kCall, {});
  }

  HRESULT Call(IDispatch* object, std::string_view name, std::uint16_t flags,
               std::vector<Variant> args, Variant* result = nullptr) {
    Variant ignored;
    return InvokeByName(object, name, flags, args, result ? result : &ignored);
  }

  // A one-query member.
  HRESULT ReadRange() { return Call(timebase.Get(), "HorizontalRange", kGet, {}); }
  // A member that reads a definite-length block.
  HRESULT ReadWaveform() {
    return Call(top.Get(), "GetWaveformData", kCall,
                {Variant(1), Variant(0), Variant(), Variant()});
  }

  std::string Model() {
    Variant model;
    EXPECT_EQ(GetProperty(utilities.Get(), "InstrumentModel", &model), S_OK);
    return model.vt() == VT_BSTR ? model.BstrVal().Str() : std::string();
  }

  std::int32_t IOTimeout() {
    Variant io;
    EXPECT_EQ(GetProperty(utilities.Get(), "IO", &io), S_OK);
    ComPtr<io::IIO> typed;
    if (FAILED(ComPtr<IUnknown>(io.Unknown()).As(&typed))) return -1;
    std::int32_t timeout = -1;
    typed->get_Timeout(&timeout);
    return timeout;
  }

  std::unique_ptr<Instrument> instrument;
  ComPtr<IDispatch> top;
  ComPtr<IDispatch> utilities;
  ComPtr<IDispatch> timebase;
};

TEST_P(PowerCycle, RestartedBetweenTwoCallsTheSecondSucceeds) {
  ASSERT_EQ(ReadRange(), S_OK) << TakeErrorDetails().description.Str();
  instrument->SwitchOff();
  instrument->SwitchOn();
  EXPECT_EQ(ReadRange(), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_EQ(ReadWaveform(), S_OK) << TakeErrorDetails().description.Str();
  // The model record of the connection is kept: no new Connect was needed.
  EXPECT_EQ(Model(), "VDS3004A");
  Variant name;
  ASSERT_EQ(GetProperty(top.Get(), "ConnectionName", &name), S_OK);
  EXPECT_EQ(name.BstrVal().Str(), instrument->Address());
}

TEST_P(PowerCycle, KilledInTheMiddleOfABlockThatCallFailsAndTheNextSucceeds) {
  ASSERT_EQ(ReadWaveform(), S_OK) << TakeErrorDetails().description.Str();
  // Half the block comes, then nothing: the instrument dies while the
  // server waits for the rest.
  ASSERT_EQ(Call(top.Get(), "Output", kCall, {Variant(":SIM:FAUL TRUN")}), S_OK);
  std::thread power([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    instrument->SwitchOff();
  });
  const auto start = Clock::now();
  const HRESULT hr = ReadWaveform();
  const long elapsed = MillisecondsSince(start);
  power.join();
  EXPECT_TRUE(FAILED(hr));
  EXPECT_THAT(TakeErrorDetails().description.Str(),
              StartsWith("VexR7100EZ::GetWaveformData method failed."));
  EXPECT_LT(elapsed, kWorkingTimeout + 5000 + kSlackMs);
  EXPECT_EQ(IOTimeout(), kWorkingTimeout) << "the transfer state is put back";

  instrument->SwitchOn();
  EXPECT_EQ(ReadWaveform(), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_EQ(Model(), "VDS3004A");
}

TEST_P(PowerCycle, NeverRestartedEachCallFailsWithinItsTimeoutUntilItIsBack) {
  ASSERT_EQ(ReadRange(), S_OK) << TakeErrorDetails().description.Str();
  instrument->SwitchOff();
  for (int call = 1; call <= 3; ++call) {
    const auto start = Clock::now();
    const HRESULT hr = ReadRange();
    const long elapsed = MillisecondsSince(start);
    const std::string description = TakeErrorDetails().description.Str();
    EXPECT_TRUE(FAILED(hr));
    EXPECT_THAT(description,
                StartsWith("ITimebaseVexR7100::HorizontalRange (read) property failed."));
    EXPECT_THAT(description, HasSubstr("cannot reopen")) << "the reason, with the address";
    EXPECT_LE(elapsed, kWorkingTimeout + kWorkingTimeout / 10 + kSlackMs);
    if (std::getenv("VEX_POWER_CYCLE_TIMES"))
      std::fprintf(stderr, "%s dead, call %d: timeout %d ms -> failed in %ld ms\n",
                   GetParam().c_str(), call, kWorkingTimeout, elapsed);
  }
  instrument->SwitchOn();
  EXPECT_EQ(ReadRange(), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_EQ(Model(), "VDS3004A");
}

INSTANTIATE_TEST_SUITE_P(Buses, PowerCycle, ::testing::Values("Tcp", "Vxi11", "Serial"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace vex::server
