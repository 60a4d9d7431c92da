#include <functional>

#include "settings_fixture.h"

namespace vex::test {
namespace {

constexpr auto kCh1 = static_cast<VexR7100_AnalogChannels>(1);
constexpr auto kCh2 = static_cast<VexR7100_AnalogChannels>(2);
constexpr auto kCh3 = static_cast<VexR7100_AnalogChannels>(3);

TEST_F(SettingsTest, MembersRefuseWithoutAConnectionAndSendNothing) {
  double d = 0;
  VARIANT_BOOL b = 0;
  std::int32_t n = 0;
  Variant block;
  std::vector<std::function<HRESULT()>> members{
      [&] { return core->put_Count(VexR7100_AcquisitionCount_64); },
      [&] { return core->get_VerticalRange(kCh1, &d); },
      [&] { return core->put_HorizontalRange(1e-3); },
      [&] { return core->put_Source(VexR7100_TriggerSource_Line); },
      [&] { return core->Frequency(VexR7100_Channel_A1, &d); },
      [&] { return core->Save(1); },
      [&] { return core->get_TotalMemories(&n); },
      [&] { return core->get_PanelLock(&b); },
      [&] { return core->ReadStateData(&block); },
      [&] { return core->StatusBits(&n); }};
  for (auto& member : members) {
    EXPECT_EQ(member(), E_FAIL);
    ErrorDetails details = Details();
    EXPECT_EQ(details.description,
              "The instrument automation server is not currently connected to an instrument.");
    EXPECT_EQ(details.help_context, 1529u);
  }
  EXPECT_THAT(io->sent, IsEmpty());
}

TEST_F(SettingsTest, AcquisitionCountIsSentSignedAndReadWithOrWithoutSign) {
  Connect(0);
  ASSERT_EQ(core->put_Count(VexR7100_AcquisitionCount_64), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":ACQ:COUN +64"));
  VexR7100_AcquisitionCount count{};
  io->Reply("64");
  ASSERT_EQ(core->get_Count(&count), S_OK);
  EXPECT_EQ(count, 64);
  io->Reply("+64\n");
  ASSERT_EQ(core->get_Count(&count), S_OK);
  EXPECT_EQ(count, 64);
  io->Reply("2");
  EXPECT_EQ(core->get_Count(&count), E_FAIL);
  EXPECT_EQ(Description(), kReplyNotRecognized);
  Sent();
  ExpectRefusal(core->put_Count(static_cast<VexR7100_AcquisitionCount>(2)), E_FAIL, kNotRecognized,
                24);

  UseSet(2);
  ExpectRefusal(core->put_Count(VexR7100_AcquisitionCount_8), E_FAIL, kNotSupported, 4);
  ExpectRefusal(core->get_Count(&count), E_FAIL, kNotSupported, 4);
  std::int32_t percent = 0;
  ExpectRefusal(core->get_CompletionMinimum(&percent), E_FAIL, kNotSupported, 4);
}

TEST_F(SettingsTest, AcquisitionTypeDitherAndCompletionFollowTheCommandSet) {
  Connect(4);
  ASSERT_EQ(core->put_Type(VexR7100_AcquisitionType_Normal), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":ACQ:TYPE NORM"));
  VexR7100_AcquisitionType type{};
  io->Reply("PEAK");
  ASSERT_EQ(core->get_Type(&type), S_OK);
  EXPECT_EQ(type, VexR7100_AcquisitionType_Peak);
  Sent();
  ExpectRefusal(core->put_Type(static_cast<VexR7100_AcquisitionType>(0)), E_FAIL, kNotRecognized,
                26);
  io->FailWrite(E_ABORT);
  EXPECT_EQ(core->put_Type(VexR7100_AcquisitionType_Auto), E_FAIL) << "reported as E_FAIL";
  EXPECT_EQ(Description().rfind("IAcquisitionVexR7100::Type (write) property failed.\n", 0), 0u);

  // Set 4 reads the completion minimum but does not take it, and has no dither.
  std::int32_t percent = 0;
  io->Reply("+80");
  ASSERT_EQ(core->get_CompletionMinimum(&percent), S_OK);
  EXPECT_EQ(percent, 80);
  EXPECT_THAT(Sent(), ElementsAre(":ACQ:COMP?"));
  ExpectRefusal(core->put_CompletionMinimum(50), E_FAIL, kNotSupported, 4);
  VARIANT_BOOL dither = 0;
  ExpectRefusal(core->get_DitherEnabled(&dither), E_FAIL, kNotSupported, 4);

