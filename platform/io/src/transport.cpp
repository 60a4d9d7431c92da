#include "vex/io/transport.h"

#include <climits>

namespace vex::io {

int PollTimeoutMs(Deadline deadline) {
  auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

}  // namespace vex::io
