// CCoreVexR7100: the one object that does the instrument work of a server
// instance. It owns the I/O object, turns members into SCPI exchanges, checks
// the instrument's error state, keeps the settings, and reports every failure
// as a status with rich error information. The objects clients see forward
// to it.
//
// Every public member follows one pattern: connected check, model checks,
// the transfers, the device-error check when detection is on, and on failure
// a report naming the interface and member, with the lower-level cause on
// the next line. The I/O timeout and the termination character are put back
// on every exit of a member, failures and exceptions included.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "error_handler.h"
#include "model_table.h"
#include "vex/com/com.h"
#include "vex/io/io_interfaces.h"
#include "vex/server/vexr7100.h"

namespace vex::server {

class MnemonicTable;

class CCoreVexR7100
    : public com::Object<IVexR7100EZ, IUtilitiesVexR7100, ICoreVexR7100, com::ISupportErrorInfo,
                         com::IPersistPropertyBag, IAcquisitionExVexR7100, IFlatAnalogVexR7100,
                         ILogicChannelVexR7100, IMeasureExVexR7100, ITimebaseExVexR7100,
                         ITraceVexR7100, ITriggerExVexR7100> {
 public:
  static constexpr std::int32_t kDefaultTimeout = 5000;
  static constexpr const char* kDefaultInstanceName = "Vexan Travium Instrument Server";

  CCoreVexR7100();

  // ---- IEZ / IVexR7100EZ ----
  HRESULT Close() override;
  // Opens the I/O object for the address and identifies the instrument; the
  // model record (model, serial number, firmware, options) is read here
  // only. When the instrument drops the link later (a power cycle), the I/O
  // object reopens it by itself and the record is kept: the server takes
  // the instrument that answers at the address for the one it identified.
  // A different instrument behind the same address needs a new Connect.
  HRESULT Connect(const Bstr& connection_name, const Bstr& io_prog_id) override;
  HRESULT get_ConnectionName(Bstr* value) override;
  HRESULT get_Acquisition(IAcquisitionVexR7100** object) override;
  HRESULT get_AnalogChannels(IAnalogChannelsVexR7100** object) override;
  HRESULT AutoScale() override;
  HRESULT Digitize() override;
  // Pass-through read of one reply. With device-error detection on, the
  // server's own "*ESR?" check follows the read: for a query written with
  // Output or WriteBytes, this is where its device errors are reported.
  HRESULT Enter(Variant* result, const Bstr& format) override;
  HRESULT GetScreenImage(VexR7100_ImageFormat format, com::IPictureDisp** image) override;
  HRESULT GetLogicData(VexR7100_WaveformPoints points, Variant* time, Variant* data) override;
  HRESULT GetAllWaveformData(VexR7100_WaveformPoints points, SafeArray* data) override;
  HRESULT GetWaveformData(VexR7100_AnalogChannels channel, VexR7100_WaveformPoints points,
                          Variant* time, Variant* data) override;
  HRESULT get_LogicChannel(ILogicChannelVexR7100** object) override;
  HRESULT get_Measure(IMeasureVexR7100** object) override;
  // Pass-through write. With device-error detection on, "*ESR?" is sent and
  // read right after a command, before control returns. A query (a message
  // with a unit whose header ends in '?') leaves its reply waiting in the
  // instrument, and "*ESR?" now would read that reply instead of the
  // register: after a query the check waits for the Enter or ReadBytes that
  // reads the reply. WriteBytes follows the same rule.
  HRESULT Output(const Variant& output_buffer) override;
  // Pass-through read of raw bytes, checked for device errors as Enter is.
  HRESULT ReadBytes(std::int32_t* count, SafeArray* buffer) override;
  HRESULT Run() override;
  HRESULT SaveScreenImage(const Bstr& filename, VexR7100_ImageFormat format) override;
  HRESULT StopTrigger() override;
  HRESULT SingleTrigger() override;
  HRESULT get_Timebase(ITimebaseVexR7100** object) override;
  HRESULT get_Trace(ITraceVexR7100** object) override;
  HRESULT get_Trigger(ITriggerVexR7100** object) override;
  HRESULT get_Utilities(IUtilitiesVexR7100** object) override;
  HRESULT WriteBytes(std::int32_t count, const SafeArray& buffer) override;

  // ---- IComponentInfo / IUtilitiesVexR7100 ----
  HRESULT get_ComponentDescription(Bstr* text) override;
  HRESULT get_ComponentManufacturer(Bstr* text) override;
  HRESULT get_ComponentVersion(Bstr* text) override;
  HRESULT get_ComponentProgID(Bstr* text) override;
  HRESULT get_LogInterface(VARIANT_BOOL* on) override;
  HRESULT put_LogInterface(VARIANT_BOOL on) override;
  HRESULT get_InstanceName(Bstr* name) override;
  HRESULT put_InstanceName(const Bstr& name) override;
  HRESULT ClearDevice() override;
  HRESULT ClearStatus() override;
  HRESULT get_DetectDeviceErrors(VARIANT_BOOL* value) override;
  HRESULT put_DetectDeviceErrors(VARIANT_BOOL value) override;
  HRESULT DisplayMessage(const Bstr& message) override;
  HRESULT get_InstrumentManufacturer(Bstr* value) override;
  HRESULT put_InstrumentManufacturer(const Bstr& value) override;
  HRESULT get_InstrumentModel(Bstr* value) override;
  HRESULT put_InstrumentModel(const Bstr& value) override;
  HRESULT get_InstrumentSerialNumber(Bstr* value) override;
  HRESULT put_InstrumentSerialNumber(const Bstr& value) override;
  HRESULT get_InstrumentFirmwareVersion(Bstr* value) override;
  HRESULT put_InstrumentFirmwareVersion(const Bstr& value) override;
  HRESULT get_IO(IUnknown** io) override;
  HRESULT put_IO(IUnknown* io) override;
  HRESULT Options(Variant* options) override;
  HRESULT get_PanelLock(VARIANT_BOOL* value) override;
  HRESULT put_PanelLock(VARIANT_BOOL value) override;
  HRESULT Preset() override;
  HRESULT QueryInstrumentError(std::int32_t* error_number, Bstr* error_description) override;
  HRESULT ReadStateData(Variant* state_data) override;
  HRESULT RecallState(std::int32_t state_number) override;
  HRESULT Reset() override;
  HRESULT SaveState(std::int32_t state_number) override;
  HRESULT SelfTest(std::int32_t* test_result, Bstr* result_message) override;
  HRESULT WriteStateData(const Variant& state_data) override;
  HRESULT StatusBits(std::int32_t* value) override;
  HRESULT get_RangeChecking(VARIANT_BOOL* enabled) override;
  HRESULT put_RangeChecking(VARIANT_BOOL enabled) override;
  HRESULT get_Timeout(std::int32_t* value) override;
  HRESULT put_Timeout(std::int32_t value) override;
  HRESULT VerifyDevice(const Bstr& model, const Bstr& version, const Bstr& serial_number,
                       VARIANT_BOOL* verify) override;

  // ---- IAcquisitionExVexR7100 (core_acquisition.cpp) ----
  HRESULT get_CompletionMinimum(std::int32_t* percent) override;
  HRESULT put_CompletionMinimum(std::int32_t percent) override;
  HRESULT get_Count(VexR7100_AcquisitionCount* count) override;
  HRESULT put_Count(VexR7100_AcquisitionCount count) override;
  HRESULT get_DitherEnabled(VARIANT_BOOL* state) override;
  HRESULT put_DitherEnabled(VARIANT_BOOL state) override;
  HRESULT get_Type(VexR7100_AcquisitionType* type) override;
  HRESULT put_Type(VexR7100_AcquisitionType type) override;
  HRESULT get_Points(std::int32_t* points) override;

  // ---- IFlatAnalogVexR7100 (core_channels.cpp) ----
  HRESULT get_BandWidthLimit(VexR7100_AnalogChannels channel, ONOFFSTATE* state) override;
  HRESULT put_BandWidthLimit(VexR7100_AnalogChannels channel, ONOFFSTATE state) override;
  HRESULT get_Enabled(VexR7100_AnalogChannels channel, VARIANT_BOOL* value) override;
  HRESULT put_Enabled(VexR7100_AnalogChannels channel, VARIANT_BOOL value) override;
  HRESULT get_ProbeAttenuation(VexR7100_AnalogChannels channel, PROBEATTEN* value) override;
  HRESULT put_ProbeAttenuation(VexR7100_AnalogChannels channel, PROBEATTEN value) override;
  HRESULT get_ProbeCoupling(VexR7100_AnalogChannels channel, PROBECOUPLE* value) override;
  HRESULT put_ProbeCoupling(VexR7100_AnalogChannels channel, PROBECOUPLE value) override;
  HRESULT get_ProbeMode(VexR7100_AnalogChannels channel, PROBEMODES* value) override;
  HRESULT get_VerticalOffset(VexR7100_AnalogChannels channel, double* value) override;
  HRESULT put_VerticalOffset(VexR7100_AnalogChannels channel, double value) override;
  HRESULT get_VerticalRange(VexR7100_AnalogChannels channel, double* value) override;
  HRESULT put_VerticalRange(VexR7100_AnalogChannels channel, double value) override;
  HRESULT get_INPUTIMPEDANCE(VexR7100_AnalogChannels channel, INPUTIMPEDANCE* value) override;
  HRESULT put_INPUTIMPEDANCE(VexR7100_AnalogChannels channel, INPUTIMPEDANCE value) override;

  // ---- ILogicChannelVexR7100 (core_logic.cpp) ----
  HRESULT get_BitEnabled(VexR7100_LogicBits bit, VARIANT_BOOL* value) override;
  HRESULT put_BitEnabled(VexR7100_LogicBits bit, VARIANT_BOOL value) override;
  HRESULT put_PodEnabled(VexR7100_LogicPods pod, VARIANT_BOOL value) override;
  HRESULT get_EnableStatus(std::int16_t* value) override;
  HRESULT put_EnableStatus(std::int16_t value) override;

  // ---- IMeasureExVexR7100 (core_measure.cpp) ----
  HRESULT AverageVoltage(VexR7100_AnalogChannels channel, double* volts) override;
  HRESULT DutyCycle(VexR7100_AllChannels channel, double* ratio) override;
  HRESULT FallTime(VexR7100_AnalogChannels channel, double* seconds) override;
  HRESULT Frequency(VexR7100_AllChannels channel, double* hertz) override;
  HRESULT MaxVoltage(VexR7100_AnalogChannels channel, double* volts) override;
  HRESULT MinVoltage(VexR7100_AnalogChannels channel, double* volts) override;
  HRESULT NegativePulseWidth(VexR7100_AllChannels channel, double* seconds) override;
  HRESULT PeakToPeakVolts(VexR7100_AnalogChannels channel, double* volts) override;
  HRESULT Period(VexR7100_AllChannels channel, double* seconds) override;
  HRESULT PositivePulseWidth(VexR7100_AllChannels channel, double* seconds) override;
  HRESULT RiseTime(VexR7100_AnalogChannels channel, double* seconds) override;
  HRESULT RMSVoltage(VexR7100_AnalogChannels channel, double* volts) override;
  HRESULT Amplitude(VexR7100_AnalogChannels channel, double* volts) override;
  HRESULT Preshoot(VexR7100_AnalogChannels channel, double* volts) override;
  HRESULT Overshoot(VexR7100_AnalogChannels channel, double* volts) override;

  // ---- ITimebaseExVexR7100 (core_timebase.cpp) ----
  HRESULT get_HorizontalDelay(double* delay) override;
  HRESULT put_HorizontalDelay(double delay) override;
  HRESULT get_HorizontalRange(double* range) override;
  HRESULT put_HorizontalRange(double range) override;
  HRESULT get_Mode(VexR7100_TimeMode* mode) override;
  HRESULT put_Mode(VexR7100_TimeMode mode) override;
  HRESULT get_Reference(VexR7100_TimeReference* reference) override;
  HRESULT put_Reference(VexR7100_TimeReference reference) override;
  HRESULT get_TimebaseMode(VexR7100_TimeMode* mode) override;
  HRESULT put_TimebaseMode(VexR7100_TimeMode mode) override;
  HRESULT get_SampleRate(double* hertz) override;
  HRESULT get_Delay(double* seconds) override;
  HRESULT put_Delay(double seconds) override;

  // ---- ITraceVexR7100 (core_trace.cpp) ----
  HRESULT Clear(std::int32_t trace_number) override;
  HRESULT get_Enabled(std::int32_t trace_number, VARIANT_BOOL* value) override;
  HRESULT put_Enabled(std::int32_t trace_number, VARIANT_BOOL value) override;
  HRESULT GetData(std::int32_t trace_number, Variant* trace_data) override;
  HRESULT PutData(std::int32_t trace_number, const Variant& trace_data) override;
  HRESULT Save(std::int32_t trace_number) override;
  HRESULT get_TotalMemories(std::int32_t* number) override;

  // ---- ITriggerExVexR7100 (core_trigger.cpp) ----
  HRESULT get_Coupling(VexR7100_TriggerCoupling* mode) override;
  HRESULT put_Coupling(VexR7100_TriggerCoupling mode) override;
  HRESULT get_Mode(VexR7100_TriggerMode* mode) override;
  HRESULT put_Mode(VexR7100_TriggerMode mode) override;
  HRESULT get_Source(VexR7100_TriggerSource* source) override;
  HRESULT put_Source(VexR7100_TriggerSource source) override;
  HRESULT get_Slope(VexR7100_TriggerSlope* slope) override;
  HRESULT put_Slope(VexR7100_TriggerSlope slope) override;
  HRESULT get_TriggerLevel(double* level) override;
  HRESULT put_TriggerLevel(double level) override;
  HRESULT get_TRIGGERMODE(VexR7100_TriggerMode* mode) override;
  HRESULT put_TRIGGERMODE(VexR7100_TriggerMode mode) override;
  HRESULT get_Holdoff(double* seconds) override;
  HRESULT put_Holdoff(double seconds) override;

  // ---- ICoreVexR7100 ----
  HRESULT _ModelsTable(const ModelRecord** models) override;
  HRESULT _InstallEasy(IUnknown* easy) override;

  // ---- ISupportErrorInfo / IPersistPropertyBag ----
  HRESULT InterfaceSupportsErrorInfo(const com::IID& iid) override;
  HRESULT GetClassID(com::CLSID* clsid) override;
  HRESULT InitNew() override;
  HRESULT Load(com::IPropertyBag* bag, com::IErrorLog* error_log) override;
  HRESULT Save(com::IPropertyBag* bag, VARIANT_BOOL clear_dirty, VARIANT_BOOL save_all) override;

  VEX_COM_IMPLEMENT_DISPATCH(CCoreVexR7100, Table())

  // ---- Core operations used by the subsystems ----
  HRESULT InstallIO(IUnknown* object);
  HRESULT CreateNewIO(const Bstr& name, const Bstr& prog_id);
  HRESULT IdentifyInstrument(Bstr* model_name);
  HRESULT IsConnected(VARIANT_BOOL* connected);
  HRESULT SupportedInstruments(Variant* names);
  HRESULT ConnectionStatus(Bstr* status);
  HRESULT SupportStatus(VARIANT_BOOL* supported);
  HRESULT ResetConnection();
  HRESULT WriteLog(const Bstr& source, io::LogLevel level, const Bstr& message);

  HRESULT SendWithNoArg(std::string_view command);
  HRESULT SendWithLongArg(std::string_view command, std::int32_t argument);
  HRESULT SendWithVariantArg(std::string_view command, const Variant& argument);
  HRESULT QueryForLongResult(std::string_view command, std::int32_t* result);
  // Called inside a member's body: a reply that holds no number is a
  // Refusal, as NumberOfReply gives it.
  HRESULT QueryForDoubleResult(std::string_view command, double* result);
  HRESULT QueryForBstrResult(std::string_view command, Bstr* result);
  HRESULT QueryForVariantResult(std::string_view command, Variant* result);
  // The number a reply holds (see reply_number.h). Called inside a member's
  // body: a reply without one is refused as not recognised (E_FAIL), as a
  // reply outside a mnemonic table is, so the member fails with that text.
  double NumberOfReply(const Variant& reply);
  // Sends `query` and reads one definite-length block with the reply format
  // `format_code` (1 keeps the header, 6 gives the data), with the serial
  // timeout widening and termination handling of block reads.
  // Called inside a member's body: a corrupt block is a Refusal.
  HRESULT ReadBlock(std::string_view query, std::int16_t format_code, Variant* block);

  // The serial widenings are added to the working timeout because a serial
  // line's speed, not the caller's patience, decides how long the bytes
  // take: 5000 ms for a block read, 10 ms a byte for a block written.
  bool ExtendTimeoutIfSerial(std::int32_t milliseconds);
  bool ExtendTimeoutForBytesIfSerial(std::int64_t count);
  void ExtendTimeout(std::int32_t milliseconds);

  // Long transfers (the screen image, the self-test) wait as long as the
  // instrument may take to make their reply, which grows with what the
  // caller is prepared to wait: kLongTransferFactor times the working
  // timeout, held to kLongTransferCapMs so that a large timeout does not
  // turn a dead instrument into a wait of many minutes. The limit is never
  // below the working timeout itself.
  static constexpr std::int32_t kLongTransferFactor = 30;
  static constexpr std::int32_t kLongTransferCapMs = 120000;
  std::int32_t LongTransferTimeout() const;
  // Sets the I/O timeout to LongTransferTimeout(); RestoreTransferState
  // puts the working timeout back.
  void ExtendTimeoutForLongTransfer();
  // `what` and the limit that expired, with how it came about:
  // "The screen image transfer timed out after 30000 ms (30 × the 1000 ms
  // timeout)."
  std::string LongTransferTimedOut(std::string_view what) const;
  // A failed step of a long transfer: an expired timeout is reported with
  // LongTransferTimedOut(what), the I/O object's description on the next
  // line, and its status returned; any other status comes back as it is.
  HRESULT LongTransferFailure(std::string_view what, HRESULT status);
  // The status an I/O object returns when its timeout expired.
  static constexpr HRESULT kIOTimeoutStatus = com::MakeHresult(0x800705B4u);

  void RestoreTransferState();
  // The IEEE 488.2 definite-length block check.
  static bool IsDefiniteBlock(const Variant& block);

  HRESULT ReportError(std::string_view message, HRESULT code);
  HRESULT ReportException(std::string_view message, HRESULT code);
  HRESULT ReportErrorEx(std::string_view message, HRESULT code, std::uint32_t help_id);
  HRESULT ReportExceptionEx(std::string_view message, HRESULT code, std::uint32_t help_id);

  // Reads *ESR? and describes the error bits; true when errors were found.
  bool TestForDeviceErrors(Bstr* text);
  bool IsCurrentError(std::string_view message, HRESULT expected, HRESULT actual);

  // The model-dependent command for the connected model's command set.
  std::optional<std::string> Command(int id) const;
  std::optional<std::string> CommandQuery(int id) const;
  std::optional<std::string> ChannelCommand(int id, int channel) const;
  std::optional<std::string> ChannelCommandQuery(int id, int channel) const;

  const ModelRecord& Model() const { return model_; }
  bool Connected() const { return connected_; }
  bool DetectErrors() const { return detect_errors_; }
  bool RangeCheckingOn() const { return range_checking_; }
  std::int32_t WorkingTimeout() const { return timeout_; }
  io::IIO* IOObject() const { return io_.Get(); }

  // The standard pattern around a member's transfers: connected check, the
  // body, the device-error check when detection is on, and on failure a
  // report of `failure_message` with the cause. The body returns a status;
  // a rule check inside it that refuses the call throws Refusal{status}
  // with the status of its own report (see core_member.h). Transfer state is
  // restored however the body ends.
  // kAfterTransfers is the rule. kNone serves a pass-through write that
  // leaves a reply in the instrument: reading "*ESR?" then would take that
  // reply, so the check follows the read of it instead.
  enum class DeviceCheck { kAfterTransfers, kNone };
  template <class Body>
  HRESULT RunMember(std::string_view failure_message, std::uint32_t help_id, Body&& body,
                    DeviceCheck device_check = DeviceCheck::kAfterTransfers);
  HRESULT NotConnected();
  HRESULT NotSupported();
  // Members whose subsystem this version does not have yet.
  HRESULT NotYetAvailable();

  // Installs a model record of a test's choosing in place of the table's row
  // (nothing restores the table's rows).
  void SetModelForTesting(std::optional<ModelEntry> entry) {
    model_.test_override = std::move(entry);
  }

  // ---- Helpers of the data transfers (waveform, logic, screen) ----
  // ---- End of the helpers of the data transfers ----

  // ---- Helpers of the instrument settings (acquisition to utilities) ----
  // Command set 4 without the measurement/storage module keeps which trace
  // memories are shown itself: DisplayTraces clears the screen's memories
  // and shows each memory whose flag is set; ClearTraces clears every flag
  // and the screen.
  HRESULT DisplayTraces();
  HRESULT ClearTraces();
  // ---- End of the helpers of the instrument settings ----

 protected:
  ~CCoreVexR7100() override;

 private:
  class MemberScope;
  static const com::DispatchTable& Table();

  HRESULT DeviceErrorCheck(bool* failed);
  HRESULT SetIdentity(Bstr* field, const Bstr& value, std::string_view property,
                      std::uint32_t help_id);
  HRESULT Query(std::string_view command, Variant* value, const char* failure_message);
  HRESULT SetIOTimeout(std::int64_t milliseconds);
  HRESULT DrainErrorQueue();
  void LogReport(std::string_view message);

  // Settings.
  bool detect_errors_ = false;
  bool log_ = false;
  bool range_checking_ = true;
  bool timeout_extended_ = false;
  std::int32_t timeout_ = kDefaultTimeout;
  // Model record.
  ModelRecord model_;
  com::ComPtr<io::IIO> io_;
  com::ComPtr<ErrorHandler> errors_;
  Bstr manufacturer_, model_name_, serial_number_, firmware_version_;
  Bstr instance_name_{kDefaultInstanceName};
  Bstr connection_name_, io_prog_id_;
  bool connected_ = false;
  IUnknown* easy_ = nullptr;  // the top-level object, not counted
  bool logging_in_report_ = false;
};

}  // namespace vex::server
