// The instrument search over four silent COM ports (pseudo-terminals on
// which nothing answers, so every probe runs into its 2.5 s time-out) and
// two instruments on the simulated GPIB bus: one probe after the other, as
// the search always did, against the probes of different ports at once.
#include <fcntl.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "instrument_search.h"
#include "vex/com/class_registry.h"

namespace {

using vex::control::CIOconfiguration;
using vex::control::InstrumentSearch;

double TimeSearch(vex::com::IUnknown* manager, bool concurrent, std::size_t* rows) {
  auto config = vex::com::MakeObject<CIOconfiguration>();
  (void)config->SetActiveAddress("GPIB0::7::INSTR");
  InstrumentSearch search;
  search.SetConcurrent(concurrent);
  const auto start = vex::bench::Clock::now();
  vex::bench::Check(search.Run(*config, manager, 50, nullptr), "search");
  const double seconds = vex::bench::Seconds(start);
  *rows = search.Rows().size();
  if (search.SilentPorts().size() != 4) std::fprintf(stderr, "expected four silent COM ports\n");
  return seconds;
}

}  // namespace

int main() {
  const std::string registry = "/tmp/vex-search-bench-" + std::to_string(getpid()) + ".json";
  setenv("VEXCOM_REGISTRY", registry.c_str(), 1);
  setenv("VEX_SIM_BUS", "7=VDS3004A,9=VDS3002A", 1);
  unsetenv("VEX_GPIB_BOARDS");
  for (const char* library : {VEXIOUTILS_PATH, VEXSIMBUS_PATH, VEX8100RESLIB_PATH})
    vex::bench::Check(vex::com::RegisterServer(library), library);

  int masters[4];
  std::string map;
  for (int i = 0; i < 4; ++i) {
    masters[i] = posix_openpt(O_RDWR | O_NOCTTY);
    if (masters[i] < 0 || grantpt(masters[i]) != 0 || unlockpt(masters[i]) != 0) return 1;
    map += (i ? ",COM" : "COM") + std::to_string(i + 1) + "=" + ptsname(masters[i]);
  }
  setenv("VEX_COM_PORTS", map.c_str(), 1);

  vex::com::ComPtr<vex::com::IUnknown> manager;
  vex::bench::Check(vex::com::CreateObjectByProgID("VexIOUtils.IOManager", &manager), "manager");
  std::size_t sequential_rows = 0, concurrent_rows = 0;
  const double sequential = TimeSearch(manager.Get(), false, &sequential_rows);
  const double concurrent = TimeSearch(manager.Get(), true, &concurrent_rows);
  std::printf(
      "instrument search: 4 silent COM ports (ptys) + 2 instruments on GPIB0 (simulated)\n");
  std::printf("%-14s %10s %10s\n", "", "sequential", "concurrent");
  std::printf("%-14s %9.2fs %9.2fs\n", "elapsed", sequential, concurrent);
  std::printf("%-14s %10zu %10zu\n", "rows", sequential_rows, concurrent_rows);
  std::printf("speed-up       %.1fx (target: concurrent <= 3 s)\n", sequential / concurrent);
  for (int fd : masters) close(fd);
  std::remove(registry.c_str());
  return concurrent <= 3.0 ? 0 : 1;
}
