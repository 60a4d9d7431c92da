// The control's dispatch table (its default interface in slot order, then
// IPPVexR7100Scope) and the control library's type library: the control's
// own enumerations and the server's, repeated under the same names and
// values for the hosts' benefit (the image formats only those the control
// passes on).
#include "control_type_library.h"

#include "vexr7100_scope.h"

namespace vex::control {

#define VEX_CONSTANT(name) \
  { #name, name }
#define VEX_SERVER_CONSTANT(name) \
  { #name, server::name }

const com::DispatchTable& VexR7100Scope::Table() {
  static const com::DispatchTable table = [] {
    using com::In;
    using com::InOut;
    using com::Opt;
    using com::OptDefault;
    using com::Out;
    using com::Retval;
    using com::VT_BOOL;
    using com::VT_DISPATCH;
    using com::VT_UNKNOWN;
    using S = VexR7100Scope;
    const auto object = [] { return std::vector{Retval("Object", VT_DISPATCH)}; };
    const auto flag = [] { return std::vector{Retval("Value", VT_BOOL)}; };
    const auto set_flag = [] { return std::vector{In("Value", VT_BOOL)}; };
    com::DispatchTableBuilder<S> b("VexR7100Scope", "_VexR7100Scope");
    b.TableDoc("VexR7100Scope Control");
    b.Get("CountryCode", 1, &S::get_CountryCode)
        .Put("CountryCode", 1, &S::put_CountryCode, {In("Value")})
        .Get("AddressInstrumentID", 2, &S::get_AddressInstrumentID)
        .Hidden()
        .Put("AddressInstrumentID", 2, &S::put_AddressInstrumentID, {In("Value")})
        .Hidden()
        .Get("SearchCriteria", 3, &S::get_SearchCriteria)
        .Hidden()
        .Put("SearchCriteria", 3, &S::put_SearchCriteria, {In("Value")})
        .Hidden()
        .Get("Address", 4, &S::get_Address)
        .Put("Address", 4, &S::put_Address, {In("Value")})
        .Method("Initialize", 5, &S::Initialize)
        .Method("CloseConnection", 6, &S::CloseConnection)
        .Get("IOManager", 7, &S::get_IOManager, object())
        .Hidden()
        .Method("ShowPropertyPages", 8, &S::ShowPropertyPages,
                {OptDefault("Pages", com::Variant(std::int32_t{0}), com::VT_VARIANT)})
        .Get("TXDelay", 9, &S::get_TXDelay)
        .Hidden()
        .Doc("Milliseconds waited between the steps of an instrument probe, 0 to 10000.")
        .Put("TXDelay", 9, &S::put_TXDelay, {In("Value")})
        .Hidden()
        .Doc("Milliseconds waited between the steps of an instrument probe, 0 to 10000.")
        .Get("FontName", 10, &S::get_FontName)
        .Hidden()
        .Put("FontName", 10, &S::put_FontName, {In("Value")})
        .Hidden()
        .Get("FontSize", 11, &S::get_FontSize)
        .Hidden()
        .Put("FontSize", 11, &S::put_FontSize, {In("Value")})
        .Hidden()
        .Get("Setups", 12, &S::get_Setups, object())
        .Method("AboutBox", -552, &S::AboutBox)
        .Get("Acquisition", 13, &S::get_Acquisition, object())
        .Get("AnalogChannels", 14, &S::get_AnalogChannels, object())
        .Get("ConnectionName", 15, &S::get_ConnectionName)
        .Get("LogicChannel", 16, &S::get_LogicChannel, object())
        .Get("Measure", 17, &S::get_Measure, object())
        .Get("Timebase", 18, &S::get_Timebase, object())
        .Get("Trigger", 19, &S::get_Trigger, object())
        .Get("Trace", 20, &S::get_Trace, object())
        .Get("Utilities", 21, &S::get_Utilities, object())
        .Method("AutoScale", 22, &S::AutoScale)
        .Method("Digitize", 23, &S::Digitize)
        .Method("Enter", 24, &S::Enter, {InOut("InputBuffer"), Opt("Format", com::VT_VARIANT)})
        .Method("GetLogicData", 25, &S::GetLogicData, {In("Points"), Out("Time"), Out("Data")})
        .Method("GetScreenImage", 26, &S::GetScreenImage,
                {Opt("Format", com::VT_VARIANT), Retval("Image", VT_DISPATCH)})
        .Method("GetWaveformData", 27, &S::GetWaveformData,
                {In("Channel"), In("Points"), Out("Time"), Out("Data")})
        .Method("GetAllWaveformData", 28, &S::GetAllWaveformData, {In("Points"), InOut("Data")})
        .Method("Output", 29, &S::Output, {In("OutputBuffer")})
        .Method("ReadBytes", 30, &S::ReadBytes,
                {InOut("Count"), InOut("Buffer", com::VT_ARRAY | com::VT_UI1)})
        .Method("Run", 31, &S::Run)
        .Method("SaveScreenImage", 32, &S::SaveScreenImage,
                {In("FileName"), Opt("Format", com::VT_VARIANT)})
        .Method("SingleTrigger", 33, &S::SingleTrigger)
        .Method("StopTrigger", 34, &S::StopTrigger)
        .Method("WriteBytes", 35, &S::WriteBytes,
                {In("Count"), In("Buffer", com::VT_ARRAY | com::VT_UI1)})
        .Get("SupportMessageMode", 36, &S::get_SupportMessageMode)
        .Hidden()
        .Put("SupportMessageMode", 36, &S::put_SupportMessageMode, {In("Value")})
        .Hidden()
        .Get("InstrumentConnected", 37, &S::get_InstrumentConnected, flag())
        .Hidden()
        .Get("ResetOnInitialize", 38, &S::get_ResetOnInitialize, flag())
        .Put("ResetOnInitialize", 38, &S::put_ResetOnInitialize, set_flag())
        .Get("CheckIDOnInitialize", 39, &S::get_CheckIDOnInitialize, flag())
        .Put("CheckIDOnInitialize", 39, &S::put_CheckIDOnInitialize, set_flag())
        .Get("AutomationServerAddress", 40, &S::get_AutomationServerAddress)
        .Hidden();
    b.Interface("IPPVexR7100Scope")
        .Method("IOConfigurationChanged", 0x101, &S::IOConfigurationChanged)
        .Hidden()
        .Get("IOConfigurationControl", 0x102, &S::get_IOConfigurationControl,
             {Retval("Object", VT_UNKNOWN)})
        .Hidden()
        .Get("IOConfigurationPropertyPage", 0x103, &S::get_IOConfigurationPropertyPage,
             {Retval("Object", VT_UNKNOWN)})
        .Hidden()
        .Get("NotifyIOConfigurationChanged", 0x104, &S::get_NotifyIOConfigurationChanged)
        .Hidden()
        .Put("NotifyIOConfigurationChanged", 0x104, &S::put_NotifyIOConfigurationChanged,
             {In("Value")})
        .Hidden();
    const auto page_flag = [&](const char* name, com::DISPID id, auto get, auto put) {
      b.Get(name, id, get, flag()).Hidden().Put(name, id, put, set_flag()).Hidden();
    };
    page_flag("DontShowIOHandshakeWarning", 0x105, &S::get_DontShowIOHandshakeWarning,
              &S::put_DontShowIOHandshakeWarning);
    page_flag("SearchIOExists", 0x106, &S::get_SearchIOExists, &S::put_SearchIOExists);
    page_flag("SearchCriteriaExists", 0x107, &S::get_SearchCriteriaExists,
              &S::put_SearchCriteriaExists);
    page_flag("SetIOExists", 0x108, &S::get_SetIOExists, &S::put_SetIOExists);
    page_flag("SetupsExists", 0x109, &S::get_SetupsExists, &S::put_SetupsExists);
    b.Get("ScreenCenterWidthInPixels", 0x10a, &S::get_ScreenCenterWidthInPixels)
        .Hidden()
        .Get("ScreenCenterHeightInPixels", 0x10b, &S::get_ScreenCenterHeightInPixels)
        .Hidden();
    page_flag("CenterPropertyPages", 0x10c, &S::get_CenterPropertyPages,
              &S::put_CenterPropertyPages);
    b.Get("LastIOHandshakeAddress", 0x10d, &S::get_LastIOHandshakeAddress)
        .Hidden()
        .Put("LastIOHandshakeAddress", 0x10d, &S::put_LastIOHandshakeAddress, {In("Value")})
        .Hidden();
    page_flag("DTROnly", 0x10e, &S::get_DTROnly, &S::put_DTROnly);
    page_flag("InitialSearchMode", 0x10f, &S::get_InitialSearchMode, &S::put_InitialSearchMode);
    page_flag("DontShowSetupIOConfigurationWarning", 0x110,
              &S::get_DontShowSetupIOConfigurationWarning,
              &S::put_DontShowSetupIOConfigurationWarning);
    b.Method("ConfirmSetupIOConfiguration", 0x111, &S::ConfirmSetupIOConfiguration, flag())
        .Hidden();
    return b.Build();
  }();
  return table;
}

const com::TypeLibrary& ControlTypeLibrary() {
  static const com::TypeLibrary library{
      kControlTypeLibraryName,
      {
          {"VexR7100_CountryCode",
           {VEX_CONSTANT(VexR7100_Language_English), VEX_CONSTANT(VexR7100_Language_French),
            VEX_CONSTANT(VexR7100_Language_Spanish), VEX_CONSTANT(VexR7100_Language_Italian),
            VEX_CONSTANT(VexR7100_Language_German), VEX_CONSTANT(VexR7100_Language_Japanese),
            VEX_CONSTANT(VexR7100_Language_Korean),
            VEX_CONSTANT(VexR7100_Language_Traditional_Chinese)}},
          {"VexR7100_ShowPropertyPage",
           {VEX_CONSTANT(VexR7100_ShowPropertyPage_Default),
            VEX_CONSTANT(VexR7100_ShowPropertyPage_Setups),
            VEX_CONSTANT(VexR7100_ShowPropertyPage_Search),
            VEX_CONSTANT(VexR7100_ShowPropertyPage_SetIO)}},
          {"VexR7100_ImageFormat",
           {VEX_SERVER_CONSTANT(VexR7100_ImageFormat_BMP),
            VEX_SERVER_CONSTANT(VexR7100_ImageFormat_GIF),
            VEX_SERVER_CONSTANT(VexR7100_ImageFormat_WMF),
            VEX_SERVER_CONSTANT(VexR7100_ImageFormat_EMF),
            VEX_SERVER_CONSTANT(VexR7100_ImageFormat_TIF),
            VEX_SERVER_CONSTANT(VexR7100_ImageFormat_JPG)}},
          {"VexR7100_AnalogChannels",
           {VEX_SERVER_CONSTANT(VexR7100_Channel_1), VEX_SERVER_CONSTANT(VexR7100_Channel_2),
            VEX_SERVER_CONSTANT(VexR7100_Channel_3), VEX_SERVER_CONSTANT(VexR7100_Channel_4)}},
          {"VexR7100_WaveformPoints",
           {VEX_SERVER_CONSTANT(VexR7100_DataPoints_ALL),
            VEX_SERVER_CONSTANT(VexR7100_DataPoints_100),
            VEX_SERVER_CONSTANT(VexR7100_DataPoints_250),
            VEX_SERVER_CONSTANT(VexR7100_DataPoints_500),
            VEX_SERVER_CONSTANT(VexR7100_DataPoints_1000),
            VEX_SERVER_CONSTANT(VexR7100_DataPoints_2000)}},
          {"VexR7100_LogicBits",
           {VEX_SERVER_CONSTANT(VexR7100_Logic_D0), VEX_SERVER_CONSTANT(VexR7100_Logic_D1),
            VEX_SERVER_CONSTANT(VexR7100_Logic_D2), VEX_SERVER_CONSTANT(VexR7100_Logic_D3),
            VEX_SERVER_CONSTANT(VexR7100_Logic_D4), VEX_SERVER_CONSTANT(VexR7100_Logic_D5),
            VEX_SERVER_CONSTANT(VexR7100_Logic_D6), VEX_SERVER_CONSTANT(VexR7100_Logic_D7),
            VEX_SERVER_CONSTANT(VexR7100_Logic_D8), VEX_SERVER_CONSTANT(VexR7100_Logic_D9),
            VEX_SERVER_CONSTANT(VexR7100_Logic_D10), VEX_SERVER_CONSTANT(VexR7100_Logic_D11),
            VEX_SERVER_CONSTANT(VexR7100_Logic_D12), VEX_SERVER_CONSTANT(VexR7100_Logic_D13),
            VEX_SERVER_CONSTANT(VexR7100_Logic_D14), VEX_SERVER_CONSTANT(VexR7100_Logic_D15)}},
          {"VexR7100_LogicPods",
           {VEX_SERVER_CONSTANT(VexR7100_Logic_POD1), VEX_SERVER_CONSTANT(VexR7100_Logic_POD2)}},
          {"VexR7100_AllChannels",
           {VEX_SERVER_CONSTANT(VexR7100_Channel_A1),  VEX_SERVER_CONSTANT(VexR7100_Channel_A2),
            VEX_SERVER_CONSTANT(VexR7100_Channel_A3),  VEX_SERVER_CONSTANT(VexR7100_Channel_A4),
            VEX_SERVER_CONSTANT(VexR7100_Channel_D0),  VEX_SERVER_CONSTANT(VexR7100_Channel_D1),
            VEX_SERVER_CONSTANT(VexR7100_Channel_D2),  VEX_SERVER_CONSTANT(VexR7100_Channel_D3),
            VEX_SERVER_CONSTANT(VexR7100_Channel_D4),  VEX_SERVER_CONSTANT(VexR7100_Channel_D5),
            VEX_SERVER_CONSTANT(VexR7100_Channel_D6),  VEX_SERVER_CONSTANT(VexR7100_Channel_D7),
            VEX_SERVER_CONSTANT(VexR7100_Channel_D8),  VEX_SERVER_CONSTANT(VexR7100_Channel_D9),
            VEX_SERVER_CONSTANT(VexR7100_Channel_D10), VEX_SERVER_CONSTANT(VexR7100_Channel_D11),
            VEX_SERVER_CONSTANT(VexR7100_Channel_D12), VEX_SERVER_CONSTANT(VexR7100_Channel_D13),
            VEX_SERVER_CONSTANT(VexR7100_Channel_D14), VEX_SERVER_CONSTANT(VexR7100_Channel_D15)}},
          {"VexR7100_AcquisitionCount",
           {VEX_SERVER_CONSTANT(VexR7100_AcquisitionCount_1),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionCount_4),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionCount_8),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionCount_16),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionCount_32),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionCount_64),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionCount_128),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionCount_256)}},
          {"VexR7100_AcquisitionType",
           {VEX_SERVER_CONSTANT(VexR7100_AcquisitionType_Normal),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionType_Average),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionType_Peak),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionType_Glitch),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionType_Real),
            VEX_SERVER_CONSTANT(VexR7100_AcquisitionType_Auto)}},
          {"VexR7100_OnOffState",
           {VEX_SERVER_CONSTANT(VexR7100_Off), VEX_SERVER_CONSTANT(VexR7100_On)}},
          {"VexR7100_ProbeAttenuation",
           {VEX_SERVER_CONSTANT(VexR7100_ProbeAttenuation_X1),
            VEX_SERVER_CONSTANT(VexR7100_ProbeAttenuation_X10),
            VEX_SERVER_CONSTANT(VexR7100_ProbeAttenuation_X20),
            VEX_SERVER_CONSTANT(VexR7100_ProbeAttenuation_X100)}},
          {"VexR7100_ProbeCoupling",
           {VEX_SERVER_CONSTANT(VexR7100_ProbeCoupling_AC),
            VEX_SERVER_CONSTANT(VexR7100_ProbeCoupling_DC),
            VEX_SERVER_CONSTANT(VexR7100_ProbeCoupling_GND)}},
          {"VexR7100_ProbeMode",
           {VEX_SERVER_CONSTANT(VexR7100_ProbeMode_Auto),
            VEX_SERVER_CONSTANT(VexR7100_ProbeMode_Manual)}},
          {"VexR7100_TimeMode",
           {VEX_SERVER_CONSTANT(VexR7100_TimeMode_Normal),
            VEX_SERVER_CONSTANT(VexR7100_TimeMode_Delayed),
            VEX_SERVER_CONSTANT(VexR7100_TimeMode_XY),
            VEX_SERVER_CONSTANT(VexR7100_TimeMode_Roll)}},
          {"VexR7100_TimeReference",
           {VEX_SERVER_CONSTANT(VexR7100_TimeReference_Left),
            VEX_SERVER_CONSTANT(VexR7100_TimeReference_Center),
            VEX_SERVER_CONSTANT(VexR7100_TimeReference_Right)}},
          {"VexR7100_TriggerCoupling",
           {VEX_SERVER_CONSTANT(VexR7100_TriggerCoupling_AC),
            VEX_SERVER_CONSTANT(VexR7100_TriggerCoupling_DC)}},
          {"VexR7100_TriggerMode",
           {VEX_SERVER_CONSTANT(VexR7100_TriggerMode_AutoLevel),
            VEX_SERVER_CONSTANT(VexR7100_TriggerMode_Auto),
            VEX_SERVER_CONSTANT(VexR7100_TriggerMode_Normal)}},
          {"VexR7100_TriggerSlope",
           {VEX_SERVER_CONSTANT(VexR7100_TriggerSlope_Negative),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSlope_Positive)}},
          {"VexR7100_TriggerSource",
           {VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Channel1),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Channel2),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Channel3),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Channel4),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_External),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Line),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D0),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D1),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D2),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D3),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D4),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D5),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D6),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D7),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D8),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D9),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D10),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D11),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D12),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D13),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D14),
            VEX_SERVER_CONSTANT(VexR7100_TriggerSource_Logic_D15)}},
      },
      {&VexR7100Scope::Table()},
  };
  return library;
}

#undef VEX_SERVER_CONSTANT
#undef VEX_CONSTANT

}  // namespace vex::control
