// vexsim: the simulated oscilloscope as a program, serving raw SCPI over TCP,
// over a pty that stands in for its serial port, over VXI-11 and over HiSLIP.
//
//   vexsim [--model M] [--serial S] [--firmware F] [--tcp HOST:PORT] [--pty]
//          [--vxi11] [--gateway-address A] [--fault NAME] [--fault-delay MS]
//          [--error-format LONG|SHORT] [--hislip [HOST:PORT]] [--hislip-overlapped]
//          [--hislip-max-message N] [--hislip-subaddress NAME]...
//
// Prints one line per endpoint once it is ready, then "ready":
//   tcp 127.0.0.1:5025
//   pty /dev/pts/7
//   vxi11 127.0.0.1:40517
//   hislip 127.0.0.1:40611
//   hislip [::1]:40611
//   ready
// Runs until SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "engine/Instrument.h"
#include "hislip/HislipServer.h"
#include "server/PtyPort.h"
#include "server/ServerLoop.h"
#include "server/TcpListener.h"
#ifdef VEXSIM_HAVE_VXI11
#include "vxi11/Vxi11Server.h"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
  g_stop = 1;
}

void Usage() {
  std::fputs(
      "usage: vexsim [--model M] [--serial S] [--firmware F] [--tcp HOST:PORT] [--pty]\n"
      "              [--vxi11] [--gateway-address A]\n"
      "              [--fault NONE|NOANswer|SLOW|DROP|TRUNcate|CORRupt|GARBage|DEVerror]\n"
      "              [--fault-delay MS] [--error-format LONG|SHORT]\n"
      "              [--hislip [HOST:PORT]] [--hislip-overlapped] [--hislip-max-message N]\n"
      "              [--hislip-subaddress NAME]...\n"
      "Without --tcp, --pty, --vxi11 or --hislip, serves TCP on 127.0.0.1 with a free port.\n"
      "--vxi11 serves the VXI-11 core channel on 127.0.0.1 with a free port; its\n"
      "devices are inst0 (instN) and gpib0,A for the gateway address A (default 7).\n"
      "--hislip alone serves HiSLIP on 127.0.0.1 and ::1 with a free port; its\n"
      "sub-addresses are hislip0 and each --hislip-subaddress.\n",
      stderr);
}

struct Args {
  vex::sim::InstrumentOptions options;
  std::optional<std::string> tcp;
  bool pty = false;
  bool vxi11 = false;
  int gateway_address = 7;
  bool hislip = false;
  std::optional<std::string> hislip_address;  // HOST:PORT, [V6]:PORT
  vex::sim::HislipOptions hislip_options;
};

