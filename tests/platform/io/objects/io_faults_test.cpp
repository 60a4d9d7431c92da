// The simulator's faults through the I/O component over every transport:
// a slow instrument, a link dropped inside a block, garbage where a block
// should be, and device errors. Each fault must fail clearly, within its
// timeout, and leave the link usable for the next exchange.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "simulator_environment.h"
#include "vex/io/io_interfaces.h"

namespace vex::io {
namespace {

using namespace vex::com;
using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
constexpr long kSlackMs = 250;  // the sanitizer slows every call
#else
constexpr long kSlackMs = 0;
#endif

using test::AddressOf;
// Writing to a VXI-11 link the instrument has closed must fail with a
// status: the component keeps SIGPIPE from ending this process, whose signal
// handling stays the default.
const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::SimulatorEnvironment);

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class Faults : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    address = AddressOf(GetParam());
    ComPtr<IIOManager> manager;
    ASSERT_EQ(CreateObjectByProgID(kIOManagerProgID, &manager), S_OK);
    ASSERT_EQ(manager->CreateIO(Bstr(address), io.ReleaseAndGetAddressOf()), S_OK)
        << TakeErrorDetails().description.Str();
    ASSERT_EQ(io->put_Timeout(2000), S_OK);
    ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE;:SIM:PATT OFF;*CLS")), S_OK);
  }
  void TearDown() override {
    if (io) (void)io->Output(Variant(":SIM:FAUL NONE"));
  }

  // What an error about this link names: the host, port or board and address.
  std::string Named() const {
    if (GetParam() == "Pty") return "COM3";
    if (GetParam() == "Gpib") return "GPIB0::7";
    return "127.0.0.1";
  }

  bool Stream() const { return GetParam() == "Tcp" || GetParam() == "Pty"; }

  HRESULT Query(const char* text, ComPtr<IIOResponse>* response) {
    HRESULT hr = io->Output(Variant(text));
    if (FAILED(hr)) return hr;
    return io->Read(response->ReleaseAndGetAddressOf());
  }

  // A block query read to its data bytes; the first failure is returned.
  HRESULT ReadBlock(Variant* data) {
    ComPtr<IIOResponse> response;
    HRESULT hr = Query(":WAV:DATA?", &response);
    if (FAILED(hr)) return hr;
    ComPtr<IIOResponseValues> values;
    hr = response->get_Values(values.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    values->put_Format(kFormatBlockData);
    return values->get_Value(data);
  }

  // After a failure: a link the instrument closed under the failing read is
  // reopened by RecoverAfterError itself; a stream out of step starts a
  // fresh connection, as does a VXI-11 link that the instrument closed just
  // after a reply it cut short (the read ended at END, and the close may
  // not have arrived yet); a message transport drops what is left of the
  // reply. The default timeout comes back first. (A pty has no connection
  // to close: the instrument only stops sending there.)
  void Recover(bool link_closed = false) {
    ASSERT_EQ(io->put_Timeout(2000), S_OK);
    if (link_closed && (GetParam() == "Tcp" || GetParam() == "Gpib")) {
      ASSERT_EQ(io->RecoverAfterError(), S_OK) << TakeErrorDetails().description.Str();
    } else if (Stream() || link_closed) {
      ComPtr<IIOConnection> connection;
      ASSERT_EQ(io->get_Connection(connection.ReleaseAndGetAddressOf()), S_OK);
      ASSERT_EQ(connection->Close(), S_OK);
      ASSERT_EQ(io->Open(Variant(address)), S_OK) << TakeErrorDetails().description.Str();
    } else {
      ASSERT_EQ(io->RecoverAfterError(), S_OK) << TakeErrorDetails().description.Str();
    }
  }

  // The next exchange after a fault: the fault is off and a query gets its
  // own answer, not one left over from the fault.
  void ExpectLinkWorks() {
    static int mask = 0;
    mask = mask % 200 + 1;
    ASSERT_EQ(io->put_Timeout(2000), S_OK);
    ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE")), S_OK) << TakeErrorDetails().description.Str();
    ComPtr<IIOResponse> response;
    const std::string query = "*ESE " + std::to_string(mask) + ";*ESE?";
    ASSERT_EQ(Query(query.c_str(), &response), S_OK) << TakeErrorDetails().description.Str();
    ComPtr<IIOResponseValues> values;
    ASSERT_EQ(response->get_Values(values.ReleaseAndGetAddressOf()), S_OK);
    Variant text;
    ASSERT_EQ(values->get_Value(&text), S_OK);
    EXPECT_EQ(text.BstrVal().Str(), "+" + std::to_string(mask));
    ASSERT_EQ(io->Output(Variant("*ESE 0")), S_OK);
  }

  ComPtr<IIO> io;
  std::string address;
};