  UseSet(0);
  ASSERT_EQ(core->put_CompletionMinimum(0), S_OK);
  ASSERT_EQ(core->put_CompletionMinimum(100), S_OK);
  ASSERT_EQ(core->put_DitherEnabled(1), S_OK);
  ASSERT_EQ(core->put_DitherEnabled(VARIANT_TRUE), S_OK);
  io->Reply("1");
  ASSERT_EQ(core->get_DitherEnabled(&dither), S_OK);
  EXPECT_EQ(dither, VARIANT_TRUE);
  EXPECT_THAT(Sent(),
              ElementsAre(":ACQ:COMP 0", ":ACQ:COMP 100", ":DITH OFF", ":DITH ON", ":DITH?"));
  core->put_RangeChecking(VARIANT_FALSE);
  ExpectRefusal(core->put_CompletionMinimum(101), E_FAIL, kNotLegal, 23);
  ExpectRefusal(core->put_CompletionMinimum(-1), E_FAIL, kNotLegal, 23);
}

TEST_F(SettingsTest, ChannelDisplayAndBandwidthLimit) {
  Connect(4);
  ASSERT_EQ(core->put_Enabled(kCh2, VARIANT_TRUE), S_OK);
  ASSERT_EQ(core->put_Enabled(kCh2, 1), S_OK);
  VARIANT_BOOL shown = 0;
  io->Reply("ON");
  ASSERT_EQ(core->get_Enabled(kCh2, &shown), S_OK);
  EXPECT_EQ(shown, VARIANT_TRUE);
  EXPECT_THAT(Sent(), ElementsAre(":VIEW CHAN2", ":BLAN CHAN2", "CHAN2:DISP?"));
  ExpectRefusal(core->put_Enabled(static_cast<VexR7100_AnalogChannels>(5), VARIANT_TRUE), E_FAIL,
                kEnumNotRecognized, 88);

  ASSERT_EQ(core->put_BandWidthLimit(kCh1, VexR7100_On), S_OK);
  ONOFFSTATE limit{};
  io->Reply("OFF");
  ASSERT_EQ(core->get_BandWidthLimit(kCh1, &limit), S_OK);
  EXPECT_EQ(limit, VexR7100_Off);
  EXPECT_THAT(Sent(), ElementsAre(":CHAN1:BWL ON", ":CHAN1:BWL?"));
  const char* not_for_method =
      "This enumeration value is not supported for this method of the currently connected "
      "instrument.";
  ExpectRefusal(core->put_BandWidthLimit(kCh3, VexR7100_On), E_FAIL, not_for_method, 88);
  ExpectRefusal(core->get_BandWidthLimit(kCh3, &limit), E_FAIL, not_for_method, 88);
  ExpectRefusal(core->put_BandWidthLimit(kCh1, static_cast<ONOFFSTATE>(2)), E_FAIL,
                kEnumNotRecognized, 86);
  ExpectRefusal(core->get_BandWidthLimit(static_cast<VexR7100_AnalogChannels>(0), &limit), E_FAIL,
                "This enumeration value is not supported for the currently connected instrument.",
                88);

  UseSet(2);
  double range = 0;
  ExpectRefusal(core->get_VerticalRange(kCh1, &range), E_FAIL, kNotSupported, 4);
}

TEST_F(SettingsTest, ProbeAttenuationReadsWordsOrNumbersAndRespectsAutomaticSense) {
  Connect(4);
  PROBEATTEN attenuation{};
  for (auto [reply, expected] :
       {std::pair{"X20", 20}, {"10", 10}, {"1.0E+00", 1}, {"100.0", 100}}) {
    io->Reply(reply);
    ASSERT_EQ(core->get_ProbeAttenuation(kCh1, &attenuation), S_OK) << reply;
    EXPECT_EQ(attenuation, expected) << reply;
  }
  io->Reply("150");
  EXPECT_EQ(core->get_ProbeAttenuation(kCh1, &attenuation), E_FAIL);
  EXPECT_EQ(Description(), kReplyNotRecognized);
  Sent();

  io->Reply("AUT");
  EXPECT_EQ(core->put_ProbeAttenuation(kCh1, VexR7100_ProbeAttenuation_X10), E_UNEXPECTED);
  EXPECT_EQ(Description(),
            "This channel of the instrument is in automatic probe sense mode and the probe "
            "attenuation cannot be programmably set.");
  io->Reply("MAN");
  ASSERT_EQ(core->put_ProbeAttenuation(kCh1, VexR7100_ProbeAttenuation_X10), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":CHAN1:PMOD?", ":CHAN1:PMOD?", ":CHAN1:PROB X10"));
  ExpectRefusal(core->put_ProbeAttenuation(kCh1, static_cast<PROBEATTEN>(5)), E_FAIL,
                kEnumNotRecognized, 84);
}