bool Parse(int argc, char** argv, Args& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--pty") {
      args.pty = true;
      continue;
    }
    if (flag == "--vxi11") {
#ifdef VEXSIM_HAVE_VXI11
      args.vxi11 = true;
      continue;
#else
      std::fputs("vexsim: built without VXI-11 support\n", stderr);
      return false;
#endif
    }
    if (flag == "--hislip") {
      args.hislip = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') args.hislip_address = argv[++i];
      continue;
    }
    if (flag == "--hislip-overlapped") {
      args.hislip_options.prefer_overlapped = true;
      continue;
    }
    if (flag == "--help" || flag == "-h" || i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (flag == "--model") {
      args.options.model = value;
    } else if (flag == "--serial") {
      args.options.serial = value;
    } else if (flag == "--firmware") {
      args.options.firmware = value;
    } else if (flag == "--tcp") {
      args.tcp = value;
    } else if (flag == "--fault") {
      auto fault = vex::sim::ParseFault(value);
      if (!fault) return false;
      args.options.fault = *fault;
    } else if (flag == "--fault-delay") {
      char* end = nullptr;
      const unsigned long ms = std::strtoul(value.c_str(), &end, 10);
      if (*end != '\0' || value.empty()) return false;
      args.options.fault_delay_ms = static_cast<unsigned>(ms);
    } else if (flag == "--gateway-address") {
      char* end = nullptr;
      const long a = std::strtol(value.c_str(), &end, 10);
      if (*end != '\0' || value.empty() || a < 0 || a > 30) return false;
      args.gateway_address = static_cast<int>(a);
    } else if (flag == "--hislip-max-message") {
      char* end = nullptr;
      const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
      if (*end != '\0' || value.empty() || value[0] == '-' || n == 0 ||
          n > vex::sim::HislipServer::kHardPayloadLimit) {
        return false;
      }
      args.hislip_options.max_message = n;
    } else if (flag == "--hislip-subaddress") {
      if (value.empty()) return false;
      args.hislip_options.subaddresses.push_back(value);
    } else if (flag == "--error-format") {
      if (value == "SHORT" || value == "short") {
        args.options.short_errors = true;
      } else if (value != "LONG" && value != "long") {
        return false;
      }
    } else {
      return false;
    }
  }
  if (!args.tcp && !args.pty && !args.vxi11 && !args.hislip) args.tcp = "127.0.0.1:0";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (!Parse(argc, argv, args)) {
    Usage();
    return 2;
  }

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  vex::sim::Instrument instrument(args.options);
  vex::sim::ServerLoop loop(instrument);
  vex::sim::TcpListener listener;
  vex::sim::PtyPort pty;
  std::string error;

  if (args.tcp) {
    const auto colon = args.tcp->rfind(':');
    const std::string host = colon == std::string::npos ? *args.tcp : args.tcp->substr(0, colon);
    const long port =
        colon == std::string::npos ? 0 : std::strtol(args.tcp->c_str() + colon + 1, nullptr, 10);
    if (port < 0 || port > 65535 || !listener.Listen(host, static_cast<uint16_t>(port), error)) {
      std::fprintf(stderr, "vexsim: tcp %s: %s\n", args.tcp->c_str(), error.c_str());
      return 1;
    }
    loop.ServeTcp(&listener);
    std::printf("tcp %s:%u\n", listener.host().c_str(), listener.port());
    std::fflush(stdout);
  }
  if (args.pty) {
    if (!pty.Open(error)) {
      std::fprintf(stderr, "vexsim: pty: %s\n", error.c_str());
      return 1;
    }
    loop.ServePty(&pty);
    std::printf("pty %s\n", pty.path().c_str());
    std::fflush(stdout);
  }
#ifdef VEXSIM_HAVE_VXI11
  vex::sim::Vxi11Server vxi11(instrument, args.gateway_address);
  if (args.vxi11) {
    if (!vxi11.Start("127.0.0.1", 0, error)) {
      std::fprintf(stderr, "vexsim: vxi11: %s\n", error.c_str());
      return 1;
    }
    if (!vxi11.registered()) {
      std::fprintf(stderr,
                   "vexsim: vxi11: no port mapper took the registration; "
                   "clients must use the port below\n");
    }
    loop.Serve(&vxi11);
    std::printf("vxi11 127.0.0.1:%u\n", vxi11.port());
    std::fflush(stdout);
  }
#endif
  vex::sim::HislipServer hislip(instrument, args.hislip_options);
  if (args.hislip) {
    if (args.hislip_address) {
      const std::string& a = *args.hislip_address;
      const auto colon = a.rfind(':');
      const auto bracket = a.rfind(']');
      const bool has_port = colon != std::string::npos &&
                            (bracket == std::string::npos ? a.find(':') == colon : colon > bracket);
      const std::string host = has_port ? a.substr(0, colon) : a;
      const long port = has_port ? std::strtol(a.c_str() + colon + 1, nullptr, 10) : 0;
      if (port < 0 || port > 65535 || !hislip.Listen(host, static_cast<uint16_t>(port), error)) {
        std::fprintf(stderr, "vexsim: hislip %s: %s\n", a.c_str(), error.c_str());
        return 1;
      }
    } else {
      if (!hislip.Listen("127.0.0.1", 0, error)) {
        std::fprintf(stderr, "vexsim: hislip: %s\n", error.c_str());
        return 1;
      }
      // The same port on ::1 when it is free there, else any; a host
      // without IPv6 loopback is served on 127.0.0.1 alone.
      if (!hislip.Listen("::1", hislip.endpoints().front().port, error))
        hislip.Listen("::1", 0, error);
    }
    loop.Serve(&hislip);
    for (const auto& endpoint : hislip.endpoints())
      std::printf("hislip %s\n", endpoint.text.c_str());
    std::fflush(stdout);
  }
  std::printf("ready\n");
  std::fflush(stdout);

  loop.Run(g_stop);
  return 0;
}
