#include "progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace vex::scope {

Progress::Progress() : enabled_(isatty(STDERR_FILENO) == 1) {}

void Progress::Step(std::string_view what) {
  if (!enabled_) return;
  const std::string line = "vexscope: " + std::string(what) + " ...";
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void Progress::Done() {
  if (!enabled_ || !shown_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace vex::scope
