// A failed call inside one of the desktop panel's actions, with the rich
// error information the control left (its description and source), so
// that the action's error box shows the control's own texts. Thrown inside
// the panel's actions only; each action catches it and shows the box.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "vex/com/error_info.h"
#include "vex/com/hresult.h"
#include "vex/com/member_call.h"

namespace vex::scope {

class PanelFailure : public std::runtime_error {
 public:
  PanelFailure(com::HRESULT status, const std::string& description, std::string source = {})
      : std::runtime_error(description), status_(status), source_(std::move(source)) {}
  com::HRESULT status() const { return status_; }
  const std::string& source() const { return source_; }

 private:
  com::HRESULT status_;
  std::string source_;
};

// Throws the thread's rich error information as a PanelFailure when `hr`
// failed.
inline void CheckPanelCall(com::HRESULT hr) {
  if (com::SUCCEEDED(hr)) return;
  const com::ErrorDetails error = com::TakeErrorDetails();
  std::string description = error.description.Str();
  if (description.empty()) description = com::HresultText(hr);
  throw PanelFailure(hr, description, error.source.Str());
}

// One member of the control by path ("AnalogChannels.Item(2).Enabled"),
// with its arguments as words; throws PanelFailure when the call or the
// path fails.
inline com::MemberCallResult PanelMember(com::IDispatch* control, const std::string& path,
                                         com::MemberAction action,
                                         const std::vector<std::string>& words = {}) {
  com::MemberCallResult result;
  com::MemberCallIssue issue;
  const com::HRESULT hr =
      com::CallMemberPath(control, path, action, words, nullptr, &result, &issue);
  if (com::FAILED(hr) && issue.problem != com::MemberProblem::kNone)
    throw PanelFailure(hr, issue.message);
  CheckPanelCall(hr);
  return result;
}

}  // namespace vex::scope
