// Every member of the object model that reads from the instrument, against
// every fault the simulator injects: the member fails with its own message,
// within its effective timeout (no sooner when it has to wait the timeout
// out, no later than 10 % past it), puts the I/O timeout back, and the next
// call on a healthy connection succeeds. Run under the sanitizer build, the
// suite also shows that no failure path leaks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "VexsimProcess.h"
#include "vex/com/com.h"
#include "vex/io/io_interfaces.h"
#include "vex/server/vexr7100.h"

namespace vex::server {
namespace {

using namespace vex::com;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kWorkingTimeout = 500;  // ms
// Screen images and the self-test wait 30 times the working timeout.
constexpr std::int32_t kLongTransfer = 30 * kWorkingTimeout;
constexpr const char* kLongTransferExpired =
    "timed out after 15000 ms (30 \u00d7 the 500 ms timeout).";

constexpr const char* kResponseNotRecognized =
    "The SCPI response string received from the instrument is not recognized by the instrument "
    "automation server.";

constexpr const char* kCorruptBlock =
    "The instrument automation server detected corrupt data (IEEE definite block data) received "
    "from the instrument.";

sim::test::Vexsim* g_sim = nullptr;

class Simulator : public ::testing::Environment {
 public:
  void SetUp() override {
    g_sim = new sim::test::Vexsim({"--model", "VDS3004A", "--tcp", "127.0.0.1:0", "--pty"});
    setenv("VEX_COM_PORTS", ("COM2=" + g_sim->Endpoint("pty")).c_str(), 1);
    ASSERT_EQ(RegisterServer(VEXIOUTILS_PATH), S_OK);
    ASSERT_EQ(RegisterServer(VEX9100TB_PATH), S_OK);
  }
  void TearDown() override { delete g_sim; }
};
const auto* const kSimulator = ::testing::AddGlobalTestEnvironment(new Simulator);

enum Fault { kNoAnswer, kGarbage, kDeviceError, kDrop, kTruncate, kCorrupt };
const char* FaultName(Fault f) {
  switch (f) {
    case kNoAnswer:
      return "NOAN";
    case kGarbage:
      return "GARB";
    case kDeviceError:
      return "DEVERROR";
    case kDrop:
      return "DROP";
    case kTruncate:
      return "TRUN";
    case kCorrupt:
      return "CORR";
  }
  return "NONE";
}

// A member that reads from the instrument, as a late-bound client calls it.
struct Member {
  const char* object;  // "" the top-level object, else a path below it
  const char* name;
  std::uint16_t flags;
  std::vector<Variant> args;
  const char* failure;  // the first line of its failure report
  bool block = false;   // its reply is a definite-length block
  // Its reply is a real: a reply that holds no number is refused as not
  // recognised.
  bool real = false;
  // The error query reads its number leniently: a reply without one is
  // error 0, and the member succeeds.
  bool lenient = false;
  bool long_transfer = false;  // waits kLongTransfer rather than the working timeout
  // The failure of the step that reads, which a member made of several
  // steps may report in its own place.
  const char* step_failure = nullptr;
};

std::string Describe(const Member& m) {
  return std::string(*m.object ? m.object : "VexR7100EZ") + "." + m.name;
}

constexpr std::uint16_t kGet = DISPATCH_PROPERTYGET;
constexpr std::uint16_t kCall = DISPATCH_METHOD;

std::vector<Member> Members() {
  const Variant ch1(1);
  std::vector<Member> members = {
      {"Acquisition",
       "CompletionMinimum",
       kGet,
       {},
       "IAcquisitionVexR7100::CompletionMinimum (read) property failed."},
      {"Acquisition", "Count", kGet, {}, "IAcquisitionVexR7100::Count (read) property failed."},
      {"Acquisition", "Type", kGet, {}, "IAcquisitionVexR7100::Type (read) property failed."},
      {"Acquisition", "Points", kGet, {}, "IAcquisitionExVexR7100::Points (read) property failed."},
      {"AnalogChannels.Item(1)",
       "BandWidthLimit",
       kGet,
       {},
       "IAnalogChannelVexR7100::BandWidthLimit (read) property failed."},
      {"AnalogChannels.Item(1)",
       "Enabled",
       kGet,
       {},
       "IAnalogChannelVexR7100::Enabled (read) property failed."},
      {"AnalogChannels.Item(1)",
       "ProbeAttenuation",
       kGet,
       {},
       "IAnalogChannelVexR7100::ProbeAttenuation (read) property failed."},
      {"AnalogChannels.Item(1)",
       "ProbeCoupling",
       kGet,
       {},
       "IAnalogChannelVexR7100::ProbeCoupling (read) property failed."},
      {"AnalogChannels.Item(1)",
       "ProbeMode",
       kGet,
       {},
       "IAnalogChannelVexR7100::ProbeMode (read) property failed."},
      {"AnalogChannels.Item(1)",
       "VerticalOffset",
       kGet,
       {},
       "IAnalogChannelVexR7100::VerticalOffset (read) property failed.",
       false,
       true},
      {"AnalogChannels.Item(1)",
       "VerticalRange",
       kGet,
       {},
       "IAnalogChannelVexR7100::VeritcalRange (read) property failed.",
       false,
       true},
      {"Timebase",
       "HorizontalDelay",
       kGet,
       {},
       "ITimebaseVexR7100::Delay (read) property failed.",
       false,
       true},
      {"Timebase",
       "HorizontalRange",
       kGet,
       {},
       "ITimebaseVexR7100::HorizontalRange (read) property failed.",
       false,
       true},
      {"Timebase", "Mode", kGet, {}, "ITimebaseVexR7100::Mode (read) property failed."},
      {"Timebase", "Reference", kGet, {}, "ITimebaseVexR7100::Reference (read) property failed."},
      {"Timebase",
       "SampleRate",
       kGet,
       {},
       "ITimebaseExVexR7100::SampleRate (read) property failed.",
       false,
       true},
      {"Timebase",
       "Delay",
       kGet,
       {},
       "ITimebaseVexR7100::Delay (read) property failed.",
       false,
       true},
      {"Trigger", "Coupling", kGet, {}, "ITriggerVexR7100::Coupling (read) property failed."},
      {"Trigger", "Mode", kGet, {}, "ITriggerVexR7100::Mode (read) property failed."},
      {"Trigger", "Source", kGet, {}, "ITriggerVexR7100::Source (read) property failed."},
      {"Trigger", "Slope", kGet, {}, "ITriggerVexR7100::Slope (read) property failed."},
      {"Trigger",
       "TriggerLevel",
       kGet,
       {},
       "ITriggerVexR7100::Level (read) property failed.",
       false,
       true},
      {"Trigger", "Holdoff", kGet, {}, "Trigger holdoff (read) property failed.", false, true},
      {"Measure", "Frequency", kCall, {ch1}, "IMeasureVexR7100::Frequency method failed."},
      {"Measure", "Period", kCall, {ch1}, "IMeasureVexR7100::Period method failed."},
      {"Measure",
       "PositivePulseWidth",
       kCall,
       {ch1},
       "IMeasureVexR7100::PositivePulseWidth method failed."},
      {"Measure",
       "NegativePulseWidth",
       kCall,
       {ch1},
       "IMeasureVexR7100::NegativePulseWidth method failed."},
      {"Measure", "RiseTime", kCall, {ch1}, "IMeasureVexR7100::RiseTime method failed."},
      {"Measure", "FallTime", kCall, {ch1}, "IMeasureVexR7100::FallTime method failed."},
      {"Measure", "DutyCycle", kCall, {ch1}, "IMeasureVexR7100::DutyCycle method failed."},
      {"Measure", "RMSVoltage", kCall, {ch1}, "IMeasureVexR7100::RMSVoltage method failed."},
      {"Measure", "MaxVoltage", kCall, {ch1}, "IMeasureVexR7100::MaxVoltage method failed."},
      {"Measure", "MinVoltage", kCall, {ch1}, "IMeasureVexR7100::MinVoltage method failed."},
      {"Measure",
       "AverageVoltage",
       kCall,
       {ch1},
       "IMeasureVexR7100::AverageVoltage method failed."},
      {"Measure",
       "PeakToPeakVolts",
       kCall,
       {ch1},
       "IMeasureVexR7100::PeakToPeakVolts method failed."},
      {"Utilities", "StatusBits", kCall, {}, "IUtilitiesVexR7100::StatusBits method failed."},
      {"Utilities",
       "QueryInstrumentError",
       kCall,
       {Variant(), Variant()},
       "IUtilitiesVexR7100::QueryInstrumentError method failed.",
       false,
       false,
       true},
      {"Utilities",
       "ReadStateData",
       kCall,
       {},
       "IUtilitiesVexR7100::ReadStateData method failed.",
       true},
      {"",
       "GetWaveformData",
       kCall,
       {ch1, Variant(0), Variant(), Variant()},
       "VexR7100EZ::GetWaveformData method failed.",
       true},
      {"",
       "GetAllWaveformData",
       kCall,
       {Variant(0), Variant()},
       "VexR7100EZ::GetAllWaveformData method failed.",
       true},
  };
  // The measurements read reals (and, first, the channel's display state).
  for (Member& m : members) m.real = m.real || std::string(m.object) == "Measure";
  return members;
}

// The members whose transfers wait kLongTransfer.
std::vector<Member> LongMembers() {
  const char* query = "CCoreVexR7100::QueryScreenImage failed.";
  Member self_test{"Utilities",
                   "SelfTest",
                   kCall,
                   {Variant(), Variant()},
                   "IUtilitiesVexR7100::SelfTest method failed."};
  Member get{
      "", "GetScreenImage", kCall, {Variant(0)}, "VexR7100EZ::GetScreenImage method failed.", true};
  get.step_failure = query;
  Member save{"",
              "SaveScreenImage",
              kCall,
              {Variant("/tmp/vex-fault-screen.bmp"), Variant(0)},
              "VexR7100EZ::SaveScreenImage method failed.",
              true};
  save.step_failure = query;
  std::vector<Member> members{self_test, get, save};
  for (Member& m : members) m.long_transfer = true;
  return members;
}

// One connection to the simulator through the top-level object.
class Connection {
 public:
  explicit Connection(std::string address = TcpAddress()) : address_(std::move(address)) { Open(); }
  ~Connection() { (void)Invoke(top_.Get(), "Close", kCall, {}); }

