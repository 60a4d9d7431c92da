#include "settings_fixture.h"

namespace vex::test {
namespace {

constexpr auto kCh1 = static_cast<VexR7100_AnalogChannels>(1);
constexpr auto kCh2 = static_cast<VexR7100_AnalogChannels>(2);

TEST_F(SettingsTest, MeasurementsSelectTheSourceThenQuery) {
  Connect(4);
  core->put_RangeChecking(VARIANT_FALSE);
  double value = 0;
  io->Reply("+1.0E+03");
  ASSERT_EQ(core->Frequency(VexR7100_Channel_D3, &value), S_OK);
  EXPECT_DOUBLE_EQ(value, 1e3);
  io->Reply("9.9E+37");
  ASSERT_EQ(core->PeakToPeakVolts(kCh2, &value), S_OK);
  EXPECT_DOUBLE_EQ(value, 9.9e37) << "the invalid-measurement marker is passed on";
  EXPECT_THAT(Sent(),
              ElementsAre(":MEAS:SOUR DIG3", ":MEAS:FREQ?", ":MEAS:SOUR CHAN2", ":MEAS:VPP?"));
  ExpectRefusal(core->RiseTime(static_cast<VexR7100_AnalogChannels>(13), &value), E_FAIL,
                kEnumNotRecognized, 88);
  ExpectRefusal(core->Period(static_cast<VexR7100_AllChannels>(5), &value), E_FAIL,
                kEnumNotRecognized, 16);

  // The extended voltage measurements need the measurement/storage module,
  // which is looked at before the channel.
  const char* needs_module =
      "The connected instrument requires a measurement/storage module in order to support this "
      "method or property.";
  ExpectRefusal(core->Amplitude(static_cast<VexR7100_AnalogChannels>(9), &value), E_FAIL,
                needs_module, 4);
  ExpectRefusal(core->Overshoot(kCh1, &value), E_FAIL, needs_module, 4);

  UseSet(2);
  ExpectRefusal(core->RiseTime(kCh1, &value), E_FAIL, kNotSupported, 4);
  io->FailWrite(E_ABORT);
  EXPECT_EQ(core->DutyCycle(VexR7100_Channel_A1, &value), E_FAIL) << "reported as E_FAIL";
  ErrorDetails details = Details();
  EXPECT_EQ(details.description.View().substr(0, 43),
            "IMeasureVexR7100::DutyCycle method failed.\n");
  EXPECT_EQ(details.help_context, 43u);
}

TEST_F(SettingsTest, RangeCheckingRequiresTheChannelToBeShown) {
  ASSERT_EQ(Attach(kIdn, "Storage Module"), S_OK);
  double value = 0;
  io->Reply("OFF");
  EXPECT_EQ(core->Period(VexR7100_Channel_A2, &value), E_UNEXPECTED);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description, "The specified channel is not enabled.");
  EXPECT_EQ(details.help_context, 32u);
  EXPECT_THAT(Sent(), ElementsAre("CHAN2:DISP?"));
  io->Reply("1").Reply("+2.5E+00");
  ASSERT_EQ(core->Amplitude(kCh1, &value), S_OK);
  EXPECT_DOUBLE_EQ(value, 2.5);
  EXPECT_THAT(Sent(), ElementsAre("CHAN1:DISP?", ":MEAS:SOUR CHAN1", ":MEAS:VAMP?"));
}

TEST_F(SettingsTest, TraceMemoriesWithTheModuleUseTheTraceCommands) {
  ASSERT_EQ(Attach(kIdn, "Storage Module"), S_OK);
  UseSet(4, true);
  std::int32_t total = 0;
  ASSERT_EQ(core->get_TotalMemories(&total), S_OK);
  EXPECT_EQ(total, 100);
  ASSERT_EQ(core->Save(100), S_OK);
  ASSERT_EQ(core->Clear(5), S_OK);
  ASSERT_EQ(core->put_Enabled(7, VARIANT_TRUE), S_OK);
  VARIANT_BOOL shown = 0;
  io->Reply("ON");
  ASSERT_EQ(core->get_Enabled(7, &shown), S_OK);
  EXPECT_EQ(shown, VARIANT_TRUE);
  ASSERT_EQ(core->PutData(3, Variant(SafeArray::FromBytes(Bytes("#13abcXYZ")))), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":TRAC:SAVE 100", ":TRAC:CLEAR 5", ":TRAC:MODE 7,ON",
                                  ":TRAC:MODE? 7", ":TRAC:DATA 3,#13abc\n"));
  ExpectRefusal(core->Save(101), E_FAIL, kNotLegal, 64);
  ExpectRefusal(core->Clear(-1), E_FAIL, kNotLegal, 60);
  ExpectRefusal(core->PutData(3, Variant(SafeArray::FromBytes(Bytes("#15abc")))), E_FAIL, kNotLegal,
                63);
}

