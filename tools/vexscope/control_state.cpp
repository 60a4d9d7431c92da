#include "control_state.h"

#include <string>
#include <string_view>
#include <vector>

#include "tool_errors.h"
#include "vex/com/control_site.h"
#include "vex/control/setups.h"

namespace vex::scope {

void SaveControlState(StateFile& state, com::IDispatch* control) {
  if (!state.HasFile()) return;
  std::vector<StateKey> keys;
  for (const char* name : {"CountryCode",
                           "Address",
                           "FontName",
                           "FontSize",
                           "DebugEnabled",
                           "DontShowSetupIOConfigurationWarning",
                           "LastIOHandshakeAddress",
                           "InitialSearchMode",
                           "TXDelay",
                           "ResetOnIntialize",
                           "CheckIDOnIntialize",
                           "ActiveAddressInstrumentID",
                           "DTROnly",
                           "SearchCriteria",
                           "SetupsInitialDirectory",
                           "SetupsGetLearnStringOnAdd",
                           "LastInstrumentSetup",
                           control::kSetupCountKey,
                           "DebugEnableEvent",
                           "DebugEnableMessageBox",
                           "DebugEnableMessageLog",
                           "DebugAssert"})
    keys.push_back({name, {}});
  // The setups' keys, numbered from 1: those the file holds and those the
  // control writes, however many (never counted from "SetupCount", which
  // the file may hold wrong).
  const auto setup_key = [](const std::string& name) {
    for (std::string_view family : control::kSetupEntryKeys) {
      if (name.size() > family.size() && name.compare(0, family.size(), family) == 0 &&
          name.find_first_not_of("0123456789", family.size()) == std::string::npos)
        return true;
    }
    return false;
  };
  state.Save(
      keys, [&](com::IPropertyBag* bag) { return com::SaveControl(control, bag); }, setup_key);
}

}  // namespace vex::scope
