#include <gmock/gmock.h>

#include "core_fixture.h"
#include "glad_bag.h"
#include "model_table.h"

namespace vex::test {
namespace {

using ::testing::ElementsAre;

TEST_F(CoreTest, AFailingTransferReportsTheMemberThenTheCause) {
  ASSERT_EQ(Attach(), S_OK);
  int recovered = io->recover_calls;
  io->FailWrite(E_ABORT);
  EXPECT_EQ(core->AutoScale(), E_ABORT);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description,
            "VexR7100EZ::AutoScale method failed.\n"
            "CCoreVexR7100::SendWithNoArg() method failed.\n"
            "The scripted write failed.");
  EXPECT_EQ(details.help_context, 7u);
  EXPECT_GT(io->recover_calls, recovered) << "the I/O object recovers before a report";

  ASSERT_EQ(core->StopTrigger(), S_OK);
  EXPECT_THAT(io->sent, ElementsAre(":STOP"));
}

TEST_F(CoreTest, DeviceErrorsAreCheckedAfterTheTransfersWhenDetectionIsOn) {
  ASSERT_EQ(Attach(), S_OK);
  EXPECT_EQ(core->put_DetectDeviceErrors(1), S_OK);
  VARIANT_BOOL on = -1;
  core->get_DetectDeviceErrors(&on);
  EXPECT_EQ(on, VARIANT_FALSE) << "only -1 turns detection on";
  ASSERT_EQ(core->put_DetectDeviceErrors(VARIANT_TRUE), S_OK);

  io->Reply("+32");
  EXPECT_EQ(core->AutoScale(), E_FAIL);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description,
            "The following instrument device errors have been detected: \tCommand ");
  EXPECT_EQ(details.help_context, 1540u);
  EXPECT_THAT(io->sent, ElementsAre(":AUT", "*ESR?"));

  io->Reply("+60");
  EXPECT_EQ(core->AutoScale(), E_FAIL);
  EXPECT_EQ(Description(),
            "The following instrument device errors have been detected: \tCommand \tExecution "
            "\tDevice-Dependent \tQuery ");
  io->Reply("+129");
  EXPECT_EQ(core->AutoScale(), S_OK) << "bits 0x80 and 0x01 are not errors";
  io->Reply("garbage");
  EXPECT_EQ(core->AutoScale(), E_FAIL);
  EXPECT_EQ(Description(), "CCoreVexR7100::TestForDeviceErrors() method failed.");

  io->sent.clear();
  io->Reply("+0");
  ASSERT_EQ(core->Output(Variant("*CLS")), S_OK);
  EXPECT_THAT(io->sent, ElementsAre("*CLS", "*ESR?")) << "a pass-through write is checked too";
}

TEST_F(CoreTest, QueriesConvertRepliesOrReportTheConversion) {
  ASSERT_EQ(Attach(), S_OK);
  double d = -1;
  io->Reply("+1.000E-03\n");
  ASSERT_EQ(core->QueryForDoubleResult(":TIM:RANG?", &d), S_OK);
  EXPECT_DOUBLE_EQ(d, 0.001);
  std::int32_t n = 0;
  io->Reply("+32\n");
  ASSERT_EQ(core->QueryForLongResult("*ESR?", &n), S_OK);
  EXPECT_EQ(n, 32);
  io->Reply("letters");
  EXPECT_EQ(core->QueryForLongResult("*ESR?", &n), DISP_E_EXCEPTION);
  EXPECT_EQ(Description(), "CCoreVexR7100::QueryForLongResult() method failed.");
  Bstr text;
  io->Reply("CHAN1");
  ASSERT_EQ(core->QueryForBstrResult(":TRIG:SOUR?", &text), S_OK);
  EXPECT_EQ(text, "CHAN1");
  ASSERT_EQ(core->SendWithLongArg("*RCL", 1), S_OK);
  ASSERT_EQ(core->SendWithVariantArg(":DIG", Variant("CHAN1,CHAN3")), S_OK);
  ASSERT_EQ(core->SendWithVariantArg(":TIM:RANG ", Variant(1e-3)), S_OK);
  EXPECT_THAT(io->sent, ElementsAre(":TIM:RANG?", "*ESR?", "*ESR?", ":TRIG:SOUR?", "*RCL 1",
                                    ":DIG CHAN1,CHAN3", ":TIM:RANG 0.001"));
}

