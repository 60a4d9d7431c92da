// `vexscope sim`: runs the simulator program that lies beside vexscope
// (<program folder>/vexsim) in the foreground, in place of this process.
#pragma once

#include <string>
#include <vector>

namespace vex::scope {

struct SimOptions {
  std::string model;
  std::string tcp;  // HOST:PORT
  bool pty = false;
  std::string fault;
};

// The simulator's command line (without the program name).
std::vector<std::string> SimulatorArguments(const SimOptions& options);

// Replaces this process with the simulator; returns only when that fails,
// with the reason.
std::string ExecSimulator(const std::string& program, const SimOptions& options);

}  // namespace vex::scope
