#include "hislip/HislipMessage.h"

namespace vex::sim::hislip {

namespace {

uint64_t ReadBig(std::span<const uint8_t> bytes) {
  uint64_t v = 0;
  for (const uint8_t b : bytes) v = (v << 8) | b;
  return v;
}

void AppendBig(std::vector<uint8_t>& out, uint64_t value, int size) {
  for (int i = size - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::optional<Header> DecodeHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize || bytes[0] != 'H' || bytes[1] != 'S') return std::nullopt;
  Header h;
  h.type = bytes[2];
  h.control = bytes[3];
  h.parameter = static_cast<uint32_t>(ReadBig(bytes.subspan(4, 4)));
  h.length = ReadBig(bytes.subspan(8, 8));
  return h;
}

std::vector<uint8_t> Encode(Type type, uint8_t control, uint32_t parameter,
                            std::span<const uint8_t> payload) {
  std::vector<uint8_t> out;
  out.reserve(kHeaderSize + payload.size());
  out.push_back('H');
  out.push_back('S');
  out.push_back(static_cast<uint8_t>(type));
  out.push_back(control);
  AppendBig(out, parameter, 4);
  AppendBig(out, payload.size(), 8);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

std::vector<uint8_t> Encode(Type type, uint8_t control, uint32_t parameter, std::string_view text) {
  return Encode(
      type, control, parameter,
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

uint64_t ReadU64(std::span<const uint8_t> bytes) {
  return ReadBig(bytes.first(8));
}

void AppendU64(std::vector<uint8_t>& out, uint64_t value) {
  AppendBig(out, value, 8);
}

}  // namespace vex::sim::hislip
