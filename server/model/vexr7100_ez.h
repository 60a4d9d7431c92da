// CVexR7100EZ ("VexR7100X.VexR7100EZ"): the one creatable top-level object
// of the server. Creating it creates the core object and one object per
// subsystem, each linked to the core; the subsystem properties hand those
// same objects out every time. The instrument members forward to the core.
//
// Releasing the last reference unlinks every subsystem object: one a client
// still holds then fails each member with its own failure message instead of
// calling a core that may be gone. Log entries the core forwards arrive at
// ForwardWriteLog and go to every sink advised on the IForwardWriteLog
// connection point. Persistence (IPersistPropertyBag) is the core's settings.
#pragma once

#include "analog_channels_vexr7100.h"
#include "member_forwarder.h"

namespace vex::server {

class CAcquisitionVexR7100;
class CLogicChannelVexR7100;
class CMeasureVexR7100;
class CTimebaseVexR7100;
class CTraceVexR7100;
class CTriggerVexR7100;
class CUtilitiesVexR7100;

class CVexR7100EZ final
    : public com::Object<IVexR7100EZ, IForwardWriteLog, com::IPersistPropertyBag,
                         com::IConnectionPointContainer, com::ISupportErrorInfo> {
 public:
  // Makes a new top-level object with its core and subsystem objects and
  // asks it for `iid`; a subsystem object that cannot be made or linked
  // fails the creation with its report.
  static HRESULT Create(const com::IID& iid, void** out);

  // ---- IEZ / IVexR7100EZ ----
  HRESULT Close() override;
  HRESULT Connect(const Bstr& connection_name, const Bstr& io_prog_id) override;
  HRESULT get_ConnectionName(Bstr* value) override;
  HRESULT get_Acquisition(IAcquisitionVexR7100** object) override;
  HRESULT get_AnalogChannels(IAnalogChannelsVexR7100** object) override;
  HRESULT AutoScale() override;
  HRESULT Digitize() override;
  HRESULT Enter(Variant* result, const Bstr& format) override;
  HRESULT GetScreenImage(VexR7100_ImageFormat format, com::IPictureDisp** image) override;
  HRESULT GetLogicData(VexR7100_WaveformPoints points, Variant* time, Variant* data) override;
  HRESULT GetAllWaveformData(VexR7100_WaveformPoints points, SafeArray* data) override;
  HRESULT GetWaveformData(VexR7100_AnalogChannels channel, VexR7100_WaveformPoints points,
                          Variant* time, Variant* data) override;
  HRESULT get_LogicChannel(ILogicChannelVexR7100** object) override;
  HRESULT get_Measure(IMeasureVexR7100** object) override;
  HRESULT Output(const Variant& output_buffer) override;
  HRESULT ReadBytes(std::int32_t* count, SafeArray* buffer) override;
  HRESULT Run() override;
  HRESULT SaveScreenImage(const Bstr& filename, VexR7100_ImageFormat format) override;
  HRESULT StopTrigger() override;
  HRESULT SingleTrigger() override;
  HRESULT get_Timebase(ITimebaseVexR7100** object) override;
  HRESULT get_Trace(ITraceVexR7100** object) override;
  HRESULT get_Trigger(ITriggerVexR7100** object) override;
  HRESULT get_Utilities(IUtilitiesVexR7100** object) override;
  HRESULT WriteBytes(std::int32_t count, const SafeArray& buffer) override;

  // ---- IForwardWriteLog ----
  HRESULT ForwardWriteLog(const Bstr& source, io::LogLevel logging, const Bstr& message) override;

  // ---- IPersistPropertyBag ----
  HRESULT GetClassID(com::CLSID* clsid) override;
  HRESULT InitNew() override;
  HRESULT Load(com::IPropertyBag* bag, com::IErrorLog* error_log) override;
  HRESULT Save(com::IPropertyBag* bag, VARIANT_BOOL clear_dirty, VARIANT_BOOL save_all) override;

  // ---- IConnectionPointContainer / ISupportErrorInfo ----
  HRESULT FindConnectionPoint(const com::IID& iid, com::IConnectionPoint** point) override;
  HRESULT InterfaceSupportsErrorInfo(const com::IID& iid) override;

  VEX_COM_IMPLEMENT_DISPATCH(CVexR7100EZ, Table())
  static const com::DispatchTable& Table();

  CVexR7100EZ();

 protected:
  ~CVexR7100EZ() override;

 private:
  HRESULT Initialize();
  void ReleaseSubsystems();
  template <class Call>
  HRESULT Forward(const MemberFailure& failure, Call&& call);
  template <class I, class W>
  HRESULT SubObject(const com::ComPtr<W>& wrapper, I** out, const MemberFailure& failure);

  MemberForwarder forwarder_;
  com::ComPtr<IVexR7100EZ> core_;
  com::ComPtr<com::ConnectionPoint> log_sinks_;
  com::ComPtr<CAcquisitionVexR7100> acquisition_;
  com::ComPtr<CAnalogChannelsVexR7100> analog_channels_;
  com::ComPtr<CLogicChannelVexR7100> logic_channel_;
  com::ComPtr<CMeasureVexR7100> measure_;
  com::ComPtr<CTimebaseVexR7100> timebase_;
  com::ComPtr<CTraceVexR7100> trace_;
  com::ComPtr<CTriggerVexR7100> trigger_;
  com::ComPtr<CUtilitiesVexR7100> utilities_;
};

}  // namespace vex::server
