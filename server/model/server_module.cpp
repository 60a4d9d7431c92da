// The classes the automation server registers and serves, and its type
// library.
#include "acquisition_vexr7100.h"
#include "analog_channels_vexr7100.h"
#include "core_vexr7100.h"
#include "error_handler.h"
#include "glad_bag.h"
#include "logic_channel_vexr7100.h"
#include "measure_vexr7100.h"
#include "server_type_library.h"
#include "timebase_vexr7100.h"
#include "trace_vexr7100.h"
#include "trigger_vexr7100.h"
#include "utilities_vexr7100.h"
#include "vexr7100_ez.h"

namespace vex::server {
namespace {

template <class T>
com::CreateFunction Creator() {
  return [](const com::IID& iid, void** out) {
    auto object = com::MakeObject<T>();
    return object->QueryInterface(iid, out);
  };
}

com::ClassRegistration Entry(const com::CLSID& clsid, const std::string& name) {
  return com::ClassRegistration{clsid,
                                "VexR7100X." + name + ".1",
                                "VexR7100X." + name,
                                name + " Class",
                                "Apartment",
                                "",
                                kTypeLibraryName,
                                true};
}

const com::ServerModule& Module() {
  static const com::ServerModule module{{
      {Entry(kVexR7100EZClsid, "VexR7100EZ"), &CVexR7100EZ::Create},
      {Entry(kAcquisitionVexR7100Clsid, "AcquisitionVexR7100"), Creator<CAcquisitionVexR7100>()},
      {Entry(kAnalogChannelsVexR7100Clsid, "AnalogChannelsVexR7100"),
       Creator<CAnalogChannelsVexR7100>()},
      {Entry(kAnalogChannelVexR7100Clsid, "AnalogChannelVexR7100"),
       Creator<CAnalogChannelVexR7100>()},
      {Entry(kLogicChannelVexR7100Clsid, "LogicChannelVexR7100"), Creator<CLogicChannelVexR7100>()},
      {Entry(kMeasureVexR7100Clsid, "MeasureVexR7100"), Creator<CMeasureVexR7100>()},
      {Entry(kTimebaseVexR7100Clsid, "TimebaseVexR7100"), Creator<CTimebaseVexR7100>()},
      {Entry(kTraceVexR7100Clsid, "TraceVexR7100"), Creator<CTraceVexR7100>()},
      {Entry(kTriggerVexR7100Clsid, "TriggerVexR7100"), Creator<CTriggerVexR7100>()},
      {Entry(kUtilitiesVexR7100Clsid, "UtilitiesVexR7100"), Creator<CUtilitiesVexR7100>()},
      {Entry(kCoreVexR7100Clsid, "CoreVexR7100"), Creator<CCoreVexR7100>()},
      {Entry(kErrorHandlerClsid, "ErrorHandler"), Creator<ErrorHandler>()},
      {Entry(kGladBagClsid, "GladBag"), Creator<GladBag>()},
  }};
  return module;
}

}  // namespace
}  // namespace vex::server

VEX_COM_EXPORT_SERVER(vex::server::Module())
VEX_COM_EXPORT_TYPE_LIBRARY(vex::server::ServerTypeLibrary())
