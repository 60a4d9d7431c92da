// The simulated GPIB bus class, created through the class registry as the
// I/O component creates it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bus/SimBus.h"
#include "vex/com/com.h"
#include "vex/io/io_interfaces.h"

namespace {

using vex::com::ComPtr;
using vex::com::HRESULT;
using vex::com::SafeArray;
using vex::io::ISimulatedBus;

SafeArray Bytes(const std::string& s) {
  return SafeArray::FromBytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
}

std::string Text(const SafeArray& a) {
  auto span = a.Span<const std::uint8_t>();
  return {span.begin(), span.end()};
}

class SimBusTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("VEX_SIM_BUS");
    ASSERT_EQ(vex::com::RegisterServer(VEXSIMBUS_PATH), vex::com::S_OK);
  }

  static ComPtr<ISimulatedBus> Attached(std::int16_t board) {
    ComPtr<ISimulatedBus> bus;
    EXPECT_EQ(vex::com::CreateObjectByProgID("VexSim.Bus", &bus), vex::com::S_OK);
    if (bus) {
      EXPECT_EQ(bus->Attach(board), vex::com::S_OK);
    }
    return bus;
  }

  // Sends one message with END and returns the reply, "<none>" when there is none.
  static std::string Ask(ISimulatedBus* bus, std::int16_t address, const std::string& message) {
    if (vex::com::FAILED(bus->Write(address, Bytes(message), vex::com::VARIANT_TRUE)))
      return "<write failed>";
    SafeArray reply;
    std::int32_t delay = -1;
    vex::com::VARIANT_BOOL close = vex::com::VARIANT_TRUE;
    const HRESULT hr = bus->Read(address, &reply, &delay, &close);
    if (hr == vex::com::S_FALSE) return "<none>";
    EXPECT_EQ(hr, vex::com::S_OK);
    return Text(reply);
  }
};

TEST_F(SimBusTest, RegisteredUnderBothProgIDsWithItsClassId) {
  vex::com::CLSID a{}, b{};
  ASSERT_EQ(vex::com::CLSIDFromProgID("VexSim.Bus.1", &a), vex::com::S_OK);
  ASSERT_EQ(vex::com::CLSIDFromProgID("VexSim.Bus", &b), vex::com::S_OK);
  EXPECT_EQ(a, vex::sim::bus::kSimBusClsid);
  EXPECT_EQ(b, vex::sim::bus::kSimBusClsid);
  vex::com::ClassRegistration entry;
  ASSERT_EQ(vex::com::LookupClassEntry(a, &entry), vex::com::S_OK);
  EXPECT_EQ(entry.threading_model, "Apartment");
  EXPECT_EQ(entry.description, "Bus Class");
}

TEST_F(SimBusTest, DefaultBoardIdentifiesASimulatedInstrumentAtAddressSeven) {
  auto bus = Attached(0);
  ASSERT_TRUE(bus);
  SafeArray addresses;
  ASSERT_EQ(bus->Addresses(&addresses), vex::com::S_OK);
  ASSERT_EQ(addresses.ElementType(), vex::com::VT_I2);
  auto list = addresses.Span<const std::int16_t>();
  EXPECT_EQ(std::vector<std::int16_t>(list.begin(), list.end()), std::vector<std::int16_t>{7});
  EXPECT_EQ(Ask(bus.Get(), 7, "*IDN?"), "VEXAN TECHNOLOGIES,VDS3004A,SIM-GPIB0-07,A.03.00\n");

  // END ends a message without a line feed; a message split over writes
  // executes only once END arrives.
  ASSERT_EQ(bus->Write(7, Bytes(":CHAN2:DISP"), vex::com::VARIANT_FALSE), vex::com::S_OK);
  ASSERT_EQ(bus->Write(7, Bytes(" ON"), vex::com::VARIANT_TRUE), vex::com::S_OK);
  EXPECT_EQ(Ask(bus.Get(), 7, ":CHAN2:DISP?"), "1\n");

  // Nothing to read is S_FALSE with an empty array.
  SafeArray reply;
  std::int32_t delay = 0;
  vex::com::VARIANT_BOOL close = 0;
  EXPECT_EQ(bus->Read(7, &reply, &delay, &close), vex::com::S_FALSE);
  EXPECT_EQ(reply.ElementCount(), 0u);

  // Device clear drops the unread reply.
  ASSERT_EQ(bus->Write(7, Bytes("*IDN?\n"), vex::com::VARIANT_FALSE), vex::com::S_OK);
  ASSERT_EQ(bus->Clear(7), vex::com::S_OK);
  EXPECT_EQ(bus->Read(7, &reply, &delay, &close), vex::com::S_FALSE);

  // Faults travel through Read: a slow reply carries its delay.
  EXPECT_EQ(Ask(bus.Get(), 7, ":SIM:FAUL SLOW;:SIM:FAUL:DEL 250"), "<none>");
  ASSERT_EQ(bus->Write(7, Bytes("*OPC?"), vex::com::VARIANT_TRUE), vex::com::S_OK);
  ASSERT_EQ(bus->Read(7, &reply, &delay, &close), vex::com::S_OK);
  EXPECT_EQ(delay, 250);
  EXPECT_EQ(close, vex::com::VARIANT_FALSE);
  EXPECT_EQ(Ask(bus.Get(), 7, ":SIM:FAUL NONE"), "<none>");
}

