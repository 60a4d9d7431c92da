// The I/O configuration: address forms and parsing, refusals that leave the
// configuration unchanged, the mended faults, persistence and variant data.
#include "cio_configuration.h"

#include <gtest/gtest.h>

#include "../../platform/io/address_cases.h"
#include "io_test_support.h"
#include "vex/com/error_info.h"
#include "vex/io/address.h"

namespace vex::control {
namespace {

const auto* const kLibraries = ::testing::AddGlobalTestEnvironment(new test::IoLibraries);

class ConfigurationTest : public ::testing::Test {
 protected:
  com::ComPtr<CIOconfiguration> config_ = com::MakeObject<CIOconfiguration>();

  // A refusal: the invalid-value status with the control's texts.
  static void ExpectInvalid(com::HRESULT hr) {
    EXPECT_EQ(hr, kInvalidPropertyValue);
    const com::ErrorDetails error = com::TakeErrorDetails();
    EXPECT_EQ(error.description.Str(), "Invalid property value.");
    EXPECT_EQ(error.source.Str(), "Vexan 8100 Scope Control Error");
  }
  // The refusal of an address: the same status and source, and the grammar's
  // own message for it as the description.
  static void ExpectRefused(com::HRESULT hr, const std::string& address) {
    EXPECT_EQ(hr, kInvalidPropertyValue);
    const com::ErrorDetails error = com::TakeErrorDetails();
    auto parsed = io::ParseAddress(address);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(error.description.Str(), parsed.status().message());
    EXPECT_EQ(error.source.Str(), "Vexan 8100 Scope Control Error");
  }
  std::string Server() const { return config_->AutomationServerAddress(); }
};

TEST_F(ConfigurationTest, FreshConfigurationAndSerialAddressForms) {
  EXPECT_EQ(config_->ActiveAddress(), "GPIB0::7::INSTR");
  EXPECT_EQ(Server(), "GPIB0::7::INSTR");

  ASSERT_EQ(config_->SetActiveAddress("com1"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM1");
  EXPECT_EQ(config_->ActiveIOPort(), "COM1");  // the pages show the right port
  EXPECT_FALSE(config_->ActivePortIsGPIB());
  EXPECT_EQ(Server(), "COM1::Handshake=XON_XOFF");

  ASSERT_EQ(config_->SetActiveAddress("COM2::Baud=19200, Handshake=DTR_DSR"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM2::Baud=19200,Handshake=DTR_DSR");
  EXPECT_EQ(Server(), "COM2::Baud=19200,Handshake=DTR_DSR");

  ASSERT_EQ(config_->SetActiveAddress("COM3::Baud=38400,Size=8,Parity=NONE,Stop=1"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM3::Baud=38400");
  EXPECT_EQ(Server(), "COM3::Baud=38400,Handshake=XON_XOFF");

  ASSERT_EQ(config_->SetActiveAddress("TCPIP0::127.0.0.1::5025::SOCKET"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "TCPIP0::127.0.0.1::5025::SOCKET");
  ASSERT_EQ(config_->SetActiveAddress("tcpip0::10.0.0.5"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "TCPIP0::10.0.0.5::inst0::INSTR");
  EXPECT_EQ(Server(), "TCPIP0::10.0.0.5::inst0::INSTR");
  // What the I/O component cannot open, the configuration does not take.
  ExpectRefused(config_->SetActiveAddress("USB0::0x1234::0x5678::SN::INSTR"),
                "USB0::0x1234::0x5678::SN::INSTR");
  ExpectRefused(config_->SetActiveAddress("ASRL1::INSTR"), "ASRL1::INSTR");
  EXPECT_EQ(config_->ActiveAddress(), "TCPIP0::10.0.0.5::inst0::INSTR");
}

TEST_F(ConfigurationTest, DtrOnlyForcesDtrDsrAndRebuildsTheActiveAddress) {
  ASSERT_EQ(config_->SetActiveAddress("COM1"), com::S_OK);
  config_->SetDTROnly(true);
  EXPECT_EQ(config_->ActiveAddress(), "COM1::Handshake=DTR_DSR");
  for (const char* other : {"COM1::Handshake=XON_XOFF", "COM1::Handshake=NONE"}) {
    EXPECT_EQ(config_->SetActiveAddress(other), kInvalidPropertyValue);
    EXPECT_NE(com::TakeErrorDetails().description.Str().find("DTROnly allows DTR_DSR only"),
              std::string::npos);
  }
  ASSERT_EQ(config_->SetActiveAddress("COM2"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM2::Handshake=DTR_DSR");
  std::int32_t handshake = 0;
  ASSERT_EQ(config_->Handshake(2, &handshake), com::S_OK);
  EXPECT_EQ(handshake, kHandshakeDtrDsr);
  // A per-port change of the active port shows in the address at once.
  ASSERT_EQ(config_->SetBaudRate(2, 57600), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM2::Baud=57600,Handshake=DTR_DSR");
}

TEST_F(ConfigurationTest, RejectedAddressesLeaveEverythingAsItWas) {
  ASSERT_EQ(config_->SetActiveAddress("COM2::Baud=38400"), com::S_OK);
  const auto before = config_->SearchCriteriaBytes();
  for (const char* bad :
       {"COM2::Baud=19200,Handshake=FOO", "COM1::Baud=4801", "COM9", "COM5::Baud=9600",
        "COM1::Baud=9600,Baud=19200", "COM1::Color=red", "COM1::", "COMX", "GPIB16::1::INSTR",
        "GPIB0::31::INSTR", "GPIB0::x::INSTR", "GPIB0::7::SOCKET", "FOO0::1", "C OM1",
        "COM1::Parity=Z", "TCPIP0::bad host::INSTR"}) {
    SCOPED_TRACE(bad);
    ExpectRefused(config_->SetActiveAddress(bad), bad);
    EXPECT_EQ(config_->ActiveAddress(), "COM2::Baud=38400");
    EXPECT_EQ(config_->ActiveIOPort(), "COM2");
    EXPECT_EQ(config_->SearchCriteriaBytes(), before);
  }
}

TEST_F(ConfigurationTest, GpibAddressesAreSplitIntoPortAndAddress) {
  ASSERT_EQ(config_->SetActiveAddress("gpib1::5::instr"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "GPIB1::5::INSTR");
  EXPECT_EQ(config_->ActiveIOPort(), "GPIB1");
  std::int32_t address = 0;
  ASSERT_EQ(config_->ActivePortGPIBAddress(&address), com::S_OK);
  EXPECT_EQ(address, 5);

  ExpectInvalid(config_->SetActiveIOPort("GPIB4"));
  ExpectInvalid(config_->SetActivePortGPIBAddress(31));
  // Serial-only settings on a GPIB port are refused, not written past the table.
  ExpectInvalid(config_->SetActivePortBaudRate(19200));
  ExpectInvalid(config_->SetActivePortHandshake(4));
  std::int32_t value = 0;
  ExpectInvalid(config_->ActivePortBaudRate(&value));
  ExpectInvalid(config_->ActivePortHandshake(&value));

  ASSERT_EQ(config_->SetActiveIOPort("com3"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM3");
  ASSERT_EQ(config_->SetActivePortBaudRate(4800), com::S_OK);  // out of the set: ignored
  EXPECT_EQ(config_->ActiveAddress(), "COM3");
  ASSERT_EQ(config_->SetActivePortHandshake(4), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM3::Handshake=DTR_DSR");
  ExpectInvalid(config_->SetActivePortHandshake(1));
}

TEST_F(ConfigurationTest, CopyTakesTheActivePortAndGpibAddress) {
  ASSERT_EQ(config_->SetActiveAddress("GPIB2::12::INSTR"), com::S_OK);
  ASSERT_EQ(config_->SetBaudRate(4, 1200), com::S_OK);
  auto other = com::MakeObject<CIOconfiguration>();
  ASSERT_EQ(other->Copy(*config_), com::S_OK);
  EXPECT_EQ(other->ActiveAddress(), "GPIB2::12::INSTR");
  EXPECT_EQ(other->ActiveIOPort(), "GPIB2");
  EXPECT_TRUE(other->ActivePortIsGPIB());
  std::int32_t address = 0;
  ASSERT_EQ(other->ActivePortGPIBAddress(&address), com::S_OK);
  EXPECT_EQ(address, 12);
  EXPECT_EQ(other->SearchCriteriaBytes(), config_->SearchCriteriaBytes());
}

TEST_F(ConfigurationTest, PortStringsIndexesAndInstrumentAddresses) {
  EXPECT_TRUE(CIOconfiguration::IsValidGPIBPortString("gpib3"));
  EXPECT_FALSE(CIOconfiguration::IsValidGPIBPortString("GPIB4"));
  EXPECT_FALSE(CIOconfiguration::IsValidRS232PortString("COM0"));
  EXPECT_FALSE(CIOconfiguration::IsValidRS232PortString("COM12"));
  std::int32_t value = 0;
  ASSERT_EQ(config_->RS232PortIndex("com4", &value), com::S_OK);
  EXPECT_EQ(value, 4);
  ExpectInvalid(config_->RS232PortIndex("COM12", &value));
  ExpectInvalid(config_->GPIBPortIndex("GPIB", &value));
  ASSERT_EQ(config_->GPIBInstrumentAddress("GPIB0::17::INSTR", &value), com::S_OK);
  EXPECT_EQ(value, 17);
  ASSERT_EQ(config_->GPIBInstrumentAddress("GPIB1::7", &value), com::S_OK);
  EXPECT_EQ(value, 7);
  for (const char* bad : {"GPIB0::123::INSTR", "GPIB0::31::INSTR", "GPIB0::::INSTR"}) {
    SCOPED_TRACE(bad);
    ExpectRefused(config_->GPIBInstrumentAddress(bad, &value), bad);
  }
  ExpectInvalid(config_->GPIBInstrumentAddress("COM1", &value));
  std::string text;
  ExpectInvalid(config_->RS232PortString(0, &text));
  ExpectInvalid(config_->GPIBPortString(4, &text));
  EXPECT_TRUE(AddressIsOnPort("COM1", "COM1"));
  EXPECT_TRUE(AddressIsOnPort("GPIB1::5::INSTR", "GPIB1"));
  EXPECT_FALSE(AddressIsOnPort("COM12", "COM1"));
  EXPECT_FALSE(AddressIsOnPort("GPIB10::5::INSTR", "GPIB1"));
}

TEST_F(ConfigurationTest, PersistenceUsesTheSearchCriteriaLayout) {
  auto bag = com::MakeObject<com::MemoryPropertyBag>();
  ASSERT_EQ(config_->WriteProperties(bag.Get()), com::S_OK);
  EXPECT_TRUE(bag->Values().empty());  // all at their defaults

  ASSERT_EQ(config_->SetGPIBPortInstalled(1, true), com::S_OK);
  ASSERT_EQ(config_->SetGPIBPortIncludes(2, 30, false), com::S_OK);
  ASSERT_EQ(config_->SetRS232PortIncluded(3, false), com::S_OK);
  ASSERT_EQ(config_->SetBaudRate(4, 57600), com::S_OK);
  ASSERT_EQ(config_->SetHandshake(2, 4), com::S_OK);
  config_->SetInstrumentID("VEXAN,VDS3004A,1,2");
  const auto bytes = config_->SearchCriteriaBytes();
  ASSERT_EQ(bytes.size(), 164u);
  EXPECT_EQ(bytes[1], 0xFF);                // GPIB1 installed
  EXPECT_EQ(bytes[8 + 2 * 31 + 30], 0x00);  // GPIB2 address 30 excluded
  EXPECT_EQ(bytes[136 + 2], 0x00);          // COM3 not included
  EXPECT_EQ(bytes[140 + 3 * 6 + 0], 0x00);  // COM4 57600 = 0x0000E100, little-endian
  EXPECT_EQ(bytes[140 + 3 * 6 + 1], 0xE1);
  EXPECT_EQ(bytes[140 + 3 * 6 + 4], 1);  // parity code
  EXPECT_EQ(bytes[140 + 1 * 6 + 5], 4);  // COM2 handshake
  ASSERT_EQ(config_->WriteProperties(bag.Get()), com::S_OK);

  auto read = com::MakeObject<CIOconfiguration>();
  ASSERT_EQ(read->ReadProperties(bag.Get()), com::S_OK);
  EXPECT_EQ(read->SearchCriteriaBytes(), bytes);
  EXPECT_EQ(read->InstrumentID(), "VEXAN,VDS3004A,1,2");

  // A blob of the wrong size, or with a baud rate outside the set, changes nothing.
  const std::uint8_t short_blob[100] = {};
  ASSERT_EQ(
      bag->Write(com::Bstr("SearchCriteria"), com::Variant(com::SafeArray::FromBytes(short_blob))),
      com::S_OK);
  auto untouched = com::MakeObject<CIOconfiguration>();
  ExpectInvalid(untouched->ReadProperties(bag.Get()));
  EXPECT_EQ(untouched->SearchCriteriaBytes(), CIOconfiguration().SearchCriteriaBytes());
  auto bad = bytes;
  bad[140] = 0xC0;  // 4800 baud on COM1
  bad[141] = 0x12;
  bad[142] = 0;
  ExpectInvalid(untouched->SetSearchCriteriaBytes(bad));
  EXPECT_EQ(untouched->SearchCriteriaBytes(), CIOconfiguration().SearchCriteriaBytes());
}

TEST_F(ConfigurationTest, DataAsVariantChecksShapeAndValuesBeforeCommitting) {
  ASSERT_EQ(config_->SetBaudRate(1, 2400), com::S_OK);
  com::Variant data;
  ASSERT_EQ(config_->DataAsVariant(&data), com::S_OK);
  auto other = com::MakeObject<CIOconfiguration>();
  ASSERT_EQ(other->SetDataAsVariant(data), com::S_OK);
  EXPECT_EQ(other->SearchCriteriaBytes(), config_->SearchCriteriaBytes());

  // Too few parts, a part of the wrong size, a flat array: refused.
  com::SafeArray five;
  ASSERT_EQ(com::SafeArray::Create(com::VT_VARIANT, {{5, 0}}, &five), com::S_OK);
  ExpectInvalid(other->SetDataAsVariant(com::Variant(std::move(five))));
  com::SafeArray wrong = *data.Array();
  com::SafeArray small;
  ASSERT_EQ(com::SafeArray::Create(com::VT_BOOL, {{3, 0}}, &small), com::S_OK);
  ASSERT_EQ(wrong.PutElement({2}, com::Variant(std::move(small))), com::S_OK);
  ExpectInvalid(other->SetDataAsVariant(com::Variant(std::move(wrong))));
  ExpectInvalid(other->SetDataAsVariant(com::Variant(std::int32_t{3})));

  // A bad handshake in the last port: nothing of the rest is taken either.
  com::SafeArray values = *data.Array();
  com::Variant serial;
  ASSERT_EQ(values.GetElement({5}, &serial), com::S_OK);
  com::SafeArray table = *serial.Array();
  ASSERT_EQ(table.PutElement({4, 2}, com::Variant(std::int32_t{3})), com::S_OK);
  ASSERT_EQ(table.PutElement({1, 0}, com::Variant(std::int32_t{57600})), com::S_OK);
  ASSERT_EQ(values.PutElement({5}, com::Variant(std::move(table))), com::S_OK);
  auto fresh = com::MakeObject<CIOconfiguration>();
  ExpectInvalid(fresh->SetDataAsVariant(com::Variant(std::move(values))));
  EXPECT_EQ(fresh->SearchCriteriaBytes(), CIOconfiguration().SearchCriteriaBytes());
}

// The configuration (and so the control's Address, which is set through
// it) takes exactly what the grammar takes, in the grammar's canonical form,
// and refuses the rest with the grammar's message and nothing changed.
TEST_F(ConfigurationTest, EveryAddressIsTakenOrRefusedAsTheGrammarDoes) {
  ASSERT_EQ(config_->SetActiveAddress("COM2::Baud=38400"), com::S_OK);
  for (const io::test::AddressCase& c : io::test::AddressCases()) {
    SCOPED_TRACE(c.text);
    auto config = com::MakeObject<CIOconfiguration>();
    ASSERT_EQ(config->Copy(*config_), com::S_OK);
    const auto criteria = config->SearchCriteriaBytes();
    bool gpib = false;
    if (c.accepted) {
      ASSERT_EQ(config->SetActiveAddress(c.text), com::S_OK);
      EXPECT_EQ(config->ActiveAddress(), c.canonical_or_reason);
      EXPECT_EQ(config->IsStringGPIB(c.text, &gpib), com::S_OK);
      EXPECT_EQ(gpib, c.canonical_or_reason.rfind("COM", 0) != 0);
      // The address reads back unchanged, and the server's form is one too.
      auto again = com::MakeObject<CIOconfiguration>();
      ASSERT_EQ(again->SetActiveAddress(config->ActiveAddress()), com::S_OK);
      EXPECT_EQ(again->ActiveAddress(), config->ActiveAddress());
      EXPECT_TRUE(io::ParseAddress(config->AutomationServerAddress()).ok());
    } else {
      ExpectRefused(config->SetActiveAddress(c.text), c.text);
      EXPECT_EQ(config->ActiveAddress(), "COM2::Baud=38400");
      EXPECT_EQ(config->SearchCriteriaBytes(), criteria);
      ExpectRefused(config->IsStringGPIB(c.text, &gpib), c.text);
    }
  }
}

// A serial address may ask for more than the port fields hold; that part
// stays with the address through every rebuild (loading the criteria, the
// other port's settings), until the field it concerns is set.
TEST_F(ConfigurationTest, SerialSettingsBeyondThePortFieldsStayWithTheAddress) {
  ASSERT_EQ(config_->SetBaudRate(1, 19200), com::S_OK);
  ASSERT_EQ(config_->SetActiveAddress("COM1::Baud=115200,Parity=EVEN,Stop=2"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM1::Baud=115200,Parity=EVEN,Stop=2");
  EXPECT_EQ(config_->ActiveIOPort(), "COM1");
  EXPECT_FALSE(config_->ActivePortIsGPIB());
  EXPECT_EQ(Server(), "COM1::Baud=115200,Handshake=XON_XOFF,Parity=EVEN,Stop=2");

  // Criteria loaded as the control loads them after the address, and the
  // other ports' settings, leave it alone.
  ASSERT_EQ(config_->SetSearchCriteriaBytes(config_->SearchCriteriaBytes()), com::S_OK);
  ASSERT_EQ(config_->SetHandshake(2, kHandshakeDtrDsr), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM1::Baud=115200,Parity=EVEN,Stop=2");
  auto copy = com::MakeObject<CIOconfiguration>();
  ASSERT_EQ(copy->Copy(*config_), com::S_OK);
  ASSERT_EQ(copy->SetSearchCriteriaBytes(copy->SearchCriteriaBytes()), com::S_OK);
  EXPECT_EQ(copy->ActiveAddress(), "COM1::Baud=115200,Parity=EVEN,Stop=2");

  // Setting the port's rate or handshake replaces that part only.
  ASSERT_EQ(config_->SetBaudRate(1, 2400), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM1::Baud=2400,Parity=EVEN,Stop=2");
  ASSERT_EQ(config_->SetActivePortHandshake(kHandshakeDtrDsr), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM1::Baud=2400,Handshake=DTR_DSR,Parity=EVEN,Stop=2");
  // Picking the port anew gives the fields' address.
  ASSERT_EQ(config_->SetActiveIOPort("COM1"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "COM1::Baud=2400,Handshake=DTR_DSR");

  // Handshake NONE is kept until DTROnly forces DTR/DSR.
  ASSERT_EQ(config_->SetActiveAddress("COM3::Handshake=NONE"), com::S_OK);
  EXPECT_EQ(Server(), "COM3::Handshake=NONE");
  config_->SetDTROnly(true);
  EXPECT_EQ(config_->ActiveAddress(), "COM3::Handshake=DTR_DSR");

  // A GPIB board beyond the four of the pages is kept as given, the port
  // fields as they were.
  ASSERT_EQ(config_->SetActiveAddress("gpib9::4"), com::S_OK);
  EXPECT_EQ(config_->ActiveAddress(), "GPIB9::4::INSTR");
  EXPECT_EQ(Server(), "GPIB9::4::INSTR");
  EXPECT_EQ(config_->ActiveIOPort(), "COM3");
  std::int32_t address = -1;
  ASSERT_EQ(config_->GPIBInstrumentAddress("GPIB9::4::INSTR", &address), com::S_OK);
  EXPECT_EQ(address, 4);
}

}  // namespace
}  // namespace vex::control
