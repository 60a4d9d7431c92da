// The published interfaces of the automation server Vex9100TB (type library
// VexR7100ServerLib): class ids, ProgIDs, enumerations and the dual
// interfaces in slot order. Clients create objects by ProgID through the
// class registry and call them through these declarations or by member name.
#pragma once

#include "vex/com/com.h"
#include "vex/io/io_interfaces.h"

namespace vex::server {

using com::Bstr;
using com::FAILED;
using com::HRESULT;
using com::IDispatch;
using com::IUnknown;
using com::SafeArray;
using com::SUCCEEDED;
using com::Variant;
using com::VARIANT_BOOL;
using com::VARTYPE;

// ---- Class ids and ProgIDs ------------------------------------------------
inline constexpr com::CLSID kVexR7100EZClsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7001}");
inline constexpr com::CLSID kCoreVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7002}");
inline constexpr com::CLSID kErrorHandlerClsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7003}");
inline constexpr com::CLSID kGladBagClsid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7004}");

inline constexpr com::CLSID kAcquisitionVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7010}");
inline constexpr com::CLSID kAnalogChannelsVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7011}");
inline constexpr com::CLSID kAnalogChannelVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7012}");
inline constexpr com::CLSID kLogicChannelVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7013}");
inline constexpr com::CLSID kMeasureVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7014}");
inline constexpr com::CLSID kTimebaseVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7015}");
inline constexpr com::CLSID kTraceVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7016}");
inline constexpr com::CLSID kTriggerVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7017}");
inline constexpr com::CLSID kUtilitiesVexR7100Clsid =
    com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7018}");

// The type library every class of the server belongs to.
inline constexpr const char* kTypeLibraryName = "VexR7100ServerLib";

inline constexpr const char* kCoreVexR7100ProgID = "VexR7100X.CoreVexR7100";
inline constexpr const char* kErrorHandlerProgID = "VexR7100X.ErrorHandler";
inline constexpr const char* kGladBagProgID = "VexR7100X.GladBag";
inline constexpr const char* kVexR7100EZProgID = "VexR7100X.VexR7100EZ";

// The largest I/O timeout (Utilities.Timeout), in milliseconds: ten minutes.
// Nothing the instrument does takes longer; above it a dead instrument
// would hold its caller for days.
inline constexpr std::int32_t kMaxTimeoutMs = 600000;

// ---- Enumerations ---------------------------------------------------------
enum VexR7100_ImageFormat : std::int32_t {
  VexR7100_ImageFormat_BMP = 0,
  VexR7100_ImageFormat_HiResBMP = 2,
  VexR7100_ImageFormat_GIF = 3,
  VexR7100_ImageFormat_WMF = 4,
  VexR7100_ImageFormat_EMF = 5,
  VexR7100_ImageFormat_TIF = 6,
  VexR7100_ImageFormat_JPG = 7,
  VexR7100_ImageFormat_UseSuffix = 100,
};
// Enumerations whose constants the subsystems define (enums_data.h and
// enums_settings.h, included at the end of this header).
enum VexR7100_AnalogChannels : std::int32_t;
enum VexR7100_AllChannels : std::int32_t;
enum VexR7100_WaveformPoints : std::int32_t;
enum VexR7100_LogicBits : std::int32_t;
enum VexR7100_LogicPods : std::int32_t;
enum VexR7100_AcquisitionCount : std::int32_t;
enum VexR7100_AcquisitionType : std::int32_t;
enum VexR7100_OnOffState : std::int32_t;
enum VexR7100_ProbeAttenuation : std::int32_t;
enum VexR7100_ProbeCoupling : std::int32_t;
enum VexR7100_ProbeMode : std::int32_t;
enum VexR7100_InputImpedance : std::int32_t;
enum VexR7100_TimeMode : std::int32_t;
enum VexR7100_TimeReference : std::int32_t;
enum VexR7100_TriggerCoupling : std::int32_t;
enum VexR7100_TriggerMode : std::int32_t;
enum VexR7100_TriggerSlope : std::int32_t;
enum VexR7100_TriggerSource : std::int32_t;
using WAVEPOINTS = VexR7100_WaveformPoints;
using ONOFFSTATE = VexR7100_OnOffState;
using PROBEATTEN = VexR7100_ProbeAttenuation;
using PROBECOUPLE = VexR7100_ProbeCoupling;
using PROBEMODES = VexR7100_ProbeMode;
using INPUTIMPEDANCE = VexR7100_InputImpedance;