  void Open() {
    objects_.clear();
    top_ = nullptr;
    ASSERT_EQ(CreateObjectByProgID(kVexR7100EZProgID, &top_), S_OK);
    ASSERT_EQ(Invoke(top_.Get(), "Connect", kCall, {Variant(address_)}), S_OK)
        << TakeErrorDetails().description.Str();
    ASSERT_EQ(PutProperty(Object("Utilities"), "Timeout", Variant(kWorkingTimeout)), S_OK);
    ASSERT_EQ(Invoke(top_.Get(), "Output", kCall, {Variant("*RST;*CLS")}), S_OK);
  }

  IDispatch* Object(const std::string& path) {
    if (path.empty()) return top_.Get();
    auto& cached = objects_[path];
    if (!cached) {
      Variant value;
      if (path == "AnalogChannels.Item(1)") {
        std::vector<Variant> index{Variant(1)};
        EXPECT_EQ(InvokeByName(Object("AnalogChannels"), "Item", kCall, index, &value), S_OK);
      } else {
        EXPECT_EQ(GetProperty(top_.Get(), path, &value), S_OK) << path;
      }
      cached = value.Dispatch();
    }
    return cached.Get();
  }

  HRESULT Invoke(IDispatch* object, std::string_view name, std::uint16_t flags,
                 std::vector<Variant> args) {
    Variant result;
    return InvokeByName(object, name, flags, args, &result);
  }

