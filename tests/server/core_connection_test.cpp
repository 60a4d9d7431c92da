#include <gmock/gmock.h>

#include "core_fixture.h"
#include "model_table.h"

namespace vex::test {
namespace {

using ::testing::ElementsAre;

TEST_F(CoreTest, IdentifiesTheModelAndDerivesOptionFlagsFromTheBus) {
  ASSERT_EQ(Attach(), S_OK);
  EXPECT_EQ(core->Model().model_index, 2);
  EXPECT_EQ(core->Model().AnalogChannels(), 4);
  EXPECT_EQ(core->Model().option_flags, server::kOptionGpib);
  Bstr text;
  core->get_InstrumentManufacturer(&text);
  EXPECT_EQ(text, "VEXAN TECHNOLOGIES");
  core->get_InstrumentFirmwareVersion(&text);
  EXPECT_EQ(text, "A.03.00");
  VARIANT_BOOL supported = 0;
  ASSERT_EQ(core->SupportStatus(&supported), S_OK);
  EXPECT_EQ(supported, VARIANT_TRUE);
  EXPECT_TRUE(io->script.empty()) << "a supported model is identified twice";
}

TEST_F(CoreTest, SerialLinksGetTheSerialFlagAndLineFeedTermination) {
  io->term_char = -1;
  ASSERT_EQ(Attach("VEXAN TECHNOLOGIES,VDS3002A,S1,F1\n", "ASRL"), S_OK);
  EXPECT_EQ(core->Model().option_flags, server::kOptionGpib | server::kOptionSerial);
  EXPECT_EQ(io->term_char, 10);
  Bstr model;
  core->get_InstrumentModel(&model);
  EXPECT_EQ(model, "VDS3002A") << "each field is cut at its line end";
}

TEST_F(CoreTest, AnIOTypeNamedLikeAnOptionSetsItsFlag) {
  ASSERT_EQ(Attach("VEXAN TECHNOLOGIES,VDS3004A,S1,F1", "Storage Module"), S_OK);
  EXPECT_EQ(core->Model().option_flags, server::kOptionGpib | server::kOptionMeasurementStorage);
  EXPECT_EQ(core->Model().FirstTrace(), 1);
  EXPECT_EQ(core->Model().TraceCount(), 100);
}

TEST_F(CoreTest, FamilyAndUnknownModelsConnectWithoutTheSecondIdentification) {
  io->Reply("VEXAN TECHNOLOGIES,3XXX,S1,F1");
  ASSERT_EQ(core->put_IO(static_cast<io::IIO*>(io.Get())), S_OK);
  EXPECT_THAT(io->sent, ElementsAre("*IDN?"));
  EXPECT_EQ(core->Model().model_index, 0);
  EXPECT_EQ(core->Model().AnalogChannels(), 2);
  EXPECT_EQ(core->Model().CommandSet(), 4);
  EXPECT_EQ(core->Model().option_flags, server::kOptionGpib) << "only the IOType sets a flag";
  VARIANT_BOOL supported = -1;
  ASSERT_EQ(core->SupportStatus(&supported), S_OK);
  EXPECT_EQ(supported, VARIANT_FALSE);
}

TEST_F(CoreTest, AFailedSecondIdentificationDrainsTheErrorQueueAtMostAHundredTimes) {
  io->Reply("VEXAN TECHNOLOGIES,VDS3004A,S1,F1").FailRead();
  io->Reply("-410,\"Query INTERRUPTED\"").Reply("0,\"No error\"");
  ASSERT_EQ(core->put_IO(static_cast<io::IIO*>(io.Get())), S_OK);
  EXPECT_THAT(io->sent, ElementsAre("*IDN?", "*IDN?", ":SYST:ERR?", ":SYST:ERR?"));
  EXPECT_EQ(core->Model().option_flags, server::kOptionGpib) << "flags come from the IOType alone";

  auto stubborn = MakeObject<ScriptedIO>();
  stubborn->Reply("VEXAN TECHNOLOGIES,VDS3004A,S1,F1").FailRead();
  for (int i = 0; i < 150; ++i) stubborn->Reply("-350,\"Queue overflow\"");
  auto core2 = MakeObject<CCoreVexR7100>();
  ASSERT_EQ(core2->put_IO(static_cast<io::IIO*>(stubborn.Get())), S_OK);
  EXPECT_EQ(stubborn->sent.size(), 102u);
}

TEST_F(CoreTest, ExpectedIdentityIsVerifiedAndClearedByAFailedConnection) {
  ASSERT_EQ(core->put_InstrumentModel(Bstr("VDS3002A")), S_OK);
  io->Identity();
  HRESULT hr = core->put_IO(static_cast<io::IIO*>(io.Get()));
  EXPECT_EQ(hr, E_FAIL);
  ErrorDetails details = Details();
  EXPECT_EQ(
      details.description,
      "IUtilitiesVexR7100::IO (write) property failed.\n"
      "The expected instrument model name/number failed to verify with connected instrument.");
  EXPECT_EQ(details.help_context, 1529u);
  EXPECT_FALSE(core->Connected());
  Bstr model;
  core->get_InstrumentModel(&model);
  EXPECT_TRUE(model.IsEmpty());

  ASSERT_EQ(Attach(), S_OK);
  EXPECT_EQ(core->put_InstrumentSerialNumber(Bstr("X")), E_UNEXPECTED);
  details = Details();
  EXPECT_EQ(details.description,
            "This property cannot be set when the instrument automation server is connected to an "
            "instrument.");
  EXPECT_EQ(details.help_context, 1533u);
}

// Connect by ProgID creates the I/O class through the registry.
class ConnectTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    ComPtr<IClassFactory> factory;
    ScriptedIO* shared = io.Get();
    ASSERT_EQ(CreateClassFactory(
                  [shared](const IID& iid, void** out) { return shared->QueryInterface(iid, out); },
                  factory.ReleaseAndGetAddressOf()),
              S_OK);
    ClassRegistration entry{MakeGuid("{0C0C0C0C-0000-0000-0000-00000000000C}"),
                            "Test.ScriptedIO.1",
                            "Test.ScriptedIO",
                            "ScriptedIO Class",
                            "Apartment",
                            "",
                            "",
                            true};
    ASSERT_EQ(RegisterClassObject(entry, factory.Get(), &cookie_), S_OK);
  }
  void TearDown() override { RevokeClassObject(cookie_); }
  std::uint32_t cookie_ = 0;
};

