// CLogicChannelVexR7100 ("VexR7100X.LogicChannelVexR7100"): the logic
// channels (bits D0 to D15 in two pods) as clients see them.
#pragma once

#include "subsystem_wrapper.h"

namespace vex::server {

class CLogicChannelVexR7100 final
    : public SubsystemWrapper<ILogicChannelVexR7100, ILogicChannelVexR7100> {
 public:
  CLogicChannelVexR7100() : SubsystemWrapper("CLogicChannelVexR7100", "Logic Channels Wrapper") {}

  VEX_FORWARD(get_BitEnabled, (VexR7100_LogicBits bit, VARIANT_BOOL* value), (bit, value),
              msg::kBitEnabledReadFailed, 39)
  VEX_FORWARD(put_BitEnabled, (VexR7100_LogicBits bit, VARIANT_BOOL value), (bit, value),
              msg::kBitEnabledWriteFailed, 39)
  VEX_FORWARD(put_PodEnabled, (VexR7100_LogicPods pod, VARIANT_BOOL value), (pod, value),
              msg::kPodEnabledWriteFailed, 40)
  VEX_FORWARD(get_EnableStatus, (std::int16_t * value), (value), msg::kEnableStatusReadFailed, 73)
  VEX_FORWARD(put_EnableStatus, (std::int16_t value), (value), msg::kEnableStatusWriteFailed, 73)

  VEX_COM_IMPLEMENT_DISPATCH(CLogicChannelVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CLogicChannelVexR7100>("LogicChannelVexR7100",
                                                 [](auto& b) { members::AddLogicChannel(b); });
  }
};

}  // namespace vex::server
