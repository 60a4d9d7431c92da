// The scaling step of a waveform read: from the record's byte samples to the
// freshly allocated time and volts arrays of doubles, against a plain loop
// that stores into two arrays allocated the same way. The scaling should run
// at no less than 80 % of the plain loop's speed.
//
// Two rounds: first with the allocator's defaults, where every fresh array of
// this size comes from the system and its pages fault in as they are first
// written (on a virtual machine that dominates); then with the allocator
// keeping freed memory, which leaves the work of the loops themselves.
//
// Usage: bench_waveform_scaling [repetitions]   (build with optimisation)
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "waveform_scaling.h"

namespace {

using Clock = std::chrono::steady_clock;
using vex::com::FAILED;
using vex::com::SafeArray;

volatile double g_sink = 0;  // keeps the results observable

// Makes the arrays' contents observable, so that no store is left out as
// dead before the memory is freed.
void Escape(const void* p) {
  asm volatile("" : : "g"(p) : "memory");
}

// The fastest of `repetitions` runs of `step`, in seconds.
template <class Step>
double Fastest(int repetitions, Step&& step) {
  double best = 1e30;
  for (int r = 0; r < repetitions; ++r) {
    auto start = Clock::now();
    step();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

void Round(int repetitions) {
  const vex::server::WaveformScale scale{2e-9, -1e-6, 500, 0.0390625, -1.2, 127};
  std::printf("%-10s %14s %14s %10s\n", "samples", "scaling ms", "plain ms", "ratio");
  for (std::size_t n : {std::size_t{1000000}, std::size_t{8000000}}) {
    std::vector<std::uint8_t> samples(n);
    std::mt19937 random(12345);
    for (auto& s : samples) s = static_cast<std::uint8_t>(random());

    double scaling = Fastest(repetitions, [&] {
      SafeArray time, volts;
      if (FAILED(vex::server::ScaleWaveform(samples, scale, &time, &volts))) std::abort();
      Escape(time.Span<double>().data());
      Escape(volts.Span<double>().data());
      g_sink = time.Span<double>()[n - 1] + volts.Span<double>()[n / 2];
    });
    double plain = Fastest(repetitions, [&] {
      SafeArray time, volts;
      const auto count = static_cast<std::uint32_t>(n);
      if (FAILED(SafeArray::Create(vex::com::VT_R8, {{count, 0}}, &time)) ||
          FAILED(SafeArray::Create(vex::com::VT_R8, {{count, 0}}, &volts)))
        std::abort();
      double* t = time.Span<double>().data();
      double* v = volts.Span<double>().data();
      for (std::size_t i = 0; i < n; ++i) {
        t[i] = 1.0;
        v[i] = 2.0;
      }
      Escape(t);
      Escape(v);
      g_sink = t[n - 1] + v[n / 2];
    });
    // Ratio of speeds: the plain loop's time over the scaling's.
    std::printf("%-10zu %14.3f %14.3f %9.0f%%\n", n, scaling * 1e3, plain * 1e3,
                100.0 * plain / scaling);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  std::printf("Fresh memory from the system for every array:\n");
  Round(repetitions);
  // Keep freed memory in the process: no page faults after the first run.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  std::printf("Memory reused by the allocator:\n");
  Round(repetitions);
  return 0;
}
