// A reply that comes after its query timed out never answers a later query,
// on any transport: through the I/O component against the simulator, whose
// slow fault holds each reply for a delay. The late reply arrives before the
// next message is written, about when it is written, or after it (while the
// next reply is being read); whatever the timing, every value read
// afterwards is the one its own query asked for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>

#include "simulator_environment.h"
#include "vex/io/io_interfaces.h"

namespace vex::io {
namespace {

using namespace vex::com;
using std::chrono::milliseconds;

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::SimulatorEnvironment);

constexpr int kTimeoutMs = 300;
// Each reply of the slow query is due this long after its read timed out.
constexpr int kLateByMs = 100;

// The transport, and the pause between the timeout and the next message:
// longer than, about equal to, or shorter than how late the reply is.
class LateReply : public ::testing::TestWithParam<std::tuple<std::string, int>> {
 protected:
  void SetUp() override {
    ComPtr<IIOManager> manager;
    ASSERT_EQ(CreateObjectByProgID(kIOManagerProgID, &manager), S_OK);
    address = test::AddressOf(std::get<0>(GetParam()));
    ASSERT_EQ(manager->CreateIO(Bstr(address), io.ReleaseAndGetAddressOf()), S_OK)
        << TakeErrorDetails().description.Str();
    ASSERT_EQ(io->put_Timeout(2000), S_OK);
    ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE;*CLS")), S_OK);
  }
  void TearDown() override {
    if (!io) return;
    (void)io->put_Timeout(2000);
    (void)io->Output(Variant(":SIM:FAUL NONE;*ESE 0"));
  }

  // Sets the event-status mask and reads it back: the reply names the query.
  HRESULT Mask(int mask, std::string* reply) {
    HRESULT hr = io->Output(Variant("*ESE " + std::to_string(mask) + ";*ESE?"));
    if (FAILED(hr)) return hr;
    Variant text;
    hr = io->Enter(&text, Bstr("K"));
    if (SUCCEEDED(hr)) *reply = text.BstrVal().Str();
    return hr;
  }

  ComPtr<IIO> io;
  std::string address;
};

TEST_P(LateReply, NeverAnswersALaterQuery) {
  const int pause_ms = std::get<1>(GetParam());
  ASSERT_EQ(io->put_Timeout(kTimeoutMs), S_OK);
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL:DEL " + std::to_string(kTimeoutMs + kLateByMs) +
                               ";:SIM:FAUL SLOW")),
            S_OK);
  std::string reply;
  ASSERT_TRUE(FAILED(Mask(11, &reply))) << "the slow reply came in time: " << reply;
  (void)TakeErrorDetails();
  std::this_thread::sleep_for(milliseconds(pause_ms));

  // The next message goes out whatever became of the late reply; a serial
  // line waits for that reply first, within its own timeout.
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE")), S_OK) << TakeErrorDetails().description.Str();
  for (int mask : {22, 33, 44}) {
    reply.clear();
    ASSERT_EQ(Mask(mask, &reply), S_OK) << TakeErrorDetails().description.Str();
    EXPECT_EQ(reply, "+" + std::to_string(mask)) << "a reply answered the wrong query";
  }
}

// Two queries time out in a row, the second before the first's reply came;
// reading again after a timeout takes the late reply, as asked, and the
// query after that reads its own.
TEST_P(LateReply, ReadingAgainTakesTheLateReplyAndTheNextQueryItsOwn) {
  if (std::get<1>(GetParam()) != 0) GTEST_SKIP() << "one timing is enough";
  ASSERT_EQ(io->put_Timeout(kTimeoutMs), S_OK);
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL:DEL " + std::to_string(kTimeoutMs + kLateByMs) +
                               ";:SIM:FAUL SLOW")),
            S_OK);
  std::string reply;
  ASSERT_TRUE(FAILED(Mask(11, &reply)));
  (void)TakeErrorDetails();
  Variant late;
  ASSERT_EQ(io->Enter(&late, Bstr("K")), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_EQ(late.BstrVal().Str(), "+11");
  ASSERT_EQ(io->Output(Variant(":SIM:FAUL NONE")), S_OK);
  ASSERT_EQ(Mask(22, &reply), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_EQ(reply, "+22");
}

std::vector<std::tuple<std::string, int>> Cases() {
  std::vector<std::tuple<std::string, int>> cases;
  for (const std::string& transport : test::Transports(false))
    for (int pause : {0, kLateByMs, 2 * kLateByMs}) cases.emplace_back(transport, pause);
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Transports, LateReply, ::testing::ValuesIn(Cases()), [](const auto& info) {
  return std::get<0>(info.param) + "_Pause" + std::to_string(std::get<1>(info.param)) + "ms";
});

}  // namespace
}  // namespace vex::io
