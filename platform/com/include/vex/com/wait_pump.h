// The event loop of a thread that waits. A thread that owns windows (the
// thread a control lives on) installs a pump; code that blocks on that
// thread for an instrument waits in short slices and runs the pump between
// them, so the thread's timers and painting go on during a long read.
//
// The pump belongs to the thread that installed it. It never runs inside
// itself: a wait started by something the pump ran blocks plainly, which
// bounds the nesting at one level.
#pragma once

#include <chrono>
#include <functional>

namespace vex::com {

// The longest a thread with a pump stays blocked before running it.
inline constexpr std::chrono::milliseconds kWaitPumpSlice{10};

// Installs `pump` for the calling thread for the life of the object; the
// pump installed before comes back afterwards. Objects may end in any order.
class ScopedWaitPump {
 public:
  explicit ScopedWaitPump(std::function<void()> pump);
  ~ScopedWaitPump();
  ScopedWaitPump(const ScopedWaitPump&) = delete;
  ScopedWaitPump& operator=(const ScopedWaitPump&) = delete;

 private:
  unsigned long long id_;
};

// Whether a wait on this thread should run the pump: one is installed and
// the thread is not inside it.
bool WaitPumpActive();

// Runs the pump once (nothing when WaitPumpActive() is false, or when it
// ran less than a slice ago: waits that poll every few milliseconds call
// this each time). A pump that throws is stopped here: waits have no way to
// report it.
void RunWaitPump();

// How long one slice of a wait lasts: `left` itself when no pump is active,
// else at most kWaitPumpSlice.
std::chrono::nanoseconds WaitSlice(std::chrono::nanoseconds left);

}  // namespace vex::com
