// What the scope control skips while loading the --state file (a malformed
// setup entry, say) reaches the user as one warning line each on stderr:
//   vexscope: warning: /path/state.json: setup 2 is skipped: ...
// The control goes on with the rest; the file keeps what was skipped.
#pragma once

#include <ostream>
#include <set>
#include <string>

#include "vex/com/property_bag.h"

namespace vex::scope {

class LoadWarnings final : public com::Object<com::IErrorLog> {
 public:
  LoadWarnings(std::string file, std::ostream& out) : file_(std::move(file)), out_(out) {}
  com::HRESULT AddError(const com::Bstr& property_name, com::HRESULT status,
                        const com::Bstr& description) override;

 private:
  std::string file_;
  std::ostream& out_;
  // A warning is given once, however often the file is loaded.
  std::set<std::string> given_;
};

}  // namespace vex::scope
