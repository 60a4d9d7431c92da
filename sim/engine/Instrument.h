// The simulated oscilloscope: settings, status registers, error queue and
// the command table, reached through sessions.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/CommandTable.h"
#include "engine/ErrorQueue.h"
#include "engine/Fault.h"
#include "engine/Response.h"
#include "engine/Session.h"
#include "engine/Settings.h"

namespace vex::sim {

struct InstrumentOptions {
  // Any text is accepted; the supported family names fix the channel count.
  std::string model = "VDS3014A";
  std::string serial = "SIM000001";
  std::string firmware = "A.03.00";
  std::string manufacturer = "VEXAN TECHNOLOGIES";
  // What each new session starts with; a session may change its own.
  Fault fault = Fault::kNone;
  unsigned fault_delay_ms = 1000;
  // ":SYSTem:ERRor?" answers the number alone instead of number and text;
  // each new session starts with this, ":SIMulator:ERRFormat" changes it.
  bool short_errors = false;
};

// Analog channels of a model name: 4 for the four-channel models of the
// family, 2 for every other name, unknown ones included.
int AnalogChannelsOf(const std::string& model);

// One instrument. Transports open a Session per connection; a transport with
// one host only (an in-process bus, a VXI-11 link) may use the instrument's
// own default session through Write and TakeResponse.
//
// Not thread-safe: the instrument and its sessions are used from one thread.
class Instrument {
 public:
  static constexpr int kSaveRegisters = 3;  // *SAV and *RCL take 0 to 2
  // Full-scale vertical range at the probe tip, in volts.
  static constexpr double kRangeMin = 0.016;
  static constexpr double kRangeMax = 40.0;

  explicit Instrument(InstrumentOptions options = {});
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;
  ~Instrument();

  // The default session's byte interface.
  void Write(std::span<const uint8_t> bytes, bool end = false) { session_->Write(bytes, end); }
  std::optional<Response> TakeResponse() { return session_->TakeResponse(); }
  Session& DefaultSession() { return *session_; }

  // A further connection sharing this instrument's state.
  std::unique_ptr<Session> OpenSession() { return std::make_unique<Session>(*this); }

  const InstrumentOptions& options() const { return options_; }
  int AnalogChannels() const { return channels_; }
  // Channels 3 and 4 of the four-channel models are inputs with two fixed
  // ranges, the lowest and the highest, which ":CHANnel<n>:RANGe?" reports
  // as LOW and HIGH.
  bool TwoRangeInput(int channel) const { return channels_ == 4 && channel >= 3; }
  // The *IDN? reply, without terminator.
  std::string Identity() const;

  // State that command handlers read and change.
  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }
  ErrorQueue& errors() { return errors_; }
  // Queues an error and sets its event status bit.
  void PushError(int code);
  uint8_t event_status() const { return esr_; }
  void SetEventBits(uint8_t bits) { esr_ |= bits; }
  // *ESR?: returns the register and clears it.
  uint8_t TakeEventStatus();
  uint8_t event_enable = 0;    // *ESE
  uint8_t service_enable = 0;  // *SRE
  // *STB?: error queue, message available for `session`, event summary.
  uint8_t StatusByte(const Session& session) const;

  // *RST: every property back to its initial value.
  void Reset();
  // *SAV / *RCL; Recall fails for a register never saved.
  void Save(int reg) { saved_.at(static_cast<std::size_t>(reg)) = settings_; }
  bool Recall(int reg);

  // The whole settings state as a learn string, and back. Applying checks
  // every entry before changing anything; false leaves the state untouched.
  std::vector<uint8_t> LearnString() const;
  bool ApplyLearnString(std::span<const uint8_t> data);

  // Trace memories: written with ":TRACe:DATA n,<block>" or ":DISPlay:DATA
  // <block>", or stored from a channel's codes (":STORe", ":MERGe").
  std::map<long long, std::vector<uint8_t>>& traces() { return traces_; }
  const std::map<long long, std::vector<uint8_t>>& traces() const { return traces_; }
  // Trace memories shown on the screen (":VIEW PMEM<n>").
  std::set<long long> shown_memories;
  // The trace memory ":DISPlay:DATA" reads and writes without a format.
  long long display_source = 0;

  enum class RunState { kRunning, kStopped, kSingle };
  RunState run_state = RunState::kRunning;
  uint64_t acquisitions = 0;  // completed acquisitions, for :DIGitize and :SINGle
  bool test_pattern = false;  // waveform data as the byte ramp 0..255, see WaveformSynth

  // Executes one program message for `session` (called by Session).
  void Execute(Session& session, std::span<const uint8_t> message);

 private:
  void ExecuteUnit(Session& session, const ProgramUnit& unit);
  void RunRow(Session& session, const ProgramUnit& unit, const CommandTable::Found& found);
  int SuffixLimit(const CommandRow& row) const;

  InstrumentOptions options_;
  int channels_;
  CommandTable table_;
  Settings settings_;
  ErrorQueue errors_;
  uint8_t esr_ = esr::kPowerOn;
  std::array<std::optional<Settings>, kSaveRegisters> saved_;
  std::map<long long, std::vector<uint8_t>> traces_;
  std::unique_ptr<Session> session_;
};

}  // namespace vex::sim
