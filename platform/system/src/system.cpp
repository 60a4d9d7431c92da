#include "vex/system/system.h"

#include <dlfcn.h>
#include <langinfo.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

namespace vex::system {

std::string ModulePath(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  std::error_code ec;
  // For the main program the loader reports argv[0] as it was given: a bare
  // name when the shell found the program on PATH, or a path relative to a
  // folder the program may have left. The kernel knows the file itself.
  if (std::strcmp(info.dli_fname, program_invocation_name) == 0 || *info.dli_fname == '\0') {
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.string();
    ec.clear();
  }
  auto canonical = std::filesystem::weakly_canonical(info.dli_fname, ec);
  return ec ? std::string(info.dli_fname) : canonical.string();
}

std::string ModuleFolder(const void* address) {
  std::string path = ModulePath(address);
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

int CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) {
  std::error_code ec;
  auto options = fail_if_exists ? std::filesystem::copy_options::none
                                : std::filesystem::copy_options::overwrite_existing;
  if (!std::filesystem::copy_file(from, to, options, ec)) return ec ? ec.value() : EEXIST;
  return 0;
}

namespace {

std::uint64_t MonotonicMilliseconds() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

TickSource g_tick_source = &MonotonicMilliseconds;

}  // namespace

TickSource SetTickSource(TickSource source) {
  TickSource previous = g_tick_source;
  g_tick_source = source ? source : &MonotonicMilliseconds;
  return previous;
}

std::uint32_t TickCount() {
  return static_cast<std::uint32_t>(g_tick_source());
}

void Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string CodeSet() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset ? codeset : "";
}

bool IsMultiByteCodeSet() {
  return MB_CUR_MAX > 1;
}

}  // namespace vex::system
