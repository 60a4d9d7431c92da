#include "outside_program.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace vex::test {
namespace {

// The fonts libwmf's converters map the metafile fonts to, in the folder
// where Debian's libwmf looks for them. Without any of them libwmf stops
// with "wmf_ipa_font_map: failed to load *any* font!".
constexpr const char* kUrwFolder = "/usr/share/fonts/type1/urw-base35/";
constexpr const char* kUrwFonts[] = {
    "NimbusRoman-Regular.t1",    "NimbusRoman-Italic.t1",    "NimbusRoman-Bold.t1",
    "NimbusRoman-BoldItalic.t1", "NimbusSans-Regular.t1",    "NimbusSans-Italic.t1",
    "NimbusSans-Bold.t1",        "NimbusSans-BoldItalic.t1", "NimbusMonoPS-Regular.t1",
    "NimbusMonoPS-Italic.t1",    "NimbusMonoPS-Bold.t1",     "NimbusMonoPS-BoldItalic.t1",
    "StandardSymbolsPS.t1",
};

std::vector<Prerequisite> WithUrwFonts(std::vector<Prerequisite> list) {
  for (const char* font : kUrwFonts)
    list.push_back({std::string(kUrwFolder) + font, "fonts-urw-base35"});
  return list;
}

std::string BaseName(const std::string& program) {
  auto slash = program.rfind('/');
  return slash == std::string::npos ? program : program.substr(slash + 1);
}

bool IsExecutable(const std::string& path) {
  return ::access(path.c_str(), X_OK) == 0;
}

bool Exists(const std::string& path) {
  return ::access(path.c_str(), R_OK) == 0;
}

}  // namespace

std::vector<Prerequisite> PrerequisitesOf(const std::string& program) {
  const std::string name = BaseName(program);
  if (name == "identify" || name == "convert" || name == "stream")
    return {{"/usr/bin/" + name, "imagemagick"}};
  if (name == "wmf2svg" || name == "wmf2gd" || name == "wmf2eps")
    return WithUrwFonts({{"/usr/bin/" + name, "libwmf-bin"}});
  if (name == "emf2svg-conv") return {{"/usr/bin/emf2svg-conv", "emf2svg"}};
  if (name == "rpcbind") return {{"/usr/sbin/rpcbind", "rpcbind"}};
  if (name == "base64" || name == "test") return {{"/usr/bin/" + name, "coreutils"}};
  // The virtual display of the Qt tests, and the font their CJK texts need.
  if (name == "Xvfb")
    return {{"/usr/bin/Xvfb", "xvfb"},
            {"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", "fonts-wqy-microhei"}};
  return {};
}

std::string MissingPrerequisite(const std::string& program, const std::string& root) {
  const auto list = PrerequisitesOf(program);
  if (list.empty())
    return program +
           " is not in the table of outside programs (tests/support/outside_program.cpp)"
           ": add it with the Debian packages it needs";
  for (const auto& need : list) {
    const std::string path = root + need.path;
    const bool is_program = BaseName(need.path) == BaseName(program);
    if (is_program ? IsExecutable(path) : Exists(path)) continue;
    if (is_program) return program + " is missing: install the Debian package " + need.package;
    return program + " needs " + need.path + ": install the Debian package " + need.package;
  }
  return {};
}

ProgramResult RunProgram(const std::string& program, const std::string& arguments,
                         bool merge_stderr) {
  ProgramResult result;
  const std::string missing = MissingPrerequisite(program);
  if (!missing.empty()) {
    ADD_FAILURE() << missing;
    return result;
  }
  // The program by the path the table found it at, not whatever else is on
  // the PATH under its name.
  const std::string path = PrerequisitesOf(program).front().path;
  FILE* pipe = ::popen((path + " " + arguments + (merge_stderr ? " 2>&1" : "")).c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << path;
    return result;
  }
  std::array<char, 4096> chunk{};
  for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;)
    result.output.append(chunk.data(), n);
  const int status = ::pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace vex::test
