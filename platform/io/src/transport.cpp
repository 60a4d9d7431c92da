#include "vex/io/transport.h"

#include <algorithm>
#include <climits>
#include <thread>

#include "vex/com/wait_pump.h"

namespace vex::io {

int PollTimeoutMs(Deadline deadline) {
  auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

int PollSliceMs(Deadline deadline) {
  const int ms = PollTimeoutMs(deadline);
  if (!com::WaitPumpActive()) return ms;
  return std::min<int>(ms, static_cast<int>(com::kWaitPumpSlice.count()));
}

void SleepUntil(Clock::time_point until) {
  for (;;) {
    const auto now = Clock::now();
    if (now >= until) return;
    std::this_thread::sleep_for(com::WaitSlice(until - now));
    com::RunWaitPump();
  }
}

}  // namespace vex::io
