#include "core_vexr7100.h"

#include "command_table.h"
#include "core_member.h"

namespace vex::server {
namespace {

// Members of later subsystems answer this until they exist.
constexpr const char* kNotAvailable = "This member is not available in this version of the server.";

}  // namespace

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

HRESULT CCoreVexR7100::InterfaceSupportsErrorInfo(const com::IID& iid) {
  static const com::IID kSupported[] = {IVexR7100EZ::kIid, IUtilitiesVexR7100::kIid, io::IIO::kIid,
                                        com::IPersistPropertyBag::kIid};
  for (const auto& supported : kSupported) {
    if (iid == supported) return com::S_OK;
  }
  return com::S_FALSE;
}

// ---- Members of the subsystems still to come ----
#define VEX_NOT_YET(signature)                         \
  HRESULT CCoreVexR7100::signature {                   \
    return ReportError(kNotAvailable, com::E_NOTIMPL); \
  }
VEX_NOT_YET(get_Acquisition(IAcquisitionVexR7100**))
VEX_NOT_YET(get_AnalogChannels(IAnalogChannelsVexR7100**))
VEX_NOT_YET(GetScreenImage(VexR7100_ImageFormat, com::IPictureDisp**))
VEX_NOT_YET(GetLogicData(VexR7100_WaveformPoints, Variant*, Variant*))
VEX_NOT_YET(GetAllWaveformData(VexR7100_WaveformPoints, SafeArray*))
VEX_NOT_YET(GetWaveformData(VexR7100_AnalogChannels, VexR7100_WaveformPoints, Variant*, Variant*))
VEX_NOT_YET(get_LogicChannel(ILogicChannelVexR7100**))
VEX_NOT_YET(get_Measure(IMeasureVexR7100**))
VEX_NOT_YET(SaveScreenImage(const Bstr&, VexR7100_ImageFormat))
VEX_NOT_YET(get_Timebase(ITimebaseVexR7100**))
VEX_NOT_YET(get_Trace(ITraceVexR7100**))
VEX_NOT_YET(get_Trigger(ITriggerVexR7100**))
VEX_NOT_YET(get_Utilities(IUtilitiesVexR7100**))
VEX_NOT_YET(ClearDevice())
VEX_NOT_YET(ClearStatus())
VEX_NOT_YET(DisplayMessage(const Bstr&))
VEX_NOT_YET(Options(Variant*))
VEX_NOT_YET(get_PanelLock(VARIANT_BOOL*))
VEX_NOT_YET(put_PanelLock(VARIANT_BOOL))
VEX_NOT_YET(Preset())
VEX_NOT_YET(ReadStateData(Variant*))
VEX_NOT_YET(RecallState(std::int32_t))
VEX_NOT_YET(Reset())
VEX_NOT_YET(SaveState(std::int32_t))
VEX_NOT_YET(SelfTest(std::int32_t*, Bstr*))
VEX_NOT_YET(WriteStateData(const Variant&))
VEX_NOT_YET(StatusBits(std::int32_t*))
VEX_NOT_YET(VerifyDevice(const Bstr&, const Bstr&, const Bstr&, VARIANT_BOOL*))
#undef VEX_NOT_YET

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
          .Method("StopTrigger", 0xdb, &IVexR7100EZ::StopTrigger)
          .Method("SingleTrigger", 0xdc, &IVexR7100EZ::SingleTrigger)
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
