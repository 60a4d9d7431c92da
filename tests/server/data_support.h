// Replies of the data transfers as the tests script them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "vex/com/com.h"

namespace vex::test {

// An IEEE 488.2 definite-length block with an eight-digit length.
inline std::string Block(const std::string& data) {
  char header[11];
  std::snprintf(header, sizeof header, "#8%08zu", data.size());
  return header + data;
}
inline std::string Block(const std::vector<std::uint8_t>& data) {
  return Block(std::string(data.begin(), data.end()));
}

// The doubles of a one-dimensional VT_R8 array.
inline std::vector<double> Doubles(const com::Variant& v) {
  if (v.vt() != (com::VT_ARRAY | com::VT_R8)) return {};
  auto span = v.Array()->Span<const double>();
  return {span.begin(), span.end()};
}

}  // namespace vex::test

#include "core_fixture.h"
#include "model_table.h"

namespace vex::test {

// A mixed-signal model: two analog channels and sixteen logic channels in
// two pods (no shipped model has logic channels).
inline server::ModelEntry LogicModel(std::string_view name = "TESTMSO") {
  server::ModelEntry entry;
  entry.name = name;
  entry.analog_channels = 2;
  entry.logic_pods = 2;
  entry.logic_channels = 16;
  return entry;
}

// Answers to the sixteen display queries of the enable mask, D0 first.
inline void ScriptEnableMask(ScriptedIO& io, std::uint16_t mask) {
  for (int bit = 0; bit < 16; ++bit) io.Reply((mask >> bit) & 1 ? "1" : "0");
}

// The preamble of a logic pod: x increment, x origin and x reference.
inline std::string LogicPreamble(double increment, double origin, int reference) {
  return "0,0,0,1," + std::to_string(increment) + "," + std::to_string(origin) + "," +
         std::to_string(reference) + ",0,0,0";
}

// The replies of one pod with `count` points and these bytes.
inline void ScriptPod(ScriptedIO& io, const std::string& count, const std::string& bytes,
                      const std::string& preamble = LogicPreamble(0.5, 1.0, 0)) {
  io.Reply(count);
  if (count != "0") io.ReplyBlock(Block(bytes)).Reply(preamble);
}

}  // namespace vex::test
