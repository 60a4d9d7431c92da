// The I/O component through its published interfaces, created by ProgID
// from its registered library, against the instrument simulator over every
// transport it serves: a raw TCP socket, a pty standing in for COM3, and the
// simulated GPIB bus of this process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "simulator_environment.h"
#include "vex/io/io_interfaces.h"

namespace vex::io {
namespace {

using namespace vex::com;
using Clock = std::chrono::steady_clock;

using test::AddressOf;
const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::SimulatorEnvironment);

ComPtr<IIOManager> Manager() {
  ComPtr<IIOManager> manager;
  EXPECT_EQ(CreateObjectByProgID(kIOManagerProgID, &manager), S_OK);
  return manager;
}

Variant Value(IIOResponse* response, std::int16_t format) {
  ComPtr<IIOResponseValues> values;
  EXPECT_EQ(response->get_Values(values.ReleaseAndGetAddressOf()), S_OK);
  values->put_Format(format);
  Variant value;
  EXPECT_EQ(values->get_Value(&value), S_OK);
  return value;
}

HRESULT Query(IIO* io, const char* text, ComPtr<IIOResponse>* response) {
  HRESULT hr = io->Output(Variant(text));
  if (FAILED(hr)) return hr;
  return io->Read(response->ReleaseAndGetAddressOf());
}

class Contract : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    address = AddressOf(GetParam());
    ASSERT_EQ(Manager()->CreateIO(Bstr(address), io.ReleaseAndGetAddressOf()), S_OK)
        << TakeErrorDetails().description.Str();
    ASSERT_EQ(io->put_Timeout(2000), S_OK);
    // A fresh state for each test, whatever the last one left.
    ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE;:SIM:PATT OFF;*CLS")), S_OK);
  }
  void TearDown() override {
    if (io) (void)io->Output(Variant(":SIM:FAUL NONE"));
  }
  ComPtr<IIO> io;
  std::string address;
};

TEST_P(Contract, IdentifiesTheInstrumentAndNamesItsBus) {
  ComPtr<IIOResponse> response;
  ASSERT_EQ(Query(io.Get(), "*IDN?", &response), S_OK);
  Variant fields = Value(response.Get(), kFormatStrings);
  ASSERT_EQ(fields.vt(), VT_ARRAY | VT_BSTR);
  EXPECT_EQ(fields.Array()->Span<const Bstr>()[1], "VDS3004A");
  Bstr type;
  io->get_IOType(&type);
  std::string expected = GetParam() == "Pty"                ? "ASRL"
                         : GetParam().rfind("Gpib", 0) == 0 ? "GPIB"
                                                            : "TCPIP";
  EXPECT_EQ(type, expected);
  ComPtr<IIOCommand> command;
  ASSERT_EQ(io->Command(command.ReleaseAndGetAddressOf()), S_OK);
  command->SetCommand(Bstr("*ESE"), 0);
  command->SetArgument(1, Variant(32));
  ASSERT_EQ(command->Send(Variant("")), S_OK);
  ASSERT_EQ(Query(io.Get(), "*ESE?", &response), S_OK);
  EXPECT_EQ(Value(response.Get(), 0).BstrVal(), "+32");
  ASSERT_EQ(Query(io.Get(), ":WAV:POIN?", &response), S_OK);
  Variant numbers = Value(response.Get(), kFormatNumbers);
  EXPECT_EQ(numbers.Array()->Span<const Variant>()[0].vt(), VT_R8) << "numbers where they parse";
}

