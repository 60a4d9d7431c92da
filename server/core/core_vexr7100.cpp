#include "core_vexr7100.h"

#include "command_table.h"
#include "core_member.h"
#include "interface_members.h"

namespace vex::server {

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
  static const com::DispatchTable table = [] {
    com::DispatchTableBuilder<CCoreVexR7100> builder("CoreVexR7100");
    members::AddEasy(builder);
    members::AddUtilities(builder);
    return builder.Build();
  }();
  return table;
}

}  // namespace vex::server
