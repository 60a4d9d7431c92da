#include "vex/ui/help_viewer.h"

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "vex/com/error_info.h"

extern char** environ;

namespace vex::ui {
namespace {

HelpViewer& InstalledViewer() {
  static HelpViewer viewer;
  return viewer;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

com::HRESULT DesktopViewer(const std::string& path, const std::string& content_type) {
  const char* suffix = content_type == "text/html" ? ".html" : ".txt";
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexscope-help-XXXXXX";
  if (!::mkdtemp(pattern.data())) return com::E_FAIL;
  const std::string link =
      pattern + "/" + std::filesystem::path(path).stem().string() + std::string(suffix);
  std::error_code error;
  std::filesystem::create_symlink(std::filesystem::absolute(path, error), link, error);
  if (error) return com::E_FAIL;
  // A grandchild runs the viewer so that nothing is left to reap.
  const pid_t child = ::fork();
  if (child < 0) return com::E_FAIL;
  if (child == 0) {
    char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(link.c_str()), nullptr};
    pid_t viewer = 0;
    _exit(::posix_spawnp(&viewer, "xdg-open", nullptr, nullptr, argv, environ) == 0 ? 0 : 1);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? com::S_OK : com::E_FAIL;
}

}  // namespace

std::string HelpContentType(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string head(512, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  std::size_t at = head.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  while (at < head.size() && std::isspace(static_cast<unsigned char>(head[at]))) ++at;
  const std::string start = Lower(head.substr(at, 14));
  if (start.rfind("<!doctype html", 0) == 0 || start.rfind("<html", 0) == 0) return "text/html";
  return "text/plain";
}

void SetHelpViewer(HelpViewer viewer) {
  InstalledViewer() = std::move(viewer);
}

com::HRESULT OpenHelpFile(const std::string& path) {
  const std::string type = HelpContentType(path);
  if (type.empty())
    return com::ReportRichError(com::E_FILE_NOT_FOUND,
                                "The help file " + path + " cannot be read.");
  const HelpViewer& viewer = InstalledViewer();
  return viewer ? viewer(path, type) : DesktopViewer(path, type);
}

}  // namespace vex::ui