TEST_F(SimBusTest, ObjectsOnOneBoardShareItsInstrumentsAndBoardsAreIndependent) {
  auto first = Attached(0);
  auto second = Attached(0);
  auto other = Attached(5);
  ASSERT_TRUE(first && second && other);
  EXPECT_EQ(Ask(first.Get(), 7, ":TIM:RANG 2e-3;*SAV 1;:TIM:RANG 5e-3"), "<none>");
  EXPECT_EQ(Ask(second.Get(), 7, ":TIM:RANG?"), "+5.000000E-03\n");
  EXPECT_EQ(Ask(second.Get(), 7, "*RCL 1;:TIM:RANG?"), "+2.000000E-03\n");
  EXPECT_EQ(Ask(first.Get(), 7, ":TIM:RANG?"), "+2.000000E-03\n");
  // Board 5 has its own instrument at 7 with its own serial and settings.
  EXPECT_EQ(Ask(other.Get(), 7, ":TIM:RANG?"), "+1.000000E-03\n");
  EXPECT_EQ(Ask(other.Get(), 7, "*IDN?"), "VEXAN TECHNOLOGIES,VDS3004A,SIM-GPIB5-07,A.03.00\n");
  EXPECT_EQ(Ask(other.Get(), 7, "*RCL 1;:SYST:ERR?"), "-221,\"Settings conflict\"\n");
}

TEST_F(SimBusTest, ErrorsNameTheBoardAndAddressAndPointersAreChecked) {
  auto bus = Attached(0);
  ASSERT_TRUE(bus);
  (void)vex::com::TakeErrorDetails();
  EXPECT_EQ(bus->Write(5, Bytes("*IDN?"), vex::com::VARIANT_TRUE), vex::com::E_INVALIDARG);
  EXPECT_EQ(vex::com::TakeErrorDetails().description, "No instrument at GPIB0 address 5.");
  EXPECT_EQ(bus->Clear(31), vex::com::E_INVALIDARG);
  auto details = vex::com::TakeErrorDetails();
  EXPECT_EQ(details.description, "No instrument at GPIB0 address 31.");
  EXPECT_EQ(details.source, "VexSim.Bus.1");

  SafeArray words;
  ASSERT_EQ(SafeArray::Create(vex::com::VT_I4, {{2, 0}}, &words), vex::com::S_OK);
  EXPECT_EQ(bus->Write(7, words, vex::com::VARIANT_TRUE), vex::com::E_INVALIDARG);

  SafeArray reply;
  std::int32_t delay = 0;
  vex::com::VARIANT_BOOL close = 0;
  EXPECT_EQ(bus->Read(7, nullptr, &delay, &close), vex::com::E_POINTER);
  EXPECT_EQ(bus->Read(7, &reply, nullptr, &close), vex::com::E_POINTER);
  EXPECT_EQ(bus->Read(7, &reply, &delay, nullptr), vex::com::E_POINTER);
  EXPECT_EQ(bus->Addresses(nullptr), vex::com::E_POINTER);

  ComPtr<ISimulatedBus> loose;
  ASSERT_EQ(vex::com::CreateObjectByProgID("VexSim.Bus.1", &loose), vex::com::S_OK);
  EXPECT_EQ(loose->Write(7, Bytes("*IDN?"), vex::com::VARIANT_TRUE), vex::com::E_UNEXPECTED);
  EXPECT_EQ(loose->Attach(-1), vex::com::E_INVALIDARG);

  ComPtr<vex::com::ISupportErrorInfo> support;
  ASSERT_EQ(bus->QueryInterface(vex::com::ISupportErrorInfo::kIid,
                                reinterpret_cast<void**>(support.ReleaseAndGetAddressOf())),
            vex::com::S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(ISimulatedBus::kIid), vex::com::S_OK);
}

