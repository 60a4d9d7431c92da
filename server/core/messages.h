// The server's own message texts and help ids, each written once.
#pragma once

#include <cstdint>

namespace vex::server::msg {

inline constexpr const char* kNotConnected =
    "The instrument automation server is not currently connected to an instrument.";
inline constexpr const char* kNotSupported =
    "This method (or property) is not supported for the currently connected instrument.";
inline constexpr const char* kNotLegal =
    "This method or an input value is not legal for the currently connected instrument.";
inline constexpr const char* kNotRecognized =
    "One or more of the input values are not recognized by the instrument automation server.";
inline constexpr const char* kOutOfRange = "One or more of the input values are out of range.";
inline constexpr const char* kOutOfRangeForConfiguration =
    "One or more of the input values are out of range for the currently connected instrument's "
    "configuration.";
inline constexpr const char* kResponseNotRecognized =
    "The SCPI response string received from the instrument is not recognized by the instrument "
    "automation server.";
inline constexpr const char* kCorruptBlock =
    "The instrument automation server detected corrupt data (IEEE definite block data) received "
    "from the instrument.";
inline constexpr const char* kDeviceErrorsFound =
    "The following instrument device errors have been detected: ";
inline constexpr const char* kNoDeviceErrors = "\tNone";
inline constexpr const char* kNoErrorDescription = "No error";
inline constexpr const char* kUnidentifiedLowerLevel =
    "An unidentified lower-level error was detected";
inline constexpr const char* kConnectFailed = "VexR7100EZ::Connect method failed.";
inline constexpr const char* kNoConnectionName =
    "The connection failed because no connection name was specified.";
inline constexpr const char* kReconnectFailed =
    "The instrument automation server failed to reconnect to the current I/O address.";
inline constexpr const char* kNameNotSupported = "The specified connection name is not supported.";
inline constexpr const char* kCreateNewIOFailed = "CCoreVexR7100::CreateNewIO() method failed.";
inline constexpr const char* kNoIdentification =
    "The instrument automation server failed to connect to the instrument (the instrument didnot "
    "return an identification string).";
inline constexpr const char* kManufacturerMismatch =
    "The expected instrument manufacturer name failed to verify with connected instrument.";
inline constexpr const char* kModelMismatch =
    "The expected instrument model name/number failed to verify with connected instrument.";
inline constexpr const char* kSerialMismatch =
    "The expected instrument serial number failed to verify with connected instrument.";
inline constexpr const char* kFirmwareMismatch =
    "The expected instrument firmware version failed to verify with connected instrument.";
inline constexpr const char* kCloseFailed = "The instrument connection failed to close.";
inline constexpr const char* kNoIOServer = "There is no I/O automation server loaded.";
inline constexpr const char* kInstallIOFailed =
    "Failed to install a pre-existing I/O object in to the device server core object.";
inline constexpr const char* kSetWhileConnected =
    "This property cannot be set when the instrument automation server is connected to an "
    "instrument.";
inline constexpr const char* kSupportedInstrumentsFailed =
    "Failed to obtain the list of supported instruments for this device server.";
inline constexpr const char* kConnectionStatusFailed =
    "Failed to obtain the current connection status.";
inline constexpr const char* kSupportStatusFailed =
    "Failed to obtain the instrument's support status for this device server.";
inline constexpr const char* kTestForDeviceErrorsFailed =
    "CCoreVexR7100::TestForDeviceErrors() method failed.";

// Instrument settings.
inline constexpr const char* kEnumNotSupported =
    "This enumeration value is not supported for the currently connected instrument.";
inline constexpr const char* kEnumNotRecognized =
    "This enumeration value is not recognized by the instrument automation server.";
inline constexpr const char* kEnumNotSupportedForMethod =
    "This enumeration value is not supported for this method of the currently connected "
    "instrument.";
inline constexpr const char* kAutomaticProbeSense =
    "This channel of the instrument is in automatic probe sense mode and the probe attenuation "
    "cannot be programmably set.";
// Two blanks after the first full stop.
inline constexpr const char* kValueCoerced =
    "An input value was out of range for currently connected instrument.  Value was coerced to "
    "the maximum value for that parameter.";
inline constexpr const char* kNeedsMeasurementModule =
    "The connected instrument requires a measurement/storage module in order to support this "
    "method or property.";
inline constexpr const char* kChannelNotEnabled = "The specified channel is not enabled.";
inline constexpr const char* kClearDeviceNotImplemented =
    "IUtilitiesVexR7100::ClearDevice method is not implemented";
inline constexpr const char* kPresetNotImplemented =
    "IUtilitiesVexR7100::PresetDevice method is not implemented";
inline constexpr const char* kDisplayTracesFailed = "DisplayTraces method failed.";
inline constexpr const char* kClearTracesFailed = "ClearTraces method failed.";

// General help ids.
inline constexpr std::uint32_t kHelpDefault = 4;
inline constexpr std::uint32_t kHelpConnection = 1529;
inline constexpr std::uint32_t kHelpManufacturer = 1531;
inline constexpr std::uint32_t kHelpModel = 1532;
inline constexpr std::uint32_t kHelpSerial = 1533;
inline constexpr std::uint32_t kHelpIORead = 1535;
inline constexpr std::uint32_t kHelpFirmware = 1539;
inline constexpr std::uint32_t kHelpDeviceErrors = 1540;
inline constexpr std::uint32_t kHelpQueryInstrumentError = 1543;
inline constexpr std::uint32_t kHelpClose = 2016;

inline constexpr const char* kHelpFile = "vexR7100.hlp";
inline constexpr const char* kErrorHandlerSource = "VexR7100X.ErrorHandler.1";

// Run control and pass-through I/O.
inline constexpr const char* kAutoScaleFailed = "VexR7100EZ::AutoScale method failed.";
inline constexpr const char* kStopTriggerFailed = "VexR7100EZ::StopTrigger method failed.";
inline constexpr const char* kRunFailed = "VexR7100EZ::Run method failed.";
inline constexpr const char* kSingleTriggerFailed = "VexR7100EZ::SingleTrigger method failed.";
inline constexpr const char* kDigitizeFailed = "VexR7100EZ::Digitize method failed.";
inline constexpr const char* kEnterFailed = "VexR7100EZ::Enter method failed.";
inline constexpr const char* kOutputFailed = "VexR7100EZ::Output method failed.";
inline constexpr const char* kReadBytesFailed = "VexR7100EZ::ReadBytes method failed.";
inline constexpr const char* kWriteBytesFailed = "VexR7100EZ::WriteBytes method failed.";

// The object model: making and linking the objects clients see.
inline constexpr const char* kSubsystemCreateFailed =
    "The instrument automation server failed to initialize because it could not create one or "
    "more subsystem objects.";
inline constexpr const char* kSubsystemLinkFailed =
    "The instrument automation server failed to initialize because it could not link its core "
    "object to one or more subsystem objects.";
inline constexpr const char* kSubsystemNotLinked =
    "The subsystem object is no longer linked to an instrument server (its top-level object "
    "has been released).";
inline constexpr const char* kTopLevelReleased =
    "The top-level object has no core object (it is being released).";

// Data transfers: waveforms, logic data and screen images.
inline constexpr const char* kGetWaveformDataFailed = "VexR7100EZ::GetWaveformData method failed.";
inline constexpr const char* kGetAllWaveformDataFailed =
    "VexR7100EZ::GetAllWaveformData method failed.";
inline constexpr const char* kGetLogicDataFailed = "VexR7100EZ::GetLogicData method failed.";
inline constexpr const char* kBitEnabledReadFailed =
    "ILogicChannelVexR7100::BitEnabled (read) property failed.";
inline constexpr const char* kBitEnabledWriteFailed =
    "ILogicChannelVexR7100::BitEnabled (write) property failed.";
inline constexpr const char* kPodEnabledWriteFailed =
    "ILogicChannelVexR7100::PodEnabled (write) property failed.";
inline constexpr const char* kEnableStatusReadFailed =
    "ILogicChannelVexR7100::EnableStatus (read) property failed.";
inline constexpr const char* kEnableStatusWriteFailed =
    "ILogicChannelVexR7100::EnableStatus (write) property failed.";
inline constexpr const char* kGetScreenImageFailed = "VexR7100EZ::GetScreenImage method failed.";
inline constexpr const char* kSaveScreenImageFailed = "VexR7100EZ::SaveScreenImage method failed.";
inline constexpr const char* kQueryScreenImageFailed = "CCoreVexR7100::QueryScreenImage failed.";
inline constexpr const char* kNoAnalogData =
    "The specified analog channel currently has no acquired data (make sure that it is enabled).";
inline constexpr const char* kNoChannelsEnabled =
    "There are presently no channels enabled for the connected instrument (enable one or more "
    "channels).";
inline constexpr const char* kNoDataObtained =
    "The instrument automation server failed to obtain data from instrument (check that at least "
    "one data channel is enabled).";
inline constexpr const char* kNoLogicData =
    "The logic channels currently have no acquired data (make sure one or more channels are "
    "enabled).";
// Clients compare this text as it stands, slip of "and" for "an" included.
inline constexpr const char* kIllegalPoints =
    "The user requested and illegal number of points for the currently connected instrument.";
inline constexpr const char* kMethodNotSupported =
    "This instrument automation server method is not supported for the currently connected "
    "instrument.";
inline constexpr const char* kPodNotSupported =
    "The specified logic pod is not supported by the connected instrument.";
inline constexpr const char* kScreenConversionFailed =
    "The conversion of the screen image to a viewable bitmap has failed.";
inline constexpr const char* kScreenDataCorrupt = "The screen image data is corrupt.";
inline constexpr const char* kImageLoadFailed = "Failed to convert image data to LeadTools format.";
inline constexpr const char* kImageToEmfFailed = "Failed to convert image data to EMF format.";
inline constexpr const char* kUnrecognizedImageFormat = "Unrecognized image format.";
// ---- End of the data transfers' messages ----

}  // namespace vex::server::msg
