#include "settings_fixture.h"

namespace vex::test {
namespace {

TEST_F(SettingsTest, StatusBitsJoinsTheRegistersWithoutOverflow) {
  Connect(4);
  std::int32_t bits = 0;
  io->Reply("+68").Reply("+32");
  ASSERT_EQ(core->StatusBits(&bits), S_OK);
  EXPECT_EQ(bits, 32 * 65536 + 68);
  io->Reply("+255").Reply("+255");
  ASSERT_EQ(core->StatusBits(&bits), S_OK);
  EXPECT_EQ(bits, 0x00FF00FF);
  EXPECT_THAT(Sent(), ElementsAre("*STB?", "*ESR?", "*STB?", "*ESR?"));
  for (const char* events : {"garbage", "-1", "65536"}) {
    bits = 7;
    io->Reply("+0").Reply(events);
    EXPECT_EQ(core->StatusBits(&bits), E_FAIL) << events;
    EXPECT_EQ(Description(), kReplyNotRecognized) << events;
    EXPECT_EQ(bits, 7) << events;
  }
}

TEST_F(SettingsTest, DisplayMessageQuotesTheTextAndCannotCarryCommands) {
  Connect(0);
  ASSERT_EQ(core->DisplayMessage(Bstr("Hello")), S_OK);
  ASSERT_EQ(core->DisplayMessage(Bstr("say \"hi\"")), S_OK);
  ASSERT_EQ(core->DisplayMessage(Bstr("")), S_OK);
  ASSERT_EQ(core->DisplayMessage(Bstr()), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":DISP:TEXT BLAN;INV ON;ROW 18;COL 6;LINE \"Hello\"",
                                  ":DISP:TEXT BLAN;INV ON;ROW 18;COL 6;LINE \"say \"\"hi\"\"\"",
                                  ":DISP:TEXT BLAN", ":DISP:TEXT BLAN"));
  ExpectRefusal(core->DisplayMessage(Bstr("hi\"\n*RST")), E_FAIL, kNotLegal, 1541);
  ExpectRefusal(core->DisplayMessage(Bstr("hi\r")), E_FAIL, kNotLegal, 1541);
  UseSet(4);
  ExpectRefusal(core->DisplayMessage(Bstr("Hello")), E_FAIL, kNotSupported, 4);
  ExpectRefusal(core->DisplayMessage(Bstr("")), E_FAIL, kNotSupported, 4);
}

TEST_F(SettingsTest, PanelLockStatesAndCommonCommands) {
  Connect(0);
  ASSERT_EQ(core->put_PanelLock(VARIANT_TRUE), S_OK);
  ASSERT_EQ(core->put_PanelLock(1), S_OK);
  VARIANT_BOOL locked = 0;
  io->Reply("0");
  ASSERT_EQ(core->get_PanelLock(&locked), S_OK);
  EXPECT_EQ(locked, VARIANT_FALSE);
  ASSERT_EQ(core->RecallState(2), S_OK);
  ASSERT_EQ(core->SaveState(0), S_OK);
  ASSERT_EQ(core->Reset(), S_OK);
  ASSERT_EQ(core->ClearStatus(), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":SYST:LOCK ON", ":SYST:LOCK OFF", ":SYST:LOCK?", "*RCL 2",
                                  "*SAV 0", "*RST", "*CLS"));
  const char* out_of_range =
      "One or more of the input values are out of range for the currently connected "
      "instrument's configuration.";
  ExpectRefusal(core->RecallState(3), E_FAIL, out_of_range, 1545);
  ExpectRefusal(core->SaveState(-1), E_FAIL, out_of_range, 1547);
  ExpectRefusal(core->ClearDevice(), E_NOTIMPL,
                "IUtilitiesVexR7100::ClearDevice method is not implemented", 1537);
  ExpectRefusal(core->Preset(), E_NOTIMPL,
                "IUtilitiesVexR7100::PresetDevice method is not implemented", 1542);
  UseSet(4);
  ExpectRefusal(core->put_PanelLock(VARIANT_TRUE), E_FAIL, kNotSupported, 4);

