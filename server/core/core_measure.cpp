// Automatic measurements: select the source, then one query. The query
// forms come from the command table; command set 2 lacks the voltage and
// edge measurements.
#include "command_table.h"
#include "settings_member.h"
#include "settings_tables.h"

namespace vex::server {

using namespace settings;

namespace {
constexpr std::uint32_t kHelpAllChannelsInput = 16;
constexpr std::uint32_t kHelpAnalogInput = 88;
constexpr std::uint32_t kHelpNotEnabled = 32;

struct Measurement {
  const char* failure;
  std::uint32_t help_id;
  int command_id;
  bool analog_only;
  bool needs_module = false;
  // Report every failed transfer as E_FAIL.
  bool fail_as_e_fail = false;
};

HRESULT Measure(CCoreVexR7100& core, const Measurement& m, std::int32_t channel, double* value) {
  if (!value) return com::E_POINTER;
  return core.RunMember(m.failure, m.help_id, [&]() -> HRESULT {
    auto query = Require(core, core.CommandQuery(m.command_id));
    if (m.needs_module && !(core.Model().option_flags & kOptionMeasurementStorage))
      throw Refusal{core.ReportError(msg::kNeedsMeasurementModule, com::E_FAIL)};
    std::optional<std::string_view> source =
        m.analog_only ? ChannelName(channel) : MeasureSourceTable().WordOf(channel);
    if (!source)
      throw Refusal{core.ReportErrorEx(msg::kEnumNotRecognized, com::E_FAIL,
                                       m.analog_only ? kHelpAnalogInput : kHelpAllChannelsInput)};
    if (core.RangeCheckingOn()) {
      // A channel that is off has nothing to measure.
      VARIANT_BOOL shown = com::VARIANT_FALSE;
      HRESULT hr = channel >= 10
                       ? core.get_BitEnabled(static_cast<VexR7100_LogicBits>(channel - 10), &shown)
                       : QueryChannelShown(core, *source, &shown);
      if (FAILED(hr)) return hr;
      if (shown != com::VARIANT_TRUE)
        throw Refusal{
            core.ReportErrorEx(msg::kChannelNotEnabled, com::E_UNEXPECTED, kHelpNotEnabled)};
    }
    HRESULT hr = core.SendWithNoArg(":MEAS:SOUR " + std::string(*source));
    // An invalid measurement comes back as the instrument's marker value,
    // which is passed on unchanged.
    if (SUCCEEDED(hr)) hr = core.QueryForDoubleResult(query, value);
    return FAILED(hr) && m.fail_as_e_fail ? com::E_FAIL : hr;
  });
}
}  // namespace

HRESULT CCoreVexR7100::Frequency(VexR7100_AllChannels channel, double* hertz) {
  return Measure(*this, {"IMeasureVexR7100::Frequency method failed.", 45, kCmdFrequency, false},
                 channel, hertz);
}

HRESULT CCoreVexR7100::Period(VexR7100_AllChannels channel, double* seconds) {
  return Measure(*this, {"IMeasureVexR7100::Period method failed.", 50, kCmdPeriod, false}, channel,
                 seconds);
}

HRESULT CCoreVexR7100::PositivePulseWidth(VexR7100_AllChannels channel, double* seconds) {
  return Measure(
      *this, {"IMeasureVexR7100::PositivePulseWidth method failed.", 1, kCmdPositiveWidth, false},
      channel, seconds);
}

HRESULT CCoreVexR7100::NegativePulseWidth(VexR7100_AllChannels channel, double* seconds) {
  return Measure(
      *this, {"IMeasureVexR7100::NegativePulseWidth method failed.", 48, kCmdNegativeWidth, false},
      channel, seconds);
}

HRESULT CCoreVexR7100::RiseTime(VexR7100_AnalogChannels channel, double* seconds) {
  return Measure(*this, {"IMeasureVexR7100::RiseTime method failed.", 52, kCmdRiseTime, true},
                 channel, seconds);
}

HRESULT CCoreVexR7100::FallTime(VexR7100_AnalogChannels channel, double* seconds) {
  return Measure(*this, {"IMeasureVexR7100::FallTime method failed.", 44, kCmdFallTime, true},
                 channel, seconds);
}

HRESULT CCoreVexR7100::DutyCycle(VexR7100_AllChannels channel, double* ratio) {
  return Measure(
      *this, {"IMeasureVexR7100::DutyCycle method failed.", 43, kCmdDutyCycle, false, false, true},
      channel, ratio);
}

HRESULT CCoreVexR7100::RMSVoltage(VexR7100_AnalogChannels channel, double* volts) {
  return Measure(*this, {"IMeasureVexR7100::RMSVoltage method failed.", 53, kCmdRmsVoltage, true},
                 channel, volts);
}

HRESULT CCoreVexR7100::MaxVoltage(VexR7100_AnalogChannels channel, double* volts) {
  return Measure(*this, {"IMeasureVexR7100::MaxVoltage method failed.", 46, kCmdMaxVoltage, true},
                 channel, volts);
}

HRESULT CCoreVexR7100::MinVoltage(VexR7100_AnalogChannels channel, double* volts) {
  return Measure(*this, {"IMeasureVexR7100::MinVoltage method failed.", 47, kCmdMinVoltage, true},
                 channel, volts);
}

HRESULT CCoreVexR7100::AverageVoltage(VexR7100_AnalogChannels channel, double* volts) {
  return Measure(*this,
                 {"IMeasureVexR7100::AverageVoltage method failed.", 42, kCmdAverageVoltage, true},
                 channel, volts);
}

HRESULT CCoreVexR7100::PeakToPeakVolts(VexR7100_AnalogChannels channel, double* volts) {
  return Measure(*this,
                 {"IMeasureVexR7100::PeakToPeakVolts method failed.", 49, kCmdPeakToPeak, true},
                 channel, volts);
}

HRESULT CCoreVexR7100::Amplitude(VexR7100_AnalogChannels channel, double* volts) {
  return Measure(*this, {"Amplitude measurement method failed.", 0, kCmdAmplitude, true, true},
                 channel, volts);
}

HRESULT CCoreVexR7100::Preshoot(VexR7100_AnalogChannels channel, double* volts) {
  return Measure(*this, {"Preshoot measurement method failed.", 0, kCmdPreshoot, true, true},
                 channel, volts);
}

HRESULT CCoreVexR7100::Overshoot(VexR7100_AnalogChannels channel, double* volts) {
  return Measure(*this, {"Overshoot measurement method failed.", 0, kCmdOvershoot, true, true},
                 channel, volts);
}

}  // namespace vex::server
