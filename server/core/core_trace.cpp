// Trace memories. With the measurement/storage module the instrument's
// trace commands are used; without it the pixel memories (PMEM). On command
// set 4 without the module the server keeps which memories are shown and
// redraws them itself.
#include <string>

#include "settings_member.h"

namespace vex::server {

using namespace settings;

namespace {
constexpr std::uint32_t kHelpClear = 60;
constexpr std::uint32_t kHelpEnabled = 61;
constexpr std::uint32_t kHelpGetData = 62;
constexpr std::uint32_t kHelpPutData = 63;
constexpr std::uint32_t kHelpSave = 64;
constexpr std::uint32_t kHelpTotal = 65;

// Which commands serve the connected instrument.
enum class TraceCommands { kModule, kPixelMemory, kShownFlags };

TraceCommands CommandsFor(CCoreVexR7100& core) {
  const ModelRecord& model = core.Model();
  // The model's trace capability comes first: without it no command set
  // column applies.
  if (!model.Entry().traces_supported) throw Refusal{core.NotSupported()};
  if (model.option_flags & kOptionMeasurementStorage) return TraceCommands::kModule;
  int set = model.CommandSet();
  if (set >= 0 && set <= 3) return TraceCommands::kPixelMemory;
  if (set == 4) return TraceCommands::kShownFlags;
  throw Refusal{core.NotSupported()};
}

void CheckNumber(CCoreVexR7100& core, std::int32_t number, std::uint32_t help_id) {
  const ModelRecord& model = core.Model();
  if (number < model.FirstTrace() || number > model.LastTrace())
    throw Refusal{core.ReportErrorEx(msg::kNotLegal, com::E_FAIL, help_id)};
}

// The shown-memory flags, one per trace number from first to last, all
// clear when first used (and again after each connection, which empties
// them).
std::vector<std::uint8_t>& ShownFlags(ModelRecord& model) {
  auto count = static_cast<std::size_t>(std::max(model.TraceCount(), 0));
  if (model.trace_flags.size() != count) model.trace_flags.assign(count, 0);
  return model.trace_flags;
}

std::size_t FlagIndex(const ModelRecord& model, std::int32_t number) {
  return static_cast<std::size_t>(number - model.FirstTrace());
}

std::string Numbered(std::string_view text, std::int32_t number) {
  return std::string(text) + std::to_string(number);
}
}  // namespace

HRESULT CCoreVexR7100::DisplayTraces() {
  auto& flags = ShownFlags(model_);
  HRESULT hr = SendWithNoArg(":CDIS");
  for (std::int32_t n = model_.FirstTrace(); SUCCEEDED(hr) && n <= model_.LastTrace(); ++n) {
    if (flags[FlagIndex(model_, n)]) hr = SendWithNoArg(Numbered(":VIEW PMEM", n));
  }
  if (FAILED(hr)) return ReportException(msg::kDisplayTracesFailed, hr);
  return com::S_OK;
}

HRESULT CCoreVexR7100::ClearTraces() {
  auto& flags = ShownFlags(model_);
  std::fill(flags.begin(), flags.end(), 0);
  HRESULT hr = SendWithNoArg(":CDIS");
  if (FAILED(hr)) return ReportException(msg::kClearTracesFailed, hr);
  return com::S_OK;
}

HRESULT CCoreVexR7100::get_TotalMemories(std::int32_t* number) {
  if (!number) return com::E_POINTER;
  return RunMember("ITraceVexR7100::TotalTraceMemories (read) property failed.", kHelpTotal,
                   [&]() -> HRESULT {
                     *number = model_.TraceCount();
                     return com::S_OK;
                   });
}

HRESULT CCoreVexR7100::Save(std::int32_t trace_number) {
  return RunMember("ITraceVexR7100::Save method failed.", kHelpSave, [&]() -> HRESULT {
    TraceCommands commands = CommandsFor(*this);
    CheckNumber(*this, trace_number, kHelpSave);
    if (commands == TraceCommands::kModule)
      return SendWithNoArg(Numbered(":TRAC:SAVE ", trace_number));
    HRESULT hr = SendWithNoArg(Numbered(":MERG PMEM", trace_number));
    if (FAILED(hr) || commands == TraceCommands::kPixelMemory) return hr;
    ShownFlags(model_)[FlagIndex(model_, trace_number)] = 1;
    return DisplayTraces();
  });
}

HRESULT CCoreVexR7100::Clear(std::int32_t trace_number) {
  return RunMember("ITraceVexR7100::Clear method failed.", kHelpClear, [&]() -> HRESULT {
    TraceCommands commands = CommandsFor(*this);
    // -1 clears every memory the server shows.
    if (commands == TraceCommands::kShownFlags && trace_number == -1) return ClearTraces();
    CheckNumber(*this, trace_number, kHelpClear);
    switch (commands) {
      case TraceCommands::kModule:
        return SendWithNoArg(Numbered(":TRAC:CLEAR ", trace_number));
      case TraceCommands::kPixelMemory:
        return SendWithNoArg(Numbered(":ERAS PMEM", trace_number));
      case TraceCommands::kShownFlags:
        break;
    }
    ShownFlags(model_)[FlagIndex(model_, trace_number)] = 0;
    return DisplayTraces();
  });
}

HRESULT CCoreVexR7100::get_Enabled(std::int32_t trace_number, VARIANT_BOOL* value) {
  if (!value) return com::E_POINTER;
  return RunMember("ITraceVexR7100::Enabled (read) property failed.", kHelpEnabled,
                   [&]() -> HRESULT {
                     TraceCommands commands = CommandsFor(*this);
                     CheckNumber(*this, trace_number, kHelpEnabled);
                     switch (commands) {
                       case TraceCommands::kModule:
                         return QueryOnOff(*this, Numbered(":TRAC:MODE? ", trace_number), value);
                       case TraceCommands::kPixelMemory:
                         return QueryOnOff(*this, Numbered(":STAT? PMEM", trace_number), value);
                       case TraceCommands::kShownFlags:
                         break;
                     }
                     bool shown = ShownFlags(model_)[FlagIndex(model_, trace_number)] != 0;
                     *value = shown ? com::VARIANT_TRUE : com::VARIANT_FALSE;
                     return com::S_OK;
                   });
}

HRESULT CCoreVexR7100::put_Enabled(std::int32_t trace_number, VARIANT_BOOL value) {
  return RunMember(
      "ITraceVexR7100::Enabled (write) property failed.", kHelpEnabled, [&]() -> HRESULT {
        TraceCommands commands = CommandsFor(*this);
        CheckNumber(*this, trace_number, kHelpEnabled);
        bool show = value == com::VARIANT_TRUE;
        switch (commands) {
          case TraceCommands::kModule:
            return SendWithNoArg(Numbered(":TRAC:MODE ", trace_number) + "," +
                                 std::string(OnOffWord(value)));
          case TraceCommands::kPixelMemory:
            return SendWithNoArg(Numbered(show ? ":VIEW PMEM" : ":BLAN PMEM", trace_number));
          case TraceCommands::kShownFlags:
            break;
        }
        ShownFlags(model_)[FlagIndex(model_, trace_number)] = show ? 1 : 0;
        return DisplayTraces();
      });
}

HRESULT CCoreVexR7100::GetData(std::int32_t trace_number, Variant* trace_data) {
  if (!trace_data) return com::E_POINTER;
  return RunMember("ITraceVexR7100::GetData method failed.", kHelpGetData, [&]() -> HRESULT {
    TraceCommands commands = CommandsFor(*this);
    CheckNumber(*this, trace_number, kHelpGetData);
    if (commands == TraceCommands::kModule)
      return ReadBlock(Numbered(":TRAC:DATA? ", trace_number), io::kFormatBlockWithHeader,
                       trace_data);
    HRESULT hr = SendWithNoArg(Numbered(":DISP:SOUR PMEM", trace_number));
    if (FAILED(hr)) return hr;
    return ReadBlock(":DISP:DATA?", io::kFormatBlockWithHeader, trace_data);
  });
}

HRESULT CCoreVexR7100::PutData(std::int32_t trace_number, const Variant& trace_data) {
  return RunMember("ITraceVexR7100::PutData method failed.", kHelpPutData, [&]() -> HRESULT {
    TraceCommands commands = CommandsFor(*this);
    CheckNumber(*this, trace_number, kHelpPutData);
    if (!IsDefiniteBlock(trace_data))
      throw Refusal{ReportErrorEx(msg::kNotLegal, com::E_FAIL, kHelpPutData)};
    std::string text = ":DISP:DATA ";
    if (commands == TraceCommands::kModule) {
      text = Numbered(":TRAC:DATA ", trace_number) + ",";
    } else {
      HRESULT hr = SendWithNoArg(Numbered(":DISP:SOUR PMEM", trace_number));
      if (FAILED(hr)) return hr;
    }
    ExtendTimeoutForBytesIfSerial(
        static_cast<std::int64_t>(text.size() + DefiniteBlockSize(trace_data)));
    return WriteTextAndBlock(*this, text, trace_data);
  });
}

}  // namespace vex::server