TEST(DefiniteBlock, TheCheckReadsNothingItHasNotVerified) {
  auto block = [](std::string bytes) {
    return Variant(SafeArray::FromBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
  };
  EXPECT_TRUE(CCoreVexR7100::IsDefiniteBlock(block("#15abcde")));
  EXPECT_TRUE(CCoreVexR7100::IsDefiniteBlock(block("#15abcde\n"))) << "trailing bytes stay";
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(block("#15abcd")));
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(block("#A5abcde")));
  EXPECT_TRUE(CCoreVexR7100::IsDefiniteBlock(block("#0")));
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(block("#")));
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(block("#9")));
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(block("#21x")));
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(block("#9999999999")));
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(block("")));
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(Variant("#15abcde")));
  SafeArray words;
  ASSERT_EQ(SafeArray::Create(VT_I2, {{4, 0}}, &words), S_OK);
  EXPECT_FALSE(CCoreVexR7100::IsDefiniteBlock(Variant(std::move(words))));
}

TEST_F(CoreTest, TransferStateIsRestoredAfterEveryError) {
  ASSERT_EQ(Attach("VEXAN TECHNOLOGIES,VDS3004A,S1,F1", "ASRL"), S_OK);
  core->ExtendTimeout(60000);
  EXPECT_EQ(io->timeout, core->WorkingTimeout() + 60000);
  io->term_char = -1;
  io->FailWrite();
  EXPECT_EQ(core->AutoScale(), E_FAIL);
  EXPECT_EQ(io->timeout, core->WorkingTimeout());
  EXPECT_EQ(io->term_char, 10);

  EXPECT_TRUE(core->ExtendTimeoutForBytesIfSerial(512));
  EXPECT_EQ(io->timeout, core->WorkingTimeout() + 5120);
  core->RestoreTransferState();
  core->ExtendTimeout(0x7FFFFFFF);
  EXPECT_EQ(io->timeout, 0x7FFFFFFF) << "sums saturate at the 32-bit maximum";
  core->RestoreTransferState();
  EXPECT_EQ(io->timeout, core->WorkingTimeout());
}

TEST_F(CoreTest, DigitizeSendsOnlyTheChannelsThatAreOn) {
  ASSERT_EQ(Attach(), S_OK);
  io->Reply("1").Reply("0").Reply("ON").Reply("OFF");
  ASSERT_EQ(core->Digitize(), S_OK);
  EXPECT_THAT(io->sent, ElementsAre("CHAN1:DISP?", "CHAN2:DISP?", "CHAN3:DISP?", "CHAN4:DISP?",
                                    ":DIG CHAN1,CHAN3"));
  io->sent.clear();
  io->Reply("0").Reply("0").Reply("0").Reply("0");
  ASSERT_EQ(core->Digitize(), S_OK);
  EXPECT_EQ(io->sent.size(), 4u) << "no channel on: nothing digitized";
  io->Reply("on");
  EXPECT_EQ(core->Digitize(), E_FAIL);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description,
            "The SCPI response string received from the instrument is not recognized by the "
            "instrument automation server.");
  EXPECT_EQ(details.help_context, 8u);
}

TEST_F(CoreTest, RunControlFollowsTheCommandSet) {
  ASSERT_EQ(Attach(), S_OK);
  EXPECT_EQ(core->Run(), E_FAIL);
  EXPECT_EQ(Description(),
            "This method (or property) is not supported for the currently connected instrument.");
  ASSERT_EQ(core->SingleTrigger(), S_OK);
  ASSERT_EQ(core->AutoScale(), S_OK);
  EXPECT_THAT(io->sent, ElementsAre(":SING", ":AUT"));

  server::ModelEntry set0;
  set0.name = "TEST0";
  set0.command_set = 0;
  core->SetModelForTesting(set0);
  io->sent.clear();
  ASSERT_EQ(core->Run(), S_OK);
  ASSERT_EQ(core->SingleTrigger(), S_OK);
  EXPECT_THAT(io->sent, ElementsAre(":TRIG:MODE AUTO;:RUN", ":TRIG:MODE SING;:AST"));
}

