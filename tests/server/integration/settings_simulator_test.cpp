// The instrument settings of the server core against the simulator: every
// property the shipped VDS3004A takes (command set 4, no module, no trace
// memories) is set and read back from the instrument itself, every one it
// lacks is refused, the measurements are taken on the simulator's known
// waveforms, and a setup block round-trips. Most cases run on the in-process
// GPIB bus; one group repeats the essentials over a TCP socket.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <thread>
#include <type_traits>

#include "VexsimProcess.h"
#include "core_vexr7100.h"
#include "model_table.h"

namespace vex::server {
namespace {

using namespace vex::com;
using ::testing::DoubleNear;

constexpr const char* kNotSupported =
    "This method (or property) is not supported for the currently connected instrument.";
constexpr const char* kNeedsModule =
    "The connected instrument requires a measurement/storage module in order to support this "
    "method or property.";
constexpr const char* kCoerced =
    "An input value was out of range for currently connected instrument.  Value was coerced to "
    "the maximum value for that parameter.";

constexpr auto kCh1 = static_cast<VexR7100_AnalogChannels>(1);
constexpr auto kCh2 = static_cast<VexR7100_AnalogChannels>(2);
constexpr auto kCh3 = static_cast<VexR7100_AnalogChannels>(3);
constexpr auto kCh4 = static_cast<VexR7100_AnalogChannels>(4);

sim::test::Vexsim* g_sim = nullptr;

class SimulatorEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_sim = new sim::test::Vexsim({"--model", "VDS3004A", "--tcp", "127.0.0.1:0"});
    ASSERT_GT(g_sim->port(), 0);
    unsetenv("VEX_GPIB_BOARDS");
    unsetenv("VEX_SIM_BUS");
    setenv("VEX_GPIB_BOARDS_FILE", "/nonexistent", 1);
    ASSERT_EQ(RegisterServer(VEXIOUTILS_PATH), S_OK);
    ASSERT_EQ(RegisterServer(VEXSIMBUS_PATH), S_OK);
  }
  void TearDown() override { delete g_sim; }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SimulatorEnvironment);

// A connected core on a freshly reset instrument.
class SettingsOnSimulator : public ::testing::Test {
 protected:
  void SetUp() override { Open("GPIB0::7::INSTR"); }
  void TearDown() override { (void)core->Close(); }
  void Open(const std::string& address) {
    core = MakeObject<CCoreVexR7100>();
    ASSERT_EQ(core->Connect(Bstr(address), Bstr()), S_OK) << TakeErrorDetails().description.Str();
    ASSERT_EQ(core->Output(Variant(":SIM:FAUL NONE;*RST;*CLS")), S_OK);
  }
  // A member the model lacks: refused with the message and help id given.
  static void ExpectRefused(HRESULT hr, const char* what, const char* text = kNotSupported) {
    EXPECT_EQ(hr, E_FAIL) << what;
    ErrorDetails details = TakeErrorDetails();
    EXPECT_EQ(details.description, text) << what;
    EXPECT_EQ(details.help_context, 4u) << what;
  }
  // Nothing the instrument disliked is left in its error queue.
  void ExpectNoInstrumentError() {
    std::int32_t number = -1;
    Bstr description;
    ASSERT_EQ(core->QueryInstrumentError(&number, &description), S_OK);
    EXPECT_EQ(number, 0) << description.Str();
  }
  template <typename T>
  static void ExpectReadBack(T read, T wanted) {
    if constexpr (std::is_floating_point_v<T>)
      EXPECT_DOUBLE_EQ(read, wanted);
    else
      EXPECT_EQ(read, wanted);
  }
  // Writes each value and reads it back from the instrument.
  template <typename T>
  void Cycle(HRESULT (CCoreVexR7100::*put)(T), HRESULT (CCoreVexR7100::*get)(T*),
             std::initializer_list<T> values) {
    for (T wanted : values) {
      ASSERT_EQ((core.Get()->*put)(wanted), S_OK) << wanted;
      T read{};
      ASSERT_EQ((core.Get()->*get)(&read), S_OK) << wanted;
      ExpectReadBack(read, wanted);
    }
  }
  template <typename T>
  void Cycle(VexR7100_AnalogChannels channel,
             HRESULT (CCoreVexR7100::*put)(VexR7100_AnalogChannels, T),
             HRESULT (CCoreVexR7100::*get)(VexR7100_AnalogChannels, T*),
             std::initializer_list<T> values) {
    for (T wanted : values) {
      ASSERT_EQ((core.Get()->*put)(channel, wanted), S_OK) << wanted;
      T read{};
      ASSERT_EQ((core.Get()->*get)(channel, &read), S_OK) << wanted;
      ExpectReadBack(read, wanted);
    }
  }
  ComPtr<CCoreVexR7100> core;
};