// ---- Interfaces -----------------------------------------------------------

// Receives the server's log entries when log forwarding is on.
struct IForwardWriteLog : IUnknown {
  using Base = IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7101}");
  virtual HRESULT ForwardWriteLog(const Bstr& source, io::LogLevel logging,
                                  const Bstr& message) = 0;
};

struct IEZ : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7102}");
  virtual HRESULT Close() = 0;
  virtual HRESULT Connect(const Bstr& connection_name, const Bstr& io_prog_id) = 0;
  virtual HRESULT get_ConnectionName(Bstr* value) = 0;
};

struct IAcquisitionVexR7100;
struct IAnalogChannelsVexR7100;
struct ILogicChannelVexR7100;
struct IMeasureVexR7100;
struct ITimebaseVexR7100;
struct ITraceVexR7100;
struct ITriggerVexR7100;
struct IUtilitiesVexR7100;

struct IVexR7100EZ : IEZ {
  using Base = IEZ;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7103}");
  virtual HRESULT get_Acquisition(IAcquisitionVexR7100** object) = 0;
  virtual HRESULT get_AnalogChannels(IAnalogChannelsVexR7100** object) = 0;
  virtual HRESULT AutoScale() = 0;
  virtual HRESULT Digitize() = 0;
  virtual HRESULT Enter(Variant* result, const Bstr& format) = 0;
  virtual HRESULT GetScreenImage(VexR7100_ImageFormat format, com::IPictureDisp** image) = 0;
  virtual HRESULT GetLogicData(VexR7100_WaveformPoints points, Variant* time, Variant* data) = 0;
  virtual HRESULT GetAllWaveformData(VexR7100_WaveformPoints points, SafeArray* data) = 0;
  virtual HRESULT GetWaveformData(VexR7100_AnalogChannels channel, VexR7100_WaveformPoints points,
                                  Variant* time, Variant* data) = 0;
  virtual HRESULT get_LogicChannel(ILogicChannelVexR7100** object) = 0;
  virtual HRESULT get_Measure(IMeasureVexR7100** object) = 0;
  virtual HRESULT Output(const Variant& output_buffer) = 0;
  virtual HRESULT ReadBytes(std::int32_t* count, SafeArray* buffer) = 0;
  virtual HRESULT Run() = 0;
  virtual HRESULT SaveScreenImage(const Bstr& filename, VexR7100_ImageFormat format) = 0;
  virtual HRESULT StopTrigger() = 0;
  virtual HRESULT SingleTrigger() = 0;
  virtual HRESULT get_Timebase(ITimebaseVexR7100** object) = 0;
  virtual HRESULT get_Trace(ITraceVexR7100** object) = 0;
  virtual HRESULT get_Trigger(ITriggerVexR7100** object) = 0;
  virtual HRESULT get_Utilities(IUtilitiesVexR7100** object) = 0;
  virtual HRESULT WriteBytes(std::int32_t count, const SafeArray& buffer) = 0;
};

// What the server says of itself.
struct IComponentInfo : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7104}");
  virtual HRESULT get_ComponentDescription(Bstr* text) = 0;
  virtual HRESULT get_ComponentManufacturer(Bstr* text) = 0;
  virtual HRESULT get_ComponentVersion(Bstr* text) = 0;
  virtual HRESULT get_ComponentProgID(Bstr* text) = 0;
  virtual HRESULT get_LogInterface(VARIANT_BOOL* on) = 0;
  virtual HRESULT put_LogInterface(VARIANT_BOOL on) = 0;
  virtual HRESULT get_InstanceName(Bstr* name) = 0;
  virtual HRESULT put_InstanceName(const Bstr& name) = 0;
};

