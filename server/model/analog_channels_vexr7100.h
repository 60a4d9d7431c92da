// CAnalogChannelsVexR7100 ("VexR7100X.AnalogChannelsVexR7100"): the analog
// channel collection. It owns four channel objects numbered 1 to 4, linked to
// the core with it; Item hands out any of the four whatever the connected
// model has, while Count and enumeration cover the model's own channels.
#pragma once

#include <array>

#include "analog_channel_vexr7100.h"
#include "subsystem_wrapper.h"

namespace vex::server {

class CAnalogChannelsVexR7100 final
    : public SubsystemWrapper<ICoreVexR7100, IAnalogChannelsVexR7100> {
 public:
  static constexpr int kChannels = 4;

  CAnalogChannelsVexR7100();

  // Links the collection and its four channels; if a channel cannot be
  // linked, all four are unlinked and released.
  HRESULT _Link(IUnknown* core) override;
  HRESULT _Unlink() override;

  HRESULT Item(std::int32_t index, IAnalogChannelVexR7100** channel) override;
  HRESULT get_Count(std::int32_t* value) override;
  HRESULT get__NewEnum(IUnknown** enumerator) override;

  VEX_COM_IMPLEMENT_DISPATCH(CAnalogChannelsVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CAnalogChannelsVexR7100>("AnalogChannelsVexR7100",
                                                   [](auto& b) { members::AddAnalogChannels(b); });
  }

 private:
  void ReleaseChannels();

  std::array<com::ComPtr<CAnalogChannelVexR7100>, kChannels> channels_;
};

}  // namespace vex::server
