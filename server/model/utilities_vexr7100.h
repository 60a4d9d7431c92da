// CUtilitiesVexR7100 ("VexR7100X.UtilitiesVexR7100"): the IEEE 488.2 common
// operations, instrument housekeeping, the server settings and the
// component information, as clients see them.
#pragma once

#include "subsystem_wrapper.h"

namespace vex::server {

class CUtilitiesVexR7100 final : public SubsystemWrapper<IUtilitiesVexR7100, IUtilitiesVexR7100> {
 public:
  CUtilitiesVexR7100() : SubsystemWrapper("CUtilitiesVexR7100", "Driver Utilities Wrapper") {}

#define VEX_UTILITY_READ(member, Type, property, help_id) \
  VEX_FORWARD(get_##member, (Type * value), (value),      \
              "IUtilitiesVexR7100::" property " (read) property failed.", help_id)
#define VEX_UTILITY_WRITE(member, Type, property, help_id) \
  VEX_FORWARD(put_##member, (Type value), (value),         \
              "IUtilitiesVexR7100::" property " (write) property failed.", help_id)
#define VEX_UTILITY_METHOD(member, params, args, help_id) \
  VEX_FORWARD(member, params, args, "IUtilitiesVexR7100::" #member " method failed.", help_id)

  VEX_UTILITY_READ(ComponentDescription, Bstr, "ComponentDescription", msg::kHelpDefault)
  VEX_UTILITY_READ(ComponentManufacturer, Bstr, "ComponentManufacturer", msg::kHelpDefault)
  VEX_UTILITY_READ(ComponentVersion, Bstr, "ComponentVersion", msg::kHelpDefault)
  VEX_UTILITY_READ(ComponentProgID, Bstr, "ComponentProgID", 38)
  VEX_UTILITY_READ(LogInterface, VARIANT_BOOL, "LogInterface", msg::kHelpDefault)
  VEX_UTILITY_WRITE(LogInterface, VARIANT_BOOL, "LogInterface", msg::kHelpDefault)
  VEX_UTILITY_READ(InstanceName, Bstr, "InstanceName", msg::kHelpDefault)
  VEX_UTILITY_WRITE(InstanceName, const Bstr&, "InstanceName", msg::kHelpDefault)
  VEX_UTILITY_METHOD(ClearDevice, (), (), 1537)
  VEX_UTILITY_METHOD(ClearStatus, (), (), 1538)
  VEX_UTILITY_READ(DetectDeviceErrors, VARIANT_BOOL, "DetectDeviceErrors", msg::kHelpDeviceErrors)
  VEX_UTILITY_WRITE(DetectDeviceErrors, VARIANT_BOOL, "DetectDeviceErrors", msg::kHelpDeviceErrors)
  VEX_UTILITY_METHOD(DisplayMessage, (const Bstr& message), (message), 1541)
  VEX_UTILITY_READ(InstrumentManufacturer, Bstr, "InstrumentManufacturer", msg::kHelpManufacturer)
  VEX_UTILITY_WRITE(InstrumentManufacturer, const Bstr&, "InstrumentManufacturer",
                    msg::kHelpManufacturer)
  VEX_UTILITY_READ(InstrumentModel, Bstr, "InstrumentModel", msg::kHelpModel)
  VEX_UTILITY_WRITE(InstrumentModel, const Bstr&, "InstrumentModel", msg::kHelpModel)
  VEX_UTILITY_READ(InstrumentSerialNumber, Bstr, "InstrumentSerialNumber", msg::kHelpSerial)
  VEX_UTILITY_WRITE(InstrumentSerialNumber, const Bstr&, "InstrumentSerialNumber", msg::kHelpSerial)
  VEX_UTILITY_READ(InstrumentFirmwareVersion, Bstr, "InstrumentFirmwareVersion", msg::kHelpFirmware)
  VEX_UTILITY_WRITE(InstrumentFirmwareVersion, const Bstr&, "InstrumentFirmwareVersion",
                    msg::kHelpFirmware)
  VEX_UTILITY_READ(IO, IUnknown*, "IO", msg::kHelpIORead)
  VEX_UTILITY_WRITE(IO, IUnknown*, "IO", msg::kHelpConnection)
  VEX_UTILITY_METHOD(Options, (Variant * options), (options), 1556)
  VEX_UTILITY_READ(PanelLock, VARIANT_BOOL, "PanelLock", 1536)
  VEX_UTILITY_WRITE(PanelLock, VARIANT_BOOL, "PanelLock", 1536)
  VEX_UTILITY_METHOD(Preset, (), (), 1542)
  VEX_UTILITY_METHOD(QueryInstrumentError, (std::int32_t * number, Bstr* description),
                     (number, description), msg::kHelpQueryInstrumentError)
  VEX_UTILITY_METHOD(ReadStateData, (Variant * state), (state), 1544)
  VEX_UTILITY_METHOD(RecallState, (std::int32_t state), (state), 1545)
  VEX_FORWARD(Reset, (), (), "IUtilitiesVexR7100::ResetDevice method failed.", 1546)
  VEX_UTILITY_METHOD(SaveState, (std::int32_t state), (state), 1547)
  VEX_UTILITY_METHOD(SelfTest, (std::int32_t * result, Bstr* message), (result, message), 1548)
  VEX_UTILITY_METHOD(WriteStateData, (const Variant& state), (state), 1549)
  VEX_UTILITY_METHOD(StatusBits, (std::int32_t * value), (value), 79)
  VEX_UTILITY_READ(RangeChecking, VARIANT_BOOL, "RangeChecking", msg::kHelpDefault)
  VEX_UTILITY_WRITE(RangeChecking, VARIANT_BOOL, "RangeChecking", msg::kHelpDefault)
  VEX_UTILITY_READ(Timeout, std::int32_t, "Timeout", 80)
  VEX_UTILITY_WRITE(Timeout, std::int32_t, "Timeout", 80)
  VEX_UTILITY_METHOD(VerifyDevice,
                     (const Bstr& model, const Bstr& version, const Bstr& serial,
                      VARIANT_BOOL* verify),
                     (model, version, serial, verify), 81)
#undef VEX_UTILITY_READ
#undef VEX_UTILITY_WRITE
#undef VEX_UTILITY_METHOD

  VEX_COM_IMPLEMENT_DISPATCH(CUtilitiesVexR7100, Table())
  static const com::DispatchTable& Table() {
    return DescribedTable<CUtilitiesVexR7100>("UtilitiesVexR7100",
                                              [](auto& b) { members::AddUtilities(b); });
  }
};

}  // namespace vex::server