struct IUtilitiesVexR7100 : IComponentInfo {
  using Base = IComponentInfo;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7105}");
  virtual HRESULT ClearDevice() = 0;
  virtual HRESULT ClearStatus() = 0;
  virtual HRESULT get_DetectDeviceErrors(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_DetectDeviceErrors(VARIANT_BOOL value) = 0;
  virtual HRESULT DisplayMessage(const Bstr& message) = 0;
  virtual HRESULT get_InstrumentManufacturer(Bstr* value) = 0;
  virtual HRESULT put_InstrumentManufacturer(const Bstr& value) = 0;
  virtual HRESULT get_InstrumentModel(Bstr* value) = 0;
  virtual HRESULT put_InstrumentModel(const Bstr& value) = 0;
  virtual HRESULT get_InstrumentSerialNumber(Bstr* value) = 0;
  virtual HRESULT put_InstrumentSerialNumber(const Bstr& value) = 0;
  virtual HRESULT get_InstrumentFirmwareVersion(Bstr* value) = 0;
  virtual HRESULT put_InstrumentFirmwareVersion(const Bstr& value) = 0;
  virtual HRESULT get_IO(IUnknown** io) = 0;
  virtual HRESULT put_IO(IUnknown* io) = 0;
  virtual HRESULT Options(Variant* options) = 0;
  virtual HRESULT get_PanelLock(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_PanelLock(VARIANT_BOOL value) = 0;
  virtual HRESULT Preset() = 0;
  virtual HRESULT QueryInstrumentError(std::int32_t* error_number, Bstr* error_description) = 0;
  virtual HRESULT ReadStateData(Variant* state_data) = 0;
  virtual HRESULT RecallState(std::int32_t state_number) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT SaveState(std::int32_t state_number) = 0;
  virtual HRESULT SelfTest(std::int32_t* test_result, Bstr* result_message) = 0;
  virtual HRESULT WriteStateData(const Variant& state_data) = 0;
  virtual HRESULT StatusBits(std::int32_t* value) = 0;
  virtual HRESULT get_RangeChecking(VARIANT_BOOL* enabled) = 0;
  virtual HRESULT put_RangeChecking(VARIANT_BOOL enabled) = 0;
  // The I/O timeout in milliseconds, 0 to kMaxTimeoutMs; any other value is
  // refused as out of range (E_UNEXPECTED), in a saved state too.
  virtual HRESULT get_Timeout(std::int32_t* value) = 0;
  virtual HRESULT put_Timeout(std::int32_t value) = 0;
  virtual HRESULT VerifyDevice(const Bstr& model, const Bstr& version, const Bstr& serial_number,
                               VARIANT_BOOL* verify) = 0;
};

// The model information of the connected instrument, handed to the
// subsystem objects through ICoreVexR7100::_ModelsTable.
struct ModelRecord;

struct ICoreVexR7100 : IUnknown {
  using Base = IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7106}");
  virtual HRESULT _ModelsTable(const ModelRecord** models) = 0;
  virtual HRESULT _InstallEasy(IUnknown* easy) = 0;
};

struct IAcquisitionVexR7100 : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7110}");
  virtual HRESULT get_CompletionMinimum(std::int32_t* percent) = 0;
  virtual HRESULT put_CompletionMinimum(std::int32_t percent) = 0;
  virtual HRESULT get_Count(VexR7100_AcquisitionCount* count) = 0;
  virtual HRESULT put_Count(VexR7100_AcquisitionCount count) = 0;
  virtual HRESULT get_DitherEnabled(VARIANT_BOOL* state) = 0;
  virtual HRESULT put_DitherEnabled(VARIANT_BOOL state) = 0;
  virtual HRESULT get_Type(VexR7100_AcquisitionType* type) = 0;
  virtual HRESULT put_Type(VexR7100_AcquisitionType type) = 0;
};