  HRESULT Call(const Member& m) { return Invoke(Object(m.object), m.name, m.flags, m.args); }

  // The fault first, then detection: with detection on, the device-error
  // check after the fault command would already see the injected error.
  void SetFault(const char* fault, bool detect_errors) {
    ASSERT_EQ(PutProperty(Object("Utilities"), "DetectDeviceErrors", Variant(false)), S_OK);
    ASSERT_EQ(Invoke(top_.Get(), "Output", kCall, {Variant(std::string(":SIM:FAUL ") + fault)}),
              S_OK);
    ASSERT_EQ(PutProperty(Object("Utilities"), "DetectDeviceErrors", Variant(detect_errors)), S_OK);
  }

  // The I/O object's timeout and termination character now.
  void TransferState(std::int32_t* timeout, std::int16_t* term) {
    Variant io;
    ASSERT_EQ(GetProperty(Object("Utilities"), "IO", &io), S_OK);
    ComPtr<io::IIO> typed;
    ASSERT_EQ(ComPtr<IUnknown>(io.Unknown()).As(&typed), S_OK);
    typed->get_Timeout(timeout);
    typed->get_TermChar(term);
  }

 private:
  static std::string TcpAddress() {
    return "TCPIP0::127.0.0.1::" + std::to_string(g_sim->port()) + "::SOCKET";
  }

