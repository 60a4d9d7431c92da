// Replies read as mnemonic values and as numbers: the mnemonic tables, the
// locale-independent number readers, and the core's setting reads that
// apply them to a reply.
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "core_harness.h"
#include "data_tables.h"
#include "settings_tables.h"
#include "vex/com/numeric_text.h"
#include "vex/server/enums_data.h"
#include "vex/server/enums_settings.h"

using vex::com::FAILED;
using vex::com::HRESULT;
using vex::com::SUCCEEDED;

namespace {

using namespace vex::server;
using vex::com::ParseDoubleLenient;
using vex::com::ParseDoubleStrict;

bool SameDouble(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

// strtol in base 10 over the C white space, saturated at 32 bits.
std::int32_t ReferenceLong(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) && text[i] != '\0') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), std::int64_t{1} << 33);
  std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void CheckNumbers(std::string_view text) {
  const double lenient = ParseDoubleLenient(text);
  const std::optional<double> strict = ParseDoubleStrict(text);
  if (strict) {
    // A number the strict reader takes whole, the lenient one reads alike.
    VEX_FUZZ_CHECK(SameDouble(*strict, ParseDoubleLenient(vex::com::TrimBlanks(text))));
  }
  // Every finite value read comes back unchanged from its shortest text.
  for (double value : {lenient, strict.value_or(0.0)}) {
    if (!std::isfinite(value)) continue;
    auto again = ParseDoubleStrict(vex::com::FormatDouble(value));
    VEX_FUZZ_CHECK(again && SameDouble(*again, value));
  }
  VEX_FUZZ_CHECK(vex::com::ParseLongLenient(text) == ReferenceLong(text));
}

// Raw bits as a double, so that subnormals, negative zero and the extremes
// of the exponent are written and read back too.
void CheckDoubleBits(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(double)) return;
  double value;
  std::memcpy(&value, data, sizeof value);
  std::string text = vex::com::FormatDouble(value);
  if (!std::isfinite(value)) {
    VEX_FUZZ_CHECK(text == "nan" || text == "inf" || text == "-inf");
    return;
  }
  auto again = ParseDoubleStrict(text);
  VEX_FUZZ_CHECK(again && SameDouble(*again, value));
  VEX_FUZZ_CHECK(SameDouble(ParseDoubleLenient(text), value));
}

// A word a reply maps to leads back to a word of the same value.
void CheckTable(const MnemonicTable& table, std::string_view reply) {
  auto value = table.ValueOfReply(reply);
  if (!value) return;
  auto word = table.WordOf(*value);
  VEX_FUZZ_CHECK(word.has_value());
  VEX_FUZZ_CHECK(table.ValueOfReply(*word) == value);
  VEX_FUZZ_CHECK(table.ValueOfReply(std::string(*word) + "\r\n") == value);
}

const MnemonicTable* const kTables[] = {
    &OnOffTable(),           &AcquisitionCountTable(),
    &AcquisitionTypeTable(), &ProbeAttenuationTable(),
    &ProbeCouplingTable(),   &ProbeModeTable(),
    &InputImpedanceTable(),  &TimeModeTable(),
    &TimeReferenceTable(),   &TriggerCouplingTable(),
    &TriggerModeTable(),     &TriggerSlopeTable(),
    &TriggerSourceTable(),   &MeasureSourceTable(),
    &AnalogChannelTable(),   &LogicBitTable(),
    &LogicPodTable(),        &WaveformPointsTable(),
    &ScreenQueryTable(),
};

// One member that reads `reply`; whatever it returns, nothing of the reply
// is left queued for the next.
template <class Call>
auto Ask(vex::fuzz::CoreHarness& h, std::string_view reply, Call call) {
  h.io->script.clear();
  h.io->Reply(std::string(reply));
  auto result = call();
  vex::fuzz::ClearErrorInfo();
  return result;
}

