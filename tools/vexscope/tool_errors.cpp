#include "tool_errors.h"

#include "vex/com/error_info.h"

namespace vex::scope {

std::string ErrorLine(const AutomationError& error) {
  return "error 0x" + com::HresultHex(error.status()) + ": " + error.what();
}

AutomationError TakeAutomationError(com::HRESULT status) {
  com::ErrorDetails details = com::TakeErrorDetails();
  std::string text = details.description.Str();
  if (text.empty()) text = com::HresultText(status);
  if (text.empty()) text = com::HresultName(status);
  return AutomationError(status, text);
}

}  // namespace vex::scope