TEST_F(SettingsOnSimulator, AcquisitionTypeCountAndCompletion) {
  using C = CCoreVexR7100;
  Cycle(&C::put_Type, &C::get_Type,
        {VexR7100_AcquisitionType_Average, VexR7100_AcquisitionType_Peak,
         VexR7100_AcquisitionType_Normal});
  Cycle(&C::put_Count, &C::get_Count,
        {VexR7100_AcquisitionCount_64, VexR7100_AcquisitionCount_1, VexR7100_AcquisitionCount_256});
  // The completion minimum is read, but this command set does not take it.
  ASSERT_EQ(core->Output(Variant(":ACQ:COMP 80")), S_OK);
  std::int32_t percent = 0;
  ASSERT_EQ(core->get_CompletionMinimum(&percent), S_OK);
  EXPECT_EQ(percent, 80);
  ExpectRefused(core->put_CompletionMinimum(50), "completion minimum write");
  ASSERT_EQ(core->get_CompletionMinimum(&percent), S_OK);
  EXPECT_EQ(percent, 80);
  ExpectNoInstrumentError();
}

TEST_F(SettingsOnSimulator, EveryChannelShowsHidesAndTakesItsSettings) {
  using C = CCoreVexR7100;
  for (auto channel : {kCh1, kCh2, kCh3, kCh4}) {
    SCOPED_TRACE(static_cast<int>(channel));
    Cycle<VARIANT_BOOL>(channel, &C::put_Enabled, &C::get_Enabled, {VARIANT_FALSE, VARIANT_TRUE});
    PROBEMODES mode{};
    ASSERT_EQ(core->get_ProbeMode(channel, &mode), S_OK);
    EXPECT_EQ(mode, VexR7100_ProbeMode_Manual);
    Cycle(channel, &C::put_ProbeAttenuation, &C::get_ProbeAttenuation,
          {VexR7100_ProbeAttenuation_X10, VexR7100_ProbeAttenuation_X100,
           VexR7100_ProbeAttenuation_X20, VexR7100_ProbeAttenuation_X1});
    Cycle(channel, &C::put_INPUTIMPEDANCE, &C::get_INPUTIMPEDANCE,
          {VexR7100_InputImpedance_50_Ohms, VexR7100_InputImpedance_1Meg_Ohms});
    Cycle(channel, &C::put_ProbeCoupling, &C::get_ProbeCoupling,
          {VexR7100_ProbeCoupling_GND, VexR7100_ProbeCoupling_DC});
  }
  // In automatic sense mode the probe sets the attenuation, not the host.
  ASSERT_EQ(core->Output(Variant(":CHAN1:PMOD AUT")), S_OK);
  PROBEMODES mode{};
  ASSERT_EQ(core->get_ProbeMode(kCh1, &mode), S_OK);
  EXPECT_EQ(mode, VexR7100_ProbeMode_Auto);
  EXPECT_EQ(core->put_ProbeAttenuation(kCh1, VexR7100_ProbeAttenuation_X10), E_UNEXPECTED);
  EXPECT_THAT(TakeErrorDetails().description.Str(), ::testing::HasSubstr("automatic probe sense"));
  ASSERT_EQ(core->Output(Variant(":CHAN1:PMOD MAN")), S_OK);
  // Only inputs 1 and 2 take AC coupling and a bandwidth limit.
  Cycle(kCh2, &C::put_ProbeCoupling, &C::get_ProbeCoupling, {VexR7100_ProbeCoupling_AC});
  ExpectRefused(core->put_ProbeCoupling(kCh4, VexR7100_ProbeCoupling_AC), "AC on input 4");
  for (auto channel : {kCh1, kCh2})
    Cycle(channel, &C::put_BandWidthLimit, &C::get_BandWidthLimit, {VexR7100_On, VexR7100_Off});
  EXPECT_EQ(core->put_BandWidthLimit(kCh3, VexR7100_On), E_FAIL);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_EQ(details.description,
            "This enumeration value is not supported for this method of the currently connected "
            "instrument.");
  EXPECT_EQ(details.help_context, 88u);
  ExpectNoInstrumentError();
}

