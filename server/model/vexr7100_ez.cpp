#include "vexr7100_ez.h"

#include <new>

#include "acquisition_vexr7100.h"
#include "core_vexr7100.h"
#include "logic_channel_vexr7100.h"
#include "measure_vexr7100.h"
#include "timebase_vexr7100.h"
#include "trace_vexr7100.h"
#include "trigger_vexr7100.h"
#include "utilities_vexr7100.h"

namespace vex::server {

namespace {
constexpr MemberFailure Method(const char* message, std::uint32_t help_id) {
  return {message, help_id};
}
}  // namespace

CVexR7100EZ::CVexR7100EZ()
    : forwarder_("CVexR7100EZ", "Vexan R7100 Server Top-Level Wrapper"),
      log_sinks_(com::MakeObject<com::ConnectionPoint>(IForwardWriteLog::kIid)) {}

HRESULT CVexR7100EZ::Create(const com::IID& iid, void** out) {
  if (!out) return com::E_POINTER;
  *out = nullptr;
  auto object = com::MakeObject<CVexR7100EZ>();
  HRESULT hr = object->Initialize();
  if (FAILED(hr)) return hr;  // releasing `object` undoes what was made
  return object->QueryInterface(iid, out);
}

HRESULT CVexR7100EZ::Initialize() {
  IUnknown* self = static_cast<IVexR7100EZ*>(this);
  // The core, told which object is its top level.
  auto core = com::MakeObject<CCoreVexR7100>();
  core_ = core;
  (void)core->_InstallEasy(self);

  // The subsystem objects, in order: made, given the top-level object, and
  // linked to the core's matching interface.
  try {
    acquisition_ = com::MakeObject<CAcquisitionVexR7100>();
    analog_channels_ = com::MakeObject<CAnalogChannelsVexR7100>();
    logic_channel_ = com::MakeObject<CLogicChannelVexR7100>();
    measure_ = com::MakeObject<CMeasureVexR7100>();
    timebase_ = com::MakeObject<CTimebaseVexR7100>();
    trace_ = com::MakeObject<CTraceVexR7100>();
    trigger_ = com::MakeObject<CTriggerVexR7100>();
    utilities_ = com::MakeObject<CUtilitiesVexR7100>();
  } catch (const std::bad_alloc&) {
    ReleaseSubsystems();
    return forwarder_.Refuse(msg::kSubsystemCreateFailed, com::E_FAIL, msg::kHelpDefault);
  }
  ISubsystemLinkVexR7100* links[] = {
      acquisition_.Get(), analog_channels_.Get(), logic_channel_.Get(), measure_.Get(),
      timebase_.Get(),    trace_.Get(),           trigger_.Get(),       utilities_.Get()};
  IUnknown* core_unknown = static_cast<IVexR7100EZ*>(core.Get());
  for (ISubsystemLinkVexR7100* link : links) {
    (void)link->_SetParent(self);
    HRESULT hr = link->_Link(core_unknown);
    if (FAILED(hr)) {
      ReleaseSubsystems();
      com::ReportRichError(hr, "The core object does not implement a subsystem's interface.");
      return forwarder_.Refuse(msg::kSubsystemLinkFailed, hr, msg::kHelpDefault);
    }
  }
  return com::S_OK;
}

CVexR7100EZ::~CVexR7100EZ() {
  ReleaseSubsystems();
}

void CVexR7100EZ::ReleaseSubsystems() {
  ISubsystemLinkVexR7100* links[] = {
      acquisition_.Get(), analog_channels_.Get(), logic_channel_.Get(), measure_.Get(),
      timebase_.Get(),    trace_.Get(),           trigger_.Get(),       utilities_.Get()};
  for (ISubsystemLinkVexR7100* link : links) {
    if (link) (void)link->_Unlink();
  }
  acquisition_ = nullptr;
  analog_channels_ = nullptr;
  logic_channel_ = nullptr;
  measure_ = nullptr;
  timebase_ = nullptr;
  trace_ = nullptr;
  trigger_ = nullptr;
  utilities_ = nullptr;
  if (core_) {
    com::ComPtr<ICoreVexR7100> core;
    if (SUCCEEDED(core_.As(&core))) (void)core->_InstallEasy(nullptr);
  }
  core_ = nullptr;
}

template <class Call>
HRESULT CVexR7100EZ::Forward(const MemberFailure& failure, Call&& call) {
  return forwarder_.Forward(core_.Get(), failure, std::forward<Call>(call), msg::kTopLevelReleased);
}

template <class I, class W>
HRESULT CVexR7100EZ::SubObject(const com::ComPtr<W>& wrapper, I** out,
                               const MemberFailure& failure) {
  if (!out) return com::E_POINTER;
  *out = nullptr;
  if (!wrapper) return forwarder_.Fail(failure, "The subsystem object does not exist.");
  HRESULT hr = wrapper->QueryInterface(I::kIid, reinterpret_cast<void**>(out));
  if (FAILED(hr)) return forwarder_.Fail(failure, "The subsystem object refused its interface.");
  return hr;
}

// ---- Subsystem objects: the same object every time, no connection needed ----

HRESULT CVexR7100EZ::get_Acquisition(IAcquisitionVexR7100** object) {
  return SubObject(acquisition_, object, {"VexR7100EZ::Acquisition (read) property failed.", 5});
}
HRESULT CVexR7100EZ::get_AnalogChannels(IAnalogChannelsVexR7100** object) {
  return SubObject(analog_channels_, object,
                   {"VexR7100EZ::AnalogChannels (read) property failed.", 27});
}
HRESULT CVexR7100EZ::get_LogicChannel(ILogicChannelVexR7100** object) {
  return SubObject(logic_channel_, object,
                   {"VexR7100EZ::LogicChannel (read) property failed.", 12});
}
HRESULT CVexR7100EZ::get_Measure(IMeasureVexR7100** object) {
  return SubObject(measure_, object, {"VexR7100EZ::Measure (read) property failed.", 13});
}
HRESULT CVexR7100EZ::get_Timebase(ITimebaseVexR7100** object) {
  return SubObject(timebase_, object, {"VexR7100EZ::Timebase (read) property failed.", 18});
}
HRESULT CVexR7100EZ::get_Trace(ITraceVexR7100** object) {
  return SubObject(trace_, object, {"VexR7100EZ::Trace (read) property failed.", 19});
}
HRESULT CVexR7100EZ::get_Trigger(ITriggerVexR7100** object) {
  return SubObject(trigger_, object, {"VexR7100EZ::Trigger (read) property failed.", 20});
}
HRESULT CVexR7100EZ::get_Utilities(IUtilitiesVexR7100** object) {
  return SubObject(utilities_, object, {"VexR7100EZ::Utilities (read) property failed.", 21});
}

// ---- Instrument members: forwarded to the core ----

HRESULT CVexR7100EZ::Close() {
  return Forward(Method("VexR7100EZ::Close method failed.", 2016),
                 [&](IVexR7100EZ& core) { return core.Close(); });
}
HRESULT CVexR7100EZ::Connect(const Bstr& connection_name, const Bstr& io_prog_id) {
  return Forward(Method(msg::kConnectFailed, 1529),
                 [&](IVexR7100EZ& core) { return core.Connect(connection_name, io_prog_id); });
}
HRESULT CVexR7100EZ::get_ConnectionName(Bstr* value) {
  return Forward(Method("VexR7100EZ::ConnectionName (read) property failed.", 1530),
                 [&](IVexR7100EZ& core) { return core.get_ConnectionName(value); });
}
HRESULT CVexR7100EZ::AutoScale() {
  return Forward(Method(msg::kAutoScaleFailed, 7),
                 [&](IVexR7100EZ& core) { return core.AutoScale(); });
}
HRESULT CVexR7100EZ::Digitize() {
  return Forward(Method(msg::kDigitizeFailed, 8),
                 [&](IVexR7100EZ& core) { return core.Digitize(); });
}
HRESULT CVexR7100EZ::Enter(Variant* result, const Bstr& format) {
  return Forward(Method(msg::kEnterFailed, 74),
                 [&](IVexR7100EZ& core) { return core.Enter(result, format); });
}
HRESULT CVexR7100EZ::GetScreenImage(VexR7100_ImageFormat format, com::IPictureDisp** image) {
  return Forward(Method(msg::kGetScreenImageFailed, 10),
                 [&](IVexR7100EZ& core) { return core.GetScreenImage(format, image); });
}
HRESULT CVexR7100EZ::GetLogicData(VexR7100_WaveformPoints points, Variant* time, Variant* data) {
  return Forward(Method(msg::kGetLogicDataFailed, 9),
                 [&](IVexR7100EZ& core) { return core.GetLogicData(points, time, data); });
}
HRESULT CVexR7100EZ::GetAllWaveformData(VexR7100_WaveformPoints points, SafeArray* data) {
  return Forward(Method(msg::kGetAllWaveformDataFailed, 72),
                 [&](IVexR7100EZ& core) { return core.GetAllWaveformData(points, data); });
}
HRESULT CVexR7100EZ::GetWaveformData(VexR7100_AnalogChannels channel,
                                     VexR7100_WaveformPoints points, Variant* time, Variant* data) {
  return Forward(Method(msg::kGetWaveformDataFailed, 11), [&](IVexR7100EZ& core) {
    return core.GetWaveformData(channel, points, time, data);
  });
}
HRESULT CVexR7100EZ::Output(const Variant& output_buffer) {
  return Forward(Method(msg::kOutputFailed, 75),
                 [&](IVexR7100EZ& core) { return core.Output(output_buffer); });
}
HRESULT CVexR7100EZ::ReadBytes(std::int32_t* count, SafeArray* buffer) {
  return Forward(Method(msg::kReadBytesFailed, 76),
                 [&](IVexR7100EZ& core) { return core.ReadBytes(count, buffer); });
}
HRESULT CVexR7100EZ::Run() {
  return Forward(Method(msg::kRunFailed, 14), [&](IVexR7100EZ& core) { return core.Run(); });
}
HRESULT CVexR7100EZ::SaveScreenImage(const Bstr& filename, VexR7100_ImageFormat format) {
  return Forward(Method(msg::kSaveScreenImageFailed, 15),
                 [&](IVexR7100EZ& core) { return core.SaveScreenImage(filename, format); });
}
HRESULT CVexR7100EZ::StopTrigger() {
  return Forward(Method(msg::kStopTriggerFailed, 51),
                 [&](IVexR7100EZ& core) { return core.StopTrigger(); });
}
HRESULT CVexR7100EZ::SingleTrigger() {
  return Forward(Method(msg::kSingleTriggerFailed, 28),
                 [&](IVexR7100EZ& core) { return core.SingleTrigger(); });
}
HRESULT CVexR7100EZ::WriteBytes(std::int32_t count, const SafeArray& buffer) {
  return Forward(Method(msg::kWriteBytesFailed, 77),
                 [&](IVexR7100EZ& core) { return core.WriteBytes(count, buffer); });
}

// ---- Log forwarding ----

HRESULT CVexR7100EZ::ForwardWriteLog(const Bstr& source, io::LogLevel logging,
                                     const Bstr& message) {
  HRESULT first_failure = com::S_OK;
  log_sinks_->Fire([&](IUnknown* sink) {
    HRESULT hr = static_cast<IForwardWriteLog*>(sink)->ForwardWriteLog(source, logging, message);
    if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
  });
  // Sinks that only implement IDispatch (scripting hosts) hear the entry by name.
  const com::Variant args[] = {com::Variant(source),
                               com::Variant(static_cast<std::int32_t>(logging)),
                               com::Variant(message)};
  HRESULT hr = log_sinks_->FireByName("ForwardWriteLog", args);
  if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
  return first_failure;
}

HRESULT CVexR7100EZ::FindConnectionPoint(const com::IID& iid, com::IConnectionPoint** point) {
  if (!point) return com::E_POINTER;
  *point = nullptr;
  if (iid != IForwardWriteLog::kIid) return com::CONNECT_E_NOCONNECTION;
  *point = com::ComPtr<com::IConnectionPoint>(log_sinks_.Get()).Detach();
  return com::S_OK;
}

// ---- Persistence: the core's settings under the top-level class id ----

HRESULT CVexR7100EZ::GetClassID(com::CLSID* clsid) {
  if (!clsid) return com::E_POINTER;
  *clsid = kVexR7100EZClsid;
  return com::S_OK;
}

namespace {
template <class Call>
HRESULT WithCorePersistence(IVexR7100EZ* core, Call&& call) {
  com::ComPtr<com::IPersistPropertyBag> persist;
  if (!core || FAILED(com::ComPtr<IVexR7100EZ>(core).As(&persist))) return com::E_UNEXPECTED;
  return call(*persist.Get());
}
}  // namespace

HRESULT CVexR7100EZ::InitNew() {
  return WithCorePersistence(core_.Get(), [](com::IPersistPropertyBag& p) { return p.InitNew(); });
}
HRESULT CVexR7100EZ::Load(com::IPropertyBag* bag, com::IErrorLog* error_log) {
  return WithCorePersistence(core_.Get(),
                             [&](com::IPersistPropertyBag& p) { return p.Load(bag, error_log); });
}
HRESULT CVexR7100EZ::Save(com::IPropertyBag* bag, VARIANT_BOOL clear_dirty, VARIANT_BOOL save_all) {
  return WithCorePersistence(
      core_.Get(), [&](com::IPersistPropertyBag& p) { return p.Save(bag, clear_dirty, save_all); });
}

HRESULT CVexR7100EZ::InterfaceSupportsErrorInfo(const com::IID& iid) {
  return iid == IVexR7100EZ::kIid || iid == com::IPersistPropertyBag::kIid ? com::S_OK
                                                                           : com::S_FALSE;
}

const com::DispatchTable& CVexR7100EZ::Table() {
  return DescribedTable<CVexR7100EZ>("VexR7100EZ", [](auto& b) { members::AddEasy(b); });
}

}  // namespace vex::server
