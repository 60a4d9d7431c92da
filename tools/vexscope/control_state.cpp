#include "control_state.h"

#include <algorithm>
#include <string>
#include <vector>

#include "tool_errors.h"
#include "vex/com/control_site.h"

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
                           "SetupCount",
                           "DebugEnableEvent",
                           "DebugEnableMessageBox",
                           "DebugEnableMessageLog",
                           "DebugAssert"})
    keys.push_back({name, {}});
  // The setups' keys, for as many setups as the file or the control holds.
  std::int32_t setups = 0;
  if (auto stored = state.Value("SetupCount")) {
    com::Variant count;
    if (SUCCEEDED(stored->ChangeType(com::VT_I4, &count))) setups = count.I4();
  }
  com::Variant collection;
  com::Variant count;
  if (SUCCEEDED(com::GetProperty(control, "Setups", &collection)) && collection.Dispatch() &&
      SUCCEEDED(com::GetProperty(collection.Dispatch(), "Count", &count)))
    setups = std::max(setups, count.I4());
  for (std::int32_t i = 1; i <= setups; ++i) {
    const std::string n = std::to_string(i);
    for (const char* name : {"SetupName", "SetupComments", "LearnString", "Model", "Version"})
      keys.push_back({name + n, {}});
  }
  state.Save(keys, [&](com::IPropertyBag* bag) { return com::SaveControl(control, bag); });
}

}  // namespace vex::scope