TEST_F(ConnectTest, ConnectFailsWithTheCauseOnTheNextLine) {
  ASSERT_EQ(core->put_InstrumentModel(Bstr("VDS3002A")), S_OK);
  io->Identity();
  EXPECT_EQ(core->Connect(Bstr("GPIB0::7::INSTR"), Bstr("Test.ScriptedIO")), E_FAIL);
  EXPECT_EQ(
      Description(),
      "VexR7100EZ::Connect method failed.\n"
      "The expected instrument model name/number failed to verify with connected instrument.");
  Bstr name;
  EXPECT_EQ(core->Connect(Bstr(), Bstr()), E_UNEXPECTED);
  EXPECT_EQ(Description(),
            "VexR7100EZ::Connect method failed.\nThe connection failed because no connection name "
            "was specified.");
}

TEST_F(ConnectTest, CloseKeepsTheIOObjectAndConnectReopensIt) {
  io->Identity();
  ASSERT_EQ(core->Connect(Bstr("GPIB0::7::INSTR"), Bstr("Test.ScriptedIO")), S_OK);
  Bstr name;
  core->get_ConnectionName(&name);
  EXPECT_EQ(name, "GPIB0::7::INSTR");
  io->Identity();
  ASSERT_EQ(core->Connect(Bstr("GPIB0::7::INSTR"), Bstr()), S_OK) << "same name: no reopening";
  EXPECT_EQ(io->open_calls, 1);
  EXPECT_EQ(io->sent.size(), 4u) << "but identified again";

  ASSERT_EQ(core->Close(), S_OK);
  EXPECT_FALSE(core->Connected());
  EXPECT_EQ(io->close_calls, 1);
  Bstr manufacturer;
  core->get_InstrumentManufacturer(&manufacturer);
  EXPECT_TRUE(manufacturer.IsEmpty());
  EXPECT_EQ(core->Model().option_flags, 0);
  EXPECT_EQ(core->Close(), S_OK) << "closing when not connected does nothing";
  EXPECT_EQ(io->close_calls, 1);

  io->Identity();
  ASSERT_EQ(core->Connect(Bstr("GPIB0::7::INSTR"), Bstr()), S_OK);
  EXPECT_EQ(io->open_calls, 2) << "the kept object is opened again";

  io->fail_close = E_ABORT;
  EXPECT_EQ(core->Close(), E_ABORT);
  ErrorDetails details = Details();
  EXPECT_EQ(details.description,
            "The instrument connection failed to close.\nThe scripted close failed.");
  EXPECT_EQ(details.help_context, 2016u);
  EXPECT_FALSE(core->Connected()) << "disconnected even when the close fails";
}

