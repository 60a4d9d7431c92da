// CAnalogChannelVexR7100 ("VexR7100X.AnalogChannelVexR7100"): one analog
// channel as clients see it. It forwards to the core's channel members with
// its channel number (set with _SetChannelIndex) as the first argument.
#pragma once

#include "subsystem_wrapper.h"

namespace vex::server {

class CAnalogChannelVexR7100 final
    : public SubsystemWrapper<IFlatAnalogVexR7100, IAnalogChannelVexR7100> {
 public:
  CAnalogChannelVexR7100() : SubsystemWrapper("CAnalogChannelVexR7100", "Analog Channel Wrapper") {}

  HRESULT _SetChannelIndex(std::int16_t index) override {
    channel_ = static_cast<VexR7100_AnalogChannels>(index);
    return com::S_OK;
  }

#define VEX_CHANNEL(member, Type, value, message, help_id) \
  VEX_FORWARD(member, (Type value), (channel_, value), message, help_id)
  VEX_CHANNEL(get_BandWidthLimit, VexR7100_OnOffState*, state,
              "IAnalogChannelVexR7100::BandWidthLimit (read) property failed.", 31)
  VEX_CHANNEL(put_BandWidthLimit, VexR7100_OnOffState, state,
              "IAnalogChannelVexR7100::BandWidthLimit (write) property failed.", 31)
  VEX_CHANNEL(get_Enabled, VARIANT_BOOL*, value,
              "IAnalogChannelVexR7100::Enabled (read) property failed.", 32)
  VEX_CHANNEL(put_Enabled, VARIANT_BOOL, value,
              "IAnalogChannelVexR7100::Enabled (write) property failed.", 32)
  VEX_CHANNEL(get_ProbeAttenuation, VexR7100_ProbeAttenuation*, value,
              "IAnalogChannelVexR7100::ProbeAttenuation (read) property failed.", 33)
  VEX_CHANNEL(put_ProbeAttenuation, VexR7100_ProbeAttenuation, value,
              "IAnalogChannelVexR7100::ProbeAttenuation (write) property failed.", 33)
  VEX_CHANNEL(get_ProbeCoupling, VexR7100_ProbeCoupling*, value,
              "IAnalogChannelVexR7100::ProbeCoupling (read) property failed.", 34)
  VEX_CHANNEL(put_ProbeCoupling, VexR7100_ProbeCoupling, value,
              "IAnalogChannelVexR7100::ProbeCoupling (write) property failed.", 34)
  VEX_CHANNEL(get_ProbeMode, VexR7100_ProbeMode*, value,
              "IAnalogChannelVexR7100::ProbeMode (read) property failed.", 35)
  VEX_CHANNEL(get_VerticalOffset, double*, value,
              "IAnalogChannelVexR7100::VerticalOffset (read) property failed.", 36)
  VEX_CHANNEL(put_VerticalOffset, double, value,
              "IAnalogChannelVexR7100::VerticalOffset (write) property failed.", 36)
  // "Veritcal" is the message's own spelling.
  VEX_CHANNEL(get_VerticalRange, double*, value,
              "IAnalogChannelVexR7100::VeritcalRange (read) property failed.", 37)
  VEX_CHANNEL(put_VerticalRange, double, value,
              "IAnalogChannelVexR7100::VerticalRange (write) property failed.", 37)
#undef VEX_CHANNEL

  VEX_COM_IMPLEMENT_DISPATCH(CAnalogChannelVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CAnalogChannelVexR7100>("AnalogChannelVexR7100",
                                                  [](auto& b) { members::AddAnalogChannel(b); });
  }

 private:
  VexR7100_AnalogChannels channel_ = VexR7100_Channel_1;
};

}  // namespace vex::server
