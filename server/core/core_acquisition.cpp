// Acquisition: type, average count, completion minimum, dither and the
// record length. Each property is one exchange.
#include "command_table.h"
#include "settings_member.h"
#include "settings_tables.h"

namespace vex::server {

using namespace settings;

namespace {
constexpr std::uint32_t kHelpCompletion = 23;
constexpr std::uint32_t kHelpCount = 24;
constexpr std::uint32_t kHelpDither = 25;
constexpr std::uint32_t kHelpType = 26;

// Command set 2 has no average count and no completion minimum; set 4
// reports the completion minimum but does not take it.
bool HasCount(int command_set) {
  return command_set != 2;
}
}  // namespace

HRESULT CCoreVexR7100::get_Type(VexR7100_AcquisitionType* type) {
  if (!type) return com::E_POINTER;
  return RunMember("IAcquisitionVexR7100::Type (read) property failed.", kHelpType,
                   [&]() -> HRESULT {
                     std::int16_t value = 0;
                     HRESULT hr = QueryWord(*this, ":ACQ:TYPE?", AcquisitionTypeTable(), &value);
                     if (SUCCEEDED(hr)) *type = static_cast<VexR7100_AcquisitionType>(value);
                     return hr;
                   });
}

HRESULT CCoreVexR7100::put_Type(VexR7100_AcquisitionType type) {
  return RunMember(
      "IAcquisitionVexR7100::Type (write) property failed.", kHelpType, [&]() -> HRESULT {
        auto word =
            WordOrRefuse(*this, AcquisitionTypeTable(), type, msg::kNotRecognized, kHelpType);
        // This property reports every failed send as E_FAIL.
        HRESULT hr = SendWithVariantArg(":ACQ:TYPE ", Variant(word));
        return FAILED(hr) ? com::E_FAIL : hr;
      });
}

HRESULT CCoreVexR7100::get_Count(VexR7100_AcquisitionCount* count) {
  if (!count) return com::E_POINTER;
  return RunMember("IAcquisitionVexR7100::Count (read) property failed.", kHelpCount,
                   [&]() -> HRESULT {
                     if (!HasCount(model_.CommandSet())) throw Refusal{NotSupported()};
                     std::int16_t value = 0;
                     HRESULT hr = QueryWord(*this, ":ACQ:COUN?", AcquisitionCountTable(), &value);
                     if (SUCCEEDED(hr)) *count = static_cast<VexR7100_AcquisitionCount>(value);
                     return hr;
                   });
}

HRESULT CCoreVexR7100::put_Count(VexR7100_AcquisitionCount count) {
  return RunMember(
      "IAcquisitionVexR7100::Count (write) property failed.", kHelpCount, [&]() -> HRESULT {
        if (!HasCount(model_.CommandSet())) throw Refusal{NotSupported()};
        auto word =
            WordOrRefuse(*this, AcquisitionCountTable(), count, msg::kNotRecognized, kHelpCount);
        return SendWithVariantArg(":ACQ:COUN ", Variant(word));
      });
}

HRESULT CCoreVexR7100::get_CompletionMinimum(std::int32_t* percent) {
  if (!percent) return com::E_POINTER;
  return RunMember("IAcquisitionVexR7100::CompletionMinimum (read) property failed.",
                   kHelpCompletion, [&]() -> HRESULT {
                     if (!HasCount(model_.CommandSet())) throw Refusal{NotSupported()};
                     return QueryForLongResult(":ACQ:COMP?", percent);
                   });
}

HRESULT CCoreVexR7100::put_CompletionMinimum(std::int32_t percent) {
  return RunMember("IAcquisitionVexR7100::CompletionMinimum (write) property failed.",
                   kHelpCompletion, [&]() -> HRESULT {
                     int set = model_.CommandSet();
                     if (set == 2 || set == 4) throw Refusal{NotSupported()};
                     // A percentage, whatever the range-checking setting.
                     if (percent < 0 || percent > 100)
                       throw Refusal{ReportErrorEx(msg::kNotLegal, com::E_FAIL, kHelpCompletion)};
                     return SendWithLongArg(":ACQ:COMP ", percent);
                   });
}

HRESULT CCoreVexR7100::get_DitherEnabled(VARIANT_BOOL* state) {
  if (!state) return com::E_POINTER;
  return RunMember("IAcquisitionVexR7100::Dither (read) property failed.", kHelpDither,
                   [&]() -> HRESULT {
                     auto query = Require(*this, CommandQuery(kCmdDither));
                     return QueryOnOff(*this, query, state);
                   });
}

HRESULT CCoreVexR7100::put_DitherEnabled(VARIANT_BOOL state) {
  return RunMember("IAcquisitionVexR7100::Dither (write) property failed.", kHelpDither,
                   [&]() -> HRESULT {
                     auto command = Require(*this, Command(kCmdDither));
                     return SendWithVariantArg(command, Variant(OnOffWord(state)));
                   });
}

HRESULT CCoreVexR7100::get_Points(std::int32_t* points) {
  if (!points) return com::E_POINTER;
  return RunMember("IAcquisitionExVexR7100::Points (read) property failed.", kHelpType,
                   [&] { return QueryForLongResult(":ACQ:POIN?", points); });
}

}  // namespace vex::server
