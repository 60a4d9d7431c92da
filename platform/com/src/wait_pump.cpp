#include "vex/com/wait_pump.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vex::com {

namespace {

struct Installed {
  unsigned long long id;
  std::function<void()> pump;
};

struct ThreadPumps {
  std::vector<Installed> stack;
  unsigned long long next_id = 1;
  bool running = false;
  std::chrono::steady_clock::time_point last_run{};
};

ThreadPumps& Pumps() {
  thread_local ThreadPumps pumps;
  return pumps;
}

}  // namespace

ScopedWaitPump::ScopedWaitPump(std::function<void()> pump) {
  ThreadPumps& pumps = Pumps();
  id_ = pumps.next_id++;
  pumps.stack.push_back({id_, std::move(pump)});
}

ScopedWaitPump::~ScopedWaitPump() {
  std::vector<Installed>& stack = Pumps().stack;
  std::erase_if(stack, [this](const Installed& entry) { return entry.id == id_; });
}

bool WaitPumpActive() {
  const ThreadPumps& pumps = Pumps();
  return !pumps.running && !pumps.stack.empty() && pumps.stack.back().pump;
}

void RunWaitPump() {
  ThreadPumps& pumps = Pumps();
  if (!WaitPumpActive()) return;
  // Waits that poll often (every few milliseconds) run it once a slice.
  if (std::chrono::steady_clock::now() - pumps.last_run < kWaitPumpSlice) return;
  // A copy: what the pump runs may install or remove pumps.
  std::function<void()> pump = pumps.stack.back().pump;
  pumps.running = true;
  try {
    pump();
  } catch (...) {
  }
  pumps.running = false;
  pumps.last_run = std::chrono::steady_clock::now();
}

std::chrono::nanoseconds WaitSlice(std::chrono::nanoseconds left) {
  if (!WaitPumpActive()) return left;
  return std::min<std::chrono::nanoseconds>(left, kWaitPumpSlice);
}

}  // namespace vex::com