TEST_F(SettingsOnSimulator, VerticalRangeAndOffsetWithTheInstrumentsCoercion) {
  using C = CCoreVexR7100;
  Cycle(kCh1, &C::put_VerticalRange, &C::get_VerticalRange, {0.4, 8.0, 40.0});
  // Inputs 3 and 4 know only their low and high ranges; a value between
  // them takes the high one.
  Cycle(kCh4, &C::put_VerticalRange, &C::get_VerticalRange, {0.016, 40.0});
  double value = 0;
  ASSERT_EQ(core->put_VerticalRange(kCh3, 30), S_OK);
  ASSERT_EQ(core->get_VerticalRange(kCh3, &value), S_OK);
  EXPECT_DOUBLE_EQ(value, 40);

  // At 8 V full scale the offset may go to ±40 V; beyond it the instrument
  // clips, and the core reports the coercion after reading the value back.
  ASSERT_EQ(core->put_VerticalRange(kCh2, 8.0), S_OK);
  Cycle(kCh2, &C::put_VerticalOffset, &C::get_VerticalOffset, {1.25, -30.0});
  EXPECT_EQ(core->put_VerticalOffset(kCh2, 100), E_FAIL);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_EQ(details.description, kCoerced);
  EXPECT_EQ(details.help_context, 36u);
  ASSERT_EQ(core->get_VerticalOffset(kCh2, &value), S_OK);
  EXPECT_DOUBLE_EQ(value, 40);
  EXPECT_EQ(core->put_VerticalOffset(kCh2, -100), E_FAIL);
  EXPECT_EQ(TakeErrorDetails().description, kCoerced);
  ASSERT_EQ(core->get_VerticalOffset(kCh2, &value), S_OK);
  EXPECT_DOUBLE_EQ(value, -40);
  // A small range narrows the offset the instrument keeps.
  ASSERT_EQ(core->put_VerticalRange(kCh2, 0.4), S_OK);
  ASSERT_EQ(core->get_VerticalOffset(kCh2, &value), S_OK);
  EXPECT_DOUBLE_EQ(value, -2);
  ExpectNoInstrumentError();
}

TEST_F(SettingsOnSimulator, TimebaseRangeDelayReferenceAndMode) {
  using C = CCoreVexR7100;
  Cycle(&C::put_HorizontalRange, &C::get_HorizontalRange, {2e-3, 5e-6, 1.0, 2e-3});
  Cycle(&C::put_HorizontalDelay, &C::get_HorizontalDelay, {-5e-4, 1e-4});
  Cycle(&C::put_Delay, &C::get_Delay, {0.25, 0.0});
  Cycle(&C::put_Reference, &C::get_Reference,
        {VexR7100_TimeReference_Left, VexR7100_TimeReference_Right, VexR7100_TimeReference_Center});
  Cycle<VexR7100_TimeMode>(&C::put_Mode, &C::get_Mode,
                           {VexR7100_TimeMode_Delayed, VexR7100_TimeMode_XY, VexR7100_TimeMode_Roll,
                            VexR7100_TimeMode_Normal});
  Cycle(&C::put_TimebaseMode, &C::get_TimebaseMode,
        {VexR7100_TimeMode_XY, VexR7100_TimeMode_Normal});
  ExpectNoInstrumentError();
}

