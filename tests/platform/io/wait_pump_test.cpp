// Waits on a thread with a wait pump run it while they wait, over a socket
// and over a tty, without re-entering it and without changing what the read
// returns or when it times out.
#include "vex/com/wait_pump.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "peers.h"
#include "vex/io/session.h"

namespace vex::io {
namespace {

using std::chrono::milliseconds;

template <class PeerType>
class WaitPumpTest : public ::testing::Test {
 protected:
  PeerType peer_;
};

using Peers = ::testing::Types<testing::TcpPeer, testing::PtyPeer>;
TYPED_TEST_SUITE(WaitPumpTest, Peers);

TYPED_TEST(WaitPumpTest, ALateReplyRunsThePumpWhileItIsAwaited) {
  ASSERT_TRUE(this->peer_.Start());
  Session session(std::move(this->peer_.transport()), this->peer_.address(), nullptr);
  int runs = 0;
  int depth = 0;
  int deepest = 0;
  std::vector<Errc> nested;
  {
    com::ScopedWaitPump pump([&] {
      ++runs;
      deepest = std::max(deepest, ++depth);
      // What the pump runs may reach the same session: it is refused
      // rather than reading the reply the outer call waits for.
      std::string stolen;
      nested.push_back(session.ReadMessage(stolen).code());
      nested.push_back(session.Write("*IDN?\n").code());
      // Its own waits do not pump again.
      SleepUntil(Clock::now() + milliseconds(15));
      --depth;
      if (runs == 3) throw std::runtime_error("a pump that throws stops only itself");
    });
    const int fd = this->peer_.fd();
    testing::PeerThread answer([fd] {
      std::this_thread::sleep_for(milliseconds(300));
      testing::WriteFully(fd, "late\n");
    });
    std::string reply;
    session.set_timeout(milliseconds(3000));
    Status read = session.ReadMessage(reply);
    ASSERT_TRUE(read.ok()) << read.message();
    EXPECT_EQ(reply, "late");
  }
  // 300 ms in slices of 10 ms, each pumped run sleeping another 15 ms.
  EXPECT_GE(runs, 5);
  EXPECT_EQ(deepest, 1);
  ASSERT_FALSE(nested.empty());
  for (Errc code : nested) EXPECT_EQ(code, Errc::kBusy);

  // Once the pump is gone, waits block plainly again, and a timeout is
  // still a timeout at its deadline.
  const int before = runs;
  std::string nothing;
  session.set_timeout(milliseconds(60));
  const auto start = Clock::now();
  EXPECT_EQ(session.ReadMessage(nothing).code(), Errc::kTimeout);
  EXPECT_GE(Clock::now() - start, milliseconds(60));
  EXPECT_EQ(runs, before);

  // A Close asked for while a transfer waits takes effect when it ends.
  {
    com::ScopedWaitPump pump([&] { session.Close(); });
    session.set_timeout(milliseconds(40));
    EXPECT_EQ(session.ReadMessage(nothing).code(), Errc::kTimeout);
  }
  EXPECT_FALSE(session.transport().is_open());
}

TEST(WaitPumpTest, SleepsRunThePumpAndPumpsEndInAnyOrder) {
  int outer = 0;
  int inner = 0;
  auto first = std::make_unique<com::ScopedWaitPump>([&] { ++outer; });
  auto second = std::make_unique<com::ScopedWaitPump>([&] { ++inner; });
  SleepUntil(Clock::now() + milliseconds(60));
  EXPECT_GT(inner, 2);
  EXPECT_EQ(outer, 0);
  // The older pump ends first; the newer one stays in charge.
  first.reset();
  SleepUntil(Clock::now() + milliseconds(40));
  EXPECT_EQ(outer, 0);
  second.reset();
  EXPECT_FALSE(com::WaitPumpActive());
  // Another thread never runs this thread's pump.
  com::ScopedWaitPump mine([&] { ++outer; });
  std::thread([] { EXPECT_FALSE(com::WaitPumpActive()); }).join();
}

}  // namespace
}  // namespace vex::io
