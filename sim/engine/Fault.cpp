#include "engine/Fault.h"

#include <array>
#include <utility>

#include "engine/HeaderPattern.h"

namespace vex::sim {

namespace {

constexpr std::array<std::pair<Fault, std::string_view>, 8> kNames{{
    {Fault::kNone, "NONE"},
    {Fault::kNoAnswer, "NOANswer"},
    {Fault::kSlow, "SLOW"},
    {Fault::kDrop, "DROP"},
    {Fault::kTruncate, "TRUNcate"},
    {Fault::kCorrupt, "CORRupt"},
    {Fault::kGarbage, "GARBage"},
    {Fault::kDeviceError, "DEVerror"},
}};

// Bytes no SCPI reply holds: high-bit and control characters, never a line
// feed, so the host reads one line of garbage.
constexpr std::array<uint8_t, 8> kGarbage{0xff, 0xfe, 0x00, 0x9b, 0x1b, 0x80, 0x07, 0xc3};
constexpr std::size_t kGarbageLength = 48;

}  // namespace

std::optional<Fault> ParseFault(std::string_view word) {
  for (const auto& [fault, name] : kNames) {
    if (HeaderPattern::MatchWord(name, word)) return fault;
  }
  return std::nullopt;
}

std::string_view FaultName(Fault fault) {
  static const std::array<std::string_view, 8> kShort{"NONE", "NOAN", "SLOW", "DROP",
                                                      "TRUN", "CORR", "GARB", "DEV"};
  return kShort[static_cast<std::size_t>(fault)];
}

void ApplyFault(Fault fault, unsigned delay_ms, const std::optional<BlockSpan>& block,
                Response& response) {
  switch (fault) {
    case Fault::kNone:
    case Fault::kNoAnswer:  // the caller drops the reply
    case Fault::kDeviceError:
      return;
    case Fault::kSlow:
      response.delay_ms = delay_ms;
      return;
    case Fault::kDrop:
    case Fault::kTruncate:
      if (!block) return;
      response.bytes.resize(block->offset + block->header + block->data / 2);
      response.close_after = fault == Fault::kDrop;
      return;
    case Fault::kCorrupt:
      if (!block || block->header < 2) return;
      response.bytes[block->offset + 1] = '9';
      for (std::size_t i = 2; i < block->header; ++i) {
        response.bytes[block->offset + i] = static_cast<uint8_t>('A' + (i - 2) % 26);
      }
      return;
    case Fault::kGarbage:
      response.bytes.clear();
      for (std::size_t i = 0; i < kGarbageLength; ++i) {
        response.bytes.push_back(kGarbage[i % kGarbage.size()]);
      }
      response.bytes.push_back('\n');
      return;
  }
}

}  // namespace vex::sim
