// Analog channels, addressed by channel number on the flat interface:
// display, range, offset, probe sense mode, attenuation, coupling,
// bandwidth limit and input impedance. Headers come from the command table
// with the channel digit put in.
#include <cctype>
#include <cmath>

#include "command_table.h"
#include "reply_number.h"
#include "settings_member.h"
#include "settings_tables.h"

namespace vex::server {

using namespace settings;

namespace {
constexpr std::uint32_t kHelpChannel = 88;
constexpr std::uint32_t kHelpBandwidthLimit = 31;
constexpr std::uint32_t kHelpEnabled = 32;
constexpr std::uint32_t kHelpProbeAttenuation = 33;
constexpr std::uint32_t kHelpProbeCoupling = 34;
constexpr std::uint32_t kHelpProbeMode = 35;
constexpr std::uint32_t kHelpOffset = 36;
constexpr std::uint32_t kHelpRange = 37;
constexpr std::uint32_t kHelpAttenuationInput = 84;
constexpr std::uint32_t kHelpCouplingInput = 85;
constexpr std::uint32_t kHelpBandwidthInput = 86;
// The model row whose inputs 3 and 4 have no AC coupling.
constexpr std::int16_t kModelWithoutAcOn34 = 2;

// The channel's name ("CHAN1" ...), or a refusal with `message`.
std::string_view ChannelOrRefuse(CCoreVexR7100& core, std::int32_t channel,
                                 const char* message = msg::kEnumNotSupported) {
  auto name = ChannelName(channel);
  if (!name) throw Refusal{core.ReportErrorEx(message, com::E_FAIL, kHelpChannel)};
  return *name;
}

bool IsUpperPair(std::int32_t channel) {
  return channel == 3 || channel == 4;
}

// The factor an attenuation code scales the ranges by.
double AttenuationFactor(std::int32_t code) {
  return code == 10 || code == 20 || code == 100 ? code : 1.0;
}

// A reply that is not one of the words, read as a number and put into the
// nearest setting at or above it.
std::optional<std::int32_t> AttenuationOfNumber(std::string_view reply) {
  auto x = ParseReplyNumber(reply);
  if (!x || *x < 0) return std::nullopt;
  if (*x < 1.1) return 1;
  if (*x < 10.1) return 10;
  if (*x < 20.1) return 20;
  if (*x < 100.1) return 100;
  return std::nullopt;
}

// The probe attenuation of `channel` as its read gives it.
HRESULT QueryAttenuation(CCoreVexR7100& core, std::int32_t channel, std::int32_t* code) {
  auto query = Require(core, core.ChannelCommandQuery(kCmdProbeAttenuation, channel));
  Bstr reply;
  HRESULT hr = core.QueryForBstrResult(query, &reply);
  if (FAILED(hr)) return hr;
  if (auto word = ProbeAttenuationTable().ValueOfReply(reply.View())) {
    *code = *word;
    return com::S_OK;
  }
  auto number = AttenuationOfNumber(reply.View());
  if (!number) throw Refusal{core.ReportError(msg::kResponseNotRecognized, com::E_FAIL)};
  *code = *number;
  return com::S_OK;
}

HRESULT QueryProbeMode(CCoreVexR7100& core, std::int32_t channel, std::int16_t* mode) {
  auto query = Require(core, core.ChannelCommandQuery(kCmdProbeMode, channel));
  return QueryWord(core, query, ProbeModeTable(), mode);
}

HRESULT QueryOffset(CCoreVexR7100& core, std::int32_t channel, double* offset) {
  auto query = Require(core, core.ChannelCommandQuery(kCmdChannelOffset, channel));
  return core.QueryForDoubleResult(query, offset);
}
}  // namespace

HRESULT CCoreVexR7100::get_Enabled(VexR7100_AnalogChannels channel, VARIANT_BOOL* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IAnalogChannelVexR7100::Enabled (read) property failed.", kHelpEnabled,
                   [&]() -> HRESULT {
                     auto name = ChannelOrRefuse(*this, channel, msg::kEnumNotRecognized);
                     return QueryChannelShown(*this, name, value);
                   });
}

HRESULT CCoreVexR7100::put_Enabled(VexR7100_AnalogChannels channel, VARIANT_BOOL value) {
  return RunMember("IAnalogChannelVexR7100::Enabled (write) property failed.", kHelpEnabled,
                   [&]() -> HRESULT {
                     auto name = ChannelOrRefuse(*this, channel, msg::kEnumNotRecognized);
                     std::string command = value == com::VARIANT_TRUE ? ":VIEW " : ":BLAN ";
                     return SendWithNoArg(command + std::string(name));
                   });
}

