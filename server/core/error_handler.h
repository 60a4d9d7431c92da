// ErrorHandler ("VexR7100X.ErrorHandler"): turns a message and a status into
// the thread's rich error information, so that every member of the server
// fails the same way. Each reporting object (the core, each wrapper) owns one,
// named by its class and instance names.
#pragma once

#include "vex/com/com.h"
#include "vex/server/vexr7100.h"

namespace vex::server {

class ErrorHandler : public com::Object<IErrorHandler, com::ISupportErrorInfo> {
 public:
  HRESULT get_ClassName(Bstr* name) override;
  HRESULT put_ClassName(const Bstr& name) override;
  HRESULT get_InstanceName(Bstr* name) override;
  HRESULT put_InstanceName(const Bstr& name) override;
  // The plain forms carry help id 4; the Ex forms the caller's help id. The
  // Exception forms put the thread's current error description (left by a
  // lower layer) on a new line after the message. A message that is a
  // number below 65536 loads its text from the module's string resources.
  // The status passed in is returned, DISP_E_EXCEPTION when it is 0.
  HRESULT ReportError(const Variant& message, HRESULT code) override;
  HRESULT ReportException(const Variant& message, HRESULT code) override;
  HRESULT ReportErrorEx(const Variant& message, HRESULT code, std::uint32_t help_id) override;
  HRESULT ReportExceptionEx(const Variant& message, HRESULT code, std::uint32_t help_id) override;
  HRESULT InterfaceSupportsErrorInfo(const com::IID& iid) override;

  VEX_COM_IMPLEMENT_DISPATCH(ErrorHandler, Table())

  // Typed conveniences for the server's own callers.
  HRESULT Error(std::string_view message, HRESULT code, std::uint32_t help_id = 4);
  HRESULT Exception(std::string_view message, HRESULT code, std::uint32_t help_id = 4);

 private:
  static const com::DispatchTable& Table();
  HRESULT Build(const Variant& message, HRESULT code, std::uint32_t help_id, bool chain);

  Bstr class_name_;
  Bstr instance_name_;
};

// A new error handler with its two names set.
com::ComPtr<ErrorHandler> MakeErrorHandler(std::string_view class_name,
                                           std::string_view instance_name);

}  // namespace vex::server
