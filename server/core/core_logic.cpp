// Logic channels: switching bits and pods on and off, and reading the logic
// record of the two pods.
#include <string>

#include "data_tables.h"
#include "data_transfers.h"

namespace vex::server {
namespace {

constexpr std::uint32_t kHelpGetLogicData = 9;
constexpr std::uint32_t kHelpBitEnabled = 39;
constexpr std::uint32_t kHelpPodEnabled = 40;
constexpr std::uint32_t kHelpEnableStatus = 73;
constexpr std::uint32_t kHelpNoLogicData = 73;
constexpr std::uint32_t kHelpUnknownPod = 90;
constexpr int kLogicBits = 16;

void RequireLogicChannels(CCoreVexR7100& core) {
  if (core.Model().Entry().logic_channels == 0) throw Refusal{core.NotSupported()};
}

std::string_view BitWord(CCoreVexR7100& core, std::int32_t bit) {
  auto word = LogicBitTable().WordOf(bit);
  if (!word) throw Refusal{core.ReportError(msg::kEnumNotRecognized, com::E_FAIL)};
  return *word;
}

// Whether the display of a bit is on.
HRESULT BitShown(CCoreVexR7100& core, std::int32_t bit, std::uint32_t help_id, bool* shown) {
  Bstr reply;
  HRESULT hr = core.QueryForBstrResult(std::string(BitWord(core, bit)) + ":DISP?", &reply);
  if (FAILED(hr)) return hr;
  auto on = OnOffTable().ValueOfReply(reply.View());
  if (!on) throw Refusal{core.ReportErrorEx(msg::kResponseNotRecognized, com::E_FAIL, help_id)};
  *shown = *on == 1;
  return com::S_OK;
}

HRESULT ShowBit(CCoreVexR7100& core, std::int32_t bit, bool show) {
  return core.SendWithNoArg(std::string(show ? ":VIEW " : ":BLAN ") +
                            std::string(BitWord(core, bit)));
}

// One pod's part of the logic read: its point count, and when it has points
// its bytes and the time scale of its preamble.
HRESULT ReadPod(CCoreVexR7100& core, std::int32_t pod, Variant* bytes, std::int32_t* count,
                LogicRecord* record) {
  auto source = LogicPodTable().WordOf(pod);
  if (!source) throw Refusal{core.ReportError(msg::kPodNotSupported, com::E_FAIL)};
  HRESULT hr = core.SendWithVariantArg(":WAV:SOUR ", Variant(*source));
  if (FAILED(hr)) return hr;
  std::vector<Variant> reply;
  hr = QueryList(core, ":WAV:POIN?", &reply);
  if (FAILED(hr)) return hr;
  *count = PointCountOf(core, reply, kHelpGetLogicData);
  if (*count == 0) return com::S_OK;
  hr = core.SendWithNoArg(":WAV:FORM BYTE");
  if (SUCCEEDED(hr)) hr = core.ReadBlock(":WAV:DATA?", io::kFormatBlockData7, bytes);
  if (FAILED(hr)) return hr;
  (void)BlockBytes(core, *bytes, *count);
  hr = QueryList(core, ":WAV:PRE?", &reply);
  if (FAILED(hr)) return hr;
  record->x_increment = RealField(core, reply, 4, kHelpGetLogicData);
  record->x_origin = RealField(core, reply, 5, kHelpGetLogicData);
  record->x_reference = IntegerField(core, reply, 6, kHelpGetLogicData);
  return com::S_OK;
}

}  // namespace

void LogicRecord::Bind() {
  auto view = [](const Variant& v) {
    const SafeArray* a = v.Array();
    return a ? a->Span<const std::uint8_t>() : std::span<const std::uint8_t>();
  };
  low_ = view(pod1);
  high_ = view(pod2);
}

HRESULT ReadLogicRecord(CCoreVexR7100& core, VexR7100_WaveformPoints points, LogicRecord* record) {
  core.ExtendTimeoutIfSerial(5000);
  if (core.Model().Entry().logic_channels == 0)
    throw Refusal{
        core.ReportErrorEx(msg::kMethodNotSupported, com::E_UNEXPECTED, kHelpGetLogicData)};
  // The count asked for only names the record; each pod reports its own.
  (void)WaveformPointsTable().WordOf(points);
  // The mask is sixteen bits without sign: D15 on (or all sixteen) must
  // still read pod 2.
  std::uint16_t mask = 0xFFFF;
  if (core.RangeCheckingOn()) {
    std::int16_t shown = 0;
    HRESULT hr = core.get_EnableStatus(&shown);
    if (FAILED(hr)) return hr;
    mask = static_cast<std::uint16_t>(shown);
  }
  Variant pod1, pod2;
  std::int32_t c1 = 0, c2 = 0;
  if ((mask & 0x00FF) != 0) {
    HRESULT hr = ReadPod(core, 1, &pod1, &c1, record);
    if (FAILED(hr)) return hr;
  }
  if (mask > 0x00FF) {
    HRESULT hr = ReadPod(core, 2, &pod2, &c2, record);
    if (FAILED(hr)) return hr;
  }
  // Both pods read: the shorter record. A pod without points adds no bits.
  std::int32_t n = c1 > 0 ? (c2 > 0 && c2 <= c1 ? c2 : c1) : c2;
  if (n == 0)
    throw Refusal{core.ReportErrorEx(msg::kNoLogicData, com::E_UNEXPECTED, kHelpNoLogicData)};
  record->mask = mask;
  record->points = n;
  record->pod1 = c1 > 0 ? std::move(pod1) : Variant();
  record->pod2 = c2 > 0 ? std::move(pod2) : Variant();
  record->Bind();
  return com::S_OK;
}

HRESULT GetLogicData(CCoreVexR7100& core, VexR7100_WaveformPoints points, Variant* time,
                     Variant* data, std::uint16_t* mask) {
  if (!time || !data) return com::E_POINTER;
  return core.RunMember(msg::kGetLogicDataFailed, kHelpGetLogicData, [&]() -> HRESULT {
    LogicRecord record;
    HRESULT hr = ReadLogicRecord(core, points, &record);
    if (FAILED(hr)) return hr;
    const auto n = static_cast<std::uint32_t>(record.points);
    SafeArray times, states;
    hr = SafeArray::Create(com::VT_R8, {{n, 0}}, &times);
    if (SUCCEEDED(hr)) hr = SafeArray::Create(com::VT_I2, {{n, 0}}, &states);
    if (FAILED(hr)) return hr;
    ScaleTimes(record.x_reference, record.x_increment, record.x_origin, times.Span<double>());
    auto words = states.Span<std::int16_t>();
    for (std::size_t i = 0; i < n; ++i) words[i] = static_cast<std::int16_t>(record.Sample(i));
    *time = Variant(std::move(times));
    *data = Variant(std::move(states));
    if (mask) *mask = record.mask;
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::GetLogicData(VexR7100_WaveformPoints points, Variant* time, Variant* data) {
  return vex::server::GetLogicData(*this, points, time, data, nullptr);
}

HRESULT CCoreVexR7100::get_BitEnabled(VexR7100_LogicBits bit, VARIANT_BOOL* value) {
  if (!value) return com::E_POINTER;
  return RunMember(msg::kBitEnabledReadFailed, kHelpBitEnabled, [&]() -> HRESULT {
    RequireLogicChannels(*this);
    bool shown = false;
    HRESULT hr = BitShown(*this, bit, kHelpBitEnabled, &shown);
    if (FAILED(hr)) return hr;
    *value = shown ? com::VARIANT_TRUE : com::VARIANT_FALSE;
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::put_BitEnabled(VexR7100_LogicBits bit, VARIANT_BOOL value) {
  return RunMember(msg::kBitEnabledWriteFailed, kHelpBitEnabled, [&]() -> HRESULT {
    RequireLogicChannels(*this);
    return ShowBit(*this, bit, value == com::VARIANT_TRUE);
  });
}

HRESULT CCoreVexR7100::put_PodEnabled(VexR7100_LogicPods pod, VARIANT_BOOL value) {
  return RunMember(msg::kPodEnabledWriteFailed, kHelpPodEnabled, [&]() -> HRESULT {
    if (model_.Entry().logic_pods == 0) throw Refusal{NotSupported()};
    if (pod != VexR7100_Logic_POD1 && pod != VexR7100_Logic_POD2)
      throw Refusal{ReportErrorEx(msg::kEnumNotRecognized, com::E_FAIL, kHelpUnknownPod)};
    const int first = pod == VexR7100_Logic_POD1 ? 0 : 8;
    for (int bit = first; bit < first + 8; ++bit) {
      HRESULT hr = ShowBit(*this, bit, value == com::VARIANT_TRUE);
      if (FAILED(hr)) return hr;
    }
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::get_EnableStatus(std::int16_t* value) {
  if (!value) return com::E_POINTER;
  return RunMember(msg::kEnableStatusReadFailed, kHelpEnableStatus, [&]() -> HRESULT {
    RequireLogicChannels(*this);
    std::uint16_t mask = 0;
    for (int bit = 0; bit < kLogicBits; ++bit) {
      bool shown = false;
      HRESULT hr = BitShown(*this, bit, kHelpEnableStatus, &shown);
      if (FAILED(hr)) return hr;
      if (shown) mask = static_cast<std::uint16_t>(mask | (1u << bit));
    }
    *value = static_cast<std::int16_t>(mask);
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::put_EnableStatus(std::int16_t value) {
  return RunMember(msg::kEnableStatusWriteFailed, kHelpEnableStatus, [&]() -> HRESULT {
    RequireLogicChannels(*this);
    const auto mask = static_cast<std::uint16_t>(value);
    for (int bit = 0; bit < kLogicBits; ++bit) {
      HRESULT hr = ShowBit(*this, bit, (mask >> bit) & 1u);
      if (FAILED(hr)) return hr;
    }
    return com::S_OK;
  });
}

}  // namespace vex::server
