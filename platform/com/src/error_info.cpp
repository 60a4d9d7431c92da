#include "vex/com/error_info.h"

namespace vex::com {
namespace {

class ErrorObject : public Object<IErrorInfo, ICreateErrorInfo> {
 public:
  HRESULT GetGUID(GUID* guid) override { return Give(guid, iid_); }
  HRESULT GetSource(Bstr* source) override { return Give(source, source_); }
  HRESULT GetDescription(Bstr* description) override { return Give(description, description_); }
  HRESULT GetHelpFile(Bstr* help_file) override { return Give(help_file, help_file_); }
  HRESULT GetHelpContext(std::uint32_t* context) override { return Give(context, help_context_); }

  HRESULT SetGUID(const GUID& guid) override { return Take(&iid_, guid); }
  HRESULT SetSource(const Bstr& source) override { return Take(&source_, source); }
  HRESULT SetDescription(const Bstr& description) override {
    return Take(&description_, description);
  }
  HRESULT SetHelpFile(const Bstr& help_file) override { return Take(&help_file_, help_file); }
  HRESULT SetHelpContext(std::uint32_t context) override { return Take(&help_context_, context); }

 private:
  template <class T>
  static HRESULT Give(T* out, const T& value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
  }
  template <class T>
  static HRESULT Take(T* field, const T& value) {
    *field = value;
    return S_OK;
  }

  GUID iid_{};
  Bstr source_, description_, help_file_;
  std::uint32_t help_context_ = 0;
};

// The thread's current error. Objects are apartment-bound, so one slot per
// thread is the whole state.
thread_local ComPtr<IErrorInfo> t_current_error;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    auto object = MakeObject<ErrorObject>();
    *out = static_cast<ICreateErrorInfo*>(object.Detach());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT SetErrorInfo(std::uint32_t reserved, IErrorInfo* info) {
  if (reserved != 0) return E_INVALIDARG;
  t_current_error = info;
  return S_OK;
}

HRESULT GetErrorInfo(std::uint32_t reserved, IErrorInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (reserved != 0) return E_INVALIDARG;
  if (!t_current_error) return S_FALSE;
  *out = t_current_error.Detach();
  return S_OK;
}

ComPtr<IErrorInfo> PeekErrorInfo() {
  return t_current_error;
}

HRESULT ReportRichError(HRESULT status, const ErrorDetails& details) {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.ReleaseAndGetAddressOf()))) return status;
  (void)create->SetGUID(details.iid);
  (void)create->SetSource(details.source);
  (void)create->SetDescription(details.description);
  (void)create->SetHelpFile(details.help_file);
  (void)create->SetHelpContext(details.help_context);
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
  return status;
}

HRESULT ReportRichError(HRESULT status, std::string_view description, std::string_view source) {
  ErrorDetails details;
  details.description = Bstr(description);
  if (!source.empty()) details.source = Bstr(source);
  return ReportRichError(status, details);
}

namespace {
ErrorDetails Read(IErrorInfo* info) {
  ErrorDetails details;
  if (!info) return details;
  (void)info->GetDescription(&details.description);
  (void)info->GetSource(&details.source);
  (void)info->GetHelpFile(&details.help_file);
  (void)info->GetHelpContext(&details.help_context);
  (void)info->GetGUID(&details.iid);
  return details;
}
}  // namespace

ErrorDetails PeekErrorDetails() {
  return Read(t_current_error.Get());
}

ErrorDetails TakeErrorDetails() {
  ComPtr<IErrorInfo> info;
  (void)GetErrorInfo(0, info.ReleaseAndGetAddressOf());
  return Read(info.Get());
}

}  // namespace vex::com
