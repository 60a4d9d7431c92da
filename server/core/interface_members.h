// The late-bound description of each interface of the server: member names,
// dispatch ids, kinds and parameters, written once and added to the dispatch
// table of every class that implements the interface (the core and the
// objects clients see). Each function adds one interface's members to a
// table builder of class C, which must implement that interface.
#pragma once

#include "vex/com/com.h"
#include "vex/server/vexr7100.h"

namespace vex::server::members {

using com::DispatchTableBuilder;
using com::In;
using com::InOut;
using com::Opt;
using com::OptDefault;
using com::Out;
using com::Retval;
using com::Variant;
using com::VT_BOOL;
using com::VT_DISPATCH;
using com::VT_UNKNOWN;

// IEZ and IVexR7100EZ.
template <class C>
void AddEasy(DispatchTableBuilder<C>& b) {
  const auto object = [] { return std::vector{Retval("Interface", VT_DISPATCH)}; };
  b.Interface("IEZ")
      .Method("Close", 0x1, &IEZ::Close)
      .Method("Connect", 0x2, &IEZ::Connect, {In("ConnectionName"), Opt("IOProgID")})
      .Get("ConnectionName", 0x3, &IEZ::get_ConnectionName)
      .Interface("IVexR7100EZ")
      .Get("Acquisition", 0xc8, &IVexR7100EZ::get_Acquisition, object())
      .Get("AnalogChannels", 0xc9, &IVexR7100EZ::get_AnalogChannels, object())
      .Method("AutoScale", 0xca, &IVexR7100EZ::AutoScale)
      .Method("Digitize", 0xcf, &IVexR7100EZ::Digitize)
      .Method("Enter", 0xd0, &IVexR7100EZ::Enter,
              {InOut("Result"), OptDefault("Format", Variant("K"))})
      .Method("GetScreenImage", 0xd1, &IVexR7100EZ::GetScreenImage,
              {OptDefault("Format", Variant(0)), Retval("ImageObject", VT_DISPATCH)})
      .Method("GetLogicData", 0xd2, &IVexR7100EZ::GetLogicData,
              {In("Points"), Out("Time"), Out("Data")})
      .Method("GetAllWaveformData", 0xe5, &IVexR7100EZ::GetAllWaveformData,
              {In("Points"), Out("Data")})
      .Method("GetWaveformData", 0xd3, &IVexR7100EZ::GetWaveformData,
              {In("Channel"), In("Points"), Out("Time"), Out("Data")})
      .Get("LogicChannel", 0xd4, &IVexR7100EZ::get_LogicChannel, object())
      .Get("Measure", 0xd5, &IVexR7100EZ::get_Measure, object())
      .Method("Output", 0xd6, &IVexR7100EZ::Output, {In("OutputBuffer")})
      .Method("ReadBytes", 0xd7, &IVexR7100EZ::ReadBytes,
              {InOut("Count"), InOut("Buffer", com::VT_ARRAY | com::VT_UI1)})
      .Method("Run", 0xd9, &IVexR7100EZ::Run)
      .Method("SaveScreenImage", 0xda, &IVexR7100EZ::SaveScreenImage,
              {In("filename"), OptDefault("Format", Variant(0))})
      .Method("StopTrigger", 0xdb, &IVexR7100EZ::StopTrigger)
      .Method("SingleTrigger", 0xdc, &IVexR7100EZ::SingleTrigger)
      .Get("Timebase", 0xdd, &IVexR7100EZ::get_Timebase, object())
      .Get("Trace", 0xde, &IVexR7100EZ::get_Trace, object())
      .Get("Trigger", 0xdf, &IVexR7100EZ::get_Trigger, object())
      .Get("Utilities", 0xe0, &IVexR7100EZ::get_Utilities, object())
      .Method("WriteBytes", 0xe1, &IVexR7100EZ::WriteBytes,
              {In("Count"), In("Buffer", com::VT_ARRAY | com::VT_UI1)});
}

// The component information and IUtilitiesVexR7100.
template <class C>
void AddUtilities(DispatchTableBuilder<C>& b) {
  using U = IUtilitiesVexR7100;
  b.Interface("IUtilitiesVexR7100")
      .Get("ComponentDescription", 0x60020000, &IComponentInfo::get_ComponentDescription)
      .Get("ComponentManufacturer", 0x60020001, &IComponentInfo::get_ComponentManufacturer)
      .Get("ComponentVersion", 0x60020002, &IComponentInfo::get_ComponentVersion)
      .Get("ComponentProgID", 0x60020003, &IComponentInfo::get_ComponentProgID)
      .Get("LogInterface", 0x60020004, &IComponentInfo::get_LogInterface,
           {Retval("Value", VT_BOOL)})
      .Put("LogInterface", 0x60020004, &IComponentInfo::put_LogInterface, {In("Value", VT_BOOL)})
      .Get("InstanceName", 0x60020006, &IComponentInfo::get_InstanceName)
      .Put("InstanceName", 0x60020006, &IComponentInfo::put_InstanceName, {In("Value")})
      .Method("ClearDevice", 0x64, &U::ClearDevice)
      .Method("ClearStatus", 0x65, &U::ClearStatus)
      .Get("DetectDeviceErrors", 0x66, &U::get_DetectDeviceErrors, {Retval("Value", VT_BOOL)})
      .Put("DetectDeviceErrors", 0x66, &U::put_DetectDeviceErrors, {In("Value", VT_BOOL)})
      .Method("DisplayMessage", 0x67, &U::DisplayMessage, {In("Message")})
      .Get("InstrumentManufacturer", 0x6a, &U::get_InstrumentManufacturer)
      .Put("InstrumentManufacturer", 0x6a, &U::put_InstrumentManufacturer, {In("Value")})
      .Get("InstrumentModel", 0x6b, &U::get_InstrumentModel)
      .Put("InstrumentModel", 0x6b, &U::put_InstrumentModel, {In("Value")})
      .Get("InstrumentSerialNumber", 0x6c, &U::get_InstrumentSerialNumber)
      .Put("InstrumentSerialNumber", 0x6c, &U::put_InstrumentSerialNumber, {In("Value")})
      .Get("InstrumentFirmwareVersion", 0x6d, &U::get_InstrumentFirmwareVersion)
      .Put("InstrumentFirmwareVersion", 0x6d, &U::put_InstrumentFirmwareVersion, {In("Value")})
      .Get("IO", 0x6e, &U::get_IO)
      .PutRef("IO", 0x6e, &U::put_IO, {In("Interface")})
      .Method("Options", 0x6f, &U::Options, {Retval("Options")})
      .Get("PanelLock", 0x70, &U::get_PanelLock, {Retval("Value", VT_BOOL)})
      .Put("PanelLock", 0x70, &U::put_PanelLock, {In("Value", VT_BOOL)})
      .Method("Preset", 0x71, &U::Preset)
      .Method("QueryInstrumentError", 0x72, &U::QueryInstrumentError,
              {Out("ErrorNumber"), Out("ErrorDescription")})
      .Method("ReadStateData", 0x73, &U::ReadStateData, {Retval("StateData")})
      .Method("RecallState", 0x74, &U::RecallState, {In("StateNumber")})
      .Method("Reset", 0x75, &U::Reset)
      .Method("SaveState", 0x76, &U::SaveState, {In("StateNumber")})
      .Method("SelfTest", 0x77, &U::SelfTest, {Out("TestResult"), Out("ResultMessage")})
      .Method("WriteStateData", 0x79, &U::WriteStateData, {In("StateData")})
      .Method("StatusBits", 0x7a, &U::StatusBits, {Retval("Value")})
      .Get("RangeChecking", 0x7c, &U::get_RangeChecking, {Retval("Enabled", VT_BOOL)})
      .Put("RangeChecking", 0x7c, &U::put_RangeChecking, {In("Enabled", VT_BOOL)})
      .Get("Timeout", 0x7b, &U::get_Timeout)
      .Doc("The I/O timeout in milliseconds, 0 to 600000.")
      .Put("Timeout", 0x7b, &U::put_Timeout, {In("Value")})
      .Doc("The I/O timeout in milliseconds, 0 to 600000.")
      .Method("VerifyDevice", 0x78, &U::VerifyDevice,
              {Opt("Model"), Opt("Version"), Opt("SerialNumber"), Retval("Verify", VT_BOOL)});
}

template <class C>
void AddAcquisition(DispatchTableBuilder<C>& b) {
  using A = IAcquisitionVexR7100;
  b.Interface("IAcquisitionVexR7100")
      .Get("CompletionMinimum", 0x177, &A::get_CompletionMinimum)
      .Put("CompletionMinimum", 0x177, &A::put_CompletionMinimum, {In("Percent")})
      .Get("Count", 0x178, &A::get_Count)
      .Put("Count", 0x178, &A::put_Count, {In("Count")})
      .Get("DitherEnabled", 0x179, &A::get_DitherEnabled, {Retval("State", VT_BOOL)})
      .Put("DitherEnabled", 0x179, &A::put_DitherEnabled, {In("State", VT_BOOL)})
      .Get("Type", 0x17a, &A::get_Type)
      .Put("Type", 0x17a, &A::put_Type, {In("Type")});
}

template <class C>
void AddAcquisitionEx(DispatchTableBuilder<C>& b) {
  b.Interface("IAcquisitionExVexR7100").Get("Points", 0x17c, &IAcquisitionExVexR7100::get_Points);
}

template <class C>
void AddAnalogChannel(DispatchTableBuilder<C>& b) {
  using A = IAnalogChannelVexR7100;
  b.Interface("IAnalogChannelVexR7100")
      .Get("BandWidthLimit", 0xfa, &A::get_BandWidthLimit)
      .Put("BandWidthLimit", 0xfa, &A::put_BandWidthLimit, {In("State")})
      .Get("Enabled", 0xfb, &A::get_Enabled, {Retval("Value", VT_BOOL)})
      .Put("Enabled", 0xfb, &A::put_Enabled, {In("Value", VT_BOOL)})
      .Get("ProbeAttenuation", 0xfc, &A::get_ProbeAttenuation)
      .Put("ProbeAttenuation", 0xfc, &A::put_ProbeAttenuation, {In("paVal")})
      .Get("ProbeCoupling", 0xfd, &A::get_ProbeCoupling)
      .Put("ProbeCoupling", 0xfd, &A::put_ProbeCoupling, {In("pcVal")})
      .Get("ProbeMode", 0xfe, &A::get_ProbeMode)
      .Get("VerticalOffset", 0xff, &A::get_VerticalOffset)
      .Put("VerticalOffset", 0xff, &A::put_VerticalOffset, {In("dVal")})
      .Get("VerticalRange", 0x100, &A::get_VerticalRange)
      .Put("VerticalRange", 0x100, &A::put_VerticalRange, {In("dVal")})
      .Method("_SetChannelIndex", 0x101, &A::_SetChannelIndex, {In("Index")})
      .Hidden();
}

template <class C>
void AddAnalogChannels(DispatchTableBuilder<C>& b) {
  using A = IAnalogChannelsVexR7100;
  b.Interface("IAnalogChannelsVexR7100")
      .Method("Item", 0x0, &A::Item, {In("Index"), Retval("Interface", VT_DISPATCH)})
      .Get("Count", 0x1, &A::get_Count)
      .Get("_NewEnum", com::DISPID_NEWENUM, &A::get__NewEnum, {Retval("Interface", VT_UNKNOWN)})
      .Hidden();
}

template <class C>
void AddLogicChannel(DispatchTableBuilder<C>& b) {
  using L = ILogicChannelVexR7100;
  b.Interface("ILogicChannelVexR7100")
      .Get("BitEnabled", 0x12c, &L::get_BitEnabled, {In("Bit"), Retval("Value", VT_BOOL)})
      .Put("BitEnabled", 0x12c, &L::put_BitEnabled, {In("Bit"), In("Value", VT_BOOL)})
      .Put("PodEnabled", 0x12d, &L::put_PodEnabled, {In("Pod"), In("Value", VT_BOOL)})
      .Get("EnableStatus", 0x12e, &L::get_EnableStatus)
      .Put("EnableStatus", 0x12e, &L::put_EnableStatus, {In("Value")});
}

template <class C>
void AddMeasure(DispatchTableBuilder<C>& b) {
  using M = IMeasureVexR7100;
  const auto args = [](const char* result) { return std::vector{In("Channel"), Retval(result)}; };
  b.Interface("IMeasureVexR7100")
      .Method("AverageVoltage", 0x190, &M::AverageVoltage, args("Volts"))
      .Method("DutyCycle", 0x191, &M::DutyCycle, args("Ratio"))
      .Method("FallTime", 0x192, &M::FallTime, args("Seconds"))
      .Method("Frequency", 0x193, &M::Frequency, args("Hertz"))
      .Method("MaxVoltage", 0x194, &M::MaxVoltage, args("Volts"))
      .Method("MinVoltage", 0x195, &M::MinVoltage, args("Volts"))
      .Method("NegativePulseWidth", 0x196, &M::NegativePulseWidth, args("Seconds"))
      .Method("PeakToPeakVolts", 0x197, &M::PeakToPeakVolts, args("Volts"))
      .Method("Period", 0x198, &M::Period, args("Seconds"))
      .Method("PositivePulseWidth", 0x199, &M::PositivePulseWidth, args("Seconds"))
      .Method("RiseTime", 0x19a, &M::RiseTime, args("Seconds"))
      .Method("RMSVoltage", 0x19b, &M::RMSVoltage, args("Volts"));
}

template <class C>
void AddMeasureEx(DispatchTableBuilder<C>& b) {
  using M = IMeasureExVexR7100;
  const auto args = [] { return std::vector{In("Channel"), Retval("Volts")}; };
  b.Interface("IMeasureExVexR7100")
      .Method("Amplitude", 0x19d, &M::Amplitude, args())
      .Method("Preshoot", 0x19e, &M::Preshoot, args())
      .Method("Overshoot", 0x19f, &M::Overshoot, args());
}

template <class C>
void AddTimebase(DispatchTableBuilder<C>& b) {
  using T = ITimebaseVexR7100;
  b.Interface("ITimebaseVexR7100")
      .Get("HorizontalDelay", 0x145, &T::get_HorizontalDelay)
      .Put("HorizontalDelay", 0x145, &T::put_HorizontalDelay, {In("TimeDelay")})
      .Get("HorizontalRange", 0x146, &T::get_HorizontalRange)
      .Put("HorizontalRange", 0x146, &T::put_HorizontalRange, {In("dblVal")})
      .Get("Mode", 0x147, &T::get_Mode)
      .Put("Mode", 0x147, &T::put_Mode, {In("tmVal")})
      .Get("Reference", 0x148, &T::get_Reference)
      .Put("Reference", 0x148, &T::put_Reference, {In("Reference")});
}

template <class C>
void AddTimebaseEx(DispatchTableBuilder<C>& b) {
  using T = ITimebaseExVexR7100;
  b.Interface("ITimebaseExVexR7100")
      .Get("TimebaseMode", 0x14a, &T::get_TimebaseMode)
      .Put("TimebaseMode", 0x14a, &T::put_TimebaseMode, {In("tmVal")})
      .Get("SampleRate", 0x14b, &T::get_SampleRate)
      .Get("Delay", 0x14c, &T::get_Delay)
      .Put("Delay", 0x14c, &T::put_Delay, {In("Seconds")});
}

template <class C>
void AddTrace(DispatchTableBuilder<C>& b) {
  using T = ITraceVexR7100;
  b.Interface("ITraceVexR7100")
      .Method("Clear", 0x1a9, &T::Clear, {In("TraceNumber")})
      .Get("Enabled", 0x1aa, &T::get_Enabled, {In("TraceNumber"), Retval("Value", VT_BOOL)})
      .Put("Enabled", 0x1aa, &T::put_Enabled, {In("TraceNumber"), In("Value", VT_BOOL)})
      .Method("GetData", 0x1ab, &T::GetData, {In("TraceNumber"), Out("TraceData")})
      .Method("PutData", 0x1ac, &T::PutData, {In("TraceNumber"), In("TraceData")})
      .Method("Save", 0x1ad, &T::Save, {In("TraceNumber")})
      .Get("TotalMemories", 0x1ae, &T::get_TotalMemories);
}

template <class C>
void AddTrigger(DispatchTableBuilder<C>& b) {
  using T = ITriggerVexR7100;
  b.Interface("ITriggerVexR7100")
      .Get("Coupling", 0x15e, &T::get_Coupling)
      .Put("Coupling", 0x15e, &T::put_Coupling, {In("Mode")})
      .Get("Mode", 0x15f, &T::get_Mode)
      .Put("Mode", 0x15f, &T::put_Mode, {In("Mode")})
      .Get("Source", 0x160, &T::get_Source)
      .Put("Source", 0x160, &T::put_Source, {In("Source")})
      .Get("Slope", 0x161, &T::get_Slope)
      .Put("Slope", 0x161, &T::put_Slope, {In("Slope")})
      .Get("TriggerLevel", 0x162, &T::get_TriggerLevel)
      .Put("TriggerLevel", 0x162, &T::put_TriggerLevel, {In("Level")});
}

template <class C>
void AddTriggerEx(DispatchTableBuilder<C>& b) {
  using T = ITriggerExVexR7100;
  b.Interface("ITriggerExVexR7100")
      .Get("TRIGGERMODE", 0x164, &T::get_TRIGGERMODE)
      .Put("TRIGGERMODE", 0x164, &T::put_TRIGGERMODE, {In("Mode")})
      .Get("Holdoff", 0x165, &T::get_Holdoff)
      .Put("Holdoff", 0x165, &T::put_Holdoff, {In("pVal")});
}

}  // namespace vex::server::members
