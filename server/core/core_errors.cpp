// Error reports, the device-error check and the instrument's error queue.
#include <cstring>

#include "core_member.h"
#include "scpi_error_table.h"

namespace vex::server {

namespace {
constexpr const char* kQueryInstrumentErrorFailed =
    "IUtilitiesVexR7100::QueryInstrumentError method failed.";
constexpr const char* kLogSource = "CCoreVexR7100::Core Server Object";

// Runs `report` the way every core report runs: the lower-level error is
// kept aside while the transfer state is restored and the I/O object
// recovers, so that the Exception forms see it and not a side effect.
template <class Report>
HRESULT CoreReport(CCoreVexR7100* core, io::IIO* io, Report&& report) {
  com::ComPtr<com::IErrorInfo> aside;
  (void)com::GetErrorInfo(0, aside.ReleaseAndGetAddressOf());
  core->RestoreTransferState();
  if (io) (void)io->RecoverAfterError();
  com::SetErrorInfo(0, aside.Get());
  return report();
}
}  // namespace

// Forwards a report's message to the log. The report's error information
// stays as it is, and a failing forward is dropped rather than reported.
void CCoreVexR7100::LogReport(std::string_view message) {
  com::ComPtr<com::IErrorInfo> report = com::PeekErrorInfo();
  logging_in_report_ = true;
  (void)WriteLog(Bstr(kLogSource), io::LogLevel_Error, Bstr(message));
  logging_in_report_ = false;
  com::SetErrorInfo(0, report.Get());
}

HRESULT CCoreVexR7100::ReportError(std::string_view message, HRESULT code) {
  HRESULT hr =
      CoreReport(this, io_.Get(), [&] { return errors_->ReportError(Variant(message), code); });
  LogReport(message);
  return hr;
}

HRESULT CCoreVexR7100::ReportException(std::string_view message, HRESULT code) {
  HRESULT hr =
      CoreReport(this, io_.Get(), [&] { return errors_->ReportException(Variant(message), code); });
  LogReport(message);
  return hr;
}

HRESULT CCoreVexR7100::ReportErrorEx(std::string_view message, HRESULT code,
                                     std::uint32_t help_id) {
  HRESULT hr = CoreReport(this, io_.Get(),
                          [&] { return errors_->ReportErrorEx(Variant(message), code, help_id); });
  LogReport(message);
  return hr;
}

HRESULT CCoreVexR7100::ReportExceptionEx(std::string_view message, HRESULT code,
                                         std::uint32_t help_id) {
  HRESULT hr = CoreReport(
      this, io_.Get(), [&] { return errors_->ReportExceptionEx(Variant(message), code, help_id); });
  LogReport(message);
  return hr;
}

HRESULT CCoreVexR7100::NotConnected() {
  return ReportErrorEx(msg::kNotConnected, com::E_FAIL, msg::kHelpConnection);
}

HRESULT CCoreVexR7100::NotSupported() {
  return ReportError(msg::kNotSupported, com::E_FAIL);
}

bool CCoreVexR7100::TestForDeviceErrors(Bstr* text) {
  std::int32_t esr = 0;
  if (FAILED(QueryForLongResult("*ESR?", &esr))) {
    if (text) *text = Bstr(msg::kTestForDeviceErrorsFailed);
    return true;
  }
  std::string found;
  if (esr & 0x20) found += "\tCommand ";
  if (esr & 0x10) found += "\tExecution ";
  if (esr & 0x08) found += "\tDevice-Dependent ";
  if (esr & 0x04) found += "\tQuery ";
  if (found.empty()) {
    if (text) *text = Bstr(msg::kNoDeviceErrors);
    return false;
  }
  if (text) *text = Bstr(std::string(msg::kDeviceErrorsFound) + found);
  return true;
}

HRESULT CCoreVexR7100::DeviceErrorCheck(bool* failed) {
  *failed = false;
  if (!detect_errors_) return com::S_OK;
  Bstr text;
  if (!TestForDeviceErrors(&text)) return com::S_OK;
  *failed = true;
  return ReportErrorEx(text.View(), com::E_FAIL, msg::kHelpDeviceErrors);
}

bool CCoreVexR7100::IsCurrentError(std::string_view message, HRESULT expected, HRESULT actual) {
  if (expected != actual) return false;
  com::ComPtr<com::IErrorInfo> info = com::PeekErrorInfo();
  if (!info) return false;
  Bstr description;
  return SUCCEEDED(info->GetDescription(&description)) && description == message;
}

HRESULT CCoreVexR7100::QueryInstrumentError(std::int32_t* error_number, Bstr* error_description) {
  if (!error_number || !error_description) return com::E_POINTER;
  // The outputs are defined on every path, the unrecognised reply included.
  *error_number = 0;
  *error_description = Bstr::Empty();
  HRESULT status = com::S_OK;
  HRESULT hr =
      RunMember(kQueryInstrumentErrorFailed, msg::kHelpQueryInstrumentError, [&]() -> HRESULT {
        Variant reply;
        HRESULT read = Query(":SYST:ERR?", &reply, nullptr);
        if (FAILED(read)) return read;
        Bstr text;
        if (FAILED(reply.ToBstr(&text))) return com::E_FAIL;
        // Replies are cut at 1023 characters.
        std::string_view answer = text.View().substr(0, 1023);
        auto is_separator = [](char c) { return c == ',' || c == '\n' || c == '\r'; };
        std::vector<std::string_view> tokens;
        std::size_t i = 0;
        while (i < answer.size() && tokens.size() < 2) {
          while (i < answer.size() && is_separator(answer[i])) ++i;
          std::size_t start = i;
          while (i < answer.size() && !is_separator(answer[i])) ++i;
          if (i > start) tokens.push_back(answer.substr(start, i - start));
        }
        if (tokens.empty()) {
          // Status 1: a success that carries error information, which the
          // connect-time drain of the queue relies on.
          status = ReportError(msg::kResponseNotRecognized, 1);
          throw Refusal{status};
        }
        *error_number = com::ParseLongLenient(tokens[0]);
        *error_description =
            tokens.size() > 1 ? Bstr(tokens[1]) : Bstr(ScpiErrorText(*error_number));
        return com::S_OK;
      });
  return hr;
}

HRESULT CCoreVexR7100::DrainErrorQueue() {
  // At most 100 reads: an instrument that never reports "no error" must not
  // hold the connection forever.
  for (int i = 0; i < 100; ++i) {
    std::int32_t number = 0;
    Bstr description;
    HRESULT hr = QueryInstrumentError(&number, &description);
    if (FAILED(hr)) return hr;
    if (hr == 1 || number == 0) return com::S_OK;
  }
  return com::S_OK;
}

}  // namespace vex::server
