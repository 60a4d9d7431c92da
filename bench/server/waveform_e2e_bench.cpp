// GetWaveformData end to end against the simulator over loopback TCP, next
// to a plain C baseline in the same run that reads the same block from a raw
// socket and fills two freshly allocated arrays of doubles (time and volts).
// The block holds every byte value, line feeds included.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bench_support.h"
#include "core_vexr7100.h"

using namespace vex::com;
using namespace vex::server;
using namespace vex::bench;

namespace {

pid_t g_sim = -1;

// The baseline: one block, two arrays, the scaling formula per point.
std::size_t RawWaveform(int fd, double xinc, double xorg, double yinc, double yorg, double yref) {
  RawWrite(fd, ":WAV:DATA?\n");
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t n = RawReadBlock(fd, &bytes);
  std::unique_ptr<double[]> time(new double[n]), volts(new double[n]);
  for (std::size_t i = 0; i < n; ++i) {
    time[i] = xorg + static_cast<double>(i) * xinc;
    volts[i] = (yref - bytes[i]) * yinc - yorg;
  }
  volatile double sink = time[n - 1] + volts[n - 1];
  (void)sink;
  return n;
}

}  // namespace

int main() {
  std::string registry = "/tmp/vex-wave-bench-" + std::to_string(getpid()) + ".json";
  setenv("VEXCOM_REGISTRY", registry.c_str(), 1);
  int port = StartSimulator(VEXSIM_PATH, &g_sim);
  if (port == 0) return 1;
  Check(RegisterServer(VEXIOUTILS_PATH), "RegisterServer");
  auto core = MakeObject<CCoreVexR7100>();
  std::string address = "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";
  Check(core->Connect(Bstr(address), Bstr()), "Connect");
  Check(core->put_Timeout(30000), "Timeout");
  int raw = RawConnect(port);

  for (std::size_t points : {std::size_t{1000000}, std::size_t{8000000}}) {
    std::string setup =
        ":SIM:PATT ON;:WAV:SOUR CHAN1;:WAV:FORM BYTE;:WAV:POIN " + std::to_string(points);
    Check(core->Output(Variant(setup)), "Output");
    RawWrite(raw, setup + ";:WAV:PRE?\n");
    std::string preamble;
    char c;
    while (read(raw, &c, 1) == 1 && c != '\n') preamble += c;
    double f[10] = {};
    const char* p = preamble.c_str();
    for (double& field : f) {
      field = std::strtod(p, nullptr);
      p = std::strchr(p, ',');
      if (!p) break;
      ++p;
    }
    const int reps = points > 1000000 ? 4 : 12;
    double raw_time = 1e9, core_time = 1e9;
    for (int round = 0; round < 3; ++round) {
      auto start = Clock::now();
      for (int i = 0; i < reps; ++i) {
        if (RawWaveform(raw, f[4], f[5], f[7], f[8], f[9]) != points) return 1;
      }
      raw_time = std::min(raw_time, Seconds(start) / reps);
      start = Clock::now();
      for (int i = 0; i < reps; ++i) {
        Variant time, volts;
        Check(core->GetWaveformData(static_cast<VexR7100_AnalogChannels>(1),
                                    static_cast<VexR7100_WaveformPoints>(0), &time, &volts),
              "GetWaveformData");
        if (volts.Array()->ElementCount() != points) return 1;
      }
      core_time = std::min(core_time, Seconds(start) / reps);
    }
    std::printf(
        "GetWaveformData %zu points: C baseline %.1f ms (%.0f Mpoints/s), end to end %.1f ms (%.0f "
        "Mpoints/s, %.0f %% of the baseline)\n",
        points, raw_time * 1e3, points / raw_time / 1e6, core_time * 1e3, points / core_time / 1e6,
        raw_time / core_time * 100);
  }
  close(raw);
  core->Close();
  StopSimulator(g_sim);
  unlink(registry.c_str());
  return 0;
}
