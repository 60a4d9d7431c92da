// The I/O component against a raw socket, in one run against the simulator
// over loopback TCP:
//   - the *IDN? round trip;
//   - reading a definite-length block of 1e6 and 8e6 bytes into a byte array;
//   - the same blocks over VXI-11 ("TCPIP0::127.0.0.1::INSTR"), against the
//     raw socket and against liblxi reading them from the same simulator.
// The raw baseline does the same work in plain C: write the query, read the
// reply (the block by its length, into a freshly allocated buffer). liblxi
// reads the whole reply into a freshly allocated buffer large enough for it.
//
// The VXI-11 figures need a port mapper: the one running, or an rpcbind
// this program starts on the loopback address (run it in a network
// namespace of its own, as vex_netns_run does, to leave the host's alone).
//
//   io_bench            every figure
//   io_bench idn        the *IDN? figures only, as scheduled and on one CPU
//   io_bench vxi11      the VXI-11 block figures only
//   io_bench raw [N]    N *IDN? queries (200,000) on one path alone, with the
//   io_bench io [N]     process's user and system time, for a profiler
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef VEX_BENCH_VXI11
#include <lxi.h>
#include <sys/wait.h>
#endif

#include <algorithm>
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

void ComponentIdn(IIO* io) {
  Check(io->Output(Variant("*IDN?")), "Output");
  ComPtr<IIOResponse> response;
  Check(io->Read(response.ReleaseAndGetAddressOf()), "Read");
  ComPtr<IIOResponseValues> values;
  response->get_Values(values.ReleaseAndGetAddressOf());
  Variant value;
  values->get_Value(&value);
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

// Times two ways of doing the same work in short rounds, the two taking
// turns to go first, so that both see the same load and neither always runs
// on the heels of the other. Each round gives a time ratio (component over
// raw); the median ratio is the figure.
struct Comparison {
  double raw_best, io_best;  // seconds per operation, best round of each
  double median_ratio, lowest_ratio, highest_ratio;
};

template <typename Raw, typename Io>
Comparison Compare(Raw&& raw, Io&& io, int rounds, int per_round) {
  std::vector<double> raw_times, io_times, ratios;
  auto time = [per_round](auto& work, std::vector<double>& into) {
    auto start = Clock::now();
    for (int i = 0; i < per_round; ++i) work();
    into.push_back(Seconds(start) / per_round);
  };
  for (int round = 0; round < rounds; ++round) {
    if (round % 2 == 0) {
      time(raw, raw_times);
      time(io, io_times);
    } else {
      time(io, io_times);
      time(raw, raw_times);
    }
    ratios.push_back(io_times.back() / raw_times.back());
  }
  std::sort(ratios.begin(), ratios.end());
  std::size_t mid = ratios.size() / 2;
  double median = ratios.size() % 2 ? ratios[mid] : (ratios[mid - 1] + ratios[mid]) / 2;
  return {*std::min_element(raw_times.begin(), raw_times.end()),
          *std::min_element(io_times.begin(), io_times.end()), median, ratios.front(),
          ratios.back()};
}

// The simulator serving TCP and, with `vxi11`, the VXI-11 core channel
// (registered with the port mapper); the TCP port, or 0.
int StartSimulatorServing(bool vxi11, pid_t* pid) {
  int out[2];
  if (pipe(out) != 0) return 0;
  *pid = fork();
  if (*pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    if (vxi11)
      execl(VEXSIM_PATH, VEXSIM_PATH, "--tcp", "127.0.0.1:0", "--vxi11", nullptr);
    else
      execl(VEXSIM_PATH, VEXSIM_PATH, "--tcp", "127.0.0.1:0", nullptr);
    _exit(127);
  }
  close(out[1]);
  std::string banner;
  char c;
  while (banner.find("ready\n") == std::string::npos && read(out[0], &c, 1) == 1) banner += c;
  close(out[0]);
  auto at = banner.find("tcp 127.0.0.1:");
  return at == std::string::npos ? 0 : std::atoi(banner.c_str() + at + 14);
}

#ifdef VEX_BENCH_VXI11
pid_t g_rpcbind = -1;

bool PortMapperAnswers() {
  int fd = RawConnect(111);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// The running port mapper, or an rpcbind started here (ended at exit).
bool EnsurePortMapper() {
  if (PortMapperAnswers()) return true;
  g_rpcbind = fork();
  if (g_rpcbind == 0) {
    execl("/usr/sbin/rpcbind", "rpcbind", "-f", "-h", "127.0.0.2", nullptr);
    execlp("rpcbind", "rpcbind", "-f", "-h", "127.0.0.2", nullptr);
    _exit(127);
  }
  for (int i = 0; i < 300; ++i) {
    if (PortMapperAnswers()) return true;
    usleep(10000);
  }
  return false;
}

void StopPortMapper() {
  if (g_rpcbind > 0) {
    kill(g_rpcbind, SIGTERM);
    waitpid(g_rpcbind, nullptr, 0);
  }
}

// Times three ways of reading the same block, taking turns to go first;
// seconds per block, best round of each, and the median of the rounds'
// component-over-liblxi time ratios.
struct ThreeWay {
  double raw_best, io_best, lxi_best;
  double median_io_over_lxi;
};

template <typename Raw, typename Io, typename Lxi>
ThreeWay CompareThree(Raw&& raw, Io&& io, Lxi&& lxi, int rounds, int per_round) {
  std::vector<double> raw_times, io_times, lxi_times, ratios;
  auto time = [per_round](auto& work, std::vector<double>& into) {
    auto start = Clock::now();
    for (int i = 0; i < per_round; ++i) work();
    into.push_back(Seconds(start) / per_round);
  };
  for (int round = 0; round < rounds; ++round) {
    switch (round % 3) {
      case 0:
        time(raw, raw_times), time(io, io_times), time(lxi, lxi_times);
        break;
      case 1:
        time(io, io_times), time(lxi, lxi_times), time(raw, raw_times);
        break;
      default:
        time(lxi, lxi_times), time(raw, raw_times), time(io, io_times);
        break;
    }
    ratios.push_back(io_times.back() / lxi_times.back());
  }
  std::sort(ratios.begin(), ratios.end());
  std::size_t mid = ratios.size() / 2;
  double median = ratios.size() % 2 ? ratios[mid] : (ratios[mid - 1] + ratios[mid]) / 2;
  return {*std::min_element(raw_times.begin(), raw_times.end()),
          *std::min_element(io_times.begin(), io_times.end()),
          *std::min_element(lxi_times.begin(), lxi_times.end()), median};
}

// Block reads over VXI-11: the I/O component, the raw socket and liblxi.
int Vxi11Blocks(IIOManager* manager, int tcp_port) {
  ComPtr<IIO> io;
  Check(manager->CreateIO(Bstr("TCPIP0::127.0.0.1::INSTR"), io.ReleaseAndGetAddressOf()),
        "CreateIO VXI-11");
  io->put_Timeout(20000);
  int raw = RawConnect(tcp_port);
  lxi_init();
  int lxi = lxi_connect("127.0.0.1", 0, "inst0", 5000, VXI11);
  if (raw < 0 || lxi < 0) {
    std::fprintf(stderr, "cannot reach the simulator over %s\n", raw < 0 ? "TCP" : "liblxi");
    return 1;
  }
  for (std::size_t points : {std::size_t{1000000}, std::size_t{8000000}}) {
    std::string setup = ":SIM:PATT ON;:WAV:POIN " + std::to_string(points);
    RawWrite(raw, setup + "\n");
    Check(io->Output(Variant(setup)), "Output");
    std::string lxi_setup = setup + "\n";
    lxi_send(lxi, lxi_setup.data(), static_cast<int>(lxi_setup.size()), 5000);
    bool ok = true;
    // Like the other two, each block lands in memory of its own.
    auto lxi_block = [&] {
      static const char query[] = ":WAV:DATA?\n";
      const int size = static_cast<int>(points + 64);
      std::unique_ptr<char[]> reply(new char[static_cast<std::size_t>(size)]);
      lxi_send(lxi, query, sizeof query - 1, 20000);
      int got = lxi_receive(lxi, reply.get(), size, 20000);
      // "#8", eight length digits, the data and a line feed.
      ok = ok && got == static_cast<int>(points + 11);
    };
    lxi_block();  // warm the path up
    ThreeWay c = CompareThree([&] { ok = ok && RawBlock(raw) == points; },
                              [&] { ok = ok && ComponentBlock(io.Get()) == points; }, lxi_block,
                              points > 1000000 ? 15 : 30, points > 1000000 ? 3 : 10);
    if (!ok) {
      std::fprintf(stderr, "a block of %zu bytes came back wrong\n", points);
      return 1;
    }
    std::printf(
        "VXI-11 block of %zu bytes: raw socket %.0f MB/s, I/O component %.0f MB/s, liblxi %.0f "
        "MB/s (best rounds); I/O component median %.2fx liblxi's throughput\n",
        points, points / c.raw_best / 1e6, points / c.io_best / 1e6, points / c.lxi_best / 1e6,
        1 / c.median_io_over_lxi);
  }
  lxi_disconnect(lxi);
  close(raw);
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  bool only_idn = mode == "idn";
  std::string registry = "/tmp/vex-io-bench-" + std::to_string(getpid()) + ".json";
  setenv("VEXCOM_REGISTRY", registry.c_str(), 1);
#ifdef VEX_BENCH_VXI11
  const bool vxi11 = mode.empty() || mode == "vxi11";
  if (vxi11 && !EnsurePortMapper()) {
    std::fprintf(stderr, "no port mapper answers and rpcbind could not be started\n");
    return 1;
  }
#else
  const bool vxi11 = false;
#endif
  int port = StartSimulatorServing(vxi11, &g_sim);
  if (port == 0) return 1;
  Check(RegisterServer(VEXIOUTILS_PATH), "RegisterServer");
  ComPtr<IIOManager> manager;
  Check(CreateObjectByProgID(kIOManagerProgID, &manager), "IOManager");
  ComPtr<IIO> io;
  Check(manager->CreateIO(Bstr("TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET"),
                          io.ReleaseAndGetAddressOf()),
        "CreateIO");
  io->put_Timeout(20000);
#ifdef VEX_BENCH_VXI11
  if (mode == "vxi11") {
    int rc = Vxi11Blocks(manager.Get(), port);
    StopSimulator(g_sim);
    StopPortMapper();
    unlink(registry.c_str());
    return rc;
  }
#endif
  int raw = RawConnect(port);

  auto raw_idn = [&] {
    RawWrite(raw, "*IDN?\n");
    RawReadLine(raw);
  };
  auto io_idn = [&] { ComponentIdn(io.Get()); };
  if (mode == "raw" || mode == "io") {
    // One path alone, for a profiler: 200,000 queries, or as many as the
    // second argument says.
    const int queries = argc > 2 ? std::atoi(argv[2]) : 200000;
    const bool raw_path = mode == "raw";
    auto start = Clock::now();
    for (int i = 0; i < queries; ++i) raw_path ? raw_idn() : io_idn();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto us = [](const timeval& t) { return t.tv_sec * 1e6 + t.tv_usec; };
    std::printf("%s: %.2f us per query; this process %.2f us user, %.2f us system per query\n",
                mode.c_str(), Seconds(start) / queries * 1e6, us(usage.ru_utime) / queries,
                us(usage.ru_stime) / queries);
    StopSimulator(g_sim);
    unlink(registry.c_str());
    return 0;
  }

  for (int i = 0; i < 1000; ++i) raw_idn(), io_idn();  // warm both paths up
  auto idn = [&](const char* placement) {
    Comparison c = Compare(raw_idn, io_idn, 40, 250);
    std::printf(
        "*IDN? round trip, %s: raw socket %.1f us, I/O component %.1f us (best rounds); "
        "median overhead %+.1f %% (rounds from %+.1f %% to %+.1f %%)\n",
        placement, c.raw_best * 1e6, c.io_best * 1e6, (c.median_ratio - 1) * 100,
        (c.lowest_ratio - 1) * 100, (c.highest_ratio - 1) * 100);
  };
  idn("as scheduled");
  // Both processes on one CPU: every round trip is two context switches on
  // that CPU and no cross-CPU wake-up, the placement that varies least.
  cpu_set_t one, all;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu() < 0 ? 0 : sched_getcpu(), &one);
  sched_getaffinity(0, sizeof all, &all);
  if (sched_setaffinity(0, sizeof one, &one) == 0 &&
      sched_setaffinity(g_sim, sizeof one, &one) == 0)
    idn("both on one CPU");
  sched_setaffinity(0, sizeof all, &all);
  sched_setaffinity(g_sim, sizeof all, &all);

  for (std::size_t points : {std::size_t{1000000}, std::size_t{8000000}}) {
    if (only_idn) break;
    std::string setup = ":SIM:PATT ON;:WAV:POIN " + std::to_string(points);
    RawWrite(raw, setup + "\n");
    Check(io->Output(Variant(setup)), "Output");
    bool ok = true;
    Comparison c = Compare([&] { ok = ok && RawBlock(raw) == points; },
                           [&] { ok = ok && ComponentBlock(io.Get()) == points; },
                           points > 1000000 ? 10 : 20, points > 1000000 ? 3 : 10);
    if (!ok) return 1;
    std::printf(
        "block of %zu bytes: raw socket %.0f MB/s, I/O component %.0f MB/s (best rounds); "
        "median %.0f %% of raw (rounds from %.0f %% to %.0f %%)\n",
        points, points / c.raw_best / 1e6, points / c.io_best / 1e6, 100 / c.median_ratio,
        100 / c.highest_ratio, 100 / c.lowest_ratio);
  }
  close(raw);
  int rc = 0;
#ifdef VEX_BENCH_VXI11
  if (!only_idn) rc = Vxi11Blocks(manager.Get(), port);
#endif
  StopSimulator(g_sim);
#ifdef VEX_BENCH_VXI11
  StopPortMapper();
#endif
  unlink(registry.c_str());
  return rc;
}
