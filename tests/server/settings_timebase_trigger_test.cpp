#include <functional>
#include <utility>
#include <vector>

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

// A real comes from a reply that is one decimal number (with sign, point,
// exponent and blanks around it); anything else is refused as not
// recognised, as the integer and enumerated reads refuse what they cannot
// read, and the output keeps its value.
TEST_F(SettingsTest, RealReadsTakeDecimalNumbersAndRefuseEverythingElse) {
  Connect(4);
  struct Accepted {
    const char* reply;
    double value;
  };
  for (Accepted a :
       {Accepted{"+1.000E-03\n", 1e-3}, Accepted{"1e-3", 1e-3}, Accepted{"  -2.5 \t", -2.5},
        Accepted{"12\r\n", 12}, Accepted{".5", 0.5}, Accepted{"5.", 5}, Accepted{"-.25E+1", -2.5},
        Accepted{"9.9E37", 9.9e37}, Accepted{"9.91E+37", 9.91e37}, Accepted{"1E-400", 0.0},
        Accepted{"0.0000", 0.0}}) {
    double range = -7;
    io->Reply(a.reply);
    ASSERT_EQ(core->get_HorizontalRange(&range), S_OK) << a.reply << ": " << Description();
    EXPECT_DOUBLE_EQ(range, a.value) << a.reply;
  }
  for (const char* reply : {"",
                            " \n",
                            "abc",
                            "1.2.3",
                            "0x10",
                            "#H10",
                            "nan",
                            "inf",
                            "-inf",
                            "1e400",
                            "-1E+400",
                            "1e",
                            "1e+",
                            "e5",
                            ".",
                            "-",
                            "+-1",
                            "1,2",
                            "1 000",
                            "1.0 V",
                            ":TIM:RANG 1E-3",
                            "TRUE",
                            "\xff\xfe\x9b\x1b\x80"}) {
    double range = -7;
    io->Reply(reply);
    EXPECT_EQ(core->get_HorizontalRange(&range), E_FAIL) << reply;
    ErrorDetails details = Details();
    EXPECT_EQ(details.description, kReplyNotRecognized) << reply;
    EXPECT_EQ(range, -7) << reply;
  }
  EXPECT_TRUE(io->script.empty());
  Sent();

  // Every other read of a real follows the same rule.
  core->put_RangeChecking(VARIANT_FALSE);
  const auto ch1 = static_cast<VexR7100_AnalogChannels>(1);
  const std::vector<std::pair<const char*, std::function<HRESULT(double*)>>> reads = {
      {"HorizontalDelay", [&](double* v) { return core->get_HorizontalDelay(v); }},
      {"SampleRate", [&](double* v) { return core->get_SampleRate(v); }},
      {"TriggerLevel", [&](double* v) { return core->get_TriggerLevel(v); }},
      {"Holdoff", [&](double* v) { return core->get_Holdoff(v); }},
      {"VerticalOffset", [&](double* v) { return core->get_VerticalOffset(ch1, v); }},
      {"VerticalRange", [&](double* v) { return core->get_VerticalRange(ch1, v); }},
      {"Frequency",
       [&](double* v) { return core->Frequency(static_cast<VexR7100_AllChannels>(1), v); }},
  };
  for (const auto& [name, read] : reads) {
    for (const char* reply : {"letters", "1e400"}) {
      double value = -7;
      io->Reply(reply);
      EXPECT_EQ(read(&value), E_FAIL) << name << " " << reply;
      EXPECT_EQ(Description(), kReplyNotRecognized) << name << " " << reply;
      EXPECT_EQ(value, -7) << name;
    }
    io->Reply("2.5E-1");
    double value = -7;
    EXPECT_EQ(read(&value), S_OK) << name << ": " << Description();
    EXPECT_NE(value, -7) << name;
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
