// Opening a help file with the desktop's viewer. The viewer is chosen by
// the file's content type, read from its first bytes, not by its name: the
// control's help files are HTML pages under ".hlp" and ".cnt" names.
//
// The viewer is injectable: tests (and hosts with a viewer of their own)
// install a function that receives the path and the content type.
#pragma once

#include <functional>
#include <string>

#include "vex/com/hresult.h"

namespace vex::ui {

// "text/html" for an HTML page (a doctype or <html> after any byte-order
// mark and white space), "text/plain" for other text, "" when the file
// cannot be read.
std::string HelpContentType(const std::string& path);

using HelpViewer =
    std::function<com::HRESULT(const std::string& path, const std::string& content_type)>;

// Installs a viewer (an empty function restores the desktop's).
void SetHelpViewer(HelpViewer viewer);

// Opens `path` with the installed viewer, or the desktop's: the file is
// offered to xdg-open under a name whose suffix matches its content type (a
// link in a private temporary folder), without waiting for the viewer.
// E_FILE_NOT_FOUND with rich error information when the file is unreadable.
[[nodiscard]] com::HRESULT OpenHelpFile(const std::string& path);

}  // namespace vex::ui
