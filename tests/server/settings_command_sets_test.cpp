#include "settings_fixture.h"
#include "settings_tables.h"

namespace vex::test {
namespace {

constexpr auto kCh2 = static_cast<VexR7100_AnalogChannels>(2);

// The bytes of the model-dependent writes in each of the five command sets;
// an empty expectation means the set lacks the command and nothing is sent.
TEST_F(SettingsTest, EachCommandSetGetsItsOwnHeaders) {
  Connect(0);
  core->put_RangeChecking(VARIANT_FALSE);
  struct Row {
    const char* what;
    std::function<HRESULT()> write;
    std::array<const char*, 5> expected;
  };
  std::vector<Row> rows{
      {"offset",
       [&] { return core->put_VerticalOffset(kCh2, 0.5); },
       {":CHAN2:OFFS 0.5", ":ANAL2:OFFS 0.5", "", ":CHAN2:OFFS 0.5", ":CHAN2:OFFS 0.5"}},
      {"coupling",
       [&] { return core->put_ProbeCoupling(kCh2, VexR7100_ProbeCoupling_DC); },
       {":CHAN2:PROB:EC DC", ":ANAL2:COUP DC", "", ":CHAN2:PROB:EC DC", ":CHAN2:PROB:EC DC"}},
      {"impedance",
       [&] { return core->put_INPUTIMPEDANCE(kCh2, VexR7100_InputImpedance_1Meg_Ohms); },
       {"", "", "", ":CHAN2:INP ONEM", ":CHAN2:INP ONEM"}},
      {"source",
       [&] { return core->put_Source(VexR7100_TriggerSource_Channel2); },
       {":TRIG:SOUR CHAN2", ":TRIG:EDGE:SOUR CHAN2", "", ":TRIG:SOUR CHAN2",
        ":TRIG:EDGE:SOUR CHAN2"}},
      {"slope",
       [&] { return core->put_Slope(VexR7100_TriggerSlope_Positive); },
       {":TRIG:SLOP POS", ":TRIG:EDGE:SLOP POS", "", ":TRIG:SLOP POS", ":TRIG:EDGE:SLOP POS"}},
      {"level",
       [&] { return core->put_TriggerLevel(2); },
       {":TRIG:LEV 2", ":TRIG:EDGE:LEV 2", "", ":TRIG:LEV 2", ":TRIG:LEV 2"}},
      {"trigger coupling",
       [&] { return core->put_Coupling(VexR7100_TriggerCoupling_DC); },
       {":TRIG:COUP DC", ":TRIG:COUP DC", "", ":TRIG:COUP DC", ":TRIG:EDGE:COUP DC"}},
      {"mode",
       [&] { return core->put_Mode(VexR7100_TriggerMode_Auto); },
       {":TRIG:MODE AUTO", ":TRIG:MODE AUTO", ":TRIG:MODE AUTO", ":TRIG:MODE AUTO",
        ":TRIG:MODE AUTO"}},
      {"holdoff",
       [&] { return core->put_Holdoff(0.001); },
       {":TRIG:HOLD 0.001", ":TRIG:HOLD 0.001", "", ":TRIG:HOLD 0.001", ":TRIG:HOLD 0.001"}},
      {"dither",
       [&] { return core->put_DitherEnabled(VARIANT_TRUE); },
       {":DITH ON", ":ACQ:DITH ON", "", ":DITH ON", ""}},
      {"count",
       [&] { return core->put_Count(VexR7100_AcquisitionCount_1); },
       {":ACQ:COUN +1", ":ACQ:COUN +1", "", ":ACQ:COUN +1", ":ACQ:COUN +1"}},
      {"panel lock",
       [&] { return core->put_PanelLock(VARIANT_FALSE); },
       {":SYST:LOCK OFF", ":SYST:LOCK OFF", ":SYST:LOCK OFF", ":SYST:LOCK OFF", ""}},
  };
  for (int set = 0; set < 5; ++set) {
    UseSet(set);
    for (const Row& row : rows) {
      std::string expected = row.expected[static_cast<std::size_t>(set)];
      HRESULT hr = row.write();
      if (expected.empty()) {
        EXPECT_EQ(hr, E_FAIL) << row.what << " in set " << set;
        EXPECT_EQ(Description(), kNotSupported) << row.what << " in set " << set;
        EXPECT_THAT(Sent(), IsEmpty()) << row.what << " in set " << set;
      } else {
        EXPECT_EQ(hr, S_OK) << row.what << " in set " << set;
        EXPECT_THAT(Sent(), ElementsAre(expected)) << row.what << " in set " << set;
      }
    }
  }
}

TEST_F(SettingsTest, MeasurementQueriesInEachCommandSet) {
  Connect(0);
  core->put_RangeChecking(VARIANT_FALSE);
  double value = 0;
  for (int set = 0; set < 5; ++set) {
    UseSet(set);
    io->Reply("1").Reply("2");
    ASSERT_EQ(core->Period(VexR7100_Channel_A4, &value), S_OK);
    HRESULT rms = core->RMSVoltage(static_cast<VexR7100_AnalogChannels>(4), &value);
    if (set == 2) {
      EXPECT_EQ(rms, E_FAIL);
      EXPECT_THAT(Sent(), ElementsAre(":MEAS:SOUR CHAN4", ":MEAS:PER?"));
      io->script.clear();
    } else {
      EXPECT_EQ(rms, S_OK);
      EXPECT_THAT(Sent(),
                  ElementsAre(":MEAS:SOUR CHAN4", ":MEAS:PER?", ":MEAS:SOUR CHAN4", ":MEAS:VRMS?"));
    }
  }
}

TEST_F(SettingsTest, LogicSourcesAreCheckedThroughTheLogicChannels) {
  Connect(0);
  ModelEntry entry;
  entry.command_set = 0;
  entry.logic_pods = 2;
  entry.logic_channels = 16;
  core->SetModelForTesting(entry);
  double value = 0;
  io->Reply("ON").Reply("+5.0E-01");
  ASSERT_EQ(core->DutyCycle(VexR7100_Channel_D15, &value), S_OK);
  EXPECT_DOUBLE_EQ(value, 0.5);
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_TRUE(sent[0].ends_with(":DISP?")) << sent[0];
  EXPECT_EQ(sent[1], ":MEAS:SOUR DIG15");
  io->Reply("OFF");
  EXPECT_EQ(core->Frequency(VexR7100_Channel_D0, &value), E_UNEXPECTED);
  EXPECT_EQ(Description(), "The specified channel is not enabled.");
}

TEST(SettingsTables, HoldEveryRowAndSendTheFirstWordOfAValue) {
  EXPECT_EQ(AcquisitionCountTable().Size(), 16u);
  EXPECT_EQ(AcquisitionTypeTable().Size(), 6u);
  EXPECT_EQ(ProbeAttenuationTable().Size(), 4u);
  EXPECT_EQ(ProbeCouplingTable().Size(), 3u);
  EXPECT_EQ(ProbeModeTable().Size(), 2u);
  EXPECT_EQ(InputImpedanceTable().Size(), 2u);
  EXPECT_EQ(TimeModeTable().Size(), 6u);
  EXPECT_EQ(TimeReferenceTable().Size(), 4u);
  EXPECT_EQ(TriggerCouplingTable().Size(), 2u);
  EXPECT_EQ(TriggerModeTable().Size(), 20u);
  EXPECT_EQ(TriggerSlopeTable().Size(), 2u);
  EXPECT_EQ(TriggerSourceTable().Size(), 24u);
  EXPECT_EQ(MeasureSourceTable().Size(), 38u);

  EXPECT_EQ(AcquisitionCountTable().WordOf(256), "+256");
  EXPECT_EQ(AcquisitionCountTable().ValueOfReply("256\n"), 256);
  EXPECT_EQ(TimeReferenceTable().WordOf(2), "RIGHT");
  EXPECT_EQ(TimeReferenceTable().ValueOfReply("RIGH"), 2);
  EXPECT_EQ(TimeModeTable().WordOf(4), "NORM");
  EXPECT_EQ(TriggerModeTable().WordOf(-1), "SING");
  EXPECT_EQ(TriggerModeTable().ValueOfReply("NORM,EDGE"), 2);
  EXPECT_EQ(TriggerModeTable().ValueOfReply("AUTL,PATT"), -1);
  EXPECT_EQ(TriggerSourceTable().WordOf(25), "DIG15");
  EXPECT_EQ(TriggerSourceTable().ValueOfReply("ANAL1"), 1);
  EXPECT_EQ(MeasureSourceTable().WordOf(15), "DIG5");
  EXPECT_EQ(MeasureSourceTable().ValueOfReply("LCHAN15"), 25);
  EXPECT_EQ(AcquisitionTypeTable().WordOf(0), std::nullopt);
}

}  // namespace
}  // namespace vex::test