// With detection on, "*ESR?" after a pass-through query would read the
// query's reply: the check waits for the read of the reply instead.
TEST_F(CoreTest, APassThroughQueryIsCheckedForDeviceErrorsAfterItsReplyIsRead) {
  ASSERT_EQ(Attach(), S_OK);
  ASSERT_EQ(core->put_DetectDeviceErrors(VARIANT_TRUE), S_OK);
  const std::string idn = "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00";
  io->Reply(idn).Reply("+0");
  ASSERT_EQ(core->Output(Variant("*IDN?")), S_OK);
  EXPECT_THAT(io->sent, ElementsAre("*IDN?"));
  Variant reply;
  ASSERT_EQ(core->Enter(&reply, Bstr("K")), S_OK) << Description();
  EXPECT_EQ(reply.BstrVal(), idn) << "the reply goes to Enter, not to the check";
  EXPECT_THAT(io->sent, ElementsAre("*IDN?", "*ESR?"));

  // A device error the query raised is reported by the Enter.
  io->sent.clear();
  io->Reply("+1.0E+03").Reply("+4");
  ASSERT_EQ(core->Output(Variant(":MEAS:FREQ? CHAN1")), S_OK);
  EXPECT_EQ(core->Enter(&reply, Bstr("K")), E_FAIL);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description,
            "The following instrument device errors have been detected: \tQuery ");
  EXPECT_EQ(details.help_context, 1540u);
  EXPECT_EQ(reply.BstrVal(), "+1.0E+03");
  EXPECT_THAT(io->sent, ElementsAre(":MEAS:FREQ? CHAN1", "*ESR?"));

  // The same through the raw byte members.
  io->sent.clear();
  io->Reply(idn).Reply("+0");
  const std::string query = "*IDN?\n";
  ASSERT_EQ(
      core->WriteBytes(static_cast<std::int32_t>(query.size()),
                       SafeArray::FromBytes(std::vector<std::uint8_t>(query.begin(), query.end()))),
      S_OK);
  std::int32_t count = static_cast<std::int32_t>(idn.size());
  SafeArray bytes = SafeArray::FromBytes(std::vector<std::uint8_t>(idn.size()));
  ASSERT_EQ(core->ReadBytes(&count, &bytes), S_OK) << Description();
  EXPECT_EQ(count, static_cast<std::int32_t>(idn.size()));
  EXPECT_THAT(io->sent, ElementsAre(query, "*ESR?"));
  EXPECT_TRUE(io->script.empty());
}

