// Edge trigger: sweep mode, source, slope, level, coupling and holdoff,
// each through the command table so that every command set gets its own
// headers (command set 2 has only the mode).
#include "command_table.h"
#include "settings_member.h"
#include "settings_tables.h"

namespace vex::server {

using namespace settings;

namespace {
constexpr std::uint32_t kHelpCoupling = 67;
constexpr std::uint32_t kHelpMode = 68;
constexpr std::uint32_t kHelpSlope = 69;
constexpr std::uint32_t kHelpSource = 70;
constexpr std::uint32_t kHelpLevel = 71;
constexpr std::uint32_t kHelpModeSourceInput = 94;
constexpr std::uint32_t kHelpSlopeInput = 95;
constexpr std::uint32_t kHelpCouplingInput = 96;

// A setting read through a mnemonic table with the query form of `id`.
template <class Enum>
HRESULT ReadWord(CCoreVexR7100& core, const char* failure, std::uint32_t help_id, int id,
                 const MnemonicTable& table, Enum* out) {
  if (!out) return com::E_POINTER;
  return core.RunMember(failure, help_id, [&]() -> HRESULT {
    auto query = Require(core, core.CommandQuery(id));
    std::int16_t value = 0;
    HRESULT hr = QueryWord(core, query, table, &value);
    if (SUCCEEDED(hr)) *out = static_cast<Enum>(value);
    return hr;
  });
}

// A setting written as its word with the set form of `id`.
HRESULT WriteWord(CCoreVexR7100& core, const char* failure, std::uint32_t help_id, int id,
                  const MnemonicTable& table, std::int32_t value, std::uint32_t input_help_id) {
  return core.RunMember(failure, help_id, [&]() -> HRESULT {
    auto command = Require(core, core.Command(id));
    auto word = WordOrRefuse(core, table, value, msg::kNotRecognized, input_help_id);
    return core.SendWithVariantArg(command, Variant(word));
  });
}

HRESULT ReadMode(CCoreVexR7100& core, VexR7100_TriggerMode* mode) {
  return ReadWord(core, "ITriggerVexR7100::Mode (read) property failed.", kHelpMode,
                  kCmdTriggerMode, TriggerModeTable(), mode);
}

// -1 sends the single-sweep word.
HRESULT WriteMode(CCoreVexR7100& core, VexR7100_TriggerMode mode) {
  return WriteWord(core, "ITriggerVexR7100::Mode (write) property failed.", kHelpMode,
                   kCmdTriggerMode, TriggerModeTable(), mode, kHelpModeSourceInput);
}

HRESULT ReadReal(CCoreVexR7100& core, const char* failure, std::uint32_t help_id, int id,
                 double* out) {
  if (!out) return com::E_POINTER;
  return core.RunMember(failure, help_id, [&]() -> HRESULT {
    auto query = Require(core, core.CommandQuery(id));
    return core.QueryForDoubleResult(query, out);
  });
}

HRESULT WriteReal(CCoreVexR7100& core, const char* failure, std::uint32_t help_id, int id,
                  double value) {
  return core.RunMember(failure, help_id, [&]() -> HRESULT {
    auto command = Require(core, core.Command(id));
    return core.SendWithVariantArg(command, Variant(value));
  });
}
}  // namespace

HRESULT CCoreVexR7100::get_Mode(VexR7100_TriggerMode* mode) {
  return ReadMode(*this, mode);
}
HRESULT CCoreVexR7100::put_Mode(VexR7100_TriggerMode mode) {
  return WriteMode(*this, mode);
}
HRESULT CCoreVexR7100::get_TRIGGERMODE(VexR7100_TriggerMode* mode) {
  return ReadMode(*this, mode);
}
HRESULT CCoreVexR7100::put_TRIGGERMODE(VexR7100_TriggerMode mode) {
  return WriteMode(*this, mode);
}

HRESULT CCoreVexR7100::get_Source(VexR7100_TriggerSource* source) {
  return ReadWord(*this, "ITriggerVexR7100::Source (read) property failed.", kHelpSource,
                  kCmdTriggerSource, TriggerSourceTable(), source);
}

HRESULT CCoreVexR7100::put_Source(VexR7100_TriggerSource source) {
  return WriteWord(*this, "ITriggerVexR7100::Source (write) property failed.", kHelpSource,
                   kCmdTriggerSource, TriggerSourceTable(), source, kHelpModeSourceInput);
}

HRESULT CCoreVexR7100::get_Slope(VexR7100_TriggerSlope* slope) {
  return ReadWord(*this, "ITriggerVexR7100::Slope (read) property failed.", kHelpSlope,
                  kCmdTriggerSlope, TriggerSlopeTable(), slope);
}

HRESULT CCoreVexR7100::put_Slope(VexR7100_TriggerSlope slope) {
  return WriteWord(*this, "ITriggerVexR7100::Slope (write) property failed.", kHelpSlope,
                   kCmdTriggerSlope, TriggerSlopeTable(), slope, kHelpSlopeInput);
}

HRESULT CCoreVexR7100::get_Coupling(VexR7100_TriggerCoupling* mode) {
  return ReadWord(*this, "ITriggerVexR7100::Coupling (read) property failed.", kHelpCoupling,
                  kCmdTriggerCoupling, TriggerCouplingTable(), mode);
}

HRESULT CCoreVexR7100::put_Coupling(VexR7100_TriggerCoupling mode) {
  return WriteWord(*this, "ITriggerVexR7100::Coupling (write) property failed.", kHelpCoupling,
                   kCmdTriggerCoupling, TriggerCouplingTable(), mode, kHelpCouplingInput);
}

// The level comes back in whatever form the reply has and is converted to
// a real; a reply that holds no number is not recognised.
HRESULT CCoreVexR7100::get_TriggerLevel(double* level) {
  if (!level) return com::E_POINTER;
  return RunMember("ITriggerVexR7100::Level (read) property failed.", kHelpLevel, [&]() -> HRESULT {
    auto query = Require(*this, CommandQuery(kCmdTriggerLevel));
    Variant reply;
    HRESULT hr = QueryForVariantResult(query, &reply);
    if (FAILED(hr)) return hr;
    *level = NumberOfReply(reply);
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::put_TriggerLevel(double level) {
  return WriteReal(*this, "ITriggerVexR7100::Level (write) property failed.", kHelpLevel,
                   kCmdTriggerLevel, level);
}

HRESULT CCoreVexR7100::get_Holdoff(double* seconds) {
  return ReadReal(*this, "Trigger holdoff (read) property failed.", 0, kCmdTriggerHoldoff, seconds);
}

HRESULT CCoreVexR7100::put_Holdoff(double seconds) {
  return WriteReal(*this, "Trigger holdoff (write) property failed.", 0, kCmdTriggerHoldoff,
                   seconds);
}

}  // namespace vex::server
