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

com::HRESULT RaiseSetupFileError(std::int32_t description_id, std::string_view file,
                                 std::string_view reason, std::string_view condition,
                                 std::string_view module, std::string_view procedure) {
  CDebug::ForThisThread().Assert(false, condition, module, procedure, "");
  // The file name goes in once, as it is: a "%1" inside it stays text.
  std::string description = VexR7100Localization::TextOrEmpty(description_id);
  const std::size_t at = description.find("%1");
  if (at != std::string::npos) {
    description.replace(at, 2, file);
  } else {
    // No text (the resource library is missing): the file still shows.
    description.append(description.empty() ? "" : " ").append(file);
  }
  description.append(": ").append(reason);
  return com::ReportRichError(kSetupFileError, description,
                              VexR7100Localization::TextOrEmpty(kTextOpenSetupFile));
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
