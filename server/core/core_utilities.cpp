// Utilities: status registers, reset, self-test, saved states, the setup
// block, the front-panel lock, display text, the installed options and the
// identity check.
#include <string>

#include "command_table.h"
#include "settings_member.h"

namespace vex::server {

using namespace settings;

namespace {
constexpr std::uint32_t kHelpStatusBits = 79;
constexpr std::uint32_t kHelpVerifyDevice = 81;
constexpr std::uint32_t kHelpClearDevice = 1537;
constexpr std::uint32_t kHelpClearStatus = 1538;
constexpr std::uint32_t kHelpDisplayMessage = 1541;
constexpr std::uint32_t kHelpPreset = 1542;
constexpr std::uint32_t kHelpReadStateData = 1544;
constexpr std::uint32_t kHelpRecallState = 1545;
constexpr std::uint32_t kHelpReset = 1546;
constexpr std::uint32_t kHelpSaveState = 1547;
constexpr std::uint32_t kHelpSelfTest = 1548;
constexpr std::uint32_t kHelpWriteStateData = 1549;
constexpr std::uint32_t kHelpPanelLock = 1536;
constexpr std::uint32_t kHelpOptions = 1556;
constexpr std::int64_t kSetupTimeoutBytes = 512;

// An 8-bit status register read as a number 0 to 255; anything else is not
// a register value.
HRESULT QueryRegister(CCoreVexR7100& core, std::string_view query, std::uint32_t* value) {
  Variant reply;
  HRESULT hr = core.QueryForVariantResult(query, &reply);
  if (FAILED(hr)) return hr;
  std::int32_t number = 0;
  if (FAILED(reply.ToI4(&number)) || number < 0 || number > 255)
    throw Refusal{core.ReportError(msg::kResponseNotRecognized, com::E_FAIL)};
  *value = static_cast<std::uint32_t>(number);
  return com::S_OK;
}

// The message as an IEEE 488.2 string: in double quotes, each embedded
// double quote doubled. Line ends would end the command early and let the
// text run as commands of its own, so they are refused.
std::string QuotedMessage(CCoreVexR7100& core, std::string_view message) {
  std::string quoted = "\"";
  for (char c : message) {
    if (c == '\n' || c == '\r')
      throw Refusal{core.ReportErrorEx(msg::kNotLegal, com::E_FAIL, kHelpDisplayMessage)};
    quoted += c;
    if (c == '"') quoted += c;
  }
  return quoted + "\"";
}

HRESULT SendState(CCoreVexR7100& core, const char* failure, std::uint32_t help_id,
                  std::string_view command, std::int32_t state) {
  return core.RunMember(failure, help_id, [&]() -> HRESULT {
    const ModelEntry& entry = core.Model().Entry();
    if (state < entry.first_state || state > entry.last_state)
      throw Refusal{core.ReportErrorEx(msg::kOutOfRangeForConfiguration, com::E_FAIL, help_id)};
    return core.SendWithLongArg(command, state);
  });
}

bool Given(const Bstr& text) {
  return !text.IsNull() && !text.IsEmpty();
}
}  // namespace

HRESULT CCoreVexR7100::StatusBits(std::int32_t* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IUtilitiesVexR7100::StatusBits method failed.", kHelpStatusBits,
                   [&]() -> HRESULT {
                     std::uint32_t status = 0, events = 0;
                     HRESULT hr = QueryRegister(*this, "*STB?", &status);
                     if (SUCCEEDED(hr)) hr = QueryRegister(*this, "*ESR?", &events);
                     if (FAILED(hr)) return hr;
                     // Status byte in the low word, standard events in the high word.
                     *value = static_cast<std::int32_t>(events << 16 | status);
                     return com::S_OK;
                   });
}

HRESULT CCoreVexR7100::ClearDevice() {
  return RunMember("", kHelpClearDevice, [&]() -> HRESULT {
    throw Refusal{ReportErrorEx(msg::kClearDeviceNotImplemented, com::E_NOTIMPL, kHelpClearDevice)};
  });
}

HRESULT CCoreVexR7100::Preset() {
  return RunMember("", kHelpPreset, [&]() -> HRESULT {
    throw Refusal{ReportErrorEx(msg::kPresetNotImplemented, com::E_NOTIMPL, kHelpPreset)};
  });
}

HRESULT CCoreVexR7100::ClearStatus() {
  return RunMember("IUtilitiesVexR7100::ClearStatus method failed.", kHelpClearStatus,
                   [&] { return SendWithNoArg("*CLS"); });
}

HRESULT CCoreVexR7100::Reset() {
  return RunMember("IUtilitiesVexR7100::ResetDevice method failed.", kHelpReset,
                   [&] { return SendWithNoArg("*RST"); });
}

HRESULT CCoreVexR7100::DisplayMessage(const Bstr& message) {
  return RunMember("IUtilitiesVexR7100::DisplayMessage method failed.", kHelpDisplayMessage,
                   [&]() -> HRESULT {
                     // No message clears the text.
                     if (!Given(message))
                       return SendWithNoArg(Require(*this, Command(kCmdClearDisplayText)));
                     auto command = Require(*this, Command(kCmdDisplayTextLine));
                     return SendWithNoArg(command + QuotedMessage(*this, message.View()));
                   });
}

