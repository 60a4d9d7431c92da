// Base64 (RFC 4648, with padding) for byte arrays kept in text files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vex::com {

std::string Base64Encode(std::span<const std::uint8_t> bytes);
// Nothing for text that is not base64 (white space is not accepted).
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);

}  // namespace vex::com
