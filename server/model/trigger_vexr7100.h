// CTriggerVexR7100 ("VexR7100X.TriggerVexR7100"): the trigger as clients see
// it. It implements ITriggerExVexR7100, so the trigger mode of the extended
// set and the holdoff are reached on the same object (QueryInterface for the
// Ex interface, or by member name).
#pragma once

#include "subsystem_wrapper.h"

namespace vex::server {

class CTriggerVexR7100 final : public SubsystemWrapper<ITriggerExVexR7100, ITriggerExVexR7100> {
 public:
  CTriggerVexR7100() : SubsystemWrapper("CTriggerVexR7100", "Trigger Subsystem Wrapper") {}

  VEX_FORWARD(get_Coupling, (VexR7100_TriggerCoupling * mode), (mode),
              "ITriggerVexR7100::Coupling (read) property failed.", 67)
  VEX_FORWARD(put_Coupling, (VexR7100_TriggerCoupling mode), (mode),
              "ITriggerVexR7100::Coupling (write) property failed.", 67)
  VEX_FORWARD(get_Mode, (VexR7100_TriggerMode * mode), (mode),
              "ITriggerVexR7100::Mode (read) property failed.", 68)
  VEX_FORWARD(put_Mode, (VexR7100_TriggerMode mode), (mode),
              "ITriggerVexR7100::Mode (write) property failed.", 68)
  VEX_FORWARD(get_Source, (VexR7100_TriggerSource * source), (source),
              "ITriggerVexR7100::Source (read) property failed.", 70)
  VEX_FORWARD(put_Source, (VexR7100_TriggerSource source), (source),
              "ITriggerVexR7100::Source (write) property failed.", 70)
  VEX_FORWARD(get_Slope, (VexR7100_TriggerSlope * slope), (slope),
              "ITriggerVexR7100::Slope (read) property failed.", 69)
  VEX_FORWARD(put_Slope, (VexR7100_TriggerSlope slope), (slope),
              "ITriggerVexR7100::Slope (write) property failed.", 69)
  VEX_FORWARD(get_TriggerLevel, (double* level), (level),
              "ITriggerVexR7100::Level (read) property failed.", 71)
  VEX_FORWARD(put_TriggerLevel, (double level), (level),
              "ITriggerVexR7100::Level (write) property failed.", 71)
  VEX_FORWARD(get_TRIGGERMODE, (VexR7100_TriggerMode * mode), (mode),
              "ITriggerVexR7100::Mode (read) property failed.", 68)
  VEX_FORWARD(put_TRIGGERMODE, (VexR7100_TriggerMode mode), (mode),
              "ITriggerVexR7100::Mode (write) property failed.", 68)
  VEX_FORWARD(get_Holdoff, (double* seconds), (seconds), "Trigger holdoff (read) property failed.",
              0)
  VEX_FORWARD(put_Holdoff, (double seconds), (seconds), "Trigger holdoff (write) property failed.",
              0)

  VEX_COM_IMPLEMENT_DISPATCH(CTriggerVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CTriggerVexR7100>("TriggerVexR7100", [](auto& b) {
      members::AddTrigger(b);
      members::AddTriggerEx(b);
    });
  }
};

}  // namespace vex::server