TEST_F(SettingsTest, VerticalRangeIsCheckedAgainstTheAttenuatedLimits) {
  Connect(4);
  io->Reply("X10").Reply("X10").Reply("X10");
  ASSERT_EQ(core->put_VerticalRange(kCh1, 0.16), S_OK);
  ASSERT_EQ(core->put_VerticalRange(kCh1, 400), S_OK);
  EXPECT_EQ(core->put_VerticalRange(kCh1, 401), E_FAIL);
  EXPECT_EQ(Details().help_context, 37u);
  EXPECT_THAT(Sent(), ElementsAre(":CHAN1:PROB?", ":CHAN1:RANG 0.16", ":CHAN1:PROB?",
                                  ":CHAN1:RANG 400", ":CHAN1:PROB?"));
  core->put_RangeChecking(VARIANT_FALSE);
  ASSERT_EQ(core->put_VerticalRange(kCh1, 401), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":CHAN1:RANG 401"));

  // Inputs 3 and 4 know a low and a high range; a write picks the one that
  // covers the value.
  double range = 0;
  io->Reply("X1").Reply("LOW");
  ASSERT_EQ(core->get_VerticalRange(kCh3, &range), S_OK);
  EXPECT_DOUBLE_EQ(range, 0.016);
  io->Reply("X10").Reply("high");
  ASSERT_EQ(core->get_VerticalRange(kCh3, &range), S_OK);
  EXPECT_DOUBLE_EQ(range, 400);
  io->Reply("X1").Reply("+1.0E+00");
  EXPECT_EQ(core->get_VerticalRange(kCh3, &range), E_FAIL);
  EXPECT_EQ(Description(), kReplyNotRecognized);
  io->Reply("X1").Reply("X10");
  ASSERT_EQ(core->put_VerticalRange(kCh3, 0.01), S_OK);
  ASSERT_EQ(core->put_VerticalRange(kCh3, 0.5), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":CHAN3:PROB?", ":CHAN3:RANG?", ":CHAN3:PROB?", ":CHAN3:RANG?",
                                  ":CHAN3:PROB?", ":CHAN3:RANG?", ":CHAN3:PROB?", ":CHAN3:RANG LOW",
                                  ":CHAN3:PROB?", ":CHAN3:RANG HIGH"));
}

TEST_F(SettingsTest, VerticalOffsetReportsACoercedValueAfterSendingIt) {
  Connect(4);
  io->Reply("+4.0E+01");
  EXPECT_EQ(core->put_VerticalOffset(kCh1, 100), E_FAIL);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description,
            "An input value was out of range for currently connected instrument.  Value was "
            "coerced to the maximum value for that parameter.");
  EXPECT_EQ(details.help_context, 36u);
  io->Reply("-40");
  EXPECT_EQ(core->put_VerticalOffset(kCh1, -100), E_FAIL);
  io->Reply("-40");
  EXPECT_EQ(core->put_VerticalOffset(kCh1, -40), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":CHAN1:OFFS 100", ":CHAN1:OFFS?", ":CHAN1:OFFS -100",
                                  ":CHAN1:OFFS?", ":CHAN1:OFFS -40", ":CHAN1:OFFS?"));
  core->put_RangeChecking(VARIANT_FALSE);
  ASSERT_EQ(core->put_VerticalOffset(kCh1, 100), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":CHAN1:OFFS 100"));
}

TEST_F(SettingsTest, CouplingImpedanceAndProbeModeByModel) {
  Connect(4);
  ExpectRefusal(core->put_ProbeCoupling(kCh3, VexR7100_ProbeCoupling_AC), E_FAIL, kNotSupported, 4);
  ASSERT_EQ(core->put_ProbeCoupling(kCh3, VexR7100_ProbeCoupling_GND), S_OK);
  ASSERT_EQ(core->put_ProbeCoupling(kCh1, VexR7100_ProbeCoupling_AC), S_OK);
  ASSERT_EQ(core->put_INPUTIMPEDANCE(kCh2, VexR7100_InputImpedance_50_Ohms), S_OK);
  INPUTIMPEDANCE impedance{};
  io->Reply("ONEM");
  ASSERT_EQ(core->get_INPUTIMPEDANCE(kCh2, &impedance), S_OK);
  EXPECT_EQ(impedance, VexR7100_InputImpedance_1Meg_Ohms);
  PROBEMODES mode{};
  io->Reply("AUT");
  ASSERT_EQ(core->get_ProbeMode(kCh1, &mode), S_OK);
  EXPECT_EQ(mode, VexR7100_ProbeMode_Auto);
  EXPECT_THAT(Sent(), ElementsAre(":CHAN3:PROB:EC GND", ":CHAN1:PROB:EC AC", ":CHAN2:INP FIFT",
                                  ":CHAN2:INP?", ":CHAN1:PMOD?"));
  io->FailWrite(E_ABORT);
  EXPECT_EQ(core->put_INPUTIMPEDANCE(kCh2, VexR7100_InputImpedance_50_Ohms), E_ABORT);
  EXPECT_EQ(
      Description().rfind("iAnalogChannelVexR7100::InputImpedance (write) property failed.\n", 0),
      0u);
  UseSet(0);
  ExpectRefusal(core->get_INPUTIMPEDANCE(kCh2, &impedance), E_FAIL, kNotSupported, 4);
  UseSet(3);
  ExpectRefusal(core->get_ProbeMode(kCh1, &mode), E_FAIL, kNotSupported, 4);
}

}  // namespace
}  // namespace vex::test
