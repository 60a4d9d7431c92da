// A soak run: many mixed operations (settings written and read back,
// measurements, waveform reads) through the object model against the
// simulator over loopback TCP, on one connection, with the process's
// resident memory sampled at the start, along the way and at the end. A
// failing operation ends the run with its error.
//
// Usage: bench_soak [OPERATIONS (default 100000)] [--port N]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "vex/com/com.h"
#include "vex/server/vexr7100.h"

using namespace vex::com;
using namespace vex::bench;

namespace {

void Check(HRESULT hr, const char* what, long op) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "operation %ld (%s) failed: 0x%s %s\n", op, what, HresultHex(hr).c_str(),
                 TakeErrorDetails().description.CStr());
    std::exit(1);
  }
}

// Resident set size of this process in KiB (VmRSS), or -1.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = -1;
      status >> kib;
      return kib;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

IDispatch* Child(IDispatch* parent, const char* name, std::vector<ComPtr<IDispatch>>* keep) {
  Variant value;
  Check(GetProperty(parent, name, &value), name, 0);
  keep->emplace_back(value.Dispatch());
  return keep->back().Get();
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  long operations = 100000;
  int port = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc)
      port = std::atoi(argv[++i]);
    else
      operations = std::atol(argv[i]);
  }
  std::string registry = "/tmp/vex-soak-" + std::to_string(getpid()) + ".json";
  setenv("VEXCOM_REGISTRY", registry.c_str(), 1);
  pid_t sim = -1;
  if (port == 0) port = StartSimulator(VEXSIM_PATH, &sim);
  if (port == 0) return 1;
  Check(RegisterServer(VEXIOUTILS_PATH), "RegisterServer", 0);
  Check(RegisterServer(VEX9100TB_PATH), "RegisterServer", 0);

  ComPtr<IDispatch> top;
  Check(CreateObjectByProgID(vex::server::kVexR7100EZProgID, &top), "VexR7100EZ", 0);
  std::string address = "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";
  Check(CallMethod(top.Get(), "Connect", {Variant(address)}, nullptr), "Connect", 0);
  std::vector<ComPtr<IDispatch>> keep;
  IDispatch* timebase = Child(top.Get(), "Timebase", &keep);
  IDispatch* trigger = Child(top.Get(), "Trigger", &keep);
  IDispatch* acquisition = Child(top.Get(), "Acquisition", &keep);
  IDispatch* measure = Child(top.Get(), "Measure", &keep);
  IDispatch* utilities = Child(top.Get(), "Utilities", &keep);
  Variant channel_value;
  Check(CallMethod(Child(top.Get(), "AnalogChannels", &keep), "Item", {Variant(2)}, &channel_value),
        "Item", 0);
  ComPtr<IDispatch> channel = channel_value.Dispatch();
  Check(PutProperty(utilities, "DetectDeviceErrors", Variant(true)), "DetectDeviceErrors", 0);
  // Every channel on and one acquisition to read (the loop itself does not
  // digitize: each digitize waits half a second by design).
  IDispatch* channels = Child(top.Get(), "AnalogChannels", &keep);
  for (int n = 1; n <= 4; ++n) {
    Variant item;
    Check(CallMethod(channels, "Item", {Variant(n)}, &item), "Item", 0);
    Check(PutProperty(item.Dispatch(), "Enabled", Variant(true)), "Enabled", 0);
  }
  Check(CallMethod(top.Get(), "Digitize", {}, nullptr), "Digitize", 0);

  const long start_kib = ResidentKiB();
  std::printf("soak: %ld operations on one connection; resident memory at the start %ld KiB\n",
              operations, start_kib);
  auto start = Clock::now();
  const double ranges[] = {1e-3, 2e-3, 5e-3};
  const int slopes[] = {1, 2};
  const int types[] = {6, 1, 2};
  long peak_kib = start_kib;
  for (long op = 0; op < operations; ++op) {
    Variant value;
    switch (op % 10) {
      case 0:
        Check(PutProperty(timebase, "HorizontalRange", Variant(ranges[(op / 10) % 3])),
              "Timebase.HorizontalRange write", op);
        break;
      case 1:
        Check(GetProperty(timebase, "HorizontalRange", &value), "Timebase.HorizontalRange", op);
        break;
      case 2:
        Check(PutProperty(trigger, "Slope", Variant(slopes[(op / 10) % 2])), "Trigger.Slope write",
              op);
        break;
      case 3:
        Check(GetProperty(trigger, "TriggerLevel", &value), "Trigger.TriggerLevel", op);
        break;
      case 4:
        Check(PutProperty(acquisition, "Type", Variant(types[(op / 10) % 3])),
              "Acquisition.Type write", op);
        break;
      case 5:
        Check(PutProperty(channel.Get(), "VerticalOffset", Variant(0.25 * ((op / 10) % 4))),
              "AnalogChannels.Item(2).VerticalOffset write", op);
        break;
      case 6:
        Check(CallMethod(measure, "Frequency", {Variant(1)}, &value), "Measure.Frequency", op);
        break;
      case 7:
        Check(CallMethod(measure, "PeakToPeakVolts", {Variant(1)}, &value),
              "Measure.PeakToPeakVolts", op);
        break;
      case 8: {
        std::vector<Variant> args{Variant(static_cast<std::int32_t>(1 + (op / 10) % 4)), Variant(0),
                                  Variant(), Variant()};
        Check(InvokeByName(top.Get(), "GetWaveformData", DISPATCH_METHOD, args, &value),
              "GetWaveformData", op);
        if (!args[3].Array() || args[3].Array()->ElementCount() == 0) {
          std::fprintf(stderr, "operation %ld: an empty waveform\n", op);
          return 1;
        }
        break;
      }
      default:
        Check(GetProperty(channel.Get(), "ProbeAttenuation", &value),
              "AnalogChannels.Item(2).ProbeAttenuation", op);
        break;
    }
    if ((op + 1) % 20000 == 0) {
      long kib = ResidentKiB();
      peak_kib = std::max(peak_kib, kib);
      std::printf("  after %7ld operations: %.1f s, resident %ld KiB\n", op + 1, Seconds(start),
                  kib);
    }
  }
  const double seconds = Seconds(start);
  const long end_kib = ResidentKiB();
  std::printf(
      "soak: %ld operations in %.1f s (%.0f per second); resident memory at the start %ld KiB, at "
      "the end %ld KiB (%+ld KiB), highest sample %ld KiB\n",
      operations, seconds, operations / seconds, start_kib, end_kib, end_kib - start_kib,
      std::max(peak_kib, end_kib));
  (void)CallMethod(top.Get(), "Close", {}, nullptr);
  if (sim > 0) StopSimulator(sim);
  unlink(registry.c_str());
  return 0;
}
