// Pieces the scope control and its server wrapper share: the statuses they
// raise, the toolkit their boxes and forms go to, the help folder, and the
// rich-error helper that fills in the localised source and help file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vex/com/hresult.h"
#include "vex/ui/toolkit.h"

namespace vex::control {

// Object-defined statuses: invalid property value (base + 380) and the
// failed connection (base + 59).
inline constexpr com::HRESULT kStatusInvalidValue = com::MakeHresult(0x8004017Cu);
inline constexpr com::HRESULT kStatusConnectionFailed = com::MakeHresult(0x8004003Bu);
inline constexpr std::int32_t kHelpContextInvalidValue = 1004;
inline constexpr const char* kHelpFileName = "VexR7100.hlp";

// Text ids of the string tables (without the language offset).
namespace text {
inline constexpr std::int32_t kHelpTarget = 10;
inline constexpr std::int32_t kContentsTarget = 11;
inline constexpr std::int32_t kHelpSource = 100;
inline constexpr std::int32_t kContentsSource = 101;
inline constexpr std::int32_t kFontName = 102;
inline constexpr std::int32_t kFontSize = 103;
inline constexpr std::int32_t kErrorSource = 104;
inline constexpr std::int32_t kTitle = 105;
inline constexpr std::int32_t kInvalidValue = 106;
inline constexpr std::int32_t kNoAsianLanguages = 107;
inline constexpr std::int32_t kOk = 111;
inline constexpr std::int32_t kConnection1 = 113;
inline constexpr std::int32_t kConnection2 = 114;
inline constexpr std::int32_t kConnection3 = 115;
inline constexpr std::int32_t kAboutCaption = 120;
inline constexpr std::int32_t kAboutDescription = 121;
inline constexpr std::int32_t kAboutVersion = 122;
inline constexpr std::int32_t kAboutNotice = 123;
inline constexpr std::int32_t kNoServer = 130;
}  // namespace text

// Text `base_id` of the language at `offset` (whatever the thread's current
// offset is); empty when the lookup fails.
std::string TextAt(std::int32_t offset, std::int32_t base_id);

// The toolkit the control's boxes, forms and frames go to: the one a host
// installed (Vex9100SetToolkit), else a headless one that records them.
ui::Toolkit& ControlToolkit();
void SetControlToolkit(ui::Toolkit* toolkit);

// The folder the control library's help files live in: "Help" beside the
// library (found from the library's own address), or the folder set for
// tests. Ends without "/".
std::string HelpFolder();
void SetHelpFolder(std::string folder);
// The current help file's full path in that folder.
std::string HelpFilePath();

// Installs the error object of `status` with the description, source text
// 104 of the current language, the help file and `help_context`.
com::HRESULT RaiseControlError(com::HRESULT status, std::string_view description,
                               std::int32_t help_context = 0);

}  // namespace vex::control
