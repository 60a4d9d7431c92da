#include "settings_fixture.h"

namespace vex::test {
namespace {

TEST_F(SettingsTest, TimebaseModeAndReferenceWordsRoundTrip) {
  Connect(4);
  io->Reply("NORM");
  ASSERT_EQ(core->put_Reference(VexR7100_TimeReference_Right), S_OK);
  ASSERT_EQ(core->put_TimebaseMode(VexR7100_TimeMode_XY), S_OK);
  VexR7100_TimeReference reference{};
  io->Reply("RIGH");
  ASSERT_EQ(core->get_Reference(&reference), S_OK);
  EXPECT_EQ(reference, VexR7100_TimeReference_Right);
  VexR7100_TimeMode mode{};
  io->Reply("MAIN");
  ASSERT_EQ(core->get_Mode(&mode), S_OK);
  EXPECT_EQ(mode, VexR7100_TimeMode_Normal);
  io->Reply("WIND");
  ASSERT_EQ(core->get_TimebaseMode(&mode), S_OK);
  EXPECT_EQ(mode, VexR7100_TimeMode_Delayed);
  EXPECT_THAT(Sent(), ElementsAre(":TIM:MODE?", ":TIM:REF RIGHT", ":TIM:MODE XY", ":TIM:REF?",
                                  ":TIM:MODE?", ":TIM:MODE?"));
  io->Reply("right");
  EXPECT_EQ(core->get_Reference(&reference), E_FAIL) << "replies are compared case-sensitively";
  EXPECT_EQ(Description(), kReplyNotRecognized);
  Sent();
  ExpectRefusal(core->put_Mode(static_cast<VexR7100_TimeMode>(0)), E_FAIL, kNotRecognized, 91);
  ExpectRefusal(core->put_Reference(static_cast<VexR7100_TimeReference>(4)), E_FAIL, kNotRecognized,
                92);
}

TEST_F(SettingsTest, ReferenceWriteChecksTheSweepModeByCommandSet) {
  Connect(4);
  io->Reply("ROLL").Reply("ROLL").Reply("ROLL");
  ExpectRefusalAfterQuery(core->put_Reference(VexR7100_TimeReference_Left));
  ExpectRefusalAfterQuery(core->put_Reference(VexR7100_TimeReference_Center));
  ASSERT_EQ(core->put_Reference(VexR7100_TimeReference_Right), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":TIM:MODE?", ":TIM:REF RIGHT"));
  io->Reply("XY");
  ASSERT_EQ(core->put_Reference(VexR7100_TimeReference_Center), S_OK);
  Sent();

  UseSet(0);
  io->Reply("NORM").Reply("XY");
  ExpectRefusalAfterQuery(core->put_Reference(VexR7100_TimeReference_Right));
  ExpectRefusalAfterQuery(core->put_Reference(VexR7100_TimeReference_Center));

  // Sets 1 and 2 take any reference; without range checking no mode is read.
  UseSet(1);
  ASSERT_EQ(core->put_Reference(VexR7100_TimeReference_Left), S_OK);
  UseSet(0);
  core->put_RangeChecking(VARIANT_FALSE);
  ASSERT_EQ(core->put_Reference(VexR7100_TimeReference_Right), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":TIM:REF LEFT", ":TIM:REF RIGHT"));
}

TEST_F(SettingsTest, HorizontalRangeAndDelayLimits) {
  Connect(4);
  ASSERT_EQ(core->put_HorizontalRange(1e-9), S_OK);
  ASSERT_EQ(core->put_HorizontalRange(50), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":TIM:RANG 1e-09", ":TIM:RANG 50"));
  core->put_RangeChecking(VARIANT_FALSE);
  ExpectRefusal(core->put_HorizontalRange(51), E_FAIL, kNotLegal, 56);
  ExpectRefusal(core->put_HorizontalRange(std::nan("")), E_FAIL, kNotLegal, 56);
  ASSERT_EQ(core->put_HorizontalDelay(0.25), S_OK) << "unchecked without range checking";
  ASSERT_EQ(core->put_Delay(-2), S_OK);
  double delay = 0;
  io->Reply("+1.5E-03");
  ASSERT_EQ(core->get_Delay(&delay), S_OK);
  EXPECT_DOUBLE_EQ(delay, 1.5e-3);
  EXPECT_THAT(Sent(), ElementsAre(":TIM:DEL 0.25", ":TIM:DEL -2", ":TIM:DEL?"));

  core->put_RangeChecking(VARIANT_TRUE);
  io->Reply("1E-3").Reply("1E-3");
  ASSERT_EQ(core->put_HorizontalDelay(-0.5e-3), S_OK);
  EXPECT_EQ(core->put_HorizontalDelay(0.25), E_FAIL);
  EXPECT_EQ(Details().help_context, 55u);
  EXPECT_THAT(Sent(), ElementsAre(":TIM:RANG?", ":TIM:DEL -5e-04", ":TIM:RANG?"));
  ASSERT_EQ(core->put_Delay(0.25), S_OK) << "Delay has no range check";
}

