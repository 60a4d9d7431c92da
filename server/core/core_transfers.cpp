// The send and query operations, the transfer-state helpers and the
// definite-length block check.
#include <algorithm>
#include <limits>
#include <string>

#include "core_member.h"
#include "reply_number.h"

namespace vex::server {
namespace {

constexpr const char* kSendNoArgFailed = "CCoreVexR7100::SendWithNoArg() method failed.";
constexpr const char* kSendLongFailed = "CCoreVexR7100::SendWithLongArg() method failed.";
constexpr const char* kSendVariantFailed = "CCoreVexR7100::SendWithVariantArg() method failed.";
constexpr const char* kQueryLongFailed = "CCoreVexR7100::QueryForLongResult() method failed.";
constexpr const char* kQueryDoubleFailed = "CCoreVexR7100::QueryForDoubleResult() method failed.";
constexpr const char* kQueryBstrFailed = "CCoreVexR7100::QueryForBstrResult() method failed.";
constexpr const char* kQueryVariantFailed = "CCoreVexR7100::QueryForVariantResult() method failed.";

// Working timeout plus an extension, in 64 bits, held to the 32-bit range.
std::int32_t SaturatedTimeout(std::int64_t milliseconds) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(milliseconds, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

HRESULT CCoreVexR7100::SendWithNoArg(std::string_view command) {
  if (!io_) return ReportException(kSendNoArgFailed, com::E_FAIL);
  HRESULT hr = io_->Output(Variant(command));
  if (FAILED(hr)) return ReportException(kSendNoArgFailed, hr);
  return com::S_OK;
}

namespace {
// The command formatter joins the text and the argument.
HRESULT SendWithArgument(io::IIO* io, std::string_view command, const Variant& argument) {
  if (!io) return com::E_FAIL;
  com::ComPtr<io::IIOCommand> formatter;
  HRESULT hr = io->Command(formatter.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = formatter->SetCommand(Bstr(command), 0);
  if (SUCCEEDED(hr)) hr = formatter->SetArgument(1, argument);
  if (SUCCEEDED(hr)) hr = formatter->Send(Variant(""));
  return hr;
}
}  // namespace

HRESULT CCoreVexR7100::SendWithVariantArg(std::string_view command, const Variant& argument) {
  HRESULT hr = SendWithArgument(io_.Get(), command, argument);
  if (FAILED(hr)) return ReportException(kSendVariantFailed, hr);
  return com::S_OK;
}

HRESULT CCoreVexR7100::SendWithLongArg(std::string_view command, std::int32_t argument) {
  HRESULT hr = SendWithArgument(io_.Get(), command, Variant(argument));
  if (FAILED(hr)) return ReportException(kSendLongFailed, hr);
  return com::S_OK;
}

// One write, then one read: the reply's value in its default form.
// Without a failure message the status is returned unreported.
HRESULT CCoreVexR7100::Query(std::string_view command, Variant* value, const char* failure) {
  if (!io_) return failure ? ReportException(failure, com::E_FAIL) : com::E_FAIL;
  HRESULT hr = io_->Output(Variant(command));
  com::ComPtr<io::IIOResponse> response;
  com::ComPtr<io::IIOResponseValues> values;
  if (SUCCEEDED(hr)) hr = io_->Read(response.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = response->get_Values(values.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = values->get_Value(value);
  if (FAILED(hr)) return failure ? ReportException(failure, hr) : hr;
  return com::S_OK;
}

HRESULT CCoreVexR7100::QueryForLongResult(std::string_view command, std::int32_t* result) {
  if (!result) return com::E_POINTER;
  Variant value;
  HRESULT hr = Query(command, &value, kQueryLongFailed);
  if (FAILED(hr)) return hr;
  // A reply that is no number is the server's own finding: status 0.
  if (FAILED(value.ToI4(result))) return ReportException(kQueryLongFailed, 0);
  return com::S_OK;
}

HRESULT CCoreVexR7100::QueryForDoubleResult(std::string_view command, double* result) {
  if (!result) return com::E_POINTER;
  Variant value;
  HRESULT hr = Query(command, &value, kQueryDoubleFailed);
  if (FAILED(hr)) return hr;
  *result = NumberOfReply(value);
  return com::S_OK;
}

double CCoreVexR7100::NumberOfReply(const Variant& reply) {
  auto number = ReplyNumber(reply);
  if (!number) throw Refusal{ReportError(msg::kResponseNotRecognized, com::E_FAIL)};
  return *number;
}

HRESULT CCoreVexR7100::QueryForBstrResult(std::string_view command, Bstr* result) {
  if (!result) return com::E_POINTER;
  Variant value;
  HRESULT hr = Query(command, &value, kQueryBstrFailed);
  if (FAILED(hr)) return hr;
  if (FAILED(value.ToBstr(result))) return ReportException(kQueryBstrFailed, 0);
  return com::S_OK;
}

HRESULT CCoreVexR7100::QueryForVariantResult(std::string_view command, Variant* result) {
  if (!result) return com::E_POINTER;
  return Query(command, result, kQueryVariantFailed);
}

HRESULT CCoreVexR7100::SetIOTimeout(std::int64_t milliseconds) {
  if (!io_) return com::S_OK;
  return io_->put_Timeout(SaturatedTimeout(milliseconds));
}

bool CCoreVexR7100::ExtendTimeoutIfSerial(std::int32_t milliseconds) {
  if (!model_.IsSerial()) return false;
  ExtendTimeout(milliseconds);
  return true;
}

bool CCoreVexR7100::ExtendTimeoutForBytesIfSerial(std::int64_t count) {
  if (!model_.IsSerial()) return false;
  (void)SetIOTimeout(static_cast<std::int64_t>(timeout_) + 10 * std::max<std::int64_t>(count, 0));
  timeout_extended_ = true;
  return true;
}

void CCoreVexR7100::ExtendTimeout(std::int32_t milliseconds) {
  (void)SetIOTimeout(static_cast<std::int64_t>(timeout_) + milliseconds);
  timeout_extended_ = true;
}

std::int32_t CCoreVexR7100::LongTransferTimeout() const {
  const std::int64_t scaled = static_cast<std::int64_t>(timeout_) * kLongTransferFactor;
  return SaturatedTimeout(
      std::max<std::int64_t>(timeout_, std::min<std::int64_t>(scaled, kLongTransferCapMs)));
}

void CCoreVexR7100::ExtendTimeoutForLongTransfer() {
  (void)SetIOTimeout(LongTransferTimeout());
  timeout_extended_ = true;
}

std::string CCoreVexR7100::LongTransferTimedOut(std::string_view what) const {
  const std::int64_t scaled = static_cast<std::int64_t>(timeout_) * kLongTransferFactor;
  const std::string limit = std::to_string(LongTransferTimeout()) + " ms";
  const std::string factor = std::to_string(kLongTransferFactor) + " \u00d7 the " +
                             std::to_string(timeout_) + " ms timeout";
  std::string how;
  if (scaled <= kLongTransferCapMs) {
    how = factor;
  } else if (timeout_ < kLongTransferCapMs) {
    how = "the cap for long transfers; " + factor + " would be " + std::to_string(scaled) + " ms";
  } else {
    how = "the timeout itself, above the " + std::to_string(kLongTransferCapMs) +
          " ms cap for long transfers";
  }
  return std::string(what) + " timed out after " + limit + " (" + how + ").";
}

HRESULT CCoreVexR7100::LongTransferFailure(std::string_view what, HRESULT status) {
  if (status != kIOTimeoutStatus) return status;
  return ReportException(LongTransferTimedOut(what), status);
}

void CCoreVexR7100::RestoreTransferState() {
  if (!io_) return;
  if (model_.IsSerial()) (void)io_->put_TermChar(10);
  if (timeout_extended_) {
    (void)SetIOTimeout(timeout_);
    timeout_extended_ = false;
  }
}

bool CCoreVexR7100::IsDefiniteBlock(const Variant& block) {
  const SafeArray* array = block.Array();
  if (block.vt() != (com::VT_ARRAY | com::VT_UI1) || array == nullptr || array->Dims() != 1)
    return false;
  auto bytes = array->Span<const std::uint8_t>();
  // Check that each part is there before reading it.
  if (bytes.size() < 2 || bytes[0] != '#' || bytes[1] < '0' || bytes[1] > '9') return false;
  std::size_t digits = bytes[1] - '0';
  if (bytes.size() < digits + 2) return false;
  std::uint64_t length = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    std::uint8_t c = bytes[2 + i];
    if (c < '0' || c > '9') return false;
    length = length * 10 + (c - '0');  // at most 9 digits: fits easily in 64 bits
  }
  return bytes.size() - digits - 2 >= length;
}

HRESULT CCoreVexR7100::ReadBlock(std::string_view query, std::int16_t format_code, Variant* block) {
  if (!block) return com::E_POINTER;
  ExtendTimeoutIfSerial(5000);
  HRESULT hr = SendWithNoArg(query);
  if (FAILED(hr)) return hr;
  std::int16_t saved_term = 10;
  bool serial = model_.IsSerial();
  if (serial) {
    (void)io_->get_TermChar(&saved_term);
    (void)io_->put_TermChar(-1);
  }
  com::ComPtr<io::IIOResponse> response;
  com::ComPtr<io::IIOResponseValues> values;
  hr = io_->Read(response.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = response->get_Values(values.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = values->put_Format(format_code);
  if (SUCCEEDED(hr)) hr = values->get_Value(block);
  values.Reset();
  response.Reset();
  if (serial) (void)io_->put_TermChar(saved_term);
  if (FAILED(hr)) return hr;
  // Data read with the block formats was checked by the I/O component; a
  // whole reply keeps its header and is checked here.
  if (format_code == io::kFormatBlockWithHeader && !IsDefiniteBlock(*block)) {
    block->Clear();
    throw Refusal{ReportError(msg::kCorruptBlock, com::E_FAIL)};
  }
  return com::S_OK;
}

}  // namespace vex::server
