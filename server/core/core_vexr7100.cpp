#include "core_vexr7100.h"

#include "command_table.h"
#include "core_member.h"

namespace vex::server {
namespace {}  // namespace

CCoreVexR7100::CCoreVexR7100() : errors_(MakeErrorHandler("CCoreVexR7100", "Core Server Object")) {
  // Numbers are formatted and parsed with "." by the runtime whatever the
  // process locale, so the host's locale is left alone.
}

CCoreVexR7100::~CCoreVexR7100() {
  if (connected_) (void)Close();
}

std::optional<std::string> CCoreVexR7100::Command(int id) const {
  return SetForm(model_.CommandSet(), id);
}
std::optional<std::string> CCoreVexR7100::CommandQuery(int id) const {
  return QueryForm(model_.CommandSet(), id);
}
std::optional<std::string> CCoreVexR7100::ChannelCommand(int id, int channel) const {
  return ChannelForm(model_.CommandSet(), id, channel);
}
std::optional<std::string> CCoreVexR7100::ChannelCommandQuery(int id, int channel) const {
  return ChannelQueryForm(model_.CommandSet(), id, channel);
}

HRESULT CCoreVexR7100::_ModelsTable(const ModelRecord** models) {
  if (!models) return com::E_POINTER;
  *models = &model_;
  return com::S_OK;
}

HRESULT CCoreVexR7100::_InstallEasy(IUnknown* easy) {
  easy_ = easy;
  return com::S_OK;
}

HRESULT CCoreVexR7100::NotYetAvailable() {
  return ReportError("This member is not available in this version of the server.", com::E_NOTIMPL);
}

// Clients of the core itself reach each subsystem through the core's own
// interfaces; the top-level object hands out its wrappers instead.
namespace {
template <class I>
HRESULT Subsystem(CCoreVexR7100* core, I** out) {
  if (!out) return com::E_POINTER;
  return core->QueryInterface(I::kIid, reinterpret_cast<void**>(out));
}
}  // namespace

HRESULT CCoreVexR7100::get_Acquisition(IAcquisitionVexR7100** object) {
  return Subsystem(this, object);
}
HRESULT CCoreVexR7100::get_LogicChannel(ILogicChannelVexR7100** object) {
  return Subsystem(this, object);
}
HRESULT CCoreVexR7100::get_Measure(IMeasureVexR7100** object) {
  return Subsystem(this, object);
}
HRESULT CCoreVexR7100::get_Timebase(ITimebaseVexR7100** object) {
  return Subsystem(this, object);
}
HRESULT CCoreVexR7100::get_Trace(ITraceVexR7100** object) {
  return Subsystem(this, object);
}
HRESULT CCoreVexR7100::get_Trigger(ITriggerVexR7100** object) {
  return Subsystem(this, object);
}
HRESULT CCoreVexR7100::get_Utilities(IUtilitiesVexR7100** object) {
  return Subsystem(this, object);
}
HRESULT CCoreVexR7100::get_AnalogChannels(IAnalogChannelsVexR7100** object) {
  if (!object) return com::E_POINTER;
  *object = nullptr;
  // The channel collection belongs to the top-level object.
  return ReportError(msg::kNotSupported, com::E_NOTIMPL);
}

HRESULT CCoreVexR7100::InterfaceSupportsErrorInfo(const com::IID& iid) {
  static const com::IID kSupported[] = {IVexR7100EZ::kIid,
                                        IAcquisitionVexR7100::kIid,
                                        ILogicChannelVexR7100::kIid,
                                        ITraceVexR7100::kIid,
                                        IUtilitiesVexR7100::kIid,
                                        ITimebaseExVexR7100::kIid,
                                        ITriggerExVexR7100::kIid,
                                        IMeasureExVexR7100::kIid,
                                        io::IIO::kIid,
                                        com::IPersistPropertyBag::kIid};
  for (const auto& supported : kSupported) {
    if (iid == supported) return com::S_OK;
  }
  return com::S_FALSE;
}

const com::DispatchTable& CCoreVexR7100::Table() {
  using com::In;
  using com::InOut;
  using com::Opt;
  using com::OptDefault;
  using com::Out;
  using com::Retval;
  using com::VT_BOOL;
  static const com::DispatchTable table =
      com::DispatchTableBuilder<CCoreVexR7100>("CoreVexR7100", "IEZ")
          .Method("Close", 0x1, &IEZ::Close)
          .Method("Connect", 0x2, &IEZ::Connect, {In("ConnectionName"), Opt("IOProgID")})
          .Get("ConnectionName", 0x3, &IEZ::get_ConnectionName)
          .Interface("IVexR7100EZ")
          .Method("AutoScale", 0xca, &IVexR7100EZ::AutoScale)
          .Method("Digitize", 0xcf, &IVexR7100EZ::Digitize)
          .Method("Enter", 0xd0, &IVexR7100EZ::Enter,
                  {InOut("Result"), OptDefault("Format", Variant("K"))})
          .Method("Output", 0xd6, &IVexR7100EZ::Output, {In("OutputBuffer")})
          .Method("ReadBytes", 0xd7, &IVexR7100EZ::ReadBytes,
                  {InOut("Count"), InOut("Buffer", com::VT_ARRAY | com::VT_UI1)})
          .Method("Run", 0xd9, &IVexR7100EZ::Run)
          .Method("SaveScreenImage", 0xda, &IVexR7100EZ::SaveScreenImage,
                  {In("filename"), OptDefault("Format", Variant(0))})
          .Method("StopTrigger", 0xdb, &IVexR7100EZ::StopTrigger)
          .Method("SingleTrigger", 0xdc, &IVexR7100EZ::SingleTrigger)
          .Get("Timebase", 0xdd, &IVexR7100EZ::get_Timebase)
          .Get("Trace", 0xde, &IVexR7100EZ::get_Trace)
          .Get("Trigger", 0xdf, &IVexR7100EZ::get_Trigger)
          .Get("Utilities", 0xe0, &IVexR7100EZ::get_Utilities)
          .Method("WriteBytes", 0xe1, &IVexR7100EZ::WriteBytes,
                  {In("Count"), In("Buffer", com::VT_ARRAY | com::VT_UI1)})
          .Interface("IUtilitiesVexR7100")
          .Get("ComponentDescription", 0x60020000, &IComponentInfo::get_ComponentDescription)
          .Get("ComponentManufacturer", 0x60020001, &IComponentInfo::get_ComponentManufacturer)
          .Get("ComponentVersion", 0x60020002, &IComponentInfo::get_ComponentVersion)
          .Get("ComponentProgID", 0x60020003, &IComponentInfo::get_ComponentProgID)
          .Get("LogInterface", 0x60020004, &IComponentInfo::get_LogInterface,
               {Retval("Value", VT_BOOL)})
          .Put("LogInterface", 0x60020004, &IComponentInfo::put_LogInterface,
               {In("Value", VT_BOOL)})
          .Get("InstanceName", 0x60020006, &IComponentInfo::get_InstanceName)
          .Put("InstanceName", 0x60020006, &IComponentInfo::put_InstanceName, {In("Value")})
          .Method("ClearDevice", 0x64, &IUtilitiesVexR7100::ClearDevice)
          .Method("ClearStatus", 0x65, &IUtilitiesVexR7100::ClearStatus)
          .Method("DisplayMessage", 0x67, &IUtilitiesVexR7100::DisplayMessage, {In("Message")})
          .Get("DetectDeviceErrors", 0x66, &IUtilitiesVexR7100::get_DetectDeviceErrors,
               {Retval("Value", VT_BOOL)})
          .Put("DetectDeviceErrors", 0x66, &IUtilitiesVexR7100::put_DetectDeviceErrors,
               {In("Value", VT_BOOL)})
          .Get("InstrumentManufacturer", 0x6a, &IUtilitiesVexR7100::get_InstrumentManufacturer)
          .Put("InstrumentManufacturer", 0x6a, &IUtilitiesVexR7100::put_InstrumentManufacturer,
               {In("Value")})
          .Get("InstrumentModel", 0x6b, &IUtilitiesVexR7100::get_InstrumentModel)
          .Put("InstrumentModel", 0x6b, &IUtilitiesVexR7100::put_InstrumentModel, {In("Value")})
          .Get("InstrumentSerialNumber", 0x6c, &IUtilitiesVexR7100::get_InstrumentSerialNumber)
          .Put("InstrumentSerialNumber", 0x6c, &IUtilitiesVexR7100::put_InstrumentSerialNumber,
               {In("Value")})
          .Get("InstrumentFirmwareVersion", 0x6d,
               &IUtilitiesVexR7100::get_InstrumentFirmwareVersion)
          .Put("InstrumentFirmwareVersion", 0x6d,
               &IUtilitiesVexR7100::put_InstrumentFirmwareVersion, {In("Value")})
          .Get("IO", 0x6e, &IUtilitiesVexR7100::get_IO)
          .PutRef("IO", 0x6e, &IUtilitiesVexR7100::put_IO, {In("Interface")})
          .Method("Options", 0x6f, &IUtilitiesVexR7100::Options, {Retval("Options")})
          .Get("PanelLock", 0x70, &IUtilitiesVexR7100::get_PanelLock, {Retval("Value", VT_BOOL)})
          .Put("PanelLock", 0x70, &IUtilitiesVexR7100::put_PanelLock, {In("Value", VT_BOOL)})
          .Method("Preset", 0x71, &IUtilitiesVexR7100::Preset)
          .Method("ReadStateData", 0x73, &IUtilitiesVexR7100::ReadStateData, {Retval("StateData")})
          .Method("RecallState", 0x74, &IUtilitiesVexR7100::RecallState, {In("StateNumber")})
          .Method("Reset", 0x75, &IUtilitiesVexR7100::Reset)
          .Method("SaveState", 0x76, &IUtilitiesVexR7100::SaveState, {In("StateNumber")})
          .Method("SelfTest", 0x77, &IUtilitiesVexR7100::SelfTest,
                  {Out("TestResult"), Out("ResultMessage")})
          .Method("WriteStateData", 0x79, &IUtilitiesVexR7100::WriteStateData, {In("StateData")})
          .Method("StatusBits", 0x7a, &IUtilitiesVexR7100::StatusBits, {Retval("Value")})
          .Method("VerifyDevice", 0x78, &IUtilitiesVexR7100::VerifyDevice,
                  {Opt("Model"), Opt("Version"), Opt("SerialNumber"), Retval("Verify", VT_BOOL)})
          .Method("QueryInstrumentError", 0x72, &IUtilitiesVexR7100::QueryInstrumentError,
                  {Out("ErrorNumber"), Out("ErrorDescription")})
          .Get("RangeChecking", 0x7c, &IUtilitiesVexR7100::get_RangeChecking,
               {Retval("Enabled", VT_BOOL)})
          .Put("RangeChecking", 0x7c, &IUtilitiesVexR7100::put_RangeChecking,
               {In("Enabled", VT_BOOL)})
          .Get("Timeout", 0x7b, &IUtilitiesVexR7100::get_Timeout)
          .Put("Timeout", 0x7b, &IUtilitiesVexR7100::put_Timeout, {In("Value")})
          .Build();
  return table;
}

}  // namespace vex::server
