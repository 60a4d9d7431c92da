// Connection and identification: from no instrument to a recognised model.
#include "core_member.h"

namespace vex::server {
namespace {

// The item of a split reply as text, cut at its first line feed or carriage
// return (leading ones skipped).
Bstr IdentityField(io::IIOResponseValues* values, std::int32_t index) {
  Variant item;
  if (FAILED(values->Item(index, &item))) return Bstr::Empty();
  Bstr text;
  if (FAILED(item.ToBstr(&text))) return Bstr::Empty();
  std::string_view view = text.View();
  std::size_t start = view.find_first_not_of("\r\n");
  if (start == std::string_view::npos) return Bstr::Empty();
  view = view.substr(start);
  return Bstr(view.substr(0, view.find_first_of("\r\n")));
}

}  // namespace

HRESULT CCoreVexR7100::Connect(const Bstr& connection_name, const Bstr& io_prog_id) {
  HRESULT hr = CreateNewIO(connection_name, io_prog_id);
  if (SUCCEEDED(hr)) {
    Bstr model;
    hr = IdentifyInstrument(&model);
  }
  if (SUCCEEDED(hr)) {
    bool found = false;
    HRESULT check = DeviceErrorCheck(&found);
    if (found) hr = check;
  }
  if (FAILED(hr)) {
    (void)ResetConnection();
    return ReportExceptionEx(msg::kConnectFailed, hr, msg::kHelpConnection);
  }
  return com::S_OK;
}

HRESULT CCoreVexR7100::get_ConnectionName(Bstr* value) {
  if (!value) return com::E_POINTER;
  *value = connection_name_.IsNull() ? Bstr::Empty() : connection_name_;
  return com::S_OK;
}

HRESULT CCoreVexR7100::CreateNewIO(const Bstr& name, const Bstr& prog_id) {
  HRESULT hr = com::S_OK;
  if (io_) {
    if (name.IsEmpty())
      return ReportErrorEx(msg::kNoConnectionName, com::E_UNEXPECTED, msg::kHelpConnection);
    bool same = name == connection_name_ && (prog_id.IsEmpty() || prog_id == io_prog_id_);
    if (same && connected_) return com::S_OK;
    if (same) {
      hr = io_->Open(Variant(name));
      if (SUCCEEDED(hr)) return com::S_OK;
      return ReportException(msg::kReconnectFailed, hr);
    }
    hr = Close();
    if (FAILED(hr)) {
      (void)ResetConnection();
      return ReportExceptionEx(msg::kCreateNewIOFailed, hr, msg::kHelpConnection);
    }
    io_.Reset();
  }
  connection_name_ = name;
  io_prog_id_ = Bstr();
  if (!prog_id.IsEmpty()) io_prog_id_ = prog_id;
  if (name.IsEmpty())
    return ReportErrorEx(msg::kNoConnectionName, com::E_UNEXPECTED, msg::kHelpConnection);

  if (!io_prog_id_.IsNull()) {
    com::CLSID clsid;
    hr = com::CLSIDFromProgID(io_prog_id_.View(), &clsid);
    com::ComPtr<io::IIO> io;
    if (SUCCEEDED(hr)) hr = com::CoCreateInstance(clsid, &io);
    VARIANT_BOOL supported = com::VARIANT_FALSE;
    if (SUCCEEDED(hr)) hr = io->IsSupportedAddress(name, &supported);
    if (SUCCEEDED(hr) && supported != com::VARIANT_TRUE) {
      hr = ReportErrorEx(msg::kNameNotSupported, com::E_FAIL, msg::kHelpConnection);
    } else if (SUCCEEDED(hr)) {
      hr = io->Open(Variant(name));
    }
    if (SUCCEEDED(hr)) io_ = std::move(io);
  } else {
    com::ComPtr<io::IIOManager> manager;
    hr = com::CoCreateInstance(io::kIOManagerClsid, &manager);
    com::ComPtr<io::IIO> io;
    if (SUCCEEDED(hr)) hr = manager->CreateIO(name, io.ReleaseAndGetAddressOf());
    manager.Reset();
    if (SUCCEEDED(hr)) io_ = std::move(io);
  }
  if (SUCCEEDED(hr) && io_prog_id_.IsNull()) {
    Bstr from_object;
    if (SUCCEEDED(io_->get_ProgID(&from_object))) io_prog_id_ = from_object;
  }
  if (FAILED(hr)) {
    (void)ResetConnection();
    return ReportExceptionEx(msg::kCreateNewIOFailed, hr, msg::kHelpConnection);
  }
  return com::S_OK;
}

HRESULT CCoreVexR7100::IdentifyInstrument(Bstr* model_name) {
  // A stale serial flag or model must never outlive the link it came from.
  model_.option_flags = 0;
  model_.model_index = 0;
  model_.trace_flags.clear();
  if (!io_) return ReportError(msg::kNoIOServer, com::E_UNEXPECTED);

  auto fail = [&](HRESULT status) {
    (void)ResetConnection();
    return ReportExceptionEx(msg::kConnectFailed, status, msg::kHelpConnection);
  };
  HRESULT hr = io_->Output(Variant("*IDN?"));
  if (FAILED(hr)) return fail(hr);
  com::ComPtr<io::IIOResponse> response;
  hr = io_->Read(response.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return ReportErrorEx(msg::kNoIdentification, hr, msg::kHelpConnection);
  com::ComPtr<io::IIOResponseValues> values;
  hr = response->get_Values(values.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = values->put_Format(io::kFormatStrings);
  if (FAILED(hr)) return fail(hr);
  Bstr found[4] = {IdentityField(values.Get(), 0), IdentityField(values.Get(), 1),
                   IdentityField(values.Get(), 2), IdentityField(values.Get(), 3)};
  values.Reset();
  response.Reset();

  struct Expected {
    Bstr* field;
    const char* mismatch;
    std::uint32_t help;
  };
  Expected expected[4] = {{&manufacturer_, msg::kManufacturerMismatch, msg::kHelpManufacturer},
                          {&model_name_, msg::kModelMismatch, msg::kHelpModel},
                          {&serial_number_, msg::kSerialMismatch, msg::kHelpSerial},
                          {&firmware_version_, msg::kFirmwareMismatch, msg::kHelpFirmware}};
  for (int i = 0; i < 4; ++i) {
    if (!expected[i].field->IsEmpty() && !(expected[i].field->View() == found[i].View())) {
      return ReportErrorEx(expected[i].mismatch, com::E_FAIL, expected[i].help);
    }
  }
  for (int i = 0; i < 4; ++i) {
    if (expected[i].field->IsEmpty()) *expected[i].field = found[i];
  }
  connected_ = true;

  auto models = ModelTable();
  for (std::size_t i = 0; i < models.size(); ++i) {
    if (models[i].name == model_name_.View()) {
      model_.model_index = static_cast<std::int16_t>(i);
      break;
    }
  }
  if (model_name) *model_name = model_name_;

  if (model_.IsSupported()) {
    hr = io_->Output(Variant("*IDN?"));
    if (FAILED(hr)) return fail(hr);
    hr = io_->Read(response.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
      // A failed second read: empty the instrument's error queue.
      com::SetErrorInfo(0, nullptr);
      HRESULT drained = DrainErrorQueue();
      if (FAILED(drained)) return fail(drained);
    } else {
      hr = response->get_Values(values.ReleaseAndGetAddressOf());
      if (SUCCEEDED(hr)) hr = values->put_Format(io::kFormatStrings);
      Variant first;
      if (SUCCEEDED(hr) && SUCCEEDED(values->Item(0, &first))) model_.option_flags = kOptionGpib;
      values.Reset();
      response.Reset();
    }
  }

  Bstr type;
  hr = io_->get_IOType(&type);
  if (FAILED(hr)) return fail(hr);
  for (const auto& option : OptionTable()) {
    if (option.name == type.View()) {
      model_.option_flags |= option.mask;
      break;
    }
  }
  if (model_.IsSerial()) (void)io_->put_TermChar(10);
  return com::S_OK;
}

HRESULT CCoreVexR7100::Close() {
  if (!connected_) return com::S_OK;
  manufacturer_ = model_name_ = serial_number_ = firmware_version_ = Bstr();
  model_.option_flags = 0;
  com::ComPtr<io::IIOConnection> connection;
  HRESULT hr = io_ ? io_->get_Connection(connection.ReleaseAndGetAddressOf()) : com::E_FAIL;
  if (SUCCEEDED(hr)) hr = connection->Close();
  connection.Reset();
  // Disconnected on every path, failure included.
  connected_ = false;
  if (FAILED(hr)) return ReportExceptionEx(msg::kCloseFailed, hr, msg::kHelpClose);
  return com::S_OK;
}

HRESULT CCoreVexR7100::ResetConnection() {
  connected_ = false;
  manufacturer_ = model_name_ = serial_number_ = firmware_version_ = Bstr();
  model_.option_flags = 0;
  model_.model_index = 0;
  model_.trace_flags.clear();
  timeout_extended_ = false;
  io_.Reset();
  return com::S_OK;
}

HRESULT CCoreVexR7100::InstallIO(IUnknown* object) {
  if (!object) {
    if (io_) {
      HRESULT hr = Close();
      io_.Reset();
      if (FAILED(hr)) return hr;
    }
    return com::S_OK;
  }
  if (io_ && com::IsSameObject(io_.Get(), object)) return com::S_OK;
  HRESULT hr = Close();
  io_.Reset();
  if (FAILED(hr)) return ReportException(msg::kInstallIOFailed, hr);
  com::ComPtr<io::IIO> io;
  if (FAILED(com::ComPtr<IUnknown>(object).As(&io)))
    return ReportError(msg::kNoIOServer, com::E_UNEXPECTED);
  Bstr address, prog_id;
  hr = io->get_Address(&address);
  if (SUCCEEDED(hr)) hr = io->get_ProgID(&prog_id);
  if (FAILED(hr)) return ReportException(msg::kInstallIOFailed, hr);
  io_ = std::move(io);
  connection_name_ = address;
  io_prog_id_ = prog_id;
  return com::S_OK;
}

HRESULT CCoreVexR7100::IsConnected(VARIANT_BOOL* connected) {
  if (!connected) return com::E_POINTER;
  *connected = com::ToVariantBool(connected_);
  return com::S_OK;
}

HRESULT CCoreVexR7100::SupportedInstruments(Variant* names) {
  if (!names) return com::E_POINTER;
  SafeArray list;
  HRESULT hr = SafeArray::Create(com::VT_BSTR, {{kSupportedModelCount, 0}}, &list);
  if (FAILED(hr)) return ReportException(msg::kSupportedInstrumentsFailed, com::E_FAIL);
  auto models = ModelTable();
  for (int i = 0; i < kSupportedModelCount; ++i) list.Span<Bstr>()[i] = Bstr(models[i + 1].name);
  *names = Variant(std::move(list));
  return com::S_OK;
}

HRESULT CCoreVexR7100::ConnectionStatus(Bstr* status) {
  if (!status) return com::E_POINTER;
  if (!connected_) return NotConnected();
  *status = model_name_;
  return com::S_OK;
}

HRESULT CCoreVexR7100::SupportStatus(VARIANT_BOOL* supported) {
  if (!supported) return com::E_POINTER;
  if (!connected_) return NotConnected();
  *supported = com::ToVariantBool(model_.IsSupported());
  return com::S_OK;
}

HRESULT CCoreVexR7100::SetIdentity(Bstr* field, const Bstr& value, std::string_view,
                                   std::uint32_t help_id) {
  if (connected_) return ReportErrorEx(msg::kSetWhileConnected, com::E_UNEXPECTED, help_id);
  *field = value;
  return com::S_OK;
}

namespace {
HRESULT GetIdentity(const Bstr& field, Bstr* out) {
  if (!out) return com::E_POINTER;
  *out = field.IsNull() ? Bstr::Empty() : field;
  return com::S_OK;
}
}  // namespace

HRESULT CCoreVexR7100::get_InstrumentManufacturer(Bstr* value) {
  return GetIdentity(manufacturer_, value);
}
HRESULT CCoreVexR7100::get_InstrumentModel(Bstr* value) {
  return GetIdentity(model_name_, value);
}
HRESULT CCoreVexR7100::get_InstrumentSerialNumber(Bstr* value) {
  return GetIdentity(serial_number_, value);
}
HRESULT CCoreVexR7100::get_InstrumentFirmwareVersion(Bstr* value) {
  return GetIdentity(firmware_version_, value);
}
HRESULT CCoreVexR7100::put_InstrumentManufacturer(const Bstr& value) {
  return SetIdentity(&manufacturer_, value, "InstrumentManufacturer", msg::kHelpManufacturer);
}
HRESULT CCoreVexR7100::put_InstrumentModel(const Bstr& value) {
  return SetIdentity(&model_name_, value, "InstrumentModel", msg::kHelpModel);
}
HRESULT CCoreVexR7100::put_InstrumentSerialNumber(const Bstr& value) {
  return SetIdentity(&serial_number_, value, "InstrumentSerialNumber", msg::kHelpSerial);
}
HRESULT CCoreVexR7100::put_InstrumentFirmwareVersion(const Bstr& value) {
  return SetIdentity(&firmware_version_, value, "InstrumentFirmwareVersion", msg::kHelpFirmware);
}

HRESULT CCoreVexR7100::get_IO(IUnknown** io) {
  if (!io) return com::E_POINTER;
  *io = nullptr;
  if (!connected_) return NotConnected();
  HRESULT hr = io_->QueryInterface(IUnknown::kIid, reinterpret_cast<void**>(io));
  if (FAILED(hr))
    return ReportExceptionEx("IUtilitiesVexR7100::IO (read) property failed.", hr,
                             msg::kHelpIORead);
  return com::S_OK;
}

HRESULT CCoreVexR7100::put_IO(IUnknown* io) {
  HRESULT hr = InstallIO(io);
  if (SUCCEEDED(hr) && io) {
    Bstr model;
    hr = IdentifyInstrument(&model);
    if (SUCCEEDED(hr)) {
      bool found = false;
      HRESULT check = DeviceErrorCheck(&found);
      if (found) hr = check;
    }
  }
  if (FAILED(hr)) {
    (void)ResetConnection();
    return ReportExceptionEx("IUtilitiesVexR7100::IO (write) property failed.", hr,
                             msg::kHelpConnection);
  }
  return com::S_OK;
}

}  // namespace vex::server
