#include "error_handler.h"

#include "messages.h"

namespace vex::server {
namespace {

// The server's string resources; messages given by number are looked up here.
const com::StringTable& ServerStrings() {
  static const com::StringTable table;
  return table;
}

}  // namespace

HRESULT ErrorHandler::get_ClassName(Bstr* name) {
  if (!name) return com::E_POINTER;
  *name = class_name_.IsNull() ? Bstr("Unknown") : class_name_;
  return com::S_OK;
}

HRESULT ErrorHandler::put_ClassName(const Bstr& name) {
  if (name.IsNull()) return com::E_UNEXPECTED;
  class_name_ = name;
  return com::S_OK;
}

HRESULT ErrorHandler::get_InstanceName(Bstr* name) {
  if (!name) return com::E_POINTER;
  *name = instance_name_.IsNull() ? Bstr("Unknown") : instance_name_;
  return com::S_OK;
}

HRESULT ErrorHandler::put_InstanceName(const Bstr& name) {
  if (name.IsNull()) return com::E_UNEXPECTED;
  instance_name_ = name;
  return com::S_OK;
}

HRESULT ErrorHandler::Build(const Variant& message, HRESULT code, std::uint32_t help_id,
                            bool chain) {
  std::string text;
  HRESULT status = code;
  Variant number;
  bool numeric = message.vt() != com::VT_BSTR && message.vt() != com::VT_EMPTY &&
                 SUCCEEDED(message.ChangeType(com::VT_I4, &number)) && number.I4() >= 0 &&
                 number.I4() < 65536;
  if (numeric) {
    text = ServerStrings().Load(static_cast<std::uint32_t>(number.I4()), 1024, "Unknown Error");
    if (status == 0) status = com::MakeObjectHresult(static_cast<std::uint16_t>(number.I4()));
  } else {
    text = message.BstrVal().Str();
  }
  std::uint32_t context = help_id;
  if (chain) {
    // Whatever goes wrong while combining falls back to the message alone.
    try {
      com::ErrorDetails lower = com::PeekErrorDetails();
      if (com::PeekErrorInfo() && !lower.description.IsNull()) {
        std::string cause = lower.description.Str();
        if (cause == msg::kNoErrorDescription) cause = msg::kUnidentifiedLowerLevel;
        text += "\n" + cause;
      }
    } catch (...) {
    }
  }
  com::ErrorDetails details;
  details.description = Bstr(text);
  details.source = Bstr(msg::kErrorHandlerSource);
  if (context != 0) {
    details.help_file = Bstr(msg::kHelpFile);
    details.help_context = context;
  }
  com::ReportRichError(status, details);
  return status == 0 ? com::DISP_E_EXCEPTION : status;
}

HRESULT ErrorHandler::ReportError(const Variant& message, HRESULT code) {
  return Build(message, code, msg::kHelpDefault, false);
}
HRESULT ErrorHandler::ReportException(const Variant& message, HRESULT code) {
  return Build(message, code, msg::kHelpDefault, true);
}
HRESULT ErrorHandler::ReportErrorEx(const Variant& message, HRESULT code, std::uint32_t help_id) {
  return Build(message, code, help_id, false);
}
HRESULT ErrorHandler::ReportExceptionEx(const Variant& message, HRESULT code,
                                        std::uint32_t help_id) {
  // Without a lower-level error this is the plain form, help id 4 included.
  return Build(message, code, com::PeekErrorInfo() ? help_id : msg::kHelpDefault, true);
}

HRESULT ErrorHandler::Error(std::string_view message, HRESULT code, std::uint32_t help_id) {
  return Build(Variant(message), code, help_id, false);
}
HRESULT ErrorHandler::Exception(std::string_view message, HRESULT code, std::uint32_t help_id) {
  return ReportExceptionEx(Variant(message), code, help_id);
}

HRESULT ErrorHandler::InterfaceSupportsErrorInfo(const com::IID& iid) {
  return iid == IErrorHandler::kIid ? com::S_OK : com::S_FALSE;
}

const com::DispatchTable& ErrorHandler::Table() {
  using com::In;
  static const com::DispatchTable table =
      com::DispatchTableBuilder<ErrorHandler>("IErrorHandler", "IErrorHandler")
          .Get("ClassName", 0x1, &IErrorHandler::get_ClassName)
          .Put("ClassName", 0x1, &IErrorHandler::put_ClassName, {In("ClassName")})
          .Get("InstanceName", 0x2, &IErrorHandler::get_InstanceName)
          .Put("InstanceName", 0x2, &IErrorHandler::put_InstanceName, {In("InstanceName")})
          .Method("ReportError", 0x3, &IErrorHandler::ReportError,
                  {In("ErrorMessage"), In("ErrorCode")})
          .Method("ReportException", 0x5, &IErrorHandler::ReportException,
                  {In("ErrorMessage"), In("ErrorCode")})
          .Method("ReportErrorEx", 0x6, &IErrorHandler::ReportErrorEx,
                  {In("ErrorMessage"), In("ErrorCode"), In("HelpId")})
          .Method("ReportExceptionEx", 0x7, &IErrorHandler::ReportExceptionEx,
                  {In("ErrorMessage"), In("ErrorCode"), In("HelpId")})
          .Build();
  return table;
}

com::ComPtr<ErrorHandler> MakeErrorHandler(std::string_view class_name,
                                           std::string_view instance_name) {
  auto handler = com::MakeObject<ErrorHandler>();
  (void)handler->put_ClassName(Bstr(class_name));
  (void)handler->put_InstanceName(Bstr(instance_name));
  return handler;
}

}  // namespace vex::server