  std::int32_t result = -1;
  Bstr message;
  io->Reply("+0");
  ASSERT_EQ(core->SelfTest(&result, &message), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(message, "0");
  EXPECT_THAT(io->timeouts_set, ElementsAre(120000, 5000))
      << "widened for the test (30 × 5000 ms, held to the cap), then restored";

  // The wait grows with the working timeout; when it expires, the report
  // says how long it was.
  ASSERT_EQ(core->put_Timeout(400), S_OK);
  io->timeouts_set.clear();
  io->FailRead(CCoreVexR7100::kIOTimeoutStatus, "no reply");
  EXPECT_EQ(core->SelfTest(&result, &message), CCoreVexR7100::kIOTimeoutStatus);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description,
            "IUtilitiesVexR7100::SelfTest method failed.\n"
            "The self-test timed out after 12000 ms (30 \u00d7 the 400 ms timeout).\nno reply");
  EXPECT_EQ(details.help_context, 1548u);
  EXPECT_THAT(io->timeouts_set, ElementsAre(12000, 400));
}

TEST_F(SettingsTest, OptionsAndVerifyDevice) {
  ASSERT_EQ(Attach(kIdn, "Storage Module"), S_OK);
  Variant options;
  ASSERT_EQ(core->Options(&options), S_OK);
  ASSERT_EQ(options.vt(), VT_ARRAY | VT_BSTR);
  auto names = options.Array()->Span<const Bstr>();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "Measurement/Storage Module (Option 2)");
  EXPECT_EQ(names[1], "QD-IB Communication");

  VARIANT_BOOL same = 0;
  ASSERT_EQ(core->VerifyDevice(Bstr(), Bstr(), Bstr("SIM000001"), &same), S_OK);
  EXPECT_EQ(same, VARIANT_TRUE);
  ASSERT_EQ(core->VerifyDevice(Bstr("VDS3004A"), Bstr("A.03.00"), Bstr(), &same), S_OK);
  EXPECT_EQ(same, VARIANT_TRUE);
  ASSERT_EQ(core->VerifyDevice(Bstr(), Bstr(), Bstr("SIM000002"), &same), S_OK);
  EXPECT_EQ(same, VARIANT_FALSE);
  ASSERT_EQ(core->VerifyDevice(Bstr("VDS3002A"), Bstr(), Bstr(), &same), S_OK);
  EXPECT_EQ(same, VARIANT_FALSE);

  ASSERT_EQ(core->Close(), S_OK);  // forgets the identity, so a new one is taken
  ASSERT_EQ(Attach("VEXAN TECHNOLOGIES,3XXX,S1,F1"), S_OK);
  ASSERT_EQ(core->VerifyDevice(Bstr(), Bstr(), Bstr(), &same), S_OK);
  EXPECT_EQ(same, VARIANT_FALSE) << "only the family row matched";
  EXPECT_THAT(io->sent, IsEmpty());
}

TEST_F(SettingsTest, SetupBlocksTravelWholeAndRestoreTheTransferState) {
  Connect(4, "ASRL");
  io->timeouts_set.clear();
  io->term_chars_set.clear();
  Variant block;
  io->ReplyBlock("#14abcd");
  ASSERT_EQ(core->ReadStateData(&block), S_OK);
  EXPECT_THAT(io->timeouts_set, ElementsAre(10000, 5000));
  EXPECT_EQ(io->term_char, 10);
  ASSERT_EQ(core->WriteStateData(block), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":SYST:SET?", ":SYST:SET #14abcd\n"));

  // Every way out of the read puts the timeout and termination back.
  io->timeouts_set.clear();
  io->ReplyBlock("#14ab");
  EXPECT_EQ(core->ReadStateData(&block), E_FAIL);
  io->FailRead(E_ABORT);
  EXPECT_EQ(core->ReadStateData(&block), E_ABORT);
  io->FailWrite(E_ABORT);
  EXPECT_EQ(core->ReadStateData(&block), E_ABORT);
  EXPECT_EQ(io->timeout, 5000);
  EXPECT_EQ(io->term_char, 10);
  Sent();

  // Only the announced bytes are written; a non-block is refused.
  ASSERT_EQ(core->WriteStateData(Variant(SafeArray::FromBytes(Bytes("#12ab\n\n")))), S_OK);
  EXPECT_THAT(Sent(), ElementsAre(":SYST:SET #12ab\n"));
  EXPECT_EQ(io->timeout, 5000);
  ExpectRefusal(core->WriteStateData(Variant(SafeArray::FromBytes(Bytes("12ab")))), E_UNEXPECTED,
                kNotLegal, 1549);
  ExpectRefusal(core->WriteStateData(Variant("#12ab")), E_UNEXPECTED, kNotLegal, 1549);
}

}  // namespace
}  // namespace vex::test