TEST_P(Contract, AMillionByteBlockHoldingEveryByteValue) {
  ASSERT_EQ(io->put_Timeout(10000), S_OK);
  ASSERT_EQ(io->Output(Variant(":SIM:PATT ON;:WAV:SOUR CHAN1;:WAV:FORM BYTE;:WAV:POIN 1000000")),
            S_OK);
  ComPtr<IIOResponse> response;
  ASSERT_EQ(Query(io.Get(), ":WAV:DATA?", &response), S_OK);
  Variant data = Value(response.Get(), kFormatBlockData);
  ASSERT_EQ(data.vt(), VT_ARRAY | VT_UI1);
  auto bytes = data.Array()->Span<const std::uint8_t>();
  ASSERT_EQ(bytes.size(), 1000000u);
  bool ramp = true;
  for (std::size_t i = 0; i < bytes.size() && ramp; ++i)
    ramp = bytes[i] == static_cast<std::uint8_t>(i);
  EXPECT_TRUE(ramp) << "line feeds, XON and XOFF bytes inside the block arrive untouched";
  // The bytes were handed over, not copied: a block is read once.
  ComPtr<IIOResponseValues> again;
  ASSERT_EQ(response->get_Values(again.ReleaseAndGetAddressOf()), S_OK);
  again->put_Format(kFormatBlockWithHeader);
  Variant whole;
  EXPECT_EQ(again->get_Value(&whole), E_FAIL);
  EXPECT_EQ(TakeErrorDetails().description, "The block data of this reply was read already.");
  // The instrument is shared by every connection: say again what to send.
  ASSERT_EQ(io->Output(Variant(":SIM:PATT ON;:WAV:POIN 1000000")), S_OK);
  ASSERT_EQ(Query(io.Get(), ":WAV:DATA?", &response), S_OK);
  whole = Value(response.Get(), kFormatBlockWithHeader);
  ASSERT_EQ(whole.vt(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(whole.Array()->Span<const std::uint8_t>()[0], '#');
  EXPECT_EQ(whole.Array()->ElementCount(), 1000000u + 10) << "the header stays";
  // The link is in step afterwards: the terminator after the block was eaten.
  ASSERT_EQ(Query(io.Get(), "*ESR?", &response), S_OK);
  EXPECT_THAT(Value(response.Get(), 0).BstrVal().Str(), ::testing::StartsWith("+"));
}

TEST_P(Contract, ANoAnswerFaultFailsOnTheTimeout) {
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL NOAN")), S_OK);
  ASSERT_EQ(io->put_Timeout(500), S_OK);
  auto start = Clock::now();
  ComPtr<IIOResponse> response;
  HRESULT hr = Query(io.Get(), "*IDN?", &response);
  auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_TRUE(FAILED(hr));
  EXPECT_THAT(TakeErrorDetails().description.Str(), ::testing::HasSubstr(address.substr(0, 4)));
  EXPECT_GE(elapsed, 500);
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_LE(elapsed, 700);
#else
  EXPECT_LE(elapsed, 550);
#endif
  ASSERT_EQ(io->RecoverAfterError(), S_OK);
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE")), S_OK);
  ASSERT_EQ(io->put_Timeout(2000), S_OK);
  ASSERT_EQ(Query(io.Get(), "*IDN?", &response), S_OK) << "the next exchange works";
}

TEST_P(Contract, CorruptAndTruncatedBlocksFailClearly) {
  ASSERT_EQ(io->put_Timeout(500), S_OK);
  for (const char* fault : {":SIM:FAUL CORR", ":SIM:FAUL TRUN"}) {
    ASSERT_EQ(io->Output(Variant(fault)), S_OK);
    ComPtr<IIOResponse> response;
    HRESULT hr = Query(io.Get(), ":WAV:DATA?", &response);
    if (SUCCEEDED(hr)) {
      ComPtr<IIOResponseValues> values;
      response->get_Values(values.ReleaseAndGetAddressOf());
      values->put_Format(kFormatBlockData);
      Variant data;
      hr = values->get_Value(&data);
    }
    EXPECT_TRUE(FAILED(hr)) << fault;
    TakeErrorDetails();
    if (GetParam() == "Tcp" || GetParam() == "Pty") {
      // A stream cut inside a block is out of step: start a fresh connection.
      ComPtr<IIOConnection> connection;
      ASSERT_EQ(io->get_Connection(connection.ReleaseAndGetAddressOf()), S_OK);
      ASSERT_EQ(connection->Close(), S_OK);
      ASSERT_EQ(io->Open(Variant(address)), S_OK);
    } else {
      // Messages keep their boundaries: dropping what is left is enough.
      ASSERT_EQ(io->RecoverAfterError(), S_OK);
    }
    ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE")), S_OK);
    ASSERT_EQ(Query(io.Get(), "*IDN?", &response), S_OK) << fault;
  }
}

INSTANTIATE_TEST_SUITE_P(Transports, Contract, ::testing::ValuesIn(test::Transports(true)),
                         [](const auto& info) { return info.param; });

TEST(IOManager, FindsPortsAndInstrumentsAndRefusesUnknownAddresses) {
  auto manager = Manager();
  ComPtr<IDispatch> found;
  ASSERT_EQ(manager->FindIO(Bstr("COM*"), found.ReleaseAndGetAddressOf()), S_OK);
  Variant count;
  ASSERT_EQ(GetProperty(found.Get(), "Count", &count), S_OK);
  EXPECT_GE(count.I4(), 1) << "the mapped COM3";
#ifdef VEXSIMBUS_PATH
  ASSERT_EQ(manager->FindIO(Bstr("GPIB*"), found.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(GetProperty(found.Get(), "Count", &count), S_OK);
  ASSERT_EQ(count.I4(), 1);
  Variant first;
  ASSERT_EQ(CallMethod(found.Get(), "Item", {Variant(1)}, &first), S_OK);
  Variant address;
  ASSERT_EQ(GetProperty(first.Dispatch(), "Address", &address), S_OK);
  EXPECT_EQ(address.BstrVal(), "GPIB0::7::INSTR");
#endif
  ASSERT_EQ(manager->FindIO(Bstr("GPIB2"), found.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(GetProperty(found.Get(), "Count", &count), S_OK);
  EXPECT_EQ(count.I4(), 0);

  ComPtr<IIO> io;
  EXPECT_EQ(manager->CreateIO(Bstr("USB0::0x1234::0x5678::INSTR"), io.ReleaseAndGetAddressOf()),
            E_INVALIDARG);
  EXPECT_THAT(TakeErrorDetails().description.Str(),
              ::testing::HasSubstr("USB0::0x1234::0x5678::INSTR"));
  EXPECT_TRUE(FAILED(manager->CreateIO(Bstr("GPIB3::7::INSTR"), io.ReleaseAndGetAddressOf())));
  EXPECT_THAT(TakeErrorDetails().description.Str(), ::testing::HasSubstr("GPIB3"));
  ComPtr<IIO> by_progid;
  ASSERT_EQ(CreateObjectByProgID(kInstrumentIOProgID, &by_progid), S_OK);
  VARIANT_BOOL supported = 0;
  by_progid->IsSupportedAddress(Bstr("COM1::Handshake=XON_XOFF"), &supported);
  EXPECT_EQ(supported, VARIANT_TRUE);
  by_progid->IsSupportedAddress(Bstr("COM9"), &supported);
  EXPECT_EQ(supported, VARIANT_FALSE);
  Bstr progid;
  by_progid->get_ProgID(&progid);
  EXPECT_EQ(progid, "VexIOUtils.InstrumentIO.1");
  manager->get_ProgID(&progid);
  EXPECT_EQ(progid, "VexIOUtils.IOManager.1");
}

class RecordingPages : public Object<IPageDisplayHandler> {
 public:
  HRESULT ShowPages(IUnknown*, std::int32_t page_index) override {
    shown.push_back(page_index);
    return S_OK;
  }
  std::vector<std::int32_t> shown;
};

TEST(PageDisplay, ShowsPagesThroughTheInstalledHandler) {
  ComPtr<IPageDisplay> pages;
  ASSERT_EQ(CreateObjectByProgID(kPageDisplayProgID, &pages), S_OK);
  auto control = MakeObject<MemoryPropertyBag>();
  EXPECT_EQ(pages->ShowPages(control->Identity(), -1), E_NOTIMPL);
  EXPECT_EQ(TakeErrorDetails().description, "No property page display is installed.");
  auto handler = MakeObject<RecordingPages>();
  ASSERT_EQ(pages->SetHandler(handler->Identity()), S_OK);
  ASSERT_EQ(CallMethod(pages.Get(), "ShowPages", {Variant(control->Identity())}, nullptr), S_OK);
  ASSERT_EQ(pages->ShowPages(control->Identity(), 2), S_OK);
  EXPECT_EQ(handler->shown, (std::vector<std::int32_t>{-1, 2}));
  EXPECT_EQ(pages->ShowPages(nullptr, 0), E_POINTER);
}

}  // namespace
}  // namespace vex::io
