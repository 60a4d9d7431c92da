#include "model_table.h"

namespace vex::server {
namespace {

constexpr ModelEntry Model(std::string_view name, std::uint8_t channels) {
  ModelEntry e;
  e.name = name;
  e.analog_channels = channels;
  return e;
}

constexpr std::array<ModelEntry, 11> kModels{
    Model("3XXX", 2),     Model("VDS3002A", 2), Model("VDS3004A", 4), Model("VDS3012A", 2),
    Model("VDS3014A", 4), Model("VDS3022A", 2), Model("VDS3024A", 4), Model("VDS3052B", 2),
    Model("VDS3072B", 2), Model("VDS3102B", 2), Model("VDS3152B", 2),
};

struct OptionName {
  std::string_view name;
  std::uint16_t mask;
};

// Stored order: the canonical names, then the aliases.
constexpr std::array<OptionName, 28> kOptionNames{{
    {"Basic Interface Module (Option 0)", 0x001},
    {"Test Automation (Option 1)", 0x002},
    {"Measurement/Storage Module (Option 2)", 0x004},
    {"Enhanced Video Trigger (Option 5)", 0x008},
    {"RS-232 Communication", 0x100},
    {"QD-IB Communication", 0x200},
    {"Basic Interface Module", 0x001},
    {"Basic Interface", 0x001},
    {"Interface Module", 0x001},
    {"Test Automation", 0x002},
    {"Automation", 0x002},
    {"Measurement/Storage Module", 0x004},
    {"Measurement Module", 0x004},
    {"Storage Module", 0x004},
    {"RS-232", 0x100},
    {"RS232", 0x100},
    {"Serial", 0x100},
    {"QDIB Communication", 0x200},
    {"QD-IB", 0x200},
    {"QDIB", 0x200},
    {"GP-IB Communication", 0x200},
    {"GP-IB", 0x200},
    {"GPIB Communication", 0x200},
    {"GPIB", 0x200},
    {"Enhanced Video Trigger", 0x008},
    {"Enhanced Trigger", 0x008},
    {"Video Trigger", 0x008},
    {"ASRL", 0x100},
}};

// Each entry points at the next entry of the same mask after it.
constexpr std::array<OptionEntry, 28> BuildOptions() {
  std::array<OptionEntry, 28> table{};
  for (std::size_t i = 0; i < kOptionNames.size(); ++i) {
    table[i] = OptionEntry{kOptionNames[i].name, kOptionNames[i].mask, -1};
    for (std::size_t j = i + 1; j < kOptionNames.size(); ++j) {
      if (kOptionNames[j].mask == kOptionNames[i].mask) {
        table[i].next_alias = static_cast<std::int16_t>(j);
        break;
      }
    }
  }
  return table;
}
constexpr std::array<OptionEntry, 28> kOptions = BuildOptions();

}  // namespace

std::span<const ModelEntry> ModelTable() {
  return kModels;
}
std::span<const OptionEntry> OptionTable() {
  return kOptions;
}

const ModelEntry& ModelRecord::Entry() const {
  if (test_override) return *test_override;
  std::size_t index = model_index >= 0 && static_cast<std::size_t>(model_index) < kModels.size()
                          ? static_cast<std::size_t>(model_index)
                          : 0;
  return kModels[index];
}

std::int32_t ModelRecord::FirstTrace() const {
  return (option_flags & kOptionMeasurementStorage) ? 1 : Entry().first_trace;
}

std::int32_t ModelRecord::LastTrace() const {
  return (option_flags & kOptionMeasurementStorage) ? 100 : Entry().last_trace;
}

}  // namespace vex::server