// Inputs 3 and 4 know only a low and a high range, reported and set as the
// words LOW and HIGH and scaled by the probe attenuation.
HRESULT CCoreVexR7100::get_VerticalRange(VexR7100_AnalogChannels channel, double* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IAnalogChannelVexR7100::VeritcalRange (read) property failed.", kHelpRange,
                   [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     auto query = Require(*this, ChannelCommandQuery(kCmdChannelRange, channel));
                     if (!IsUpperPair(channel)) return QueryForDoubleResult(query, value);
                     std::int32_t attenuation = 1;
                     HRESULT hr = QueryAttenuation(*this, channel, &attenuation);
                     if (FAILED(hr)) return hr;
                     Bstr reply;
                     hr = QueryForBstrResult(query, &reply);
                     if (FAILED(hr)) return hr;
                     std::string upper = reply.Str();
                     for (char& c : upper) c = static_cast<char>(std::toupper(c));
                     const ModelEntry& entry = model_.Entry();
                     double factor = AttenuationFactor(attenuation);
                     if (upper.find("LOW") != std::string::npos) {
                       *value = factor * entry.vertical_min_34;
                     } else if (upper.find("HIGH") != std::string::npos) {
                       *value = factor * entry.vertical_max_34;
                     } else {
                       throw Refusal{ReportError(msg::kResponseNotRecognized, com::E_FAIL)};
                     }
                     return com::S_OK;
                   });
}

HRESULT CCoreVexR7100::put_VerticalRange(VexR7100_AnalogChannels channel, double value) {
  return RunMember("IAnalogChannelVexR7100::VerticalRange (write) property failed.", kHelpRange,
                   [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     auto command = Require(*this, ChannelCommand(kCmdChannelRange, channel));
                     bool upper = IsUpperPair(channel);
                     double factor = 1.0;
                     if (upper || RangeCheckingOn()) {
                       std::int32_t attenuation = 1;
                       HRESULT hr = QueryAttenuation(*this, channel, &attenuation);
                       if (FAILED(hr)) return hr;
                       factor = AttenuationFactor(attenuation);
                     }
                     const ModelEntry& entry = model_.Entry();
                     double low = upper ? entry.vertical_min_34 : entry.vertical_min_12;
                     double high = upper ? entry.vertical_max_34 : entry.vertical_max_12;
                     if (RangeCheckingOn() && !(factor * low <= value && value <= factor * high))
                       throw Refusal{ReportErrorEx(msg::kNotLegal, com::E_FAIL, kHelpRange)};
                     if (!upper) return SendWithVariantArg(command, Variant(value));
                     // The low range when it covers the value, else the high one, so that
                     // the range read back afterwards holds the value asked for.
                     return SendWithVariantArg(command,
                                               Variant(value / factor <= low ? "LOW" : "HIGH"));
                   });
}

HRESULT CCoreVexR7100::get_VerticalOffset(VexR7100_AnalogChannels channel, double* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IAnalogChannelVexR7100::VerticalOffset (read) property failed.", kHelpOffset,
                   [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     return QueryOffset(*this, channel, value);
                   });
}

HRESULT CCoreVexR7100::put_VerticalOffset(VexR7100_AnalogChannels channel, double value) {
  return RunMember("IAnalogChannelVexR7100::VerticalOffset (write) property failed.", kHelpOffset,
                   [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     auto command = Require(*this, ChannelCommand(kCmdChannelOffset, channel));
                     HRESULT hr = SendWithVariantArg(command, Variant(value));
                     if (FAILED(hr) || !RangeCheckingOn()) return hr;
                     // The instrument clips an offset beyond its limit: the value read
                     // back then lies short of the one sent, on the same side of zero.
                     double got = 0;
                     hr = QueryOffset(*this, channel, &got);
                     if (FAILED(hr)) return hr;
                     if ((got >= 0 && value > got) || (got < 0 && value < got))
                       throw Refusal{ReportErrorEx(msg::kValueCoerced, com::E_FAIL, kHelpOffset)};
                     return com::S_OK;
                   });
}

HRESULT CCoreVexR7100::get_ProbeMode(VexR7100_AnalogChannels channel, PROBEMODES* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IAnalogChannelVexR7100::ProbeMode (read) property failed.", kHelpProbeMode,
                   [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     std::int16_t mode = 0;
                     HRESULT hr = QueryProbeMode(*this, channel, &mode);
                     if (SUCCEEDED(hr)) *value = static_cast<PROBEMODES>(mode);
                     return hr;
                   });
}

HRESULT CCoreVexR7100::get_ProbeAttenuation(VexR7100_AnalogChannels channel, PROBEATTEN* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IAnalogChannelVexR7100::ProbeAttenuation (read) property failed.",
                   kHelpProbeAttenuation, [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     std::int32_t code = 1;
                     HRESULT hr = QueryAttenuation(*this, channel, &code);
                     if (SUCCEEDED(hr)) *value = static_cast<PROBEATTEN>(code);
                     return hr;
                   });
}

