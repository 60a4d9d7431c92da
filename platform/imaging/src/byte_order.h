// Little-endian reading and writing of the fields of BMP, EMF and WMF
// structures. Readers take a pointer the caller has bounds-checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vex::imaging::detail {

inline std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t ReadI32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(ReadU32(p));
}

inline void PutU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void PutI32(std::vector<std::uint8_t>& out, std::int32_t value) {
  PutU32(out, static_cast<std::uint32_t>(value));
}

// Overwrites a 32-bit field written earlier (a size known only at the end).
inline void PatchU32(std::vector<std::uint8_t>& out, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace vex::imaging::detail