struct IAcquisitionExVexR7100 : IAcquisitionVexR7100 {
  using Base = IAcquisitionVexR7100;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7111}");
  virtual HRESULT get_Points(std::int32_t* points) = 0;
};

// The channel members with the channel as first argument; the channel
// objects clients see forward to these.
struct IFlatAnalogVexR7100 : IUnknown {
  using Base = IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7112}");
  virtual HRESULT get_BandWidthLimit(VexR7100_AnalogChannels channel, ONOFFSTATE* state) = 0;
  virtual HRESULT put_BandWidthLimit(VexR7100_AnalogChannels channel, ONOFFSTATE state) = 0;
  virtual HRESULT get_Enabled(VexR7100_AnalogChannels channel, VARIANT_BOOL* value) = 0;
  virtual HRESULT put_Enabled(VexR7100_AnalogChannels channel, VARIANT_BOOL value) = 0;
  virtual HRESULT get_ProbeAttenuation(VexR7100_AnalogChannels channel, PROBEATTEN* value) = 0;
  virtual HRESULT put_ProbeAttenuation(VexR7100_AnalogChannels channel, PROBEATTEN value) = 0;
  virtual HRESULT get_ProbeCoupling(VexR7100_AnalogChannels channel, PROBECOUPLE* value) = 0;
  virtual HRESULT put_ProbeCoupling(VexR7100_AnalogChannels channel, PROBECOUPLE value) = 0;
  virtual HRESULT get_ProbeMode(VexR7100_AnalogChannels channel, PROBEMODES* value) = 0;
  virtual HRESULT get_VerticalOffset(VexR7100_AnalogChannels channel, double* value) = 0;
  virtual HRESULT put_VerticalOffset(VexR7100_AnalogChannels channel, double value) = 0;
  virtual HRESULT get_VerticalRange(VexR7100_AnalogChannels channel, double* value) = 0;
  virtual HRESULT put_VerticalRange(VexR7100_AnalogChannels channel, double value) = 0;
  virtual HRESULT get_INPUTIMPEDANCE(VexR7100_AnalogChannels channel, INPUTIMPEDANCE* value) = 0;
  virtual HRESULT put_INPUTIMPEDANCE(VexR7100_AnalogChannels channel, INPUTIMPEDANCE value) = 0;
};

struct IAnalogChannelVexR7100 : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F711B}");
  virtual HRESULT get_BandWidthLimit(VexR7100_OnOffState* state) = 0;
  virtual HRESULT put_BandWidthLimit(VexR7100_OnOffState state) = 0;
  virtual HRESULT get_Enabled(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_Enabled(VARIANT_BOOL value) = 0;
  virtual HRESULT get_ProbeAttenuation(VexR7100_ProbeAttenuation* value) = 0;
  virtual HRESULT put_ProbeAttenuation(VexR7100_ProbeAttenuation value) = 0;
  virtual HRESULT get_ProbeCoupling(VexR7100_ProbeCoupling* value) = 0;
  virtual HRESULT put_ProbeCoupling(VexR7100_ProbeCoupling value) = 0;
  virtual HRESULT get_ProbeMode(VexR7100_ProbeMode* value) = 0;
  virtual HRESULT get_VerticalOffset(double* value) = 0;
  virtual HRESULT put_VerticalOffset(double value) = 0;
  virtual HRESULT get_VerticalRange(double* value) = 0;
  virtual HRESULT put_VerticalRange(double value) = 0;
  // Numbers the channel (1 to 4) this object stands for.
  virtual HRESULT _SetChannelIndex(std::int16_t index) = 0;
};

