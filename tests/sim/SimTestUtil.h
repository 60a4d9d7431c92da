// Helpers for driving the simulated instrument in tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Instrument.h"

namespace vex::sim::test {

inline std::span<const uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

inline std::string Text(const std::vector<uint8_t>& b) {
  return {b.begin(), b.end()};
}

// Writes one program message (a line feed is added) and returns the reply
// message as text, or "<none>" when the instrument answered nothing.
inline std::string Ask(Session& s, std::string_view message) {
  s.Write(Bytes(std::string(message) + "\n"));
  auto r = s.TakeResponse();
  return r ? Text(r->bytes) : "<none>";
}
inline std::string Ask(Instrument& inst, std::string_view message) {
  return Ask(inst.DefaultSession(), message);
}

// Reads the whole error queue, oldest first, without the final "No error".
inline std::vector<std::string> DrainErrors(Instrument& inst) {
  std::vector<std::string> errors;
  for (;;) {
    std::string e = inst.errors().Pop();
    if (e.starts_with("0,")) return errors;
    errors.push_back(e);
  }
}

}  // namespace vex::sim::test