TEST_F(SettingsTest, SampleRateNeedsAPositiveFiniteIncrement) {
  Connect(4);
  double rate = 0;
  io->Reply("+1.0E-06");
  ASSERT_EQ(core->get_SampleRate(&rate), S_OK);
  EXPECT_DOUBLE_EQ(rate, 1e6);
  for (const char* reply : {"0", "-1E-6", "no number", "1E-320", "9.9E+999"}) {
    rate = -7;
    io->Reply(reply);
    EXPECT_EQ(core->get_SampleRate(&rate), E_FAIL) << reply;
    EXPECT_EQ(Description(), kReplyNotRecognized) << reply;
    EXPECT_EQ(rate, -7) << reply;
  }
}

// The writes of every command set are in the command-set test.
TEST_F(SettingsTest, TriggerReadsAndRefusedCodes) {
  Connect(1);
  VexR7100_TriggerSource source{};
  io->Reply("ANAL2");
  ASSERT_EQ(core->get_Source(&source), S_OK);
  EXPECT_EQ(source, VexR7100_TriggerSource_Channel2);
  double level = 0;
  io->Reply("+1.5E-01");
  ASSERT_EQ(core->get_TriggerLevel(&level), S_OK);
  EXPECT_DOUBLE_EQ(level, 0.15);
  EXPECT_THAT(Sent(), ElementsAre(":TRIG:EDGE:SOUR?", ":TRIG:EDGE:LEV?"));
  ExpectRefusal(core->put_Slope(static_cast<VexR7100_TriggerSlope>(3)), E_FAIL, kNotRecognized, 95);
  ExpectRefusal(core->put_Source(static_cast<VexR7100_TriggerSource>(7)), E_FAIL, kNotRecognized,
                94);
  ExpectRefusal(core->put_Coupling(static_cast<VexR7100_TriggerCoupling>(0)), E_FAIL,
                kNotRecognized, 96);

  UseSet(2);
  VexR7100_TriggerSlope slope{};
  ExpectRefusal(core->get_Slope(&slope), E_FAIL, kNotSupported, 4);
  ExpectRefusal(core->get_TriggerLevel(&level), E_FAIL, kNotSupported, 4);
  VexR7100_TriggerCoupling coupling{};
  ExpectRefusal(core->get_Coupling(&coupling), E_FAIL, kNotSupported, 4);
}

TEST_F(SettingsTest, TriggerModeRepliesCombineSweepAndType) {
  Connect(4);
  VexR7100_TriggerMode mode{};
  for (auto [reply, expected] :
       {std::pair{"NORM,EDGE", 2}, {"AUTO,TV", -1}, {"AUTL", 3}, {"SING", -1}, {"AUTL,EDGE", 3}}) {
    io->Reply(reply);
    ASSERT_EQ(core->get_TRIGGERMODE(&mode), S_OK) << reply;
    EXPECT_EQ(mode, expected) << reply;
  }
  io->Reply("EDGE");
  EXPECT_EQ(core->get_Mode(&mode), E_FAIL);
  EXPECT_EQ(Description(), kReplyNotRecognized);
  Sent();
  ASSERT_EQ(core->put_Mode(static_cast<VexR7100_TriggerMode>(-1)), S_OK);
  ASSERT_EQ(core->put_TRIGGERMODE(VexR7100_TriggerMode_AutoLevel), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":TRIG:MODE SING", ":TRIG:MODE AUTL"));
  ExpectRefusal(core->put_Mode(static_cast<VexR7100_TriggerMode>(4)), E_FAIL, kNotRecognized, 94);

  io->FailRead(E_ABORT);
  double seconds = 0;
  EXPECT_EQ(core->get_Holdoff(&seconds), E_ABORT);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description.View().substr(0, 40), "Trigger holdoff (read) property failed.\n");
  EXPECT_EQ(details.help_context, 0u);
}

}  // namespace
}  // namespace vex::test