TEST_P(Faults, ASlowReplyWithinTheTimeoutAnswers) {
  ASSERT_EQ(io->put_Timeout(500), S_OK);
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL:DEL 200;:SIM:FAUL SLOW")), S_OK);
  const auto start = Clock::now();
  ComPtr<IIOResponse> response;
  ASSERT_EQ(Query("*IDN?", &response), S_OK) << TakeErrorDetails().description.Str();
  const long elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 200) << "the reply was held";
  EXPECT_LT(elapsed, 500 + kSlackMs);
  ExpectLinkWorks();
}

TEST_P(Faults, ASlowReplyBeyondTheTimeoutFailsOnTime) {
  constexpr long kTimeoutMs = 400;
  ASSERT_EQ(io->put_Timeout(kTimeoutMs), S_OK);
  constexpr long kDelayMs = 700;
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL:DEL 700;:SIM:FAUL SLOW")), S_OK);
  const auto start = Clock::now();
  ComPtr<IIOResponse> response;
  const HRESULT hr = Query("*IDN?", &response);
  const long elapsed = MillisecondsSince(start);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_THAT(TakeErrorDetails().description.Str(), HasSubstr(Named()));
  EXPECT_GE(elapsed, kTimeoutMs);
  EXPECT_LE(elapsed, kTimeoutMs + kTimeoutMs / 10 + kSlackMs);
  if (GetParam() == "Pty") {
    // The line is the instrument's own: its late reply still comes, whatever
    // the host does with the port. Let it arrive before starting over.
    std::this_thread::sleep_for(std::chrono::milliseconds(kDelayMs - elapsed + 200));
  }
  Recover();
  ExpectLinkWorks();
}

TEST_P(Faults, ALinkDroppedInsideABlockFailsWithoutHanging) {
  constexpr long kTimeoutMs = 500;
  ASSERT_EQ(io->put_Timeout(kTimeoutMs), S_OK);
  ASSERT_EQ(io->Output(Variant(":SIM:PATT ON;:WAV:SOUR CHAN1;:WAV:FORM BYTE;:WAV:POIN 100000;"
                               ":SIM:FAUL DROP")),
            S_OK);
  const auto start = Clock::now();
  Variant data;
  const HRESULT hr = ReadBlock(&data);
  const long elapsed = MillisecondsSince(start);
  EXPECT_TRUE(FAILED(hr)) << "half a block is no reply";
  EXPECT_THAT(TakeErrorDetails().description.Str(), HasSubstr(Named()));
  // A closed link fails at once; the pty only stops sending and so waits
  // out the timeout.
  EXPECT_LE(elapsed, kTimeoutMs + kTimeoutMs / 10 + kSlackMs);
  Recover(/*link_closed=*/true);
  ExpectLinkWorks();
  ASSERT_EQ(io->Output(Variant(":SIM:PATT OFF")), S_OK);
}

TEST_P(Faults, GarbageIsNoBlock) {
  ASSERT_EQ(io->put_Timeout(500), S_OK);
  ASSERT_EQ(io->Output(Variant(":WAV:SOUR CHAN1;:WAV:FORM BYTE;:WAV:POIN 1000;:SIM:FAUL GARB")),
            S_OK);
  Variant data;
  EXPECT_EQ(ReadBlock(&data), E_FAIL);
  EXPECT_EQ(TakeErrorDetails().description, "The reply is not a definite-length block.");
  Recover();
  ExpectLinkWorks();
}

TEST_P(Faults, ADeviceErrorShowsInTheEventStatus) {
  ASSERT_EQ(io->Output(Variant("*CLS")), S_OK);
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL DEVERROR")), S_OK);
  ASSERT_EQ(io->Output(Variant(":CHAN1:DISP ON")), S_OK);
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE")), S_OK);
  ComPtr<IIOResponse> response;
  ASSERT_EQ(Query("*ESR?", &response), S_OK) << TakeErrorDetails().description.Str();
  ComPtr<IIOResponseValues> values;
  ASSERT_EQ(response->get_Values(values.ReleaseAndGetAddressOf()), S_OK);
  values->put_Format(kFormatNumbers);
  Variant esr;
  ASSERT_EQ(values->Item(0, &esr), S_OK);
  ASSERT_EQ(esr.vt(), VT_R8);
  EXPECT_EQ(static_cast<int>(esr.R8()) & 0x08, 0x08) << "device-dependent error";
  ASSERT_EQ(Query(":SYST:ERR?", &response), S_OK);
  ASSERT_EQ(response->get_Values(values.ReleaseAndGetAddressOf()), S_OK);
  Variant error;
  ASSERT_EQ(values->get_Value(&error), S_OK);
  EXPECT_THAT(error.BstrVal().Str(), ::testing::StartsWith("-310"));
  ASSERT_EQ(io->Output(Variant("*CLS")), S_OK);
  ExpectLinkWorks();
}

INSTANTIATE_TEST_SUITE_P(Transports, Faults, ::testing::ValuesIn(test::Transports(false)),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace vex::io
