// The I/O component against a raw socket, in one run against the simulator
// over loopback TCP:
//   - the *IDN? round trip;
//   - reading a definite-length block of 1e6 and 8e6 bytes into a byte array.
// The raw baseline does the same work in plain C: write the query, read the
// reply (the block by its length, into a freshly allocated buffer).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "vex/io/io_interfaces.h"

using namespace vex::com;
using namespace vex::io;
using namespace vex::bench;

namespace {

pid_t g_sim = -1;

std::size_t RawBlock(int fd) {
  RawWrite(fd, ":WAV:DATA?\n");
  std::unique_ptr<std::uint8_t[]> bytes;
  return RawReadBlock(fd, &bytes);
}

std::size_t ComponentBlock(IIO* io) {
  Check(io->Output(Variant(":WAV:DATA?")), "Output");
  ComPtr<IIOResponse> response;
  Check(io->Read(response.ReleaseAndGetAddressOf()), "Read");
  ComPtr<IIOResponseValues> values;
  response->get_Values(values.ReleaseAndGetAddressOf());
  values->put_Format(kFormatBlockData);
  Variant data;
  Check(values->get_Value(&data), "Value");
  return data.Array()->ElementCount();
}

}  // namespace

int main(int argc, char** argv) {
  bool only_idn = argc > 1 && std::string(argv[1]) == "idn";
  std::string registry = "/tmp/vex-io-bench-" + std::to_string(getpid()) + ".json";
  setenv("VEXCOM_REGISTRY", registry.c_str(), 1);
  int port = StartSimulator(VEXSIM_PATH, &g_sim);
  if (port == 0) return 1;
  Check(RegisterServer(VEXIOUTILS_PATH), "RegisterServer");
  ComPtr<IIOManager> manager;
  Check(CreateObjectByProgID(kIOManagerProgID, &manager), "IOManager");
  ComPtr<IIO> io;
  Check(manager->CreateIO(Bstr("TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET"),
                          io.ReleaseAndGetAddressOf()),
        "CreateIO");
  io->put_Timeout(20000);
  int raw = RawConnect(port);

  // *IDN? round trips, interleaved in rounds so that both see the same load.
  const int kRounds = 5, kQueries = 1000;
  double raw_best = 1e9, io_best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    auto start = Clock::now();
    for (int i = 0; i < kQueries; ++i) {
      RawWrite(raw, "*IDN?\n");
      RawReadLine(raw);
    }
    raw_best = std::min(raw_best, Seconds(start) / kQueries);
    start = Clock::now();
    for (int i = 0; i < kQueries; ++i) {
      Check(io->Output(Variant("*IDN?")), "Output");
      ComPtr<IIOResponse> response;
      Check(io->Read(response.ReleaseAndGetAddressOf()), "Read");
      ComPtr<IIOResponseValues> values;
      response->get_Values(values.ReleaseAndGetAddressOf());
      Variant value;
      values->get_Value(&value);
    }
    io_best = std::min(io_best, Seconds(start) / kQueries);
  }
  std::printf("*IDN? round trip: raw socket %.1f us, I/O component %.1f us (+%.1f %%)\n",
              raw_best * 1e6, io_best * 1e6, (io_best / raw_best - 1) * 100);

  for (std::size_t points : {std::size_t{1000000}, std::size_t{8000000}}) {
    if (only_idn) break;
    std::string setup = ":SIM:PATT ON;:WAV:POIN " + std::to_string(points) + "\n";
    RawWrite(raw, setup.c_str());
    Check(io->Output(Variant(":SIM:PATT ON;:WAV:POIN " + std::to_string(points))), "Output");
    const int reps = points > 1000000 ? 5 : 20;
    double raw_time = 1e9, io_time = 1e9;
    for (int round = 0; round < 3; ++round) {
      auto start = Clock::now();
      for (int i = 0; i < reps; ++i) {
        if (RawBlock(raw) != points) return 1;
      }
      raw_time = std::min(raw_time, Seconds(start) / reps);
      start = Clock::now();
      for (int i = 0; i < reps; ++i) {
        if (ComponentBlock(io.Get()) != points) return 1;
      }
      io_time = std::min(io_time, Seconds(start) / reps);
    }
    std::printf(
        "block of %zu bytes: raw socket %.0f MB/s, I/O component %.0f MB/s (%.0f %% of raw)\n",
        points, points / raw_time / 1e6, points / io_time / 1e6, raw_time / io_time * 100);
  }
  close(raw);
  StopSimulator(g_sim);
  unlink(registry.c_str());
  return 0;
}
