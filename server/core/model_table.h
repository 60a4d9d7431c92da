// The instrument models the server knows, the option names, and the model
// record of the connected instrument that every subsystem consults.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "vex/server/vexr7100.h"

namespace vex::server {

struct ModelEntry {
  std::string_view name;
  std::uint8_t analog_channels = 2;
  std::uint8_t logic_pods = 0;
  std::uint8_t logic_channels = 0;
  std::int32_t first_trace = 0, last_trace = 2;
  bool traces_supported = false;
  std::uint8_t command_set = 4;
  double vertical_min_12 = 0.016, vertical_max_12 = 40.0;
  double vertical_min_34 = 0.016, vertical_max_34 = 40.0;
  double horizontal_min = 1e-09, horizontal_max = 50.0;
  std::int32_t first_state = 0, last_state = 2;
};

// Record 0 is the family entry "3XXX"; 1 to 10 are the supported models.
std::span<const ModelEntry> ModelTable();
inline constexpr std::int16_t kSupportedModelCount = 10;

struct OptionEntry {
  std::string_view name;
  std::uint16_t mask;
  std::int16_t next_alias;  // index of the next name of the same option, -1 at the end
};
// 28 entries: the six canonical names, then their aliases.
std::span<const OptionEntry> OptionTable();
inline constexpr int kCanonicalOptionCount = 6;

inline constexpr std::uint16_t kOptionMeasurementStorage = 0x004;
inline constexpr std::uint16_t kOptionSerial = 0x100;
inline constexpr std::uint16_t kOptionGpib = 0x200;

// The model information of the connected instrument.
struct ModelRecord {
  std::int16_t model_index = 0;  // 0: no supported model
  std::uint16_t option_flags = 0;
  std::vector<std::uint8_t> trace_flags;  // per trace memory, allocated on first use
  // A record the tests install in place of the table's row (every shipped
  // row is command set 4 without logic channels or trace memories).
  std::optional<ModelEntry> test_override;

  const ModelEntry& Entry() const;
  bool IsSupported() const { return model_index >= 1 && model_index <= kSupportedModelCount; }
  bool IsSerial() const { return (option_flags & kOptionSerial) != 0; }
  int AnalogChannels() const { return Entry().analog_channels; }
  int CommandSet() const { return Entry().command_set; }
  // With the measurement/storage option, memories are numbered 1 to 100.
  std::int32_t FirstTrace() const;
  std::int32_t LastTrace() const;
  std::int32_t TraceCount() const { return LastTrace() - FirstTrace() + 1; }
};

}  // namespace vex::server
