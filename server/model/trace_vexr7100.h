// CTraceVexR7100 ("VexR7100X.TraceVexR7100"): the trace memories as clients
// see them.
#pragma once

#include "subsystem_wrapper.h"

namespace vex::server {

class CTraceVexR7100 final : public SubsystemWrapper<ITraceVexR7100, ITraceVexR7100> {
 public:
  CTraceVexR7100() : SubsystemWrapper("CTraceVexR7100", "Trace Subsystem Wrapper") {}

  VEX_FORWARD(Clear, (std::int32_t trace), (trace), "ITraceVexR7100::Clear method failed.", 60)
  VEX_FORWARD(get_Enabled, (std::int32_t trace, VARIANT_BOOL* value), (trace, value),
              "ITraceVexR7100::Enabled (read) property failed.", 61)
  VEX_FORWARD(put_Enabled, (std::int32_t trace, VARIANT_BOOL value), (trace, value),
              "ITraceVexR7100::Enabled (write) property failed.", 61)
  VEX_FORWARD(GetData, (std::int32_t trace, Variant* data), (trace, data),
              "ITraceVexR7100::GetData method failed.", 62)
  VEX_FORWARD(PutData, (std::int32_t trace, const Variant& data), (trace, data),
              "ITraceVexR7100::PutData method failed.", 63)
  VEX_FORWARD(Save, (std::int32_t trace), (trace), "ITraceVexR7100::Save method failed.", 64)
  VEX_FORWARD(get_TotalMemories, (std::int32_t * number), (number),
              "ITraceVexR7100::TotalTraceMemories (read) property failed.", 65)

  VEX_COM_IMPLEMENT_DISPATCH(CTraceVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CTraceVexR7100>("TraceVexR7100", [](auto& b) { members::AddTrace(b); });
  }
};

}  // namespace vex::server