TEST_F(SettingsOnSimulator, TriggerModeSourceSlopeLevelCouplingAndHoldoff) {
  using C = CCoreVexR7100;
  Cycle<VexR7100_TriggerMode>(
      &C::put_Mode, &C::get_Mode,
      {VexR7100_TriggerMode_Normal, VexR7100_TriggerMode_AutoLevel, VexR7100_TriggerMode_Auto});
  Cycle(&C::put_TRIGGERMODE, &C::get_TRIGGERMODE,
        {VexR7100_TriggerMode_Normal, VexR7100_TriggerMode_Auto});
  Cycle(&C::put_Source, &C::get_Source,
        {VexR7100_TriggerSource_Channel2, VexR7100_TriggerSource_Channel3,
         VexR7100_TriggerSource_Channel4, VexR7100_TriggerSource_External,
         VexR7100_TriggerSource_Line, VexR7100_TriggerSource_Channel1});
  Cycle(&C::put_Slope, &C::get_Slope,
        {VexR7100_TriggerSlope_Negative, VexR7100_TriggerSlope_Positive});
  Cycle(&C::put_TriggerLevel, &C::get_TriggerLevel, {1.5, -0.25, 0.0});
  Cycle(&C::put_Coupling, &C::get_Coupling,
        {VexR7100_TriggerCoupling_AC, VexR7100_TriggerCoupling_DC});
  Cycle(&C::put_Holdoff, &C::get_Holdoff, {1e-3, 60e-9});
  ExpectNoInstrumentError();
}

TEST_F(SettingsOnSimulator, MembersTheModelLacksAreRefused) {
  VARIANT_BOOL flag = 0;
  Variant data;
  double value = 0;
  std::vector<std::pair<const char*, std::function<HRESULT()>>> refused{
      {"trace clear", [&] { return core->Clear(1); }},
      {"trace save", [&] { return core->Save(1); }},
      {"trace enabled read", [&] { return core->get_Enabled(1, &flag); }},
      {"trace enabled write", [&] { return core->put_Enabled(1, VARIANT_TRUE); }},
      {"trace data read", [&] { return core->GetData(1, &data); }},
      {"trace data write", [&] { return core->PutData(1, Variant("#0")); }},
      {"dither read", [&] { return core->get_DitherEnabled(&flag); }},
      {"dither write", [&] { return core->put_DitherEnabled(VARIANT_TRUE); }},
      {"panel lock read", [&] { return core->get_PanelLock(&flag); }},
      {"panel lock write", [&] { return core->put_PanelLock(VARIANT_TRUE); }},
      {"display text", [&] { return core->DisplayMessage(Bstr("Hello")); }},
  };
  for (auto& [what, member] : refused) ExpectRefused(member(), what);
  ExpectRefused(core->Amplitude(kCh1, &value), "amplitude", kNeedsModule);
  ExpectRefused(core->Preshoot(kCh1, &value), "preshoot", kNeedsModule);
  ExpectRefused(core->Overshoot(kCh1, &value), "overshoot", kNeedsModule);
  // The memory count is the model's table entry, though none can be used.
  std::int32_t total = -1;
  ASSERT_EQ(core->get_TotalMemories(&total), S_OK);
  EXPECT_EQ(total, 3);
  ExpectNoInstrumentError();
}

