#include "cvexr7100_ez.h"

#include <algorithm>
#include <cctype>

#include "bag_values.h"
#include "cdebug.h"
#include "control_support.h"
#include "cquery_instrument.h"
#include "msg_box_auto_center.h"
#include "vex/io/io_interfaces.h"
#include "vexr7100_localization.h"

namespace vex::control {
namespace {

constexpr const char* kModule = "CVexR7100EZ";
constexpr const char* kHandshakeKeyword = "Handshake=";

std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

bool IsSerialAddress(std::string_view address) {
  return Upper(address).rfind("COM", 0) == 0;
}

// The platform's answer for a call on an object that was never created.
HRESULT MissingServer() {
  return com::ReportRichError(com::E_POINTER, "Object variable or With block variable not set",
                              kModule);
}

}  // namespace

std::int32_t ImageFormatOf(const Variant& format) {
  std::int32_t value = 0;
  if (format.IsMissing() || format.vt() == com::VT_EMPTY) return 0;
  if (com::FAILED(format.ToI4(&value))) return -1;
  return value;
}

CVexR7100EZ::CVexR7100EZ(ui::WindowHandle owner) {
  if (com::FAILED(com::CoCreateInstance(server::kVexR7100EZClsid, &server_))) {
    server_ = nullptr;
    com::SetErrorInfo(0, nullptr);
    MsgBoxCentered(ControlToolkit(), owner, VexR7100Localization::TextOrEmpty(text::kNoServer),
                   ui::mb::kCritical | ui::mb::kForeground,
                   VexR7100Localization::TextOrEmpty(text::kTitle));
  }
}

CVexR7100EZ::~CVexR7100EZ() {
  (void)CloseConnection();
}

HRESULT CVexR7100EZ::ReadProperties(com::IPropertyBag* bag) {
  if (!bag) return com::E_POINTER;
  std::int32_t delay = ReadI4(bag, kKeyTXDelay, kDefaultTXDelay);
  CDebug::ForThisThread().Assert(delay >= 0, "lTXDelay >= 0", kModule, "ReadProperties", "TXDelay");
  CDebug::ForThisThread().Assert(delay <= kMaxTXDelay, "lTXDelay <= MAX_TX_DELAY", kModule,
                                 "ReadProperties", "TXDelay");
  tx_delay_ = delay >= 0 && delay <= kMaxTXDelay ? delay : kDefaultTXDelay;
  reset_on_initialize_ = ReadBool(bag, kKeyResetOnInitialize, false);
  check_id_on_initialize_ = ReadBool(bag, kKeyCheckIDOnInitialize, false);
  return com::S_OK;
}

HRESULT CVexR7100EZ::WriteProperties(com::IPropertyBag* bag) {
  if (!bag) return com::E_POINTER;
  HRESULT hr = WriteUnlessDefault(bag, kKeyTXDelay, Variant(tx_delay_), Variant(kDefaultTXDelay));
  if (com::SUCCEEDED(hr))
    hr = WriteUnlessDefault(bag, kKeyResetOnInitialize, Variant(reset_on_initialize_),
                            Variant(false));
  if (com::SUCCEEDED(hr))
    hr = WriteUnlessDefault(bag, kKeyCheckIDOnInitialize, Variant(check_id_on_initialize_),
                            Variant(false));
  return hr;
}

HRESULT CVexR7100EZ::SetAutomationServerAddress(std::string_view address) {
  if (address == address_) return com::S_OK;
  if (connected_) (void)CloseConnection();
  if (IsSerialAddress(address)) {
    CDebug::ForThisThread().Assert(
        Upper(address).find(Upper(kHandshakeKeyword)) != std::string::npos,
        "(InStr(1, strAddress, HANDSHAKE_ADDRESS_KEYWORD, vbTextCompare) > 0)", kModule,
        "AutomationServerAddress", "");
  }
  address_ = std::string(address);
  return com::S_OK;
}

HRESULT CVexR7100EZ::SetTXDelay(std::int32_t delay) {
  if (delay < 0 || delay > kMaxTXDelay) {
    CDebug::ForThisThread().Assert(false, "false", kModule, "Let TXDelay", "Else");
    return RaiseControlError(kStatusInvalidValue,
                             VexR7100Localization::TextOrEmpty(text::kInvalidValue));
  }
  if (delay == tx_delay_) return com::S_OK;
  tx_delay_ = delay;
  if (events_) events_->WrapperPropertyChanged("TXDelay");
  return com::S_OK;
}

void CVexR7100EZ::SetResetOnInitialize(bool on) {
  if (on == reset_on_initialize_) return;
  reset_on_initialize_ = on;
  if (events_) events_->WrapperPropertyChanged("ResetOnInitialize");
}

void CVexR7100EZ::SetCheckIDOnInitialize(bool on) {
  if (on == check_id_on_initialize_) return;
  check_id_on_initialize_ = on;
  if (events_) events_->WrapperPropertyChanged("CheckIDOnInitialize");
}

HRESULT CVexR7100EZ::PrepareSerialPort() {
  com::ComPtr<io::IIOManager> manager;
  if (!io_manager_ || com::FAILED(io_manager_.As(&manager))) return com::E_POINTER;
  com::ComPtr<io::IIO> channel;
  HRESULT hr = manager->CreateIO(Bstr(address_), channel.ReleaseAndGetAddressOf());
  if (com::FAILED(hr)) return hr;
  if (!channel) return com::E_POINTER;
  std::vector<std::pair<std::string, std::string>> failed;
  hr = CQueryInstrument::DropHandshake(channel.Get(), tx_delay_, true, &failed);
  for (const auto& [condition, procedure] : failed)
    CDebug::ForThisThread().Assert(false, condition, "CQueryInstrument", procedure, "");
  if (com::FAILED(hr)) return hr;
  // A lone CR LF clears whatever half command the instrument holds; it is
  // written with flow control off so that a stopped line cannot block it.
  com::ComPtr<io::ISerialIO> serial;
  hr = channel.As(&serial);
  if (com::FAILED(hr)) return hr;
  VARIANT_BOOL saved = com::VARIANT_TRUE;
  hr = serial->get_HandshakeActive(&saved);
  if (com::FAILED(hr)) return hr;
  hr = serial->put_HandshakeActive(com::VARIANT_FALSE);
  if (com::SUCCEEDED(hr)) {
    const std::uint8_t cr_lf[] = {'\r', '\n'};
    hr = channel->Output(Variant(com::SafeArray::FromBytes(cr_lf)));
  }
  const HRESULT restored = serial->put_HandshakeActive(saved);
  return com::FAILED(hr) ? hr : restored;
}

HRESULT CVexR7100EZ::ConnectSteps() {
  if (!server_) return com::E_POINTER;
  if (IsSerialAddress(address_)) {
    const HRESULT hr = PrepareSerialPort();
    if (com::FAILED(hr)) return hr;
  }
  HRESULT hr = server_->Connect(Bstr(address_), Bstr());
  if (com::FAILED(hr)) return hr;
  if (!property_page_mode_) {
    Bstr id;
    hr = IDNQuery(&id);
    if (com::FAILED(hr)) return hr;
    if (events_) events_->InstrumentID(id.Str());
  }
  com::ComPtr<server::IUtilitiesVexR7100> utilities;
  if (reset_on_initialize_ || check_id_on_initialize_) {
    hr = server_->get_Utilities(utilities.ReleaseAndGetAddressOf());
    if (com::FAILED(hr)) return hr;
  }
  if (reset_on_initialize_) {
    hr = utilities->Reset();
    if (com::FAILED(hr)) return hr;
  }
  if (check_id_on_initialize_) {
    VARIANT_BOOL verified = com::VARIANT_FALSE;
    hr = utilities->VerifyDevice(Bstr(), Bstr(), Bstr(), &verified);
    if (com::FAILED(hr)) return hr;
    if (!verified) return com::E_FAIL;
  }
  return com::S_OK;
}

HRESULT CVexR7100EZ::Initialize() {
  (void)CloseConnection();
  if (com::SUCCEEDED(ConnectSteps())) {
    connected_ = true;
    return com::S_OK;
  }
  (void)CloseConnection();
  const std::string message = VexR7100Localization::TextOrEmpty(text::kConnection1) + "\r\n" +
                              VexR7100Localization::TextOrEmpty(text::kConnection2) + "\r\n\r\n" +
                              VexR7100Localization::TextOrEmpty(text::kConnection3);
  return RaiseControlError(kStatusConnectionFailed, message);
}

HRESULT CVexR7100EZ::CloseConnection() {
  if (server_) {
    // Errors are ignored here, and none of their information is left
    // behind for the caller's next failure to be confused with.
    com::ComPtr<server::IUtilitiesVexR7100> utilities;
    com::ComPtr<com::IUnknown> io;
    com::ComPtr<io::IIO> instrument;
    if (com::SUCCEEDED(server_->get_Utilities(utilities.ReleaseAndGetAddressOf())) && utilities &&
        com::SUCCEEDED(utilities->get_IO(io.ReleaseAndGetAddressOf())) && io &&
        com::SUCCEEDED(io.As(&instrument))) {
      Bstr type;
      if (com::SUCCEEDED(instrument->get_IOType(&type)) && type.View() == "ASRL") {
        std::vector<std::pair<std::string, std::string>> failed;
        (void)CQueryInstrument::DropHandshake(instrument.Get(), 0, false, &failed);
      }
    }
    (void)server_->Close();
  }
  connected_ = false;
  com::SetErrorInfo(0, nullptr);
  return com::S_OK;
}

HRESULT CVexR7100EZ::EnsureConnected() {
  if (connected_ || !ambient_user_mode_) return com::S_OK;
  return Initialize();
}

HRESULT CVexR7100EZ::ServerOrMissing() const {
  return server_ ? com::S_OK : MissingServer();
}

HRESULT CVexR7100EZ::get_PropertyPageMode(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(property_page_mode_);
  return com::S_OK;
}

HRESULT CVexR7100EZ::put_PropertyPageMode(VARIANT_BOOL on) {
  property_page_mode_ = on != 0;
  return com::S_OK;
}

HRESULT CVexR7100EZ::IDNQuery(Bstr* id) {
  if (!id) return com::E_POINTER;
  if (!server_) return MissingServer();
  com::ComPtr<server::IUtilitiesVexR7100> utilities;
  HRESULT hr = server_->get_Utilities(utilities.ReleaseAndGetAddressOf());
  if (com::FAILED(hr)) return hr;
  using Getter = HRESULT (server::IUtilitiesVexR7100::*)(Bstr*);
  const Getter parts[] = {&server::IUtilitiesVexR7100::get_InstrumentManufacturer,
                          &server::IUtilitiesVexR7100::get_InstrumentModel,
                          &server::IUtilitiesVexR7100::get_InstrumentSerialNumber,
                          &server::IUtilitiesVexR7100::get_InstrumentFirmwareVersion};
  std::string text;
  for (auto part : parts) {
    Bstr value;
    hr = (utilities.Get()->*part)(&value);
    if (com::FAILED(hr)) return hr;
    if (!text.empty() || part != parts[0]) text += ",";
    text += value.Str();
  }
  *id = Bstr(text);
  return com::S_OK;
}

HRESULT CVexR7100EZ::get_InstrumentConnected(VARIANT_BOOL* on) {
  if (!on) return com::E_POINTER;
  *on = com::ToVariantBool(connected_);
  return com::S_OK;
}

HRESULT CVexR7100EZ::get_EZPtr(com::IDispatch** server) {
  if (!server) return com::E_POINTER;
  *server = server_.Get();
  if (*server) (*server)->AddRef();
  return com::S_OK;
}

HRESULT CVexR7100EZ::get_ConnectionName(Bstr* name) {
  if (!name) return com::E_POINTER;
  if (!server_) return MissingServer();
  return server_->get_ConnectionName(name);
}

template <class I>
HRESULT CVexR7100EZ::ServerObject(HRESULT (server::IVexR7100EZ::*get)(I**),
                                  com::IDispatch** object) {
  if (!object) return com::E_POINTER;
  *object = nullptr;
  HRESULT hr = EnsureConnected();
  if (com::SUCCEEDED(hr)) hr = ServerOrMissing();
  if (com::FAILED(hr)) return hr;
  I* typed = nullptr;
  hr = (server_.Get()->*get)(&typed);
  if (com::FAILED(hr)) return hr;
  *object = typed;  // every server object is a dispatch object
  return com::S_OK;
}

HRESULT CVexR7100EZ::get_Acquisition(com::IDispatch** o) {
  return ServerObject(&server::IVexR7100EZ::get_Acquisition, o);
}
HRESULT CVexR7100EZ::get_AnalogChannels(com::IDispatch** o) {
  return ServerObject(&server::IVexR7100EZ::get_AnalogChannels, o);
}
HRESULT CVexR7100EZ::get_LogicChannel(com::IDispatch** o) {
  return ServerObject(&server::IVexR7100EZ::get_LogicChannel, o);
}
HRESULT CVexR7100EZ::get_Measure(com::IDispatch** o) {
  return ServerObject(&server::IVexR7100EZ::get_Measure, o);
}
HRESULT CVexR7100EZ::get_Timebase(com::IDispatch** o) {
  return ServerObject(&server::IVexR7100EZ::get_Timebase, o);
}
HRESULT CVexR7100EZ::get_Trace(com::IDispatch** o) {
  return ServerObject(&server::IVexR7100EZ::get_Trace, o);
}
HRESULT CVexR7100EZ::get_Trigger(com::IDispatch** o) {
  return ServerObject(&server::IVexR7100EZ::get_Trigger, o);
}
HRESULT CVexR7100EZ::get_Utilities(com::IDispatch** o) {
  return ServerObject(&server::IVexR7100EZ::get_Utilities, o);
}

#define VEX_FORWARD(call)                             \
  do {                                                \
    HRESULT hr_ = EnsureConnected();                  \
    if (com::SUCCEEDED(hr_)) hr_ = ServerOrMissing(); \
    if (com::FAILED(hr_)) return hr_;                 \
    return server_->call;                             \
  } while (0)

HRESULT CVexR7100EZ::AutoScale() {
  VEX_FORWARD(AutoScale());
}
HRESULT CVexR7100EZ::Digitize() {
  VEX_FORWARD(Digitize());
}
HRESULT CVexR7100EZ::Run() {
  VEX_FORWARD(Run());
}
HRESULT CVexR7100EZ::StopTrigger() {
  VEX_FORWARD(StopTrigger());
}
HRESULT CVexR7100EZ::SingleTrigger() {
  VEX_FORWARD(SingleTrigger());
}

HRESULT CVexR7100EZ::Enter(Variant* input_buffer, const Variant& format) {
  if (!input_buffer) return com::E_POINTER;
  Bstr text("K");
  if (!format.IsMissing() && format.vt() != com::VT_EMPTY) {
    const HRESULT hr = format.ToBstr(&text);
    if (com::FAILED(hr)) return hr;
  }
  VEX_FORWARD(Enter(input_buffer, text));
}

HRESULT CVexR7100EZ::Output(const Variant& output_buffer) {
  VEX_FORWARD(Output(output_buffer));
}

HRESULT CVexR7100EZ::ReadBytes(std::int32_t* count, com::SafeArray* buffer) {
  if (!count || !buffer) return com::E_POINTER;
  VEX_FORWARD(ReadBytes(count, buffer));
}

HRESULT CVexR7100EZ::WriteBytes(std::int32_t count, const com::SafeArray& buffer) {
  VEX_FORWARD(WriteBytes(count, buffer));
}

HRESULT CVexR7100EZ::GetLogicData(std::int32_t points, Variant* time, Variant* data) {
  if (!time || !data) return com::E_POINTER;
  VEX_FORWARD(GetLogicData(static_cast<server::VexR7100_WaveformPoints>(points), time, data));
}

HRESULT CVexR7100EZ::GetWaveformData(std::int32_t channel, std::int32_t points, Variant* time,
                                     Variant* data) {
  if (!time || !data) return com::E_POINTER;
  VEX_FORWARD(GetWaveformData(static_cast<server::VexR7100_AnalogChannels>(channel),
                              static_cast<server::VexR7100_WaveformPoints>(points), time, data));
}

HRESULT CVexR7100EZ::GetAllWaveformData(std::int32_t points, com::SafeArray* data) {
  if (!data) return com::E_POINTER;
  *data = com::SafeArray();
  VEX_FORWARD(GetAllWaveformData(static_cast<server::VexR7100_WaveformPoints>(points), data));
}

HRESULT CVexR7100EZ::GetScreenImage(const Variant& format, com::IDispatch** image) {
  if (!image) return com::E_POINTER;
  *image = nullptr;
  HRESULT hr = EnsureConnected();
  if (com::SUCCEEDED(hr)) hr = ServerOrMissing();
  if (com::FAILED(hr)) return hr;
  com::IPictureDisp* picture = nullptr;
  hr = server_->GetScreenImage(static_cast<server::VexR7100_ImageFormat>(ImageFormatOf(format)),
                               &picture);
  if (com::FAILED(hr)) return hr;
  *image = picture;
  return com::S_OK;
}

HRESULT CVexR7100EZ::SaveScreenImage(const Bstr& file_name, const Variant& format) {
  VEX_FORWARD(
      SaveScreenImage(file_name, static_cast<server::VexR7100_ImageFormat>(ImageFormatOf(format))));
}

#undef VEX_FORWARD

const com::DispatchTable& CVexR7100EZ::Table() {
  static const com::DispatchTable table = [] {
    using com::In;
    using com::InOut;
    using com::Opt;
    using com::Out;
    using com::Retval;
    using W = CVexR7100EZ;
    const auto object = [] { return std::vector{Retval("Object", com::VT_DISPATCH)}; };
    com::DispatchTableBuilder<W> b("CVexR7100EZ", "CVexR7100EZ");
    b.Get("PropertyPageMode", 1, &W::get_PropertyPageMode, {Retval("Value", com::VT_BOOL)})
        .Put("PropertyPageMode", 1, &W::put_PropertyPageMode, {In("Value", com::VT_BOOL)})
        .Method("IDNQuery", 2, &W::IDNQuery, {Retval("ID")})
        .Get("InstrumentConnected", 3, &W::get_InstrumentConnected, {Retval("Value", com::VT_BOOL)})
        .Get("EZPtr", 4, &W::get_EZPtr, object())
        .Get("ConnectionName", 5, &W::get_ConnectionName)
        .Get("Acquisition", 6, &W::get_Acquisition, object())
        .Get("AnalogChannels", 7, &W::get_AnalogChannels, object())
        .Get("LogicChannel", 8, &W::get_LogicChannel, object())
        .Get("Measure", 9, &W::get_Measure, object())
        .Get("Timebase", 10, &W::get_Timebase, object())
        .Get("Trace", 11, &W::get_Trace, object())
        .Get("Trigger", 12, &W::get_Trigger, object())
        .Get("Utilities", 13, &W::get_Utilities, object())
        .Method("AutoScale", 14, &W::AutoScale)
        .Method("Digitize", 15, &W::Digitize)
        .Method("Run", 16, &W::Run)
        .Method("StopTrigger", 17, &W::StopTrigger)
        .Method("SingleTrigger", 18, &W::SingleTrigger)
        .Method("Enter", 19, &W::Enter, {InOut("InputBuffer"), Opt("Format", com::VT_VARIANT)})
        .Method("Output", 20, &W::Output, {In("OutputBuffer")})
        .Method("ReadBytes", 21, &W::ReadBytes,
                {InOut("Count"), InOut("Buffer", com::VT_ARRAY | com::VT_UI1)})
        .Method("WriteBytes", 22, &W::WriteBytes,
                {In("Count"), In("Buffer", com::VT_ARRAY | com::VT_UI1)})
        .Method("GetLogicData", 23, &W::GetLogicData, {In("Points"), Out("Time"), Out("Data")})
        .Method("GetWaveformData", 24, &W::GetWaveformData,
                {In("Channel"), In("Points"), Out("Time"), Out("Data")})
        .Method("GetAllWaveformData", 25, &W::GetAllWaveformData, {In("Points"), InOut("Data")})
        .Method("GetScreenImage", 26, &W::GetScreenImage,
                {Opt("Format", com::VT_VARIANT), Retval("Image", com::VT_DISPATCH)})
        .Method("SaveScreenImage", 27, &W::SaveScreenImage,
                {In("FileName"), Opt("Format", com::VT_VARIANT)});
    return b.Build();
  }();
  return table;
}

}  // namespace vex::control