// An enumeration read gives only a value of its table.
template <class Enum>
void CheckWordRead(vex::fuzz::CoreHarness& h, std::string_view reply, const MnemonicTable& table,
                   HRESULT (CCoreVexR7100::*member)(Enum*)) {
  Enum value{};
  HRESULT hr = Ask(h, reply, [&] { return (h.core.Get()->*member)(&value); });
  if (SUCCEEDED(hr)) VEX_FUZZ_CHECK(table.Contains(value));
}

void CheckCoreReads(std::string_view reply) {
  vex::fuzz::CoreHarness h;
  if (!h.Attach()) return;
  CheckWordRead<VexR7100_AcquisitionCount>(h, reply, AcquisitionCountTable(),
                                           &CCoreVexR7100::get_Count);
  CheckWordRead<VexR7100_AcquisitionType>(h, reply, AcquisitionTypeTable(),
                                          &CCoreVexR7100::get_Type);
  CheckWordRead<VexR7100_TriggerSlope>(h, reply, TriggerSlopeTable(), &CCoreVexR7100::get_Slope);
  CheckWordRead<VexR7100_TriggerCoupling>(h, reply, TriggerCouplingTable(),
                                          &CCoreVexR7100::get_Coupling);
  CheckWordRead<VexR7100_TriggerSource>(h, reply, TriggerSourceTable(), &CCoreVexR7100::get_Source);
  CheckWordRead<VexR7100_TimeReference>(h, reply, TimeReferenceTable(),
                                        &CCoreVexR7100::get_Reference);

  const auto channel = VexR7100_Channel_3;
  Ask(h, reply, [&] {
    PROBEATTEN v{};
    return h.core->get_ProbeAttenuation(channel, &v);
  });
  Ask(h, reply, [&] {
    PROBECOUPLE v{};
    return h.core->get_ProbeCoupling(channel, &v);
  });
  Ask(h, reply, [&] {
    PROBEMODES v{};
    return h.core->get_ProbeMode(channel, &v);
  });
  Ask(h, reply, [&] {
    INPUTIMPEDANCE v{};
    return h.core->get_INPUTIMPEDANCE(channel, &v);
  });
  Ask(h, reply, [&] {
    ONOFFSTATE v{};
    return h.core->get_BandWidthLimit(channel, &v);
  });
  Ask(h, reply, [&] {
    vex::com::VARIANT_BOOL v{};
    return h.core->get_Enabled(channel, &v);
  });
  Ask(h, reply, [&] {
    VexR7100_TimeMode v{};
    return h.core->get_Mode(&v);
  });
  Ask(h, reply, [&] {
    VexR7100_TriggerMode v{};
    return h.core->get_Mode(&v);
  });
  for (auto member : {&CCoreVexR7100::get_VerticalRange, &CCoreVexR7100::get_VerticalOffset})
    Ask(h, reply, [&] {
      double v = 0;
      return (h.core.Get()->*member)(channel, &v);
    });
  for (auto member : {&CCoreVexR7100::get_HorizontalRange, &CCoreVexR7100::get_HorizontalDelay,
                      &CCoreVexR7100::get_TriggerLevel, &CCoreVexR7100::get_Holdoff,
                      &CCoreVexR7100::get_SampleRate})
    Ask(h, reply, [&] {
      double v = 0;
      return (h.core.Get()->*member)(&v);
    });
  Ask(h, reply, [&] {
    double v = 0;
    return h.core->Frequency(VexR7100_Channel_A2, &v);
  });
  Ask(h, reply, [&] {
    std::int32_t v = 0;
    return h.core->get_Points(&v);
  });
  Ask(h, reply, [&] {
    std::int32_t v = 0;
    return h.core->StatusBits(&v);
  });
  Ask(h, reply, [&] {
    std::int32_t v = 0;
    vex::com::Bstr message;
    return h.core->SelfTest(&v, &message);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = vex::fuzz::AsText(data, size);
  CheckNumbers(text);
  CheckDoubleBits(data, size);
  for (const MnemonicTable* table : kTables) CheckTable(*table, text);
  CheckCoreReads(text);
  return 0;
}