// Four channel objects, of which the first Count exist on the connected
// model; Item takes 1 to 4 whatever the model.
struct IAnalogChannelsVexR7100 : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F711C}");
  virtual HRESULT Item(std::int32_t index, IAnalogChannelVexR7100** channel) = 0;
  virtual HRESULT get_Count(std::int32_t* value) = 0;
  virtual HRESULT get__NewEnum(IUnknown** enumerator) = 0;
};

// How the top-level object ties a subsystem object to the core: _Link asks
// the core for the subsystem's interface and keeps it, _SetParent hands over
// the top-level object (not counted), _Unlink drops both. A subsystem object
// that is not linked fails every member with its own failure message.
struct ISubsystemLinkVexR7100 : IUnknown {
  using Base = IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F711D}");
  virtual HRESULT _Link(IUnknown* core) = 0;
  virtual HRESULT _SetParent(IUnknown* top_level) = 0;
  virtual HRESULT _Unlink() = 0;
};

struct ILogicChannelVexR7100 : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7113}");
  virtual HRESULT get_BitEnabled(VexR7100_LogicBits bit, VARIANT_BOOL* value) = 0;
  virtual HRESULT put_BitEnabled(VexR7100_LogicBits bit, VARIANT_BOOL value) = 0;
  virtual HRESULT put_PodEnabled(VexR7100_LogicPods pod, VARIANT_BOOL value) = 0;
  virtual HRESULT get_EnableStatus(std::int16_t* value) = 0;
  virtual HRESULT put_EnableStatus(std::int16_t value) = 0;
};

struct IMeasureVexR7100 : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7114}");
  virtual HRESULT AverageVoltage(VexR7100_AnalogChannels channel, double* volts) = 0;
  virtual HRESULT DutyCycle(VexR7100_AllChannels channel, double* ratio) = 0;
  virtual HRESULT FallTime(VexR7100_AnalogChannels channel, double* seconds) = 0;
  virtual HRESULT Frequency(VexR7100_AllChannels channel, double* hertz) = 0;
  virtual HRESULT MaxVoltage(VexR7100_AnalogChannels channel, double* volts) = 0;
  virtual HRESULT MinVoltage(VexR7100_AnalogChannels channel, double* volts) = 0;
  virtual HRESULT NegativePulseWidth(VexR7100_AllChannels channel, double* seconds) = 0;
  virtual HRESULT PeakToPeakVolts(VexR7100_AnalogChannels channel, double* volts) = 0;
  virtual HRESULT Period(VexR7100_AllChannels channel, double* seconds) = 0;
  virtual HRESULT PositivePulseWidth(VexR7100_AllChannels channel, double* seconds) = 0;
  virtual HRESULT RiseTime(VexR7100_AnalogChannels channel, double* seconds) = 0;
  virtual HRESULT RMSVoltage(VexR7100_AnalogChannels channel, double* volts) = 0;
};

struct IMeasureExVexR7100 : IMeasureVexR7100 {
  using Base = IMeasureVexR7100;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7115}");
  virtual HRESULT Amplitude(VexR7100_AnalogChannels channel, double* volts) = 0;
  virtual HRESULT Preshoot(VexR7100_AnalogChannels channel, double* volts) = 0;
  virtual HRESULT Overshoot(VexR7100_AnalogChannels channel, double* volts) = 0;
};

struct ITimebaseVexR7100 : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7116}");
  virtual HRESULT get_HorizontalDelay(double* delay) = 0;
  virtual HRESULT put_HorizontalDelay(double delay) = 0;
  virtual HRESULT get_HorizontalRange(double* range) = 0;
  virtual HRESULT put_HorizontalRange(double range) = 0;
  virtual HRESULT get_Mode(VexR7100_TimeMode* mode) = 0;
  virtual HRESULT put_Mode(VexR7100_TimeMode mode) = 0;
  virtual HRESULT get_Reference(VexR7100_TimeReference* reference) = 0;
  virtual HRESULT put_Reference(VexR7100_TimeReference reference) = 0;
};

