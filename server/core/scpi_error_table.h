// The SCPI error numbers and texts the server knows, for error-queue replies
// that carry a number without a text.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vex::server {

struct ScpiError {
  std::int16_t number;
  std::string_view text;
};

// 44 entries: "Unknown error condition" (999), then descending numbers.
std::span<const ScpiError> ScpiErrorTable();
// The text of exactly `number`, or "Unknown error condition".
std::string_view ScpiErrorText(std::int32_t number);

}  // namespace vex::server