HRESULT CCoreVexR7100::put_ProbeAttenuation(VexR7100_AnalogChannels channel, PROBEATTEN value) {
  return RunMember("IAnalogChannelVexR7100::ProbeAttenuation (write) property failed.",
                   kHelpProbeAttenuation, [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     auto command = Require(*this, ChannelCommand(kCmdProbeAttenuation, channel));
                     auto word = WordOrRefuse(*this, ProbeAttenuationTable(), value,
                                              msg::kEnumNotRecognized, kHelpAttenuationInput);
                     // A probe the instrument senses sets its own attenuation.
                     std::int16_t mode = 0;
                     HRESULT hr = QueryProbeMode(*this, channel, &mode);
                     if (FAILED(hr)) return hr;
                     if (mode == VexR7100_ProbeMode_Auto)
                       throw Refusal{ReportError(msg::kAutomaticProbeSense, com::E_UNEXPECTED)};
                     return SendWithNoArg(command + std::string(word));
                   });
}

HRESULT CCoreVexR7100::get_ProbeCoupling(VexR7100_AnalogChannels channel, PROBECOUPLE* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IAnalogChannelVexR7100::ProbeCoupling (read) property failed.",
                   kHelpProbeCoupling, [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     auto query = Require(*this, ChannelCommandQuery(kCmdInputCoupling, channel));
                     std::int16_t code = 0;
                     HRESULT hr = QueryWord(*this, query, ProbeCouplingTable(), &code);
                     if (SUCCEEDED(hr)) *value = static_cast<PROBECOUPLE>(code);
                     return hr;
                   });
}

HRESULT CCoreVexR7100::put_ProbeCoupling(VexR7100_AnalogChannels channel, PROBECOUPLE value) {
  return RunMember("IAnalogChannelVexR7100::ProbeCoupling (write) property failed.",
                   kHelpProbeCoupling, [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     auto command = Require(*this, ChannelCommand(kCmdInputCoupling, channel));
                     auto word = WordOrRefuse(*this, ProbeCouplingTable(), value,
                                              msg::kEnumNotRecognized, kHelpCouplingInput);
                     if (model_.model_index == kModelWithoutAcOn34 && IsUpperPair(channel) &&
                         value == VexR7100_ProbeCoupling_AC)
                       throw Refusal{NotSupported()};
                     return SendWithNoArg(command + std::string(word));
                   });
}

HRESULT CCoreVexR7100::get_BandWidthLimit(VexR7100_AnalogChannels channel, ONOFFSTATE* state) {
  if (!state) return com::E_POINTER;
  return RunMember(
      "IAnalogChannelVexR7100::BandWidthLimit (read) property failed.", kHelpBandwidthLimit,
      [&]() -> HRESULT {
        ChannelOrRefuse(*this, channel);
        if (IsUpperPair(channel))
          throw Refusal{ReportErrorEx(msg::kEnumNotSupportedForMethod, com::E_FAIL, kHelpChannel)};
        auto query = Require(*this, ChannelCommandQuery(kCmdBandwidthLimit, channel));
        std::int16_t on = 0;
        HRESULT hr = QueryWord(*this, query, OnOffTable(), &on);
        if (SUCCEEDED(hr)) *state = static_cast<ONOFFSTATE>(on);
        return hr;
      });
}

HRESULT CCoreVexR7100::put_BandWidthLimit(VexR7100_AnalogChannels channel, ONOFFSTATE state) {
  return RunMember(
      "IAnalogChannelVexR7100::BandWidthLimit (write) property failed.", kHelpBandwidthLimit,
      [&]() -> HRESULT {
        ChannelOrRefuse(*this, channel);
        if (IsUpperPair(channel))
          throw Refusal{ReportErrorEx(msg::kEnumNotSupportedForMethod, com::E_FAIL, kHelpChannel)};
        auto command = Require(*this, ChannelCommand(kCmdBandwidthLimit, channel));
        if (state != VexR7100_Off && state != VexR7100_On)
          throw Refusal{ReportErrorEx(msg::kEnumNotRecognized, com::E_FAIL, kHelpBandwidthInput)};
        return SendWithNoArg(command + std::string(*OnOffTable().WordOf(state)));
      });
}

HRESULT CCoreVexR7100::get_INPUTIMPEDANCE(VexR7100_AnalogChannels channel, INPUTIMPEDANCE* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IAnalogChannelVexR7100::InputImpedance (read) property failed.", 0,
                   [&]() -> HRESULT {
                     ChannelOrRefuse(*this, channel);
                     auto query = Require(*this, ChannelCommandQuery(kCmdInputImpedance, channel));
                     std::int16_t code = 0;
                     HRESULT hr = QueryWord(*this, query, InputImpedanceTable(), &code);
                     if (SUCCEEDED(hr)) *value = static_cast<INPUTIMPEDANCE>(code);
                     return hr;
                   });
}

HRESULT CCoreVexR7100::put_INPUTIMPEDANCE(VexR7100_AnalogChannels channel, INPUTIMPEDANCE value) {
  return RunMember(
      "iAnalogChannelVexR7100::InputImpedance (write) property failed.", 0, [&]() -> HRESULT {
        ChannelOrRefuse(*this, channel);
        auto command = Require(*this, ChannelCommand(kCmdInputImpedance, channel));
        auto word = WordOrRefuse(*this, InputImpedanceTable(), value, msg::kEnumNotRecognized, 0);
        return SendWithNoArg(command + std::string(word));
      });
}

}  // namespace vex::server
