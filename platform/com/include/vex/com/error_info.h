// Rich error information: a description, source, help file, help context and
// interface id that travel beside a failure status. Each thread has one
// current error object. A failing layer sets it; the caller reads it with
// GetErrorInfo, which hands it over and clears it, or looks at it with
// PeekErrorInfo, which leaves it in place.
#pragma once

#include <cstdint>

#include "vex/com/bstr.h"
#include "vex/com/com_ptr.h"

namespace vex::com {

struct IErrorInfo : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("1CF2B120-547D-101B-8E65-08002B2BD119");
  virtual HRESULT GetGUID(GUID* guid) = 0;
  virtual HRESULT GetSource(Bstr* source) = 0;
  virtual HRESULT GetDescription(Bstr* description) = 0;
  virtual HRESULT GetHelpFile(Bstr* help_file) = 0;
  virtual HRESULT GetHelpContext(std::uint32_t* help_context) = 0;
};

struct ICreateErrorInfo : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("22F03340-547D-101B-8E65-08002B2BD119");
  virtual HRESULT SetGUID(const GUID& guid) = 0;
  virtual HRESULT SetSource(const Bstr& source) = 0;
  virtual HRESULT SetDescription(const Bstr& description) = 0;
  virtual HRESULT SetHelpFile(const Bstr& help_file) = 0;
  virtual HRESULT SetHelpContext(std::uint32_t help_context) = 0;
};

// Objects that report rich errors answer S_OK for the interfaces whose
// failures carry error information, S_FALSE for the others.
struct ISupportErrorInfo : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("DF0B3D60-548F-101B-8E65-08002B2BD119");
  virtual HRESULT InterfaceSupportsErrorInfo(const IID& iid) = 0;
};

// A new, empty error object.
[[nodiscard]] HRESULT CreateErrorInfo(ICreateErrorInfo** out);
// Installs `info` (or nothing) as the thread's current error; `reserved` must be 0.
HRESULT SetErrorInfo(std::uint32_t reserved, IErrorInfo* info);
// Hands the current error over and clears it; S_FALSE and null when none.
HRESULT GetErrorInfo(std::uint32_t reserved, IErrorInfo** out);
// The current error without clearing it; null when none.
ComPtr<IErrorInfo> PeekErrorInfo();

// One-call helpers for the common case.
struct ErrorDetails {
  Bstr description;
  Bstr source;
  Bstr help_file;
  std::uint32_t help_context = 0;
  GUID iid{};
};
// Creates and installs an error object; returns `status` so a failure path can
// read `return ReportRichError(E_INVALIDARG, "...")`.
HRESULT ReportRichError(HRESULT status, const ErrorDetails& details);
HRESULT ReportRichError(HRESULT status, std::string_view description, std::string_view source = {});
// Reads the current error (leaving it installed); an empty description when none.
ErrorDetails PeekErrorDetails();
// Takes the current error (clearing it).
ErrorDetails TakeErrorDetails();

}  // namespace vex::com
