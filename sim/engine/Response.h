// One response message of the instrument, with what the transport must do.
#pragma once

#include <cstdint>
#include <vector>

namespace vex::sim {

// The bytes of one response message, terminator included. The engine never
// waits or closes anything itself: a fault marks the response, and the
// transport carries out the delay and the close.
struct Response {
  std::vector<uint8_t> bytes;
  unsigned delay_ms = 0;     // hold the reply this long before sending it
  bool close_after = false;  // close the connection once `bytes` are sent
};

}  // namespace vex::sim
