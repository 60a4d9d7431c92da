// The front-panel run keys and the pass-through I/O members.
#include <algorithm>
#include <string_view>

#include "command_table.h"
#include "core_member.h"
#include "mnemonic_table.h"
#include "vex/system/system.h"

namespace vex::server {
namespace {

// Blanks between a header and its data; a line feed ends a message.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// Whether a message written through the pass-through members leaves a reply
// in the instrument: whether one of its program message units is a query,
// its header ending in '?' (":MEAS:FREQ? CHAN1" is one, with a parameter).
// Units end at ';' or a line feed; quoted strings, in double or single
// quotes (a doubled quote inside stays inside), and the data of
// definite-length blocks are skipped, so a ';' or '?' in them counts for
// nothing. An indefinite block ("#0") runs to the end of the message.
bool HoldsQuery(std::string_view message) {
  bool query = false;
  std::size_t header_start = std::string_view::npos;  // in the current unit
  bool header_done = false;
  auto end_header = [&](std::size_t end) {
    if (header_start != std::string_view::npos && end > header_start && message[end - 1] == '?')
      query = true;
    header_done = true;
  };
  for (std::size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (c == ';' || c == '\n') {
      if (!header_done) end_header(i);
      header_start = std::string_view::npos;
      header_done = false;
      continue;
    }
    if (!header_done) {
      if (header_start == std::string_view::npos) {
        if (IsBlank(c)) continue;
        header_start = i;
      }
      if (IsBlank(c) || c == '"' || c == '\'' || c == '#') end_header(i);
    }
    if (c == '"' || c == '\'') {
      const std::size_t close = message.find(c, i + 1);
      if (close == std::string_view::npos) break;  // the string runs to the end
      i = close;  // a doubled quote closes the string and opens it again
    } else if (c == '#' && i + 1 < message.size() && message[i + 1] >= '0' &&
               message[i + 1] <= '9') {
      const std::size_t digits = static_cast<std::size_t>(message[i + 1] - '0');
      if (digits == 0) break;  // an indefinite block: data to the end
      std::size_t length = 0, pos = i + 2;
      for (; pos < i + 2 + digits && pos < message.size(); ++pos) {
        if (message[pos] < '0' || message[pos] > '9') break;
        length = length * 10 + static_cast<std::size_t>(message[pos] - '0');
      }
      if (pos != i + 2 + digits) break;  // a broken block header: no telling where data ends
      i = std::min(pos + length, message.size()) - 1;  // the loop steps past the data
    }
  }
  if (!header_done) end_header(message.size());
  return query;
}

// The text of what Output writes: a string or the bytes of a byte array.
// Anything else the I/O object turns into text of its own is no query.
bool OutputHoldsQuery(const Variant& buffer) {
  const Variant value = buffer.Dereferenced();
  if (value.vt() == com::VT_BSTR) return HoldsQuery(value.BstrVal().View());
  if (value.vt() == (com::VT_ARRAY | com::VT_UI1) && value.Array()) {
    auto bytes = value.Array()->Span<const std::uint8_t>();
    return HoldsQuery(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  return false;
}

}  // namespace

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
  const DeviceCheck check =
      OutputHoldsQuery(output_buffer) ? DeviceCheck::kNone : DeviceCheck::kAfterTransfers;
  return RunMember(
      msg::kOutputFailed, 75, [&] { return io_->Output(output_buffer); }, check);
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
  // The bytes that will be written, when the count is one the body accepts.
  auto bytes = buffer.Span<const std::uint8_t>();
  const bool query = count >= 0 && static_cast<std::size_t>(count) <= bytes.size() &&
                     HoldsQuery(std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::size_t>(count)));
  return RunMember(
      msg::kWriteBytesFailed, 77,
      [&]() -> HRESULT {
        if (count < 0 || static_cast<std::size_t>(count) > buffer.ElementCount())
          throw Refusal{ReportErrorEx(msg::kOutOfRange, com::E_INVALIDARG, 77)};
        return io_->WriteBytes(count, buffer);
      },
      query ? DeviceCheck::kNone : DeviceCheck::kAfterTransfers);
}

}  // namespace vex::server