TEST_F(SettingsTest, TraceCapabilityComesBeforeAnyCommandSet) {
  ASSERT_EQ(Attach(kIdn, "Storage Module"), S_OK);  // the shipped row has no trace memories
  ExpectRefusal(core->Save(1), E_FAIL, kNotSupported, 4);
  VARIANT_BOOL shown = 0;
  ExpectRefusal(core->get_Enabled(1, &shown), E_FAIL, kNotSupported, 4);
  Variant data;
  ExpectRefusal(core->GetData(1, &data), E_FAIL, kNotSupported, 4);
  std::int32_t total = 0;
  ASSERT_EQ(core->get_TotalMemories(&total), S_OK);
  EXPECT_EQ(total, 100);
}

TEST_F(SettingsTest, TraceMemoriesWithoutTheModuleUseThePixelMemories) {
  Connect(4);
  UseSet(0, true);
  ASSERT_EQ(core->Save(2), S_OK);
  ASSERT_EQ(core->Clear(1), S_OK);
  ASSERT_EQ(core->put_Enabled(1, VARIANT_TRUE), S_OK);
  ASSERT_EQ(core->put_Enabled(1, 1), S_OK);
  VARIANT_BOOL shown = 0;
  io->Reply("1");
  ASSERT_EQ(core->get_Enabled(0, &shown), S_OK);
  EXPECT_EQ(shown, VARIANT_TRUE);
  EXPECT_THAT(Sent(), ElementsAre(":MERG PMEM2", ":ERAS PMEM1", ":VIEW PMEM1", ":BLAN PMEM1",
                                  ":STAT? PMEM0"));
  io->Reply("maybe");
  EXPECT_EQ(core->get_Enabled(0, &shown), E_FAIL);
  EXPECT_EQ(Description(), kReplyNotRecognized);
  Sent();
  ExpectRefusal(core->Save(3), E_FAIL, kNotLegal, 64);
  ExpectRefusal(core->Clear(-1), E_FAIL, kNotLegal, 60);
  std::int32_t total = 0;
  ASSERT_EQ(core->get_TotalMemories(&total), S_OK);
  EXPECT_EQ(total, 3);

  Variant data;
  io->ReplyBlock("#15abcde");
  ASSERT_EQ(core->GetData(1, &data), S_OK);
  ASSERT_EQ(data.vt(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(data.Array()->ElementCount(), 8u);
  io->ReplyBlock("#15abc");
  EXPECT_EQ(core->GetData(1, &data), E_FAIL);
  EXPECT_EQ(Description(),
            "The instrument automation server detected corrupt data (IEEE definite block data) "
            "received from the instrument.");
  ASSERT_EQ(core->PutData(2, Variant(SafeArray::FromBytes(Bytes("#0")))), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":DISP:SOUR PMEM1", ":DISP:DATA?", ":DISP:SOUR PMEM1",
                                  ":DISP:DATA?", ":DISP:SOUR PMEM2", ":DISP:DATA #0\n"));
}

TEST_F(SettingsTest, CommandSetFourKeepsTheShownMemoriesItself) {
  Connect(4);
  UseSet(4, true, 5, 7);
  ASSERT_EQ(core->Save(5), S_OK);
  ASSERT_EQ(core->put_Enabled(7, VARIANT_TRUE), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":MERG PMEM5", ":CDIS", ":VIEW PMEM5", ":CDIS", ":VIEW PMEM5",
                                  ":VIEW PMEM7"));
  VARIANT_BOOL shown = 0;
  ASSERT_EQ(core->get_Enabled(7, &shown), S_OK);
  EXPECT_EQ(shown, VARIANT_TRUE);
  ASSERT_EQ(core->get_Enabled(6, &shown), S_OK);
  EXPECT_EQ(shown, VARIANT_FALSE);
  EXPECT_THAT(io->sent, IsEmpty()) << "the flags are read without an exchange";
  ASSERT_EQ(core->Clear(5), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":CDIS", ":VIEW PMEM7"));
  ExpectRefusal(core->Save(4), E_FAIL, kNotLegal, 64);
  ExpectRefusal(core->Save(8), E_FAIL, kNotLegal, 64);

  ASSERT_EQ(core->Clear(-1), S_OK) << "-1 clears them all, outside the range";
  EXPECT_THAT(Sent(), ElementsAre(":CDIS"));
  ASSERT_EQ(core->get_Enabled(7, &shown), S_OK);
  EXPECT_EQ(shown, VARIANT_FALSE);

  // A new connection starts with every memory hidden.
  ASSERT_EQ(core->put_Enabled(6, VARIANT_TRUE), S_OK);
  io->Identity(kIdn);
  ASSERT_EQ(core->put_IO(static_cast<io::IIO*>(io.Get())), S_OK);
  ASSERT_EQ(core->get_Enabled(6, &shown), S_OK);
  EXPECT_EQ(shown, VARIANT_FALSE);
  Sent();

  io->FailWrite(E_ABORT);
  EXPECT_EQ(core->Save(6), E_ABORT);
  EXPECT_EQ(Description(),
            "ITraceVexR7100::Save method failed.\nCCoreVexR7100::SendWithNoArg() method "
            "failed.\nThe scripted write failed.");
}

}  // namespace
}  // namespace vex::test
