// The whole stack against the simulator over loopback TCP, in one run:
//   - the *IDN? round trip through the object model (the top-level object
//     created by ProgID, called by dispatch id as a late-bound client does,
//     and through its interface), through the I/O component alone, and
//     through a raw socket;
//   - GetWaveformData at 1e5, 1e6 and 8e6 points end to end, next to the raw
//     block read and to a C baseline that reads the block and fills two
//     freshly allocated arrays of doubles (the samples cover every byte
//     value, line feeds included);
//   - the scaling step alone, against a plain loop storing into the same
//     arrays;
//   - SaveScreenImage per format (and PNG through the imaging layer).
//
// Usage: bench_object_model [--port N] [--json]
//   --port N   use a simulator already listening on 127.0.0.1:N
//   --json     print the figures as one JSON object (for bench/compare-pyvisa)
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "vex/imaging/imaging.h"
#include "vex/io/io_interfaces.h"
#include "vex/server/vexr7100.h"
#include "waveform_scaling.h"

using namespace vex::com;
using namespace vex::bench;

namespace {

std::map<std::string, double> g_figures;  // name → value, for --json
bool g_json = false;

void Report(const std::string& name, double value, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void Report(const std::string& name, double value, const char* format, ...) {
  g_figures[name] = value;
  if (g_json) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

struct Preamble {
  double xinc, xorg, yinc, yorg, yref;
};

// The C baseline of a waveform read: the block and two arrays of doubles.
std::size_t RawWaveform(int fd, const Preamble& p) {
  RawWrite(fd, ":WAV:DATA?\n");
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t n = RawReadBlock(fd, &bytes);
  std::unique_ptr<double[]> time(new double[n]), volts(new double[n]);
  for (std::size_t i = 0; i < n; ++i) {
    time[i] = p.xorg + static_cast<double>(i) * p.xinc;
    volts[i] = (p.yref - bytes[i]) * p.yinc - p.yorg;
  }
  volatile double sink = time[n - 1] + volts[n - 1];
  (void)sink;
  return n;
}

Preamble RawPreamble(int fd) {
  RawWrite(fd, ":WAV:PRE?\n");
  std::string line = RawReadLine(fd);
  double f[10] = {};
  const char* p = line.c_str();
  for (double& field : f) {
    field = std::strtod(p, nullptr);
    p = std::strchr(p, ',');
    if (!p) break;
    ++p;
  }
  return {f[4], f[5], f[7], f[8], f[9]};
}

// The fastest per-call time of `reps` calls, over `rounds` rounds.
template <class Step>
double Fastest(int rounds, int reps, Step&& step) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    for (int i = 0; i < reps; ++i) step();
    best = std::min(best, Seconds(start) / reps);
  }
  return best;
}

// Late-bound calls with dispatch ids looked up once, as a client caches them.
struct LateBound {
  IDispatch* object;
  DISPID output, enter, get_waveform, save_screen;
  explicit LateBound(IDispatch* o) : object(o) {
    Check(o->GetIDsOfNames("Output", &output), "Output id");
    Check(o->GetIDsOfNames("Enter", &enter), "Enter id");
    Check(o->GetIDsOfNames("GetWaveformData", &get_waveform), "GetWaveformData id");
    Check(o->GetIDsOfNames("SaveScreenImage", &save_screen), "SaveScreenImage id");
  }
  HRESULT Call(DISPID id, std::vector<Variant>& args) {
    Variant result;
    std::uint32_t arg_error = 0;
    return object->Invoke(id, DISPATCH_METHOD, args, &result, &arg_error);
  }
};

void Idn(int raw, vex::io::IIO* io, LateBound& late, IDispatch* top) {
  ComPtr<vex::server::IVexR7100EZ> early;
  Check(ComPtr<IDispatch>(top).As(&early), "IVexR7100EZ");
  const int kRounds = 5, kQueries = 1000;
  double raw_time = 1e9, io_time = 1e9, late_time = 1e9, early_time = 1e9;
  // Interleaved rounds, so that every path sees the same load.
  for (int round = 0; round < kRounds; ++round) {
    raw_time = std::min(raw_time, Fastest(1, kQueries, [&] {
                          RawWrite(raw, "*IDN?\n");
                          RawReadLine(raw);
                        }));
    io_time = std::min(io_time, Fastest(1, kQueries, [&] {
                         Check(io->Output(Variant("*IDN?")), "Output");
                         ComPtr<vex::io::IIOResponse> response;
                         Check(io->Read(response.ReleaseAndGetAddressOf()), "Read");
                         ComPtr<vex::io::IIOResponseValues> values;
                         response->get_Values(values.ReleaseAndGetAddressOf());
                         Variant value;
                         values->get_Value(&value);
                       }));
    late_time = std::min(late_time, Fastest(1, kQueries, [&] {
                           std::vector<Variant> out{Variant("*IDN?")};
                           Check(late.Call(late.output, out), "Output");
                           std::vector<Variant> in{Variant(), Variant("K")};
                           Check(late.Call(late.enter, in), "Enter");
                         }));
    early_time = std::min(early_time, Fastest(1, kQueries, [&] {
                            Check(early->Output(Variant("*IDN?")), "Output");
                            Variant reply;
                            Check(early->Enter(&reply, Bstr("K")), "Enter");
                          }));
  }
  Report("idn_raw_us", raw_time * 1e6, "*IDN? round trip: raw socket %.1f us\n", raw_time * 1e6);
  Report("idn_io_us", io_time * 1e6, "  I/O component            %.1f us (+%.1f %%)\n",
         io_time * 1e6, (io_time / raw_time - 1) * 100);
  Report("idn_model_us", late_time * 1e6, "  object model, by name    %.1f us (+%.1f %%)\n",
         late_time * 1e6, (late_time / raw_time - 1) * 100);
  Report("idn_model_interface_us", early_time * 1e6,
         "  object model, interface  %.1f us (+%.1f %%)\n", early_time * 1e6,
         (early_time / raw_time - 1) * 100);
}

// One block through the I/O component alone, kept as bytes.
std::size_t ComponentBlock(vex::io::IIO* io) {
  Check(io->Output(Variant(":WAV:DATA?")), "Output");
  ComPtr<vex::io::IIOResponse> response;
  Check(io->Read(response.ReleaseAndGetAddressOf()), "Read");
  ComPtr<vex::io::IIOResponseValues> values;
  response->get_Values(values.ReleaseAndGetAddressOf());
  values->put_Format(vex::io::kFormatBlockData);
  Variant data;
  Check(values->get_Value(&data), "Value");
  return data.Array()->ElementCount();
}

void Waveforms(int raw, vex::io::IIO* io, LateBound& late) {
  for (std::size_t points : {std::size_t{100000}, std::size_t{1000000}, std::size_t{8000000}}) {
    std::string setup =
        ":SIM:PATT ON;:WAV:SOUR CHAN1;:WAV:FORM BYTE;:WAV:POIN " + std::to_string(points);
    std::vector<Variant> out{Variant(setup)};
    Check(late.Call(late.output, out), "Output");
    RawWrite(raw, setup + "\n");
    Check(io->Output(Variant(setup)), "Output");
    Preamble preamble = RawPreamble(raw);
    const int reps = points >= 8000000 ? 3 : points >= 1000000 ? 10 : 50;
    double block_time = 1e9, io_time = 1e9, raw_time = 1e9, model_time = 1e9;
    for (int round = 0; round < 3; ++round) {
      block_time = std::min(block_time, Fastest(1, reps, [&] {
                              RawWrite(raw, ":WAV:DATA?\n");
                              std::unique_ptr<std::uint8_t[]> bytes;
                              if (RawReadBlock(raw, &bytes) != points) std::exit(1);
                            }));
      io_time = std::min(io_time, Fastest(1, reps, [&] {
                           if (ComponentBlock(io) != points) std::exit(1);
                         }));
      raw_time = std::min(raw_time, Fastest(1, reps, [&] {
                            if (RawWaveform(raw, preamble) != points) std::exit(1);
                          }));
      model_time =
          std::min(model_time, Fastest(1, reps, [&] {
                     std::vector<Variant> args{Variant(1), Variant(0), Variant(), Variant()};
                     Check(late.Call(late.get_waveform, args), "GetWaveformData");
                     if (!args[3].Array() || args[3].Array()->ElementCount() != points)
                       std::exit(1);
                   }));
    }
    std::string key = std::to_string(points);
    g_figures["block_" + key + "_ms"] = block_time * 1e3;
    Report("block_" + key + "_mbps", points / block_time / 1e6,
           "GetWaveformData %zu points: raw block read %.2f ms (%.0f MB/s)\n", points,
           block_time * 1e3, points / block_time / 1e6);
    Report("io_block_" + key + "_ms", io_time * 1e3,
           "  block read, I/O component    %.2f ms (%.0f MB/s)\n", io_time * 1e3,
           points / io_time / 1e6);
    Report("baseline_" + key + "_ms", raw_time * 1e3,
           "  C baseline (block + two arrays) %.2f ms (%.1f Mpoints/s)\n", raw_time * 1e3,
           points / raw_time / 1e6);
    Report("model_" + key + "_ms", model_time * 1e3,
           "  end to end, object model      %.2f ms (%.1f Mpoints/s, %.0f %% of the baseline)\n",
           model_time * 1e3, points / model_time / 1e6, raw_time / model_time * 100);
    g_figures["model_" + key + "_percent"] = raw_time / model_time * 100;
  }
}

void Screens(LateBound& late) {
  struct Format {
    const char* name;
    int code;
    const char* suffix;
  };
  const Format formats[] = {{"BMP", 0, "bmp"}, {"HiResBMP", 2, "bmp"}, {"GIF", 3, "gif"},
                            {"WMF", 4, "wmf"}, {"EMF", 100, "emf"},    {"TIF", 6, "tif"},
                            {"JPG", 7, "jpg"}};
  std::string base = "/tmp/vex-bench-screen-" + std::to_string(getpid());
  // EMF is saved by its suffix (UseSuffix): the instrument has no EMF query.
  if (!g_json) std::printf("SaveScreenImage:\n");
  for (const Format& f : formats) {
    std::string path = base + "." + f.suffix;
    double time = Fastest(1, 5, [&] {
      std::vector<Variant> args{Variant(path), Variant(f.code)};
      Check(late.Call(late.save_screen, args), "SaveScreenImage");
    });
    Report(std::string("screen_") + f.name + "_ms", time * 1e3, "  %-9s %.1f ms\n", f.name,
           time * 1e3);
    unlink(path.c_str());
  }
  // PNG: the BMP the server saves, converted by the imaging layer.
  std::string bmp = base + ".bmp", png = base + ".png";
  double time = Fastest(1, 5, [&] {
    std::vector<Variant> args{Variant(bmp), Variant(0)};
    Check(late.Call(late.save_screen, args), "SaveScreenImage");
    std::FILE* file = std::fopen(bmp.c_str(), "rb");
    std::vector<std::uint8_t> bytes(1 << 22);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    vex::imaging::Bitmap bitmap;
    if (!vex::imaging::Succeeded(vex::imaging::LoadBitmapFromMemory(bytes, &bitmap)) ||
        !vex::imaging::Succeeded(
            vex::imaging::SaveBitmap(png, bitmap, vex::imaging::kFormatPng, 24, 0)))
      std::exit(1);
  });
  Report("screen_PNG_ms", time * 1e3, "  %-9s %.1f ms (BMP, then the imaging layer)\n", "PNG",
         time * 1e3);
  unlink(bmp.c_str());
  unlink(png.c_str());
}

// A property the server answers from its cache (no instrument traffic), read
// late-bound: with the dispatch id looked up once, and by name every time.
void CachedProperty(IDispatch* utilities) {
  DISPID id = 0;
  Check(utilities->GetIDsOfNames("InstrumentModel", &id), "InstrumentModel id");
  const int kReads = 100000;
  double by_id = 1e9, by_name = 1e9;
  for (int round = 0; round < 5; ++round) {
    by_id = std::min(by_id, Fastest(1, kReads, [&] {
                       Variant value;
                       std::uint32_t arg_error = 0;
                       Check(utilities->Invoke(id, DISPATCH_PROPERTYGET, {}, &value, &arg_error),
                             "InstrumentModel");
                     }));
    by_name =
        std::min(by_name, Fastest(1, kReads, [&] {
                   Variant value;
                   Check(GetProperty(utilities, "InstrumentModel", &value), "InstrumentModel");
                 }));
  }
  Report("property_model_us", by_id * 1e6,
         "Utilities.InstrumentModel (cached): late-bound by dispatch id %.3f us\n", by_id * 1e6);
  Report("property_byname_us", by_name * 1e6, "  by name every time           %.3f us\n",
         by_name * 1e6);
}

void Escape(const void* p) {
  asm volatile("" : : "g"(p) : "memory");
}

void Scaling(const char* label, const std::string& key) {
  const vex::server::WaveformScale scale{2e-9, -1e-6, 500, 0.0390625, -1.2, 127};
  for (std::size_t n : {std::size_t{1000000}, std::size_t{8000000}}) {
    std::vector<std::uint8_t> samples(n);
    std::mt19937 random(12345);
    for (auto& s : samples) s = static_cast<std::uint8_t>(random());
    const int reps = 10;
    double scaling = Fastest(reps, 1, [&] {
      SafeArray time, volts;
      Check(vex::server::ScaleWaveform(samples, scale, &time, &volts), "ScaleWaveform");
      Escape(time.Span<double>().data());
      Escape(volts.Span<double>().data());
    });
    double plain = Fastest(reps, 1, [&] {
      SafeArray time, volts;
      const auto count = static_cast<std::uint32_t>(n);
      Check(SafeArray::Create(VT_R8, {{count, 0}}, &time), "Create");
      Check(SafeArray::Create(VT_R8, {{count, 0}}, &volts), "Create");
      double* t = time.Span<double>().data();
      double* v = volts.Span<double>().data();
      for (std::size_t i = 0; i < n; ++i) {
        t[i] = 1.0;
        v[i] = 2.0;
      }
      Escape(t);
      Escape(v);
    });
    Report("scaling_" + key + "_" + std::to_string(n) + "_percent", 100.0 * plain / scaling,
           "Scaling step, %s, %zu samples: %.2f ms, plain store loop %.2f ms (%.0f %%)\n", label, n,
           scaling * 1e3, plain * 1e3, 100.0 * plain / scaling);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  int port = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--json") g_json = true;
    if (arg == "--port" && i + 1 < argc) port = std::atoi(argv[++i]);
  }
  std::string registry = "/tmp/vex-model-bench-" + std::to_string(getpid()) + ".json";
  setenv("VEXCOM_REGISTRY", registry.c_str(), 1);
  pid_t sim = -1;
  if (port == 0) port = StartSimulator(VEXSIM_PATH, &sim);
  if (port == 0) return 1;
  Check(RegisterServer(VEXIOUTILS_PATH), "RegisterServer");
  Check(RegisterServer(VEX9100TB_PATH), "RegisterServer");
  std::string address = "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";

  ComPtr<IDispatch> top;
  Check(CreateObjectByProgID(vex::server::kVexR7100EZProgID, &top), "VexR7100EZ");
  Check(CallMethod(top.Get(), "Connect", {Variant(address)}, nullptr), "Connect");
  Variant utilities;
  Check(GetProperty(top.Get(), "Utilities", &utilities), "Utilities");
  Check(PutProperty(utilities.Dispatch(), "Timeout", Variant(30000)), "Timeout");
  LateBound late(top.Get());

  ComPtr<vex::io::IIOManager> manager;
  Check(CreateObjectByProgID(vex::io::kIOManagerProgID, &manager), "IOManager");
  ComPtr<vex::io::IIO> io;
  Check(manager->CreateIO(Bstr(address), io.ReleaseAndGetAddressOf()), "CreateIO");
  io->put_Timeout(30000);
  int raw = RawConnect(port);

  Idn(raw, io.Get(), late, top.Get());
  CachedProperty(utilities.Dispatch());
  Waveforms(raw, io.Get(), late);
  Screens(late);
  Scaling("fresh arrays", "fresh");
  // Keep freed memory in the process: no page faults after the first run.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  Scaling("memory reused", "reused");

  if (g_json) {
    std::printf("{");
    const char* separator = "";
    for (const auto& [name, value] : g_figures) {
      std::printf("%s\"%s\": %.6g", separator, name.c_str(), value);
      separator = ", ";
    }
    std::printf("}\n");
  }
  close(raw);
  (void)CallMethod(top.Get(), "Close", {}, nullptr);
  if (sim > 0) StopSimulator(sim);
  unlink(registry.c_str());
  return 0;
}