// Channel 1 carries a 1 kHz sine of 4 V peak; at 16 V full scale none of it
// is clipped, and the acquisition memory holds ten whole periods.
void MeasureTheSine(CCoreVexR7100& core) {
  ASSERT_EQ(core.put_VerticalRange(kCh1, 16.0), S_OK);
  ASSERT_EQ(core.put_VerticalOffset(kCh1, 0.0), S_OK);
  ASSERT_EQ(core.put_HorizontalRange(1e-3), S_OK);
  constexpr auto kA1 = VexR7100_Channel_A1;
  // 10 % to 90 % of a sine between its peaks: 2 asin(0.8) / 2 pi of a period.
  const double edge = std::asin(0.8) / std::numbers::pi * 1e-3;
  struct Row {
    const char* what;
    std::function<HRESULT(double*)> measure;
    double expected, tolerance;
  };
  const std::vector<Row> rows{
      {"frequency", [&](double* v) { return core.Frequency(kA1, v); }, 1000, 1.0},
      {"period", [&](double* v) { return core.Period(kA1, v); }, 1e-3, 1e-6},
      {"+width", [&](double* v) { return core.PositivePulseWidth(kA1, v); }, 5e-4, 5e-6},
      {"-width", [&](double* v) { return core.NegativePulseWidth(kA1, v); }, 5e-4, 5e-6},
      {"duty", [&](double* v) { return core.DutyCycle(kA1, v); }, 50, 0.5},
      {"rise", [&](double* v) { return core.RiseTime(kCh1, v); }, edge, edge * 0.02},
      {"fall", [&](double* v) { return core.FallTime(kCh1, v); }, edge, edge * 0.02},
      {"max", [&](double* v) { return core.MaxVoltage(kCh1, v); }, 4, 0.1},
      {"min", [&](double* v) { return core.MinVoltage(kCh1, v); }, -4, 0.1},
      {"p-p", [&](double* v) { return core.PeakToPeakVolts(kCh1, v); }, 8, 0.2},
      {"average", [&](double* v) { return core.AverageVoltage(kCh1, v); }, 0, 0.05},
      {"rms", [&](double* v) { return core.RMSVoltage(kCh1, v); }, 4 / std::sqrt(2.0), 0.05},
  };
  for (const Row& row : rows) {
    double value = 0;
    ASSERT_EQ(row.measure(&value), S_OK) << row.what;
    EXPECT_THAT(value, DoubleNear(row.expected, row.tolerance)) << row.what;
  }
}

TEST_F(SettingsOnSimulator, MeasurementsOnTheKnownWaveforms) {
  MeasureTheSine(*core);
  // Channel 2's square of ±1.5 V, and a hidden channel refused before any
  // measurement is taken.
  double value = 0;
  ASSERT_EQ(core->put_Enabled(kCh2, VARIANT_TRUE), S_OK);
  ASSERT_EQ(core->put_VerticalRange(kCh2, 8.0), S_OK);
  ASSERT_EQ(core->Frequency(VexR7100_Channel_A2, &value), S_OK);
  EXPECT_THAT(value, DoubleNear(1000, 1.0));
  ASSERT_EQ(core->DutyCycle(VexR7100_Channel_A2, &value), S_OK);
  EXPECT_THAT(value, DoubleNear(50, 0.5));
  ASSERT_EQ(core->PeakToPeakVolts(kCh2, &value), S_OK);
  EXPECT_THAT(value, DoubleNear(3, 0.1));
  ASSERT_EQ(core->put_Enabled(kCh2, VARIANT_FALSE), S_OK);
  EXPECT_EQ(core->Period(VexR7100_Channel_A2, &value), E_UNEXPECTED);
  EXPECT_EQ(TakeErrorDetails().description, "The specified channel is not enabled.");
  ExpectNoInstrumentError();
}

TEST_F(SettingsOnSimulator, UtilitiesTimeoutStatesStatusOptionsAndSelfTest) {
  std::int32_t timeout = 0;
  ASSERT_EQ(core->put_Timeout(3000), S_OK);
  ASSERT_EQ(core->get_Timeout(&timeout), S_OK);
  EXPECT_EQ(timeout, 3000);

  // Register 1 keeps the state through a reset.
  ASSERT_EQ(core->put_HorizontalRange(5e-3), S_OK);
  ASSERT_EQ(core->SaveState(1), S_OK);
  ASSERT_EQ(core->Reset(), S_OK);
  double range = 0;
  ASSERT_EQ(core->get_HorizontalRange(&range), S_OK);
  EXPECT_DOUBLE_EQ(range, 1e-3);
  ASSERT_EQ(core->RecallState(1), S_OK);
  ASSERT_EQ(core->get_HorizontalRange(&range), S_OK);
  EXPECT_DOUBLE_EQ(range, 5e-3);

  // A bad command sets the command error bit of the event register, which
  // the read clears.
  std::int32_t bits = 0;
  ASSERT_EQ(core->ClearStatus(), S_OK);
  ASSERT_EQ(core->Output(Variant(":BOGUS")), S_OK);
  ASSERT_EQ(core->StatusBits(&bits), S_OK);
  EXPECT_EQ((bits >> 16) & 0x20, 0x20);
  ASSERT_EQ(core->StatusBits(&bits), S_OK);
  EXPECT_EQ((bits >> 16) & 0x20, 0);
  ASSERT_EQ(core->ClearStatus(), S_OK);

  Variant options;
  ASSERT_EQ(core->Options(&options), S_OK);
  ASSERT_EQ(options.vt(), VT_ARRAY | VT_BSTR);
  EXPECT_THAT(options.Array()->Span<const Bstr>(), ::testing::ElementsAre("QD-IB Communication"));

  std::int32_t result = -1;
  Bstr message;
  ASSERT_EQ(core->SelfTest(&result, &message), S_OK);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(core->get_Timeout(&timeout), S_OK);
  EXPECT_EQ(timeout, 3000) << "the self test puts the timeout back";
  ExpectNoInstrumentError();
}