HRESULT CCoreVexR7100::Options(Variant* options) {
  if (!options) return com::E_POINTER;
  return RunMember("IUtilitiesVexR7100::Options method failed.", kHelpOptions, [&]() -> HRESULT {
    std::vector<std::string_view> names;
    auto table = OptionTable();
    for (int i = 0; i < kCanonicalOptionCount; ++i) {
      if (model_.option_flags & table[i].mask) names.push_back(table[i].name);
    }
    SafeArray array;
    if (FAILED(SafeArray::Create(com::VT_BSTR, {{static_cast<std::uint32_t>(names.size()), 0}},
                                 &array)))
      return com::E_FAIL;
    auto slots = array.Span<Bstr>();
    for (std::size_t i = 0; i < names.size(); ++i) slots[i] = Bstr(names[i]);
    *options = Variant(std::move(array));
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::get_PanelLock(VARIANT_BOOL* value) {
  if (!value) return com::E_POINTER;
  return RunMember("IUtilitiesVexR7100::PanelLock (read) property failed.", kHelpPanelLock,
                   [&]() -> HRESULT {
                     return QueryOnOff(*this, Require(*this, CommandQuery(kCmdPanelLock)), value);
                   });
}

HRESULT CCoreVexR7100::put_PanelLock(VARIANT_BOOL value) {
  return RunMember("IUtilitiesVexR7100::PanelLock (write) property failed.", kHelpPanelLock,
                   [&]() -> HRESULT {
                     auto command = Require(*this, Command(kCmdPanelLock));
                     return SendWithNoArg(command + std::string(OnOffWord(value)));
                   });
}

HRESULT CCoreVexR7100::RecallState(std::int32_t state_number) {
  return SendState(*this, "IUtilitiesVexR7100::RecallState method failed.", kHelpRecallState,
                   "*RCL", state_number);
}

HRESULT CCoreVexR7100::SaveState(std::int32_t state_number) {
  return SendState(*this, "IUtilitiesVexR7100::SaveState method failed.", kHelpSaveState, "*SAV",
                   state_number);
}

HRESULT CCoreVexR7100::SelfTest(std::int32_t* test_result, Bstr* result_message) {
  if (!test_result || !result_message) return com::E_POINTER;
  return RunMember("IUtilitiesVexR7100::SelfTest method failed.", kHelpSelfTest, [&]() -> HRESULT {
    // The instrument answers when its test is done; the member's end puts
    // the working timeout back.
    ExtendTimeoutForLongTransfer();
    HRESULT hr = io_->Output(Variant("*TST?"));
    com::ComPtr<io::IIOResponse> response;
    com::ComPtr<io::IIOResponseValues> values;
    Variant item;
    if (SUCCEEDED(hr)) hr = io_->Read(response.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr)) hr = response->get_Values(values.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr)) hr = values->put_Format(io::kFormatNumbers);
    if (SUCCEEDED(hr)) hr = values->Item(0, &item);
    if (FAILED(hr)) return LongTransferFailure("The self-test", hr);
    std::int32_t code = 0;
    hr = item.ToI4(&code);
    if (FAILED(hr)) return hr;
    *test_result = code;
    *result_message = Bstr(std::to_string(code));
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::ReadStateData(Variant* state_data) {
  if (!state_data) return com::E_POINTER;
  // The member's end restores the timeout and termination, whichever way
  // the read ends.
  return RunMember("IUtilitiesVexR7100::ReadStateData method failed.", kHelpReadStateData,
                   [&] { return ReadBlock(":SYST:SET?", io::kFormatBlockWithHeader, state_data); });
}

HRESULT CCoreVexR7100::WriteStateData(const Variant& state_data) {
  return RunMember(
      "IUtilitiesVexR7100::WriteStateData method failed.", kHelpWriteStateData, [&]() -> HRESULT {
        if (!IsDefiniteBlock(state_data))
          throw Refusal{ReportErrorEx(msg::kNotLegal, com::E_UNEXPECTED, kHelpWriteStateData)};
        ExtendTimeoutForBytesIfSerial(kSetupTimeoutBytes);
        return WriteTextAndBlock(*this, ":SYST:SET ", state_data);
      });
}

HRESULT CCoreVexR7100::VerifyDevice(const Bstr& model, const Bstr& version,
                                    const Bstr& serial_number, VARIANT_BOOL* verify) {
  if (!verify) return com::E_POINTER;
  return RunMember(
      "IUtilitiesVexR7100::VerifyDevice method failed.", kHelpVerifyDevice, [&]() -> HRESULT {
        bool same = Given(model) ? model.View() == model_name_.View() : model_.IsSupported();
        if (Given(version) && version.View() != firmware_version_.View()) same = false;
        if (Given(serial_number) && serial_number.View() != serial_number_.View()) same = false;
        *verify = same ? com::VARIANT_TRUE : com::VARIANT_FALSE;
        return com::S_OK;
      });
}

}  // namespace vex::server
