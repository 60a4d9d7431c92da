// Model-dependent SCPI commands: a command id 0 to 39 and, for each of the
// five command sets, the header template to send or nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vex::server {

inline constexpr int kCommandCount = 40;
inline constexpr int kCommandSetCount = 5;

// Ids the operations look up.
enum CommandId : int {
  kCmdChannelRange = 0,
  kCmdChannelOffset = 1,
  kCmdProbeMode = 2,
  kCmdProbeAttenuation = 3,
  kCmdInputCoupling = 4,
  kCmdBandwidthLimit = 5,
  kCmdFrequency = 6,
  kCmdPeriod = 7,
  kCmdPositiveWidth = 8,
  kCmdNegativeWidth = 9,
  kCmdRiseTime = 10,
  kCmdFallTime = 11,
  kCmdDutyCycle = 12,
  kCmdRmsVoltage = 13,
  kCmdMaxVoltage = 14,
  kCmdMinVoltage = 15,
  kCmdAverageVoltage = 16,
  kCmdPeakToPeak = 17,
  kCmdEmpty = 18,
  kCmdTimebaseRange = 19,
  kCmdWindowDelay = 20,
  kCmdTimebaseReference = 21,
  kCmdTriggerSource = 22,
  kCmdTriggerSlope = 23,
  kCmdTriggerLevel = 24,
  kCmdAcquisitionPoints = 25,
  kCmdSingle = 26,
  kCmdDither = 27,
  kCmdTriggerHoldoff = 28,
  kCmdInputImpedance = 29,
  kCmdAmplitude = 30,
  kCmdPreshoot = 31,
  kCmdOvershoot = 32,
  kCmdPanelLock = 33,
  kCmdClearDisplayText = 34,
  kCmdDisplayTextLine = 35,
  kCmdTriggerCoupling = 36,
  kCmdTriggerMode = 37,
  kCmdRun = 38,
  kCmdScreenImage = 39,
};

// The template as stored (with its trailing blank), or nothing when the set
// lacks the command, the id is outside 0 to 39, or the set outside 0 to 4.
// An empty template (id 18) counts as no command.
std::optional<std::string> CommandTemplate(int command_set, int id);

// The four lookup forms. Channel forms put the channel digit at index 5 (the
// x of ":CHANx" and ":ANALx"); query forms replace the trailing blank by "?".
std::optional<std::string> SetForm(int command_set, int id);
std::optional<std::string> QueryForm(int command_set, int id);
std::optional<std::string> ChannelForm(int command_set, int id, int channel);
std::optional<std::string> ChannelQueryForm(int command_set, int id, int channel);

}  // namespace vex::server
