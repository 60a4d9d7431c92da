// vexsim: the simulated oscilloscope as a program, serving raw SCPI over TCP
// and over a pty that stands in for its serial port.
//
//   vexsim [--model M] [--serial S] [--firmware F] [--tcp HOST:PORT] [--pty]
//          [--fault NAME] [--fault-delay MS]
//
// Prints one line per endpoint once it is ready, then "ready":
//   tcp 127.0.0.1:5025
//   pty /dev/pts/7
//   ready
// Runs until SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "engine/Instrument.h"
#include "server/PtyPort.h"
#include "server/ServerLoop.h"
#include "server/TcpListener.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
  g_stop = 1;
}

void Usage() {
  std::fputs(
      "usage: vexsim [--model M] [--serial S] [--firmware F] [--tcp HOST:PORT] [--pty]\n"
      "              [--fault NONE|NOANswer|SLOW|DROP|TRUNcate|CORRupt|GARBage|DEVerror]\n"
      "              [--fault-delay MS]\n"
      "Without --tcp or --pty, serves TCP on 127.0.0.1 with a free port.\n",
      stderr);
}

struct Args {
  vex::sim::InstrumentOptions options;
  std::optional<std::string> tcp;
  bool pty = false;
};

bool Parse(int argc, char** argv, Args& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--pty") {
      args.pty = true;
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
    } else {
      return false;
    }
  }
  if (!args.tcp && !args.pty) args.tcp = "127.0.0.1:0";
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
  std::printf("ready\n");
  std::fflush(stdout);

  loop.Run(g_stop);
  return 0;
}