TEST_F(CoreTest, EveryMemberNeedsAConnectionAndSendsNothingWithout) {
  std::vector<std::pair<const char*, std::function<HRESULT()>>> members = {
      {"AutoScale", [&] { return core->AutoScale(); }},
      {"Digitize", [&] { return core->Digitize(); }},
      {"Run", [&] { return core->Run(); }},
      {"StopTrigger", [&] { return core->StopTrigger(); }},
      {"SingleTrigger", [&] { return core->SingleTrigger(); }},
      {"Output", [&] { return core->Output(Variant("*RST")); }},
      {"Enter",
       [&] {
         Variant v;
         return core->Enter(&v, Bstr("K"));
       }},
      {"ReadBytes",
       [&] {
         std::int32_t n = 0;
         SafeArray a;
         return core->ReadBytes(&n, &a);
       }},
      {"WriteBytes", [&] { return core->WriteBytes(0, SafeArray::FromBytes({})); }},
      {"QueryInstrumentError",
       [&] {
         std::int32_t n;
         Bstr d;
         return core->QueryInstrumentError(&n, &d);
       }},
      {"Timeout get",
       [&] {
         std::int32_t t;
         return core->get_Timeout(&t);
       }},
      {"Timeout put", [&] { return core->put_Timeout(100); }},
      {"IO get",
       [&] {
         IUnknown* u = nullptr;
         return core->get_IO(&u);
       }},
  };
  for (auto& [name, call] : members) {
    EXPECT_EQ(call(), E_FAIL) << name;
    ErrorDetails details = Details();
    EXPECT_EQ(details.description,
              "The instrument automation server is not currently connected to an instrument.")
        << name;
    EXPECT_EQ(details.help_context, 1529u) << name;
    EXPECT_EQ(details.source, "VexR7100X.ErrorHandler.1");
    EXPECT_EQ(details.help_file, "vexR7100.hlp");
  }
  EXPECT_TRUE(io->sent.empty());
}

TEST_F(CoreTest, ResetClearsAStaleSerialFlagBeforeTheNextLink) {
  ASSERT_EQ(Attach("VEXAN TECHNOLOGIES,VDS3004A,S1,F1", "ASRL"), S_OK);
  ASSERT_EQ(core->put_IO(nullptr), S_OK);
  auto gpib = MakeObject<ScriptedIO>();
  gpib->Reply("VEXAN TECHNOLOGIES,3XXX,S1,F1");
  ASSERT_EQ(core->put_IO(static_cast<io::IIO*>(gpib.Get())), S_OK);
  EXPECT_EQ(core->Model().option_flags, server::kOptionGpib);
  EXPECT_FALSE(core->Model().IsSerial());
}

}  // namespace
}  // namespace vex::test