// A message is a query when one of its units is: the unit's header ends in
// '?'. Quoted strings and block data do not count; every other message is
// checked right after it is written, as before.
TEST_F(CoreTest, OnlyMessagesWithAQueryUnitPutTheDeviceErrorCheckOff) {
  ASSERT_EQ(Attach(), S_OK);
  ASSERT_EQ(core->put_DetectDeviceErrors(VARIANT_TRUE), S_OK);
  struct Case {
    std::string message;
    bool query;
  };
  const Case cases[] = {
      {"*IDN?", true},
      {"*IDN?\n", true},
      {"  :TIM:RANG?  \r\n", true},
      {":MEAS:FREQ? CHAN1", true},
      {"*RST;*OPC?", true},
      {"*IDN?;*RST", true},
      {":CHAN1:DISP ON;:CHAN1:DISP?\n", true},
      {"*RST", false},
      {"*RST;*CLS\n", false},
      {":DISP:TEXT \"why?\"", false},
      {":DISP:TEXT 'a;b?'", false},
      {":DISP:TEXT \"say \"\"x?\"\"\";*CLS", false},
      {":SYST:SET #15ab?;c", false},
      {":SYST:SET #15ab?;c;*OPC?", true},
      {":DISP:TEXT why?", false},
      {"*RST; ", false},
      {"", false},
  };
  for (const Case& c : cases) {
    io->sent.clear();
    io->script.clear();
    io->Reply("+0");
    ASSERT_EQ(core->Output(Variant(c.message)), S_OK) << c.message << ": " << Description();
    if (c.query) {
      EXPECT_THAT(io->sent, ElementsAre(c.message)) << c.message;
    } else {
      EXPECT_THAT(io->sent, ElementsAre(c.message, "*ESR?")) << c.message;
    }
  }

  // A byte array is looked at as the text it holds.
  io->sent.clear();
  io->script.clear();
  const std::string query = "*IDN?\n";
  ASSERT_EQ(core->Output(Variant(
                SafeArray::FromBytes(std::vector<std::uint8_t>(query.begin(), query.end())))),
            S_OK);
  EXPECT_THAT(io->sent, ElementsAre(query));

  // A command written with WriteBytes is checked at once; so are the bytes
  // it writes, not those the array holds beyond its count.
  io->sent.clear();
  io->Reply("+32");
  const std::string command = "*RST?";
  EXPECT_EQ(core->WriteBytes(
                4, SafeArray::FromBytes(std::vector<std::uint8_t>(command.begin(), command.end()))),
            E_FAIL);
  EXPECT_EQ(Description(), "The following instrument device errors have been detected: \tCommand ");
  EXPECT_THAT(io->sent, ElementsAre("*RST", "*ESR?"));

  // Without detection nothing is checked at all.
  ASSERT_EQ(core->put_DetectDeviceErrors(VARIANT_FALSE), S_OK);
  io->sent.clear();
  ASSERT_EQ(core->Output(Variant("*RST")), S_OK);
  EXPECT_THAT(io->sent, ElementsAre("*RST"));
}

TEST_F(CoreTest, PassThroughChecksCountsBeforeAnyTransfer) {
  ASSERT_EQ(Attach(), S_OK);
  SafeArray buffer = SafeArray::FromBytes(std::vector<std::uint8_t>(4, 0));
  EXPECT_EQ(core->WriteBytes(5, buffer), E_INVALIDARG);
  EXPECT_EQ(Description(), "One or more of the input values are out of range.");
  EXPECT_EQ(core->WriteBytes(-1, buffer), E_INVALIDARG);
  std::int32_t count = 8;
  EXPECT_EQ(core->ReadBytes(&count, &buffer), E_INVALIDARG);
  EXPECT_TRUE(io->sent.empty());
  ASSERT_EQ(core->WriteBytes(2, SafeArray::FromBytes(std::vector<std::uint8_t>{'*', 'C', 'L'})),
            S_OK);
  EXPECT_THAT(io->sent, ElementsAre("*C")) << "exactly the announced bytes";
  io->Reply("abcdef");
  count = 3;
  ASSERT_EQ(core->ReadBytes(&count, &buffer), S_OK);
  EXPECT_EQ(count, 3);
  io->Reply("+1.5");
  Variant entered;
  ASSERT_EQ(core->Enter(&entered, Bstr("K")), S_OK);
  EXPECT_EQ(entered.BstrVal(), "+1.5");
}

TEST_F(CoreTest, QueryInstrumentErrorReadsNumbersAndTexts) {
  ASSERT_EQ(Attach(), S_OK);
  std::int32_t number = 5;
  Bstr text;
  io->Reply("-113,\"Undefined header\"");
  ASSERT_EQ(core->QueryInstrumentError(&number, &text), S_OK);
  EXPECT_EQ(number, -113);
  EXPECT_EQ(text, "\"Undefined header\"");
  io->Reply("-113");
  ASSERT_EQ(core->QueryInstrumentError(&number, &text), S_OK);
  EXPECT_EQ(text, "Undefined header");
  io->Reply("-106");
  ASSERT_EQ(core->QueryInstrumentError(&number, &text), S_OK);
  EXPECT_EQ(text, "Unknown error condition");
  io->Reply("+0\n");
  ASSERT_EQ(core->QueryInstrumentError(&number, &text), S_OK);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(text, "No errors");
  io->Reply(",\n");
  number = 7;
  EXPECT_EQ(core->QueryInstrumentError(&number, &text), 1)
      << "a success carrying error information";
  EXPECT_EQ(number, 0);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(Description(),
            "The SCPI response string received from the instrument is not recognized by the "
            "instrument automation server.");
  io->FailRead(E_ABORT, "the line is down");
  EXPECT_EQ(core->QueryInstrumentError(&number, &text), E_ABORT);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description,
            "IUtilitiesVexR7100::QueryInstrumentError method failed.\nthe line is down");
  EXPECT_EQ(details.help_context, 1543u);
}

