// Open and save file dialogs: the request a presenter makes and the filter
// text it passes, in the host languages' form: pairs of description and
// patterns, each followed by a NUL ("Setup Files (*.set)\0*.set\0All Files
// (*.*)\0*.*\0"). The chosen path has no length limit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vex::ui {

// Dialog flags, in the host languages' values; the toolkits honour these.
namespace ofn {
inline constexpr std::uint32_t kReadOnly = 0x1;
inline constexpr std::uint32_t kOverwritePrompt = 0x2;
inline constexpr std::uint32_t kHideReadOnly = 0x4;
inline constexpr std::uint32_t kNoChangeDir = 0x8;
inline constexpr std::uint32_t kPathMustExist = 0x800;
inline constexpr std::uint32_t kFileMustExist = 0x1000;
}  // namespace ofn

struct FileFilter {
  std::string description;            // "Setup Files (*.set)"
  std::vector<std::string> patterns;  // {"*.set"}
  bool operator==(const FileFilter&) const = default;
};

// The pairs of a NUL-separated filter text. Patterns are split at ';'. A
// trailing description without patterns is dropped; empty text gives none.
std::vector<FileFilter> ParseFileFilter(std::string_view text);

// "Description (pat1 pat2)" lines as Qt and other toolkits take them, which
// read the patterns from the parentheses. A description that ends in its own
// list of the same patterns has it replaced, so they show once.
std::string ToolkitFilterLine(const FileFilter& filter);

// The extension of the filter's first "*.ext" pattern ("bmp"), or empty for
// filters that take every name.
std::string FilterExtension(const FileFilter& filter);

// The file a save dialog's answer names under the filter chosen there: a
// name without a suffix takes the filter's extension; a name whose suffix
// none of the filter's patterns take contradicts the choice and gives
// nothing (a filter of "*" or "*.*" takes any suffix). Suffixes compare
// without regard to letter case.
std::optional<std::string> PathForFilter(std::string path, const FileFilter& filter);

enum class FileDialogKind { kOpen, kSave };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::kOpen;
  std::string title;
  std::string filter;    // NUL-separated, as above
  int filter_index = 1;  // 1-based, as the host languages count
  std::string initial_folder;
  std::string file_name;          // proposed name (save) or initial selection
  std::string default_extension;  // without the dot; added to a bare name
  std::uint32_t flags = 0;
};

}  // namespace vex::ui
