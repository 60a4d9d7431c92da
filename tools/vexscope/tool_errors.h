// The two ways a vexscope command fails: a usage error (the command line or
// a script line names something that does not exist or cannot be parsed;
// exit status 2) and an automation error (the server refused a call; exit
// status 1, printed with its status and rich description).
#pragma once

#include <stdexcept>
#include <string>

#include "vex/com/hresult.h"

namespace vex::scope {

using com::FAILED;
using com::SUCCEEDED;

class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

class AutomationError : public std::runtime_error {
 public:
  AutomationError(com::HRESULT status, const std::string& description)
      : std::runtime_error(description), status_(status) {}
  com::HRESULT status() const { return status_; }

 private:
  com::HRESULT status_;
};

// "error 0x80004005: <description>" as printed on standard error.
std::string ErrorLine(const AutomationError& error);

// Takes the thread's rich error information for a failed call and wraps it
// with the status; without a description, the status's own text is used.
AutomationError TakeAutomationError(com::HRESULT status);

}  // namespace vex::scope
