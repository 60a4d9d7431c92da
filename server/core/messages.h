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

}  // namespace vex::server::msg
