// The HiSLIP client against the simulator's HiSLIP server: what the two
// sides must agree on beyond a query, each built from the protocol on its
// own: locks across two clients, the status byte, device clear, and both
// modes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "VexsimProcess.h"
#include "vex/io/hislip_transport.h"

namespace vex::io {
namespace {

using namespace std::chrono_literals;

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// One reply, to its END.
std::string Reply(HislipTransport& link, Deadline deadline) {
  std::string text;
  std::uint8_t buffer[4096];
  for (;;) {
    auto r = link.Read(buffer, deadline);
    if (!r.ok()) return "(" + r.status().message() + ")";
    text.append(reinterpret_cast<const char*>(buffer), r->count);
    if (r->end) return text;
  }
}

class HislipSimulator : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::vector<std::string> args = {"--hislip", "127.0.0.1:0"};
    if (GetParam()) args.push_back("--hislip-overlapped");
    sim_ = std::make_unique<sim::test::Vexsim>(args);
    const std::string endpoint = sim_->Endpoint("hislip");
    ASSERT_FALSE(endpoint.empty());
    options_.port = std::stoi(endpoint.substr(endpoint.rfind(':') + 1));
  }
  std::unique_ptr<HislipTransport> Open() {
    auto link = std::make_unique<HislipTransport>("127.0.0.1", "hislip0", options_);
    EXPECT_TRUE(link->Open(DeadlineAfter(5s)).ok());
    return link;
  }
  std::string Query(HislipTransport& link, const std::string& query) {
    const Deadline deadline = DeadlineAfter(5s);
    if (!link.Write(Bytes(query + "\n"), deadline).ok()) return "(write failed)";
    return Reply(link, deadline);
  }

  std::unique_ptr<sim::test::Vexsim> sim_;
  HislipTransport::Options options_;
};

TEST_P(HislipSimulator, ModeQueriesStatusAndClearAgree) {
  auto link = Open();
  EXPECT_EQ(link->overlapped(), GetParam());
  EXPECT_EQ(Query(*link, "*IDN?").rfind("VEXAN TECHNOLOGIES,VDS3014A,SIM000001", 0), 0u);
  // A reply left unread is gone after a device clear, on both sides, so
  // the next query gets its own; the status byte reads before and after.
  ASSERT_TRUE(link->Write(Bytes("*IDN?\n"), DeadlineAfter(5s)).ok());
  std::this_thread::sleep_for(100ms);
  auto status = link->ReadStatusByte(DeadlineAfter(5s));
  ASSERT_TRUE(status.ok()) << status.status().message();
  ASSERT_TRUE(link->Clear(DeadlineAfter(5s)).ok());
  EXPECT_EQ(Query(*link, "*OPC?"), "1\n");
  status = link->ReadStatusByte(DeadlineAfter(5s));
  ASSERT_TRUE(status.ok()) << status.status().message();
  EXPECT_EQ(*status & 0x10, 0) << "no reply waits after the clear";
  EXPECT_EQ(Query(*link, "*IDN?").rfind("VEXAN", 0), 0u);
}

TEST_P(HislipSimulator, LocksAreSharedBetweenClients) {
  auto first = Open();
  auto second = Open();
  ASSERT_TRUE(first->Lock(DeadlineAfter(1s)).ok());
  const auto start = Clock::now();
  const Status denied = second->Lock(DeadlineAfter(300ms));
  EXPECT_EQ(denied.code(), Errc::kBusy) << denied.message();
  EXPECT_GE(Clock::now() - start, 250ms) << "it waited for the holder";
  EXPECT_LT(Clock::now() - start, 2s);
  ASSERT_TRUE(first->Unlock(DeadlineAfter(1s)).ok());
  EXPECT_TRUE(second->Lock(DeadlineAfter(1s)).ok());
  // A holder that goes lets go.
  second.reset();
  EXPECT_TRUE(first->Lock(DeadlineAfter(2s)).ok());
  EXPECT_TRUE(first->Unlock(DeadlineAfter(1s)).ok());
  // Shared locks of one name go together.
  auto third = Open();
  EXPECT_TRUE(first->LockShared("bench", DeadlineAfter(1s)).ok());
  EXPECT_TRUE(third->LockShared("bench", DeadlineAfter(1s)).ok());
  EXPECT_EQ(Query(*third, "*OPC?"), "1\n");
}

INSTANTIATE_TEST_SUITE_P(Modes, HislipSimulator, ::testing::Bool(), [](const auto& info) {
  return info.param ? "Overlapped" : "Synchronized";
});

}  // namespace
}  // namespace vex::io