TEST_F(CoreTest, TimeoutReadsTheIOObjectAndRefusesValuesOutOfRange) {
  ASSERT_EQ(Attach(), S_OK);
  std::int32_t t = 0;
  ASSERT_EQ(core->get_Timeout(&t), S_OK);
  EXPECT_EQ(t, 2000) << "the I/O object's own timeout until one is set";
  for (std::int32_t refused : {-1, server::kMaxTimeoutMs + 1, 2147483647}) {
    EXPECT_EQ(core->put_Timeout(refused), E_UNEXPECTED) << refused;
    EXPECT_EQ(Details().help_context, 80u);
    EXPECT_EQ(io->timeout, 2000);
  }
  ASSERT_EQ(core->put_Timeout(server::kMaxTimeoutMs), S_OK);
  EXPECT_EQ(io->timeout, 600000);
  ASSERT_EQ(core->put_Timeout(0), S_OK);
  EXPECT_EQ(io->timeout, 0);
}

TEST_F(CoreTest, SettingsSurviveASaveAndLoad) {
  VARIANT_BOOL flag = 0;
  core->get_RangeChecking(&flag);
  EXPECT_EQ(flag, VARIANT_TRUE);
  core->put_RangeChecking(1);
  core->get_RangeChecking(&flag);
  EXPECT_EQ(flag, VARIANT_FALSE) << "1 is not -1";
  core->put_DetectDeviceErrors(VARIANT_TRUE);
  core->put_InstanceName(Bstr("bench 3"));
  core->put_InstrumentModel(Bstr("VDS3004A"));

  auto bag = MakeObject<MemoryPropertyBag>();
  ASSERT_EQ(core->Save(bag.Get(), VARIANT_TRUE, VARIANT_TRUE), S_OK);
  EXPECT_EQ(bag->Values().size(), 10u);
  EXPECT_TRUE(bag->Values().at("IOProgID").BstrVal().IsNull())
      << "an empty value is a string variant holding none";

  auto restored = MakeObject<CCoreVexR7100>();
  ASSERT_EQ(restored->Load(bag.Get(), nullptr), S_OK);
  restored->get_DetectDeviceErrors(&flag);
  EXPECT_EQ(flag, VARIANT_TRUE);
  restored->get_RangeChecking(&flag);
  EXPECT_EQ(flag, VARIANT_FALSE);
  Bstr text;
  restored->get_InstanceName(&text);
  EXPECT_EQ(text, "bench 3");
  restored->get_InstrumentModel(&text);
  EXPECT_EQ(text, "VDS3004A");

  auto partial = MakeObject<MemoryPropertyBag>();
  partial->Write(Bstr("DetectDeviceErrors"), Variant::Bool(VARIANT_FALSE));
  partial->Write(Bstr("LogInterface"), Variant::Bool(VARIANT_TRUE));
  partial->Write(Bstr("RangeChecking"), Variant::Bool(VARIANT_TRUE));
  EXPECT_EQ(restored->Load(partial.Get(), nullptr), E_INVALIDARG);
  EXPECT_EQ(Description(),
            "IPersistPropertyBag::Load method failed.\nThe property \"Timeout\" is not in the "
            "property bag.");
  restored->get_LogInterface(&flag);
  EXPECT_EQ(flag, VARIANT_TRUE) << "keys before the missing one were applied";

  partial->Write(Bstr("Timeout"), Variant(-5));
  EXPECT_EQ(restored->Load(partial.Get(), nullptr), E_UNEXPECTED);
  partial->Write(Bstr("Timeout"), Variant(server::kMaxTimeoutMs + 1));
  EXPECT_EQ(restored->Load(partial.Get(), nullptr), E_UNEXPECTED);

  // Through a prefixing bag, the ten keys land under the prefix.
  auto glad = MakeObject<server::GladBag>();
  auto target = MakeObject<MemoryPropertyBag>();
  Variant v;
  EXPECT_EQ(glad->Read(Bstr("Timeout"), &v, nullptr), E_UNEXPECTED);
  EXPECT_EQ(glad->InstallPropertyBag(nullptr), E_UNEXPECTED);
  ASSERT_EQ(glad->InstallPropertyBag(target.Get()), S_OK);
  glad->put_PropertiesPrefix(Bstr("Server1."));
  ASSERT_EQ(core->Save(glad.Get(), 0, 0), S_OK);
  EXPECT_TRUE(target->Contains("Server1.Timeout"));
  EXPECT_TRUE(target->Contains("Server1.InstanceName"));
  ASSERT_EQ(restored->Load(glad.Get(), nullptr), S_OK);
}