struct ITimebaseExVexR7100 : ITimebaseVexR7100 {
  using Base = ITimebaseVexR7100;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7117}");
  virtual HRESULT get_TimebaseMode(VexR7100_TimeMode* mode) = 0;
  virtual HRESULT put_TimebaseMode(VexR7100_TimeMode mode) = 0;
  virtual HRESULT get_SampleRate(double* hertz) = 0;
  virtual HRESULT get_Delay(double* seconds) = 0;
  virtual HRESULT put_Delay(double seconds) = 0;
};

struct ITraceVexR7100 : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7118}");
  virtual HRESULT Clear(std::int32_t trace_number) = 0;
  virtual HRESULT get_Enabled(std::int32_t trace_number, VARIANT_BOOL* value) = 0;
  virtual HRESULT put_Enabled(std::int32_t trace_number, VARIANT_BOOL value) = 0;
  virtual HRESULT GetData(std::int32_t trace_number, Variant* trace_data) = 0;
  virtual HRESULT PutData(std::int32_t trace_number, const Variant& trace_data) = 0;
  virtual HRESULT Save(std::int32_t trace_number) = 0;
  virtual HRESULT get_TotalMemories(std::int32_t* number) = 0;
};

struct ITriggerVexR7100 : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7119}");
  virtual HRESULT get_Coupling(VexR7100_TriggerCoupling* mode) = 0;
  virtual HRESULT put_Coupling(VexR7100_TriggerCoupling mode) = 0;
  virtual HRESULT get_Mode(VexR7100_TriggerMode* mode) = 0;
  virtual HRESULT put_Mode(VexR7100_TriggerMode mode) = 0;
  virtual HRESULT get_Source(VexR7100_TriggerSource* source) = 0;
  virtual HRESULT put_Source(VexR7100_TriggerSource source) = 0;
  virtual HRESULT get_Slope(VexR7100_TriggerSlope* slope) = 0;
  virtual HRESULT put_Slope(VexR7100_TriggerSlope slope) = 0;
  virtual HRESULT get_TriggerLevel(double* level) = 0;
  virtual HRESULT put_TriggerLevel(double level) = 0;
};

struct ITriggerExVexR7100 : ITriggerVexR7100 {
  using Base = ITriggerVexR7100;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F711A}");
  virtual HRESULT get_TRIGGERMODE(VexR7100_TriggerMode* mode) = 0;
  virtual HRESULT put_TRIGGERMODE(VexR7100_TriggerMode mode) = 0;
  virtual HRESULT get_Holdoff(double* seconds) = 0;
  virtual HRESULT put_Holdoff(double seconds) = 0;
};

struct IErrorHandler : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7107}");
  virtual HRESULT get_ClassName(Bstr* name) = 0;
  virtual HRESULT put_ClassName(const Bstr& name) = 0;
  virtual HRESULT get_InstanceName(Bstr* name) = 0;
  virtual HRESULT put_InstanceName(const Bstr& name) = 0;
  virtual HRESULT ReportError(const Variant& message, HRESULT code) = 0;
  virtual HRESULT ReportException(const Variant& message, HRESULT code) = 0;
  virtual HRESULT ReportErrorEx(const Variant& message, HRESULT code, std::uint32_t help_id) = 0;
  virtual HRESULT ReportExceptionEx(const Variant& message, HRESULT code,
                                    std::uint32_t help_id) = 0;
};

// A property bag that prefixes every key and forwards to an installed bag.
struct IGladBag : com::IPropertyBag {
  using Base = com::IPropertyBag;
  static constexpr com::IID kIid = com::MakeGuid("{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7108}");
  virtual HRESULT get_PropertiesPrefix(Bstr* prefix) = 0;
  virtual HRESULT put_PropertiesPrefix(const Bstr& prefix) = 0;
  virtual HRESULT InstallPropertyBag(com::IPropertyBag* bag) = 0;
};

}  // namespace vex::server

#include "vex/server/enums_data.h"
#include "vex/server/enums_settings.h"
