// Timebase: sweep mode, full-scale range, delay, reference point and the
// sample rate. The headers are the same in every command set.
#include <cmath>

#include "settings_member.h"
#include "settings_tables.h"

namespace vex::server {

using namespace settings;

namespace {
constexpr std::uint32_t kHelpDelay = 55;
constexpr std::uint32_t kHelpRange = 56;
constexpr std::uint32_t kHelpMode = 57;
constexpr std::uint32_t kHelpReference = 58;
constexpr std::uint32_t kHelpModeInput = 91;
constexpr std::uint32_t kHelpReferenceInput = 92;

constexpr const char* kDelayQuery = ":TIM:DEL?";
constexpr const char* kDelayCommand = ":TIM:DEL ";

// Whether the instrument takes `reference` in sweep `mode`, by command set.
// Sets 1 and 2 take every reference in every mode.
bool ReferenceAllowed(int command_set, std::int16_t mode, std::int32_t reference) {
  bool normal_or_delayed = mode == VexR7100_TimeMode_Normal || mode == VexR7100_TimeMode_Delayed;
  if (command_set == 0 || command_set == 3) {
    if (normal_or_delayed) return reference != VexR7100_TimeReference_Right;
    if (mode == VexR7100_TimeMode_XY) return false;
    return reference != VexR7100_TimeReference_Left;  // roll
  }
  if (command_set == 4) {
    if (normal_or_delayed) return true;
    if (mode == VexR7100_TimeMode_XY) return reference == VexR7100_TimeReference_Center;
    return reference == VexR7100_TimeReference_Right;  // roll
  }
  return true;
}

bool ChecksReference(int command_set) {
  return command_set == 0 || command_set == 3 || command_set == 4;
}

HRESULT ReadMode(CCoreVexR7100& core, VexR7100_TimeMode* mode) {
  if (!mode) return com::E_POINTER;
  return core.RunMember("ITimebaseVexR7100::Mode (read) property failed.", kHelpMode,
                        [&]() -> HRESULT {
                          std::int16_t value = 0;
                          HRESULT hr = QueryWord(core, ":TIM:MODE?", TimeModeTable(), &value);
                          if (SUCCEEDED(hr)) *mode = static_cast<VexR7100_TimeMode>(value);
                          return hr;
                        });
}

HRESULT WriteMode(CCoreVexR7100& core, VexR7100_TimeMode mode) {
  return core.RunMember(
      "ITimebaseVexR7100::Mode (write) property failed.", kHelpMode, [&]() -> HRESULT {
        auto word = WordOrRefuse(core, TimeModeTable(), mode, msg::kNotRecognized, kHelpModeInput);
        return core.SendWithVariantArg(":TIM:MODE ", Variant(word));
      });
}

HRESULT ReadDelay(CCoreVexR7100& core, double* delay, std::uint32_t help_id) {
  if (!delay) return com::E_POINTER;
  return core.RunMember("ITimebaseVexR7100::Delay (read) property failed.", help_id,
                        [&] { return core.QueryForDoubleResult(kDelayQuery, delay); });
}
}  // namespace

HRESULT CCoreVexR7100::get_Mode(VexR7100_TimeMode* mode) {
  return ReadMode(*this, mode);
}
HRESULT CCoreVexR7100::put_Mode(VexR7100_TimeMode mode) {
  return WriteMode(*this, mode);
}
HRESULT CCoreVexR7100::get_TimebaseMode(VexR7100_TimeMode* mode) {
  return ReadMode(*this, mode);
}
HRESULT CCoreVexR7100::put_TimebaseMode(VexR7100_TimeMode mode) {
  return WriteMode(*this, mode);
}

HRESULT CCoreVexR7100::get_HorizontalRange(double* range) {
  if (!range) return com::E_POINTER;
  return RunMember("ITimebaseVexR7100::HorizontalRange (read) property failed.", kHelpRange,
                   [&] { return QueryForDoubleResult(":TIM:RANG?", range); });
}

HRESULT CCoreVexR7100::put_HorizontalRange(double range) {
  return RunMember("ITimebaseVexR7100::HorizontalRange (write) property failed.", kHelpRange,
                   [&]() -> HRESULT {
                     // The model's limits hold whatever the range-checking setting.
                     const ModelEntry& entry = model_.Entry();
                     if (!(entry.horizontal_min <= range && range <= entry.horizontal_max))
                       throw Refusal{ReportErrorEx(msg::kNotLegal, com::E_FAIL, kHelpRange)};
                     return SendWithVariantArg(":TIM:RANG ", Variant(range));
                   });
}

HRESULT CCoreVexR7100::get_Reference(VexR7100_TimeReference* reference) {
  if (!reference) return com::E_POINTER;
  return RunMember("ITimebaseVexR7100::Reference (read) property failed.", kHelpReference,
                   [&]() -> HRESULT {
                     std::int16_t value = 0;
                     HRESULT hr = QueryWord(*this, ":TIM:REF?", TimeReferenceTable(), &value);
                     if (SUCCEEDED(hr)) *reference = static_cast<VexR7100_TimeReference>(value);
                     return hr;
                   });
}

HRESULT CCoreVexR7100::put_Reference(VexR7100_TimeReference reference) {
  return RunMember(
      "ITimebaseVexR7100::Reference (write) property failed.", kHelpReference, [&]() -> HRESULT {
        auto word = WordOrRefuse(*this, TimeReferenceTable(), reference, msg::kNotRecognized,
                                 kHelpReferenceInput);
        int set = model_.CommandSet();
        if (RangeCheckingOn() && ChecksReference(set)) {
          std::int16_t mode = 0;
          HRESULT hr = QueryWord(*this, ":TIM:MODE?", TimeModeTable(), &mode);
          if (FAILED(hr)) return hr;
          if (mode < 1 || mode > 4)
            throw Refusal{ReportError(msg::kResponseNotRecognized, com::E_FAIL)};
          if (!ReferenceAllowed(set, mode, reference))
            throw Refusal{ReportErrorEx(msg::kNotLegal, com::E_FAIL, kHelpReferenceInput)};
        }
        return SendWithVariantArg(":TIM:REF ", Variant(word));
      });
}

HRESULT CCoreVexR7100::get_HorizontalDelay(double* delay) {
  return ReadDelay(*this, delay, kHelpDelay);
}

HRESULT CCoreVexR7100::put_HorizontalDelay(double delay) {
  return RunMember("ITimebaseVexR7100::Delay (write) property failed.", kHelpDelay,
                   [&]() -> HRESULT {
                     if (RangeCheckingOn()) {
                       // From half a screen before the trigger to 250 screens after.
                       double range = 0;
                       HRESULT hr = QueryForDoubleResult(":TIM:RANG?", &range);
                       if (FAILED(hr)) return hr;
                       if (!(-0.5 * range <= delay && delay < 250 * range))
                         throw Refusal{ReportErrorEx(msg::kNotLegal, com::E_FAIL, kHelpDelay)};
                     }
                     return SendWithVariantArg(kDelayCommand, Variant(delay));
                   });
}

HRESULT CCoreVexR7100::get_Delay(double* seconds) {
  return ReadDelay(*this, seconds, 0);
}

HRESULT CCoreVexR7100::put_Delay(double seconds) {
  return RunMember("ITimebaseVexR7100::Delay (write) property failed.", 0,
                   [&] { return SendWithVariantArg(kDelayCommand, Variant(seconds)); });
}

HRESULT CCoreVexR7100::get_SampleRate(double* hertz) {
  if (!hertz) return com::E_POINTER;
  return RunMember("ITimebaseExVexR7100::SampleRate (read) property failed.", 0, [&]() -> HRESULT {
    double increment = 0;
    HRESULT hr = QueryForDoubleResult(":WAV:XINC?", &increment);
    if (FAILED(hr)) return hr;
    // Only a positive, finite interval between samples gives a rate.
    double rate = std::isfinite(increment) && increment > 0 ? 1.0 / increment : 0.0;
    if (!(rate > 0) || !std::isfinite(rate))
      throw Refusal{ReportError(msg::kResponseNotRecognized, com::E_FAIL)};
    *hertz = rate;
    return com::S_OK;
  });
}

}  // namespace vex::server
