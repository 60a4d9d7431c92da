// Faults the simulator can inject into one connection's replies.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "engine/Response.h"

namespace vex::sim {

enum class Fault {
  kNone,
  kNoAnswer,     // queries get no reply at all
  kSlow,         // each reply is held for the fault delay
  kDrop,         // a block reply stops halfway and the connection is closed
  kTruncate,     // a block reply stops halfway; the connection stays open
  kCorrupt,      // a block reply's header has letters where its length digits belong
  kGarbage,      // each reply is replaced by bytes that are not SCPI, then a line feed
  kDeviceError,  // each command also raises a device-dependent error
};

// Accepts the long or short form in any case: "NOANswer", "noan", "SLOW".
std::optional<Fault> ParseFault(std::string_view word);
// The short form, as the fault query answers it: "NOAN".
std::string_view FaultName(Fault fault);

// Where a block sits inside a response, for the faults that damage blocks.
struct BlockSpan {
  std::size_t offset = 0;  // index of '#'
  std::size_t header = 0;  // "#<n><digits>" length
  std::size_t data = 0;    // data length
};

// Changes `response` as `fault` prescribes. `block` is the first block of
// the response, if it holds one. kDeviceError does not touch replies.
void ApplyFault(Fault fault, unsigned delay_ms, const std::optional<BlockSpan>& block,
                Response& response);

}  // namespace vex::sim