TEST_F(SimBusTest, NewBoardsTakeTheirInstrumentsFromTheEnvironment) {
  setenv("VEX_SIM_BUS", " 3=VDS3002A , 12=VDS3014A", 1);
  auto bus = Attached(1);
  ASSERT_TRUE(bus);
  SafeArray addresses;
  ASSERT_EQ(bus->Addresses(&addresses), vex::com::S_OK);
  auto list = addresses.Span<const std::int16_t>();
  EXPECT_EQ(std::vector<std::int16_t>(list.begin(), list.end()),
            (std::vector<std::int16_t>{3, 12}));
  EXPECT_EQ(Ask(bus.Get(), 12, "*IDN?"), "VEXAN TECHNOLOGIES,VDS3014A,SIM-GPIB1-12,A.03.00\n");
  EXPECT_EQ(Ask(bus.Get(), 3, ":CHAN2:DISP?;:CHAN3:DISP?;:SYST:ERR?"),
            "0;-113,\"Undefined header\"\n");

  // A malformed description fails the attach of a new board and creates
  // nothing, so a later attach with a good one succeeds.
  ComPtr<ISimulatedBus> bad;
  ASSERT_EQ(vex::com::CreateObjectByProgID("VexSim.Bus", &bad), vex::com::S_OK);
  for (const char* description :
       {"7=VDS3004A,x", "7", "31=VDS3004A", "7=", "7=A,7=B", "x=VDS3004A"}) {
    SCOPED_TRACE(description);
    setenv("VEX_SIM_BUS", description, 1);
    EXPECT_EQ(bad->Attach(2), vex::com::E_INVALIDARG);
    EXPECT_NE(vex::com::TakeErrorDetails().description.Str().find("VEX_SIM_BUS"),
              std::string::npos);
  }
  // Boards that exist keep their instruments whatever the environment says.
  EXPECT_EQ(bad->Attach(1), vex::com::S_OK);
  unsetenv("VEX_SIM_BUS");
  EXPECT_EQ(bad->Attach(2), vex::com::S_OK);
  EXPECT_EQ(Ask(bad.Get(), 7, "*IDN?"), "VEXAN TECHNOLOGIES,VDS3004A,SIM-GPIB2-07,A.03.00\n");
}

TEST(SimBusDescription, ParsesAddressModelPairs) {
  std::map<int, std::string> out;
  std::string error;
  ASSERT_TRUE(vex::sim::bus::ParseBusDescription("7=VDS3004A,9=VDS3002A", out, error));
  EXPECT_EQ(out, (std::map<int, std::string>{{7, "VDS3004A"}, {9, "VDS3002A"}}));
  ASSERT_TRUE(vex::sim::bus::ParseBusDescription("0=X,30=Y", out, error));
  EXPECT_FALSE(vex::sim::bus::ParseBusDescription("", out, error));
  EXPECT_FALSE(vex::sim::bus::ParseBusDescription("7=A,", out, error));
  EXPECT_FALSE(vex::sim::bus::ParseBusDescription("-1=A", out, error));
  EXPECT_FALSE(vex::sim::bus::ParseBusDescription("7x=A", out, error));
}

}  // namespace
