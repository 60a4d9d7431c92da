#include "setup_errors.h"

#include "cdebug.h"
#include "vex/com/error_info.h"
#include "vexr7100_localization.h"

namespace vex::control {

com::HRESULT RaiseSetupError(com::HRESULT status, std::int32_t source_id,
                             std::int32_t description_id, std::string_view condition,
                             std::string_view module, std::string_view procedure) {
  CDebug::ForThisThread().Assert(false, condition, module, procedure, "");
  return com::ReportRichError(status, VexR7100Localization::TextOrEmpty(description_id),
                              VexR7100Localization::TextOrEmpty(source_id));
}

com::HRESULT RaiseDuplicateKey() {
  return com::ReportRichError(kDuplicateKey,
                              "This key is already associated with an element of this collection.",
                              "SetupsVexR7100Scope");
}

com::HRESULT RaiseInvalidCallOrArgument() {
  return com::ReportRichError(kInvalidCallOrArgument, "Invalid procedure call or argument.",
                              "SetupsVexR7100Scope");
}

void AssertSetup(bool condition, std::string_view condition_text, std::string_view module,
                 std::string_view procedure) {
  CDebug::ForThisThread().Assert(condition, condition_text, module, procedure, "");
}

}  // namespace vex::control
