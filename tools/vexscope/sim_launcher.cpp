#include "sim_launcher.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vex::scope {

std::vector<std::string> SimulatorArguments(const SimOptions& options) {
  std::vector<std::string> args;
  if (!options.model.empty()) args.insert(args.end(), {"--model", options.model});
  if (!options.tcp.empty()) args.insert(args.end(), {"--tcp", options.tcp});
  if (options.pty) args.emplace_back("--pty");
  if (!options.fault.empty()) args.insert(args.end(), {"--fault", options.fault});
  return args;
}

std::string ExecSimulator(const std::string& program, const SimOptions& options) {
  std::vector<std::string> args = SimulatorArguments(options);
  std::vector<char*> argv;
  std::string name = program;
  argv.push_back(name.data());
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  execv(program.c_str(), argv.data());
  return "cannot run " + program + ": " + std::strerror(errno);
}

}  // namespace vex::scope