// The settings a setup block carries, as the core reads them.
struct Snapshot {
  double range = 0, offset = 0, level = 0;
  VexR7100_TriggerSlope slope{};
  VexR7100_AcquisitionType type{};
  bool operator==(const Snapshot&) const = default;
};
Snapshot Take(CCoreVexR7100& core) {
  Snapshot s;
  EXPECT_EQ(core.get_HorizontalRange(&s.range), S_OK);
  EXPECT_EQ(core.get_VerticalOffset(kCh1, &s.offset), S_OK);
  EXPECT_EQ(core.get_TriggerLevel(&s.level), S_OK);
  EXPECT_EQ(core.get_Slope(&s.slope), S_OK);
  EXPECT_EQ(core.get_Type(&s.type), S_OK);
  return s;
}

// The setup block ends its message with a line feed, so over a socket the
// next command may follow at once.
void RoundTripTheSetup(CCoreVexR7100& core) {
  ASSERT_EQ(core.put_HorizontalRange(2e-3), S_OK);
  ASSERT_EQ(core.put_VerticalOffset(kCh1, 0.5), S_OK);
  ASSERT_EQ(core.put_TriggerLevel(0.75), S_OK);
  ASSERT_EQ(core.put_Slope(VexR7100_TriggerSlope_Negative), S_OK);
  ASSERT_EQ(core.put_Type(VexR7100_AcquisitionType_Peak), S_OK);
  const Snapshot before = Take(core);
  Variant block;
  ASSERT_EQ(core.ReadStateData(&block), S_OK);
  ASSERT_EQ(block.vt(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(block.Array()->Span<const std::uint8_t>()[0], '#');

  ASSERT_EQ(core.Reset(), S_OK);
  ASSERT_EQ(core.put_TriggerLevel(-2), S_OK);
  EXPECT_FALSE(Take(core) == before);
  ASSERT_EQ(core.WriteStateData(block), S_OK);
  EXPECT_TRUE(Take(core) == before);
}

TEST_F(SettingsOnSimulator, ASetupBlockBringsTheSettingsBack) {
  RoundTripTheSetup(*core);
  ExpectNoInstrumentError();
}

// The same over a socket to the simulator process.
class SettingsOverTcp : public SettingsOnSimulator {
 protected:
  void SetUp() override {
    Open("TCPIP0::127.0.0.1::" + std::to_string(g_sim->port()) + "::SOCKET");
  }
};

TEST_F(SettingsOverTcp, SettingsMeasurementsAndSetupThroughASocket) {
  using C = CCoreVexR7100;
  Cycle(&C::put_Source, &C::get_Source,
        {VexR7100_TriggerSource_Channel3, VexR7100_TriggerSource_External});
  Cycle(kCh2, &C::put_ProbeAttenuation, &C::get_ProbeAttenuation,
        {VexR7100_ProbeAttenuation_X20, VexR7100_ProbeAttenuation_X1});
  Cycle(&C::put_Count, &C::get_Count, {VexR7100_AcquisitionCount_16});
  EXPECT_EQ(core->put_VerticalOffset(kCh1, 100), E_FAIL);
  EXPECT_EQ(TakeErrorDetails().description, kCoerced);
  ExpectRefused(core->put_PanelLock(VARIANT_TRUE), "panel lock write");
  MeasureTheSine(*core);
  RoundTripTheSetup(*core);
  ExpectNoInstrumentError();
}

}  // namespace
}  // namespace vex::server
