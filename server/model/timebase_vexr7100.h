// CTimebaseVexR7100 ("VexR7100X.TimebaseVexR7100"): the horizontal system as
// clients see it. It implements ITimebaseExVexR7100, so the sample rate and
// the delay are reached on the same object (QueryInterface for the Ex
// interface, or by member name).
#pragma once

#include "subsystem_wrapper.h"

namespace vex::server {

class CTimebaseVexR7100 final : public SubsystemWrapper<ITimebaseExVexR7100, ITimebaseExVexR7100> {
 public:
  CTimebaseVexR7100() : SubsystemWrapper("CTimebaseVexR7100", "Timebase Subsystem Wrapper") {}

  VEX_FORWARD(get_HorizontalDelay, (double* delay), (delay),
              "ITimebaseVexR7100::Delay (read) property failed.", 55)
  VEX_FORWARD(put_HorizontalDelay, (double delay), (delay),
              "ITimebaseVexR7100::Delay (write) property failed.", 55)
  VEX_FORWARD(get_HorizontalRange, (double* range), (range),
              "ITimebaseVexR7100::HorizontalRange (read) property failed.", 56)
  VEX_FORWARD(put_HorizontalRange, (double range), (range),
              "ITimebaseVexR7100::HorizontalRange (write) property failed.", 56)
  VEX_FORWARD(get_Mode, (VexR7100_TimeMode * mode), (mode),
              "ITimebaseVexR7100::Mode (read) property failed.", 57)
  VEX_FORWARD(put_Mode, (VexR7100_TimeMode mode), (mode),
              "ITimebaseVexR7100::Mode (write) property failed.", 57)
  VEX_FORWARD(get_Reference, (VexR7100_TimeReference * reference), (reference),
              "ITimebaseVexR7100::Reference (read) property failed.", 58)
  VEX_FORWARD(put_Reference, (VexR7100_TimeReference reference), (reference),
              "ITimebaseVexR7100::Reference (write) property failed.", 58)
  VEX_FORWARD(get_TimebaseMode, (VexR7100_TimeMode * mode), (mode),
              "ITimebaseVexR7100::Mode (read) property failed.", 57)
  VEX_FORWARD(put_TimebaseMode, (VexR7100_TimeMode mode), (mode),
              "ITimebaseVexR7100::Mode (write) property failed.", 57)
  VEX_FORWARD(get_SampleRate, (double* hertz), (hertz),
              "ITimebaseExVexR7100::SampleRate (read) property failed.", 0)
  VEX_FORWARD(get_Delay, (double* seconds), (seconds),
              "ITimebaseVexR7100::Delay (read) property failed.", 0)
  VEX_FORWARD(put_Delay, (double seconds), (seconds),
              "ITimebaseVexR7100::Delay (write) property failed.", 0)

  VEX_COM_IMPLEMENT_DISPATCH(CTimebaseVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CTimebaseVexR7100>("TimebaseVexR7100", [](auto& b) {
      members::AddTimebase(b);
      members::AddTimebaseEx(b);
    });
  }
};

}  // namespace vex::server