  std::string address_;
  ComPtr<IDispatch> top_;
  std::map<std::string, ComPtr<IDispatch>> objects_;
};

// Runs `m` under `fault` on `c` and checks the whole contract; `extension`
// is what the transport adds to the member's own timeout.
void CheckUnderFault(Connection& c, const Member& m, Fault fault, std::int32_t extension = 0) {
  SCOPED_TRACE(Describe(m) + " under " + FaultName(fault));
  c.SetFault(FaultName(fault), fault == kDeviceError);
  const double effective =
      ((m.long_transfer ? kLongTransfer : kWorkingTimeout) + extension) / 1000.0;
  auto start = Clock::now();
  HRESULT hr = c.Call(m);
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  ErrorDetails details = TakeErrorDetails();
  if (fault == kGarbage && m.lenient) {
    EXPECT_EQ(hr, S_OK);
    details.description = Bstr();
  } else {
    EXPECT_TRUE(FAILED(hr)) << "status 0x" << HresultHex(hr);
  }
  if (fault == kGarbage && m.real) {
    EXPECT_EQ(details.description, kResponseNotRecognized);
  }
  if (fault == kDeviceError) {
    // Reported alone, or after the message of a member made of several.
    EXPECT_THAT(details.description.Str(),
                HasSubstr("The following instrument device errors have been detected: "));
    if (details.description.Str().rfind("The following", 0) == 0) {
      EXPECT_EQ(details.help_context, 1540u);
    }
  } else if (fault == kGarbage && m.lenient) {
  } else if (fault == kGarbage && details.description == kResponseNotRecognized) {
    // A reply that names no value the member knows is refused as such.
  } else if ((fault == kGarbage || fault == kCorrupt) && details.description == kCorruptBlock) {
    // So is a block reply whose header is not one.
  } else if (m.step_failure && details.description.Str().rfind(m.step_failure, 0) == 0) {
  } else {
    EXPECT_THAT(details.description.Str(), StartsWith(m.failure));
  }
  // On a serial line a dropped block simply stops, as a truncated one does.
  const bool waits = fault == kNoAnswer || fault == kTruncate || (fault == kDrop && extension != 0);
  if (std::getenv("VEX_FAULT_TIMES"))
    std::fprintf(stderr, "%s %s %.1f ms\n", Describe(m).c_str(), FaultName(fault), elapsed * 1e3);
  if (waits) {
    // A query unanswered before the block was asked for (a member made of
    // several queries) times out with the working timeout alone.
    const double soonest = fault == kNoAnswer
                               ? (m.long_transfer ? kLongTransfer : kWorkingTimeout) / 1000.0
                               : effective;
    EXPECT_GE(elapsed, soonest) << "returned before its timeout";
    // A long transfer says which of its limits expired.
    if (m.long_transfer) {
      EXPECT_THAT(details.description.Str(), HasSubstr(kLongTransferExpired));
    }
  }
  EXPECT_LE(elapsed, effective * 1.1) << "returned too late";

  if (fault == kDrop && extension == 0) {
    c.Open();  // the instrument closed the link
  } else {
    std::int32_t timeout = 0;
    std::int16_t term = 0;
    c.TransferState(&timeout, &term);
    EXPECT_EQ(timeout, kWorkingTimeout) << "the I/O timeout is put back";
    EXPECT_EQ(term, 10);
  }
  c.SetFault("NONE", false);
  ASSERT_EQ(c.Invoke(c.Object(""), "Output", kCall, {Variant("*CLS")}), S_OK);
  HRESULT healthy = c.Call(m);
  EXPECT_EQ(healthy, S_OK) << "the next call on a healthy connection: "
                           << TakeErrorDetails().description.Str();
}

std::vector<Fault> FaultsFor(const Member& m) {
  std::vector<Fault> faults{kNoAnswer, kGarbage, kDeviceError};
  if (m.block) faults.insert(faults.end(), {kDrop, kTruncate, kCorrupt});
  return faults;
}

class EveryReadingMember : public ::testing::TestWithParam<Member> {};

TEST_P(EveryReadingMember, FailsItsOwnWayUnderEveryFaultAndRecovers) {
  Connection c;
  ASSERT_EQ(c.Call(GetParam()), S_OK) << "healthy first: " << TakeErrorDetails().description.Str();
  for (Fault fault : FaultsFor(GetParam())) CheckUnderFault(c, GetParam(), fault);
}

INSTANTIATE_TEST_SUITE_P(Faults, EveryReadingMember, ::testing::ValuesIn(Members()),
                         [](const auto& info) {
                           std::string name = Describe(info.param);
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// The long transfers wait their limit out together, one connection each,
// so the suite waits it once rather than five times.
TEST(LongTransfers, WaitTheirExtendedTimeoutOutAndRecover) {
  std::vector<std::future<void>> runs;
  for (const Member& m : LongMembers()) {
    for (Fault fault : FaultsFor(m)) {
      runs.push_back(std::async(std::launch::async, [m, fault] {
        Connection c;
        CheckUnderFault(c, m, fault);
      }));
    }
  }
  for (auto& run : runs) run.get();
}

// Over a serial line (the simulator's pty mapped as COM2) block reads get
// five seconds more; other reads keep the working timeout. The line is one
// and each wait is the extension's, so every block member waits it out once
// (no answer), the first one under every fault.
TEST(SerialLine, BlockReadsWaitTheirSerialExtensionOut) {
  Connection c("COM2::Baud=19200,Handshake=DTR_DSR");
  bool first_block = true;
  for (const Member& m : Members()) {
    const bool sample = m.block || std::string(m.name) == "HorizontalRange";
    if (!sample) continue;
    ASSERT_EQ(c.Call(m), S_OK) << Describe(m) << ": " << TakeErrorDetails().description.Str();
    std::vector<Fault> faults = FaultsFor(m);
    if (m.block && !first_block) faults = {kNoAnswer};
    for (Fault fault : faults) CheckUnderFault(c, m, fault, m.block ? 5000 : 0);
    if (m.block) first_block = false;
  }
}

}  // namespace
}  // namespace vex::server
