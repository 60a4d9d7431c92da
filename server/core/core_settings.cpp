// Settings, persistence, component information and log forwarding.
#include "core_member.h"

#ifndef VEX_SERVER_VERSION
#define VEX_SERVER_VERSION "3, 0, 185, 0"
#endif
#ifndef VEX_SERVER_BUILD_STAMP
#define VEX_SERVER_BUILD_STAMP "unknown build time"
#endif

namespace vex::server {
namespace {

constexpr const char* kTimeoutRead = "IUtilitiesVexR7100::Timeout (read) property failed.";
constexpr const char* kTimeoutWrite = "IUtilitiesVexR7100::Timeout (write) property failed.";
constexpr std::uint32_t kHelpTimeout = 80;

HRESULT GetFlag(bool flag, VARIANT_BOOL* out) {
  if (!out) return com::E_POINTER;
  *out = com::ToVariantBool(flag);
  return com::S_OK;
}

// Flags are set only by -1 (true); every other value clears them.
bool FlagFrom(VARIANT_BOOL value) {
  return value == com::VARIANT_TRUE;
}

HRESULT GetText(const Bstr& text, Bstr* out) {
  if (!out) return com::E_POINTER;
  *out = text;
  return com::S_OK;
}

}  // namespace

HRESULT CCoreVexR7100::get_DetectDeviceErrors(VARIANT_BOOL* value) {
  return GetFlag(detect_errors_, value);
}
HRESULT CCoreVexR7100::put_DetectDeviceErrors(VARIANT_BOOL value) {
  detect_errors_ = FlagFrom(value);
  return com::S_OK;
}
HRESULT CCoreVexR7100::get_LogInterface(VARIANT_BOOL* on) {
  return GetFlag(log_, on);
}
HRESULT CCoreVexR7100::put_LogInterface(VARIANT_BOOL on) {
  log_ = FlagFrom(on);
  return com::S_OK;
}
HRESULT CCoreVexR7100::get_RangeChecking(VARIANT_BOOL* enabled) {
  return GetFlag(range_checking_, enabled);
}
HRESULT CCoreVexR7100::put_RangeChecking(VARIANT_BOOL enabled) {
  range_checking_ = FlagFrom(enabled);
  return com::S_OK;
}
HRESULT CCoreVexR7100::get_InstanceName(Bstr* name) {
  return GetText(instance_name_, name);
}
HRESULT CCoreVexR7100::put_InstanceName(const Bstr& name) {
  instance_name_ = name;
  return com::S_OK;
}

HRESULT CCoreVexR7100::get_Timeout(std::int32_t* value) {
  if (!value) return com::E_POINTER;
  return RunMember(kTimeoutRead, kHelpTimeout, [&]() -> HRESULT {
    std::int32_t current = 0;
    HRESULT hr = io_->get_Timeout(&current);
    if (FAILED(hr)) return hr;
    timeout_ = current;
    *value = current;
    return com::S_OK;
  });
}

HRESULT CCoreVexR7100::put_Timeout(std::int32_t value) {
  return RunMember(kTimeoutWrite, kHelpTimeout, [&]() -> HRESULT {
    if (value < 0 || value > kMaxTimeoutMs)
      throw Refusal{ReportErrorEx(msg::kOutOfRange, com::E_UNEXPECTED, kHelpTimeout)};
    timeout_ = value;
    timeout_extended_ = false;
    return io_->put_Timeout(value);
  });
}

HRESULT CCoreVexR7100::get_ComponentDescription(Bstr* text) {
  return GetText(Bstr("Vexan Technologies Trelvo Travium Instrument Automation Server"), text);
}
HRESULT CCoreVexR7100::get_ComponentManufacturer(Bstr* text) {
  return GetText(Bstr("Vexan Technologies"), text);
}
HRESULT CCoreVexR7100::get_ComponentVersion(Bstr* text) {
  return GetText(Bstr(VEX_SERVER_VERSION " (" VEX_SERVER_BUILD_STAMP ")"), text);
}
HRESULT CCoreVexR7100::get_ComponentProgID(Bstr* text) {
  if (!text) return com::E_POINTER;
  HRESULT hr = com::ProgIDFromCLSID(kCoreVexR7100Clsid, text);
  if (FAILED(hr))
    return ReportExceptionEx("IUtilitiesVexR7100::ComponentProgID (read) property failed.",
                             com::E_FAIL, 38);
  return com::S_OK;
}

HRESULT CCoreVexR7100::WriteLog(const Bstr& source, io::LogLevel level, const Bstr& message) {
  if (!log_ || easy_ == nullptr) return com::S_OK;
  com::ComPtr<IForwardWriteLog> forward;
  HRESULT hr = com::ComPtr<IUnknown>(easy_).As(&forward);
  if (SUCCEEDED(hr)) hr = forward->ForwardWriteLog(source, level, message);
  if (FAILED(hr)) {
    // A forward that fails while a report is being made is dropped: the
    // report in progress stands, and no second report starts.
    if (logging_in_report_) return hr;
    logging_in_report_ = true;
    HRESULT reported = ReportExceptionEx("VexR7100EZ::WriteLog method failed.", hr, 57);
    logging_in_report_ = false;
    return reported;
  }
  return com::S_OK;
}

// ---- Persistence ----

namespace {
constexpr const char* kKeys[10] = {"DetectDeviceErrors",
                                   "LogInterface",
                                   "RangeChecking",
                                   "Timeout",
                                   "IOProgID",
                                   "InstrumentManufacturer",
                                   "InstrumentModel",
                                   "InstrumentSerialNumber",
                                   "InstrumentFirmwareVersion",
                                   "InstanceName"};
constexpr const char* kLoadFailed = "IPersistPropertyBag::Load method failed.";
constexpr const char* kSaveFailed = "IPersistPropertyBag::Save method failed.";
}  // namespace

HRESULT CCoreVexR7100::GetClassID(com::CLSID* clsid) {
  if (!clsid) return com::E_POINTER;
  *clsid = kCoreVexR7100Clsid;
  return com::S_OK;
}

HRESULT CCoreVexR7100::InitNew() {
  return com::S_OK;
}

HRESULT CCoreVexR7100::Load(com::IPropertyBag* bag, com::IErrorLog* error_log) {
  if (!bag) return com::E_POINTER;
  bool* flags[3] = {&detect_errors_, &log_, &range_checking_};
  Bstr* texts[6] = {&io_prog_id_,    &manufacturer_,     &model_name_,
                    &serial_number_, &firmware_version_, &instance_name_};
  for (int i = 0; i < 10; ++i) {
    Variant value;
    HRESULT hr = bag->Read(Bstr(kKeys[i]), &value, error_log);
    Variant converted;
    if (SUCCEEDED(hr)) {
      VARTYPE vt = i < 3 ? com::VT_BOOL : i == 3 ? com::VT_I4 : com::VT_BSTR;
      hr = value.ChangeType(vt, &converted);
    }
    if (FAILED(hr)) return ReportException(kLoadFailed, hr);
    if (i < 3) {
      *flags[i] = converted.BoolVal() != 0;
    } else if (i == 3) {
      // A timeout out of range is refused here as by the Timeout property.
      if (converted.I4() < 0 || converted.I4() > kMaxTimeoutMs) {
        ReportErrorEx(msg::kOutOfRange, com::E_UNEXPECTED, kHelpTimeout);
        return ReportException(kLoadFailed, com::E_UNEXPECTED);
      }
      timeout_ = converted.I4();
    } else {
      *texts[i - 4] = converted.BstrVal().IsNull() ? Bstr::Empty() : converted.BstrVal();
    }
  }
  return com::S_OK;
}

HRESULT CCoreVexR7100::Save(com::IPropertyBag* bag, VARIANT_BOOL, VARIANT_BOOL) {
  if (!bag) return com::E_POINTER;
  const Bstr* texts[6] = {&io_prog_id_,    &manufacturer_,     &model_name_,
                          &serial_number_, &firmware_version_, &instance_name_};
  Variant values[10] = {Variant::Bool(com::ToVariantBool(detect_errors_)),
                        Variant::Bool(com::ToVariantBool(log_)),
                        Variant::Bool(com::ToVariantBool(range_checking_)), Variant(timeout_)};
  for (int i = 0; i < 6; ++i) {
    // An empty value is written as a string variant holding no string.
    values[4 + i] = Variant(texts[i]->IsEmpty() ? Bstr::Null() : *texts[i]);
  }
  for (int i = 0; i < 10; ++i) {
    HRESULT hr = bag->Write(Bstr(kKeys[i]), values[i]);
    if (FAILED(hr)) return ReportException(kSaveFailed, hr);
  }
  return com::S_OK;
}

}  // namespace vex::server