class LogSink : public Object<server::IForwardWriteLog> {
 public:
  HRESULT ForwardWriteLog(const Bstr& source, io::LogLevel, const Bstr& message) override {
    entries.push_back(source.Str() + ": " + message.Str());
    return fail;
  }
  std::vector<std::string> entries;
  HRESULT fail = S_OK;
};

TEST_F(CoreTest, ReportsAreForwardedToTheLogOnlyWhenAsked) {
  auto sink = MakeObject<LogSink>();
  EXPECT_EQ(core->AutoScale(), E_FAIL);  // no top-level object, no logging: nothing happens
  core->_InstallEasy(sink.Get());
  EXPECT_EQ(core->AutoScale(), E_FAIL);
  EXPECT_TRUE(sink->entries.empty()) << "log forwarding is off by default";
  core->put_LogInterface(VARIANT_TRUE);
  EXPECT_EQ(core->AutoScale(), E_FAIL);
  EXPECT_THAT(sink->entries,
              ElementsAre("CCoreVexR7100::Core Server Object: The instrument automation server is "
                          "not currently connected to an instrument."));
  sink->fail = E_ABORT;
  EXPECT_EQ(core->AutoScale(), E_FAIL) << "a failing forward does not replace the report";
  EXPECT_EQ(Description(),
            "The instrument automation server is not currently connected to an instrument.");
  core->_InstallEasy(nullptr);
  EXPECT_EQ(core->AutoScale(), E_FAIL);
}

TEST_F(CoreTest, ComponentInformationAndLateBinding) {
  Bstr text;
  core->get_ComponentDescription(&text);
  EXPECT_EQ(text, "Vexan Technologies Trelvo Travium Instrument Automation Server");
  core->get_ComponentVersion(&text);
  EXPECT_EQ(text.Str().rfind("3, 0, 185, 0 (", 0), 0u);
  Variant name;
  ASSERT_EQ(
      GetProperty(static_cast<server::IUtilitiesVexR7100*>(core.Get()), "instancename", &name),
      S_OK);
  EXPECT_EQ(name.BstrVal(), "Vexan Travium Instrument Server");
  ASSERT_EQ(
      PutProperty(static_cast<server::IUtilitiesVexR7100*>(core.Get()), "Timeout", Variant(100)),
      E_FAIL);
  VARIANT_BOOL b = 0;
  ASSERT_EQ(PutProperty(static_cast<server::IUtilitiesVexR7100*>(core.Get()), "DetectDeviceErrors",
                        Variant(true)),
            S_OK);
  core->get_DetectDeviceErrors(&b);
  EXPECT_EQ(b, VARIANT_TRUE);
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(core.As(&support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(server::IUtilitiesVexR7100::kIid), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IDispatch::kIid), S_FALSE);
}

}  // namespace
}  // namespace vex::test
