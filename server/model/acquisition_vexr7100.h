// CAcquisitionVexR7100 ("VexR7100X.AcquisitionVexR7100"): the acquisition
// subsystem as clients see it. It implements IAcquisitionExVexR7100, so a
// client that asks it for the Ex interface (QueryInterface, or by member name
// through late binding) reaches the record length as well.
#pragma once

#include "subsystem_wrapper.h"

namespace vex::server {

class CAcquisitionVexR7100 final
    : public SubsystemWrapper<IAcquisitionExVexR7100, IAcquisitionExVexR7100> {
 public:
  CAcquisitionVexR7100()
      : SubsystemWrapper("CAcquisitionVexR7100", "Acquistion Subsystem Wrapper") {}

  VEX_FORWARD(get_CompletionMinimum, (std::int32_t * percent), (percent),
              "IAcquisitionVexR7100::CompletionMinimum (read) property failed.", 23)
  VEX_FORWARD(put_CompletionMinimum, (std::int32_t percent), (percent),
              "IAcquisitionVexR7100::CompletionMinimum (write) property failed.", 23)
  VEX_FORWARD(get_Count, (VexR7100_AcquisitionCount * count), (count),
              "IAcquisitionVexR7100::Count (read) property failed.", 24)
  VEX_FORWARD(put_Count, (VexR7100_AcquisitionCount count), (count),
              "IAcquisitionVexR7100::Count (write) property failed.", 24)
  VEX_FORWARD(get_DitherEnabled, (VARIANT_BOOL * state), (state),
              "IAcquisitionVexR7100::Dither (read) property failed.", 25)
  VEX_FORWARD(put_DitherEnabled, (VARIANT_BOOL state), (state),
              "IAcquisitionVexR7100::Dither (write) property failed.", 25)
  VEX_FORWARD(get_Type, (VexR7100_AcquisitionType * type), (type),
              "IAcquisitionVexR7100::Type (read) property failed.", 26)
  VEX_FORWARD(put_Type, (VexR7100_AcquisitionType type), (type),
              "IAcquisitionVexR7100::Type (write) property failed.", 26)
  VEX_FORWARD(get_Points, (std::int32_t * points), (points),
              "IAcquisitionExVexR7100::Points (read) property failed.", 26)

  VEX_COM_IMPLEMENT_DISPATCH(CAcquisitionVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CAcquisitionVexR7100>("AcquisitionVexR7100", [](auto& b) {
      members::AddAcquisition(b);
      members::AddAcquisitionEx(b);
    });
  }
};

}  // namespace vex::server
