// The front-panel run keys and the pass-through I/O members.
#include "command_table.h"
#include "core_member.h"
#include "mnemonic_table.h"
#include "vex/system/system.h"

namespace vex::server {

HRESULT CCoreVexR7100::AutoScale() {
  return RunMember(msg::kAutoScaleFailed, 7, [&] { return SendWithNoArg(":AUT"); });
}

HRESULT CCoreVexR7100::StopTrigger() {
  return RunMember(msg::kStopTriggerFailed, 51, [&] { return SendWithNoArg(":STOP"); });
}

HRESULT CCoreVexR7100::Run() {
  return RunMember(msg::kRunFailed, 14, [&]() -> HRESULT {
    auto command = Command(kCmdRun);
    if (!command) throw Refusal{NotSupported()};
    return SendWithNoArg(*command);
  });
}

HRESULT CCoreVexR7100::SingleTrigger() {
  return RunMember(msg::kSingleTriggerFailed, 28, [&]() -> HRESULT {
    auto command = Command(kCmdSingle);
    if (!command) throw Refusal{NotSupported()};
    return SendWithNoArg(*command);
  });
}

HRESULT CCoreVexR7100::Digitize() {
  return RunMember(msg::kDigitizeFailed, 8, [&]() -> HRESULT {
    std::string list;
    for (int channel = 1; channel <= model_.AnalogChannels(); ++channel) {
      auto name = ChannelName(channel);
      if (!name) continue;
      Bstr reply;
      HRESULT hr = QueryForBstrResult(std::string(*name) + ":DISP?", &reply);
      if (FAILED(hr)) return hr;
      auto on = OnOffTable().ValueOfReply(reply.View());
      if (!on) throw Refusal{ReportErrorEx(msg::kResponseNotRecognized, com::E_FAIL, 8)};
      if (*on == 1) list += (list.empty() ? "" : ",") + std::string(*name);
    }
    if (list.empty()) return com::S_OK;
    HRESULT hr = SendWithVariantArg(":DIG", Variant(list));
    if (FAILED(hr)) return hr;
    vex::system::Sleep(500);
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::Enter(Variant* result, const Bstr& format) {
  if (!result) return com::E_POINTER;
  return RunMember(msg::kEnterFailed, 74, [&] { return io_->Enter(result, format); });
}

HRESULT CCoreVexR7100::Output(const Variant& output_buffer) {
  return RunMember(msg::kOutputFailed, 75, [&] { return io_->Output(output_buffer); });
}

HRESULT CCoreVexR7100::ReadBytes(std::int32_t* count, SafeArray* buffer) {
  if (!count || !buffer) return com::E_POINTER;
  return RunMember(msg::kReadBytesFailed, 76, [&]() -> HRESULT {
    if (*count < 0 || static_cast<std::size_t>(*count) > buffer->ElementCount())
      throw Refusal{ReportErrorEx(msg::kOutOfRange, com::E_INVALIDARG, 76)};
    return io_->ReadBytes(count, buffer);
  });
}

HRESULT CCoreVexR7100::WriteBytes(std::int32_t count, const SafeArray& buffer) {
  return RunMember(msg::kWriteBytesFailed, 77, [&]() -> HRESULT {
    if (count < 0 || static_cast<std::size_t>(count) > buffer.ElementCount())
      throw Refusal{ReportErrorEx(msg::kOutOfRange, com::E_INVALIDARG, 77)};
    return io_->WriteBytes(count, buffer);
  });
}

}  // namespace vex::server
